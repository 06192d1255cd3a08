#!/usr/bin/env python3
"""Writes sample host job files, as the host programs write them: code page 852 text,
CR LF line ends, form feeds between pages, and the one-byte control codes
1/2 bold on/off, 3 condensed, 4 back to the saved size, 6 elite, 7/9 normal, 8 double.

    python3 samples/generate.py                 # invoice.txt, ledger.txt, report.txt here
    python3 samples/generate.py --out DIR       # the same into DIR
    python3 samples/generate.py --big OUT --pages 2000
        # a big job for benchmarks: invoices with box-drawn tables and condensed
        # ledgers, about 95 bytes a line, written page by page

Standard library only; the output is the same on every run.
"""

import argparse
import os
import random
import sys

BOLD, UNBOLD, CONDENSED, RESTORE, ELITE, NORMAL, DOUBLE, NORMAL2 = (
    "\x01", "\x02", "\x03", "\x04", "\x06", "\x07", "\x08", "\x09")
FF = "\x0c"
EOL = "\r\n"

# Box-drawing frames: single and double forms of the same drawings.
SINGLE = dict(h="─", v="│", tl="┌", tr="┐", bl="└", br="┘", lt="├", rt="┤", tt="┬", bt="┴", x="┼")
DOUBLE_ = dict(h="═", v="║", tl="╔", tr="╗", bl="╚", br="╝", lt="╠", rt="╣", tt="╦", bt="╩", x="╬")


def encode(text):
    return text.encode("cp852")


def rule(widths, left, mid, right, fill):
    return left + mid.join(fill * w for w in widths) + right


def cells(values, widths, bar, aligns):
    out = []
    for value, width, align in zip(values, widths, aligns):
        value = str(value)[:width]
        out.append(value.rjust(width) if align == "r" else value.ljust(width))
    return bar + bar.join(out) + bar


def spread_to(left, right, width=99):
    """`left` and `right` on one line of `width` columns (control codes take none)."""
    visible = sum(1 for c in left + right if c >= " ")
    return left + " " * max(1, width - visible) + right


def money(n):
    s = f"{n:,}".replace(",", " ")
    return s + " Ft"


# ----------------------------------------------------------------- invoice

ITEMS = [
    ("Árvíztűrő tükörfúrógép", "db", 2, 48900),
    ("Őszibarack befőtt, 720 ml", "üveg", 24, 890),
    ("Ügyviteli szoftver éves díja", "év", 1, 156000),
    ("Íróasztal, bükk, 160x80", "db", 3, 67500),
    ("Öntapadós címke, 1000 ív", "csomag", 5, 4350),
    ("Útiköltség átalány", "km", 184, 95),
    ("Éjszakai ügyelet díja", "óra", 6, 12800),
    ("Ónozott rézhuzal 2,5 mm", "m", 150, 310),
    ("Fűtéskorszerűsítés, szerelési díj", "óra", 14, 9800),
    ("Gyűjtődoboz, újrahasznosított", "db", 40, 1290),
    ("Kétoldalas ragasztószalag", "tekercs", 12, 760),
    ("Szállítás és üzembe helyezés", "alkalom", 1, 18500),
]

INVOICE_WIDTHS = [4, 44, 8, 7, 14, 15]     # 99 columns, for the long benchmark job
INVOICE_WIDTHS_80 = [3, 33, 6, 7, 11, 12]  # 79 columns: fits portrait A4 at 11 points


def invoice_lines(number, items, double_frame=True, w=INVOICE_WIDTHS):
    f = DOUBLE_ if double_frame else SINGLE
    s = SINGLE
    width = sum(w) + len(w) + 1

    def spread(left, right):
        return spread_to(left, right, width)

    aligns = ["r", "l", "r", "l", "r", "r"]
    lines = [
        DOUBLE + "SZÁMLA" + NORMAL2,
        "",
        spread(BOLD + "Kelő és Társa Kereskedelmi Kft." + UNBOLD,
               "Számla sorszáma: " + BOLD + number + UNBOLD),
        spread("1173 Budapest, Ürömi út 12.", "Kelte: 2026. 12. 08."),
        spread("Adószám: 12345678-2-42", "Teljesítés: 2026. 12. 08."),
        spread("Bankszámla: 11773016-01234567-00000000", "Fizetési határidő: 2026. 12. 22."),
        "",
        spread("Vevő: " + BOLD + "Szűcs Örs egyéni vállalkozó" + UNBOLD, "Vevő adószáma: 87654321-1-06"),
        spread("      6720 Szeged, Dugonics tér 4., Őrház u. sarok", "Megrendelés: MR-2026/118"),
        "",
        rule(w, f["tl"], f["tt"], f["tr"], f["h"]),
        cells(["Ssz", "Megnevezés", "Menny.", "Egys.", "Egységár", "Összeg"], w, f["v"],
              ["r", "l", "r", "l", "r", "r"]),
        rule(w, f["lt"], f["x"], f["rt"], f["h"]),
    ]
    total = 0
    for i, (name, unit, qty, price) in enumerate(items, 1):
        amount = qty * price
        total += amount
        lines.append(cells([str(i), name, str(qty), unit, money(price), money(amount)], w, f["v"],
                           aligns))
        if i < len(items):
            lines.append(rule(w, s["lt"], s["x"], s["rt"], s["h"]))
    lines += [
        rule(w, f["bl"], f["bt"], f["br"], f["h"]),
        "",
        spread("", "Nettó összesen:  " + money(total).rjust(16)),
        spread("", "ÁFA (27%):       " + money(total * 27 // 100).rjust(16)),
        spread("", BOLD + "Fizetendő:       " + money(total + total * 27 // 100).rjust(16) + UNBOLD),
        "",
        ELITE + "Fizetési mód: átutalás. Ékezetpróba: őűáéíóúöü ŐŰÁÉÍÓÚÖÜ" + NORMAL,
        "",
        "  " + s["tl"] + s["h"] * 24 + s["tr"] + "        " + s["tl"] + s["h"] * 24 + s["tr"],
        "  " + s["v"] + " " * 24 + s["v"] + "        " + s["v"] + " " * 24 + s["v"],
        "  " + s["bl"] + s["h"] * 24 + s["br"] + "        " + s["bl"] + s["h"] * 24 + s["br"],
        "       kiállító                            átvevő",
    ]
    return lines


# ------------------------------------------------------------------ ledger

ACCOUNTS = [
    ("311", "Belföldi vevők"), ("381", "Pénztár"), ("384", "Elszámolási betétszámla"),
    ("454", "Szállítók"), ("466", "Előzetesen felszámított ÁFA"), ("467", "Fizetendő ÁFA"),
    ("512", "Bérköltség"), ("529", "Egyéb szolgáltatások"), ("911", "Belföldi értékesítés"),
]
TEXTS = [
    "Árbevétel, készpénzes", "Szállítói számla kiegyenlítése", "Bankköltség", "Bérfizetés",
    "Irodaszer vásárlás", "Vevői befizetés", "Üzemanyag", "Postaköltség", "Ügyvédi díj",
    "Őrzés-védelem díja", "Közüzemi díj: víz", "Épületbiztosítás",
]

LEDGER_WIDTHS = [6, 11, 34, 6, 6, 14, 14]


def ledger_page(rng, page_no, pages, first_entry, rows=38):
    w = LEDGER_WIDTHS
    s = SINGLE
    head = ["Tétel", "Dátum", "Szöveg", "Tartoz", "Követ", "Összeg", "Egyenleg"]
    aligns = ["r", "l", "l", "l", "l", "r", "r"]
    lines = [
        DOUBLE + "Napló főkönyv" + NORMAL + "  " + BOLD + "2026. december" + UNBOLD,
        ELITE + spread_to("Kelő és Társa Kft., főkönyvi napló", f"{page_no}. oldal / {pages}", 99) + NORMAL2,
        "",
        CONDENSED + rule(w, s["tl"], s["tt"], s["tr"], s["h"]),
        BOLD + cells(head, w, s["v"], aligns) + UNBOLD,
        rule(w, s["lt"], s["x"], s["rt"], s["h"]),
    ]
    balance = 0
    for i in range(rows):
        t, c = rng.sample(ACCOUNTS, 2)
        amount = rng.randrange(1, 500) * 100
        balance += amount if t[0].startswith("3") else -amount
        day = 1 + (first_entry + i) // 12 % 28
        lines.append(cells([str(first_entry + i), f"2026.12.{day:02d}", rng.choice(TEXTS), t[0],
                            c[0], money(amount), money(balance)], w, s["v"], aligns))
    lines += [
        rule(w, s["bl"], s["bt"], s["br"], s["h"]) + RESTORE,
        ELITE + "Összesítő: a tételek a főkönyvi kivonattal egyeztetve." + NORMAL,
    ]
    return lines


# ------------------------------------------------------------------ report

REPORT_WIDTHS = [6, 28, 10, 12, 12, 12, 12, 12, 12, 14, 10]


def report_pages(rng, rows=42, per_page=24):
    w = REPORT_WIDTHS
    s, d = SINGLE, DOUBLE_
    head = ["Kód", "Termék megnevezése", "Egység", "Nyitó", "Beszerzés", "Értékesítés", "Selejt",
            "Átadás", "Záró", "Érték (Ft)", "Forgás"]
    aligns = ["l", "l", "l", "r", "r", "r", "r", "r", "r", "r", "r"]
    names = ["Őrölt kávé 250 g", "Ásványvíz 1,5 l", "Füzet A4 vonalas", "Tűzőgép", "Írólap 500 ív",
             "Összetűző kapocs", "Ügyféltasak", "Éjjeli lámpa", "Ülőpárna", "Útmutató kézikönyv",
             "Gyűrűs mappa", "Zöld tea 20 filter"]
    body = []
    for i in range(rows):
        opening = rng.randrange(0, 900)
        bought = rng.randrange(0, 400)
        sold = rng.randrange(0, opening + bought + 1)
        scrap = rng.randrange(0, 5)
        moved = rng.randrange(0, 20)
        closing = max(0, opening + bought - sold - scrap - moved)
        value = closing * rng.randrange(90, 9000)
        turn = f"{(sold / (opening or 1)):.2f}"
        body.append(cells([f"T{1000 + i}", rng.choice(names), "db", opening, bought, sold, scrap,
                           moved, closing, f"{value:,}".replace(",", " "), turn], w, d["v"], aligns))
    pages = []
    chunks = [body[i:i + per_page] for i in range(0, len(body), per_page)]
    for n, chunk in enumerate(chunks, 1):
        lines = [
            spread_to(BOLD + "KÉSZLETMOZGÁSI KIMUTATÁS" + UNBOLD,
                   f"Kelő és Társa Kft., 2026. IV. negyedév, {n}. oldal", 150),
            "",
            CONDENSED + rule(w, d["tl"], d["tt"], d["tr"], d["h"]),
            cells(head, w, d["v"], aligns),
            rule(w, d["lt"], d["x"], d["rt"], d["h"]),
        ]
        for i, row in enumerate(chunk):
            lines.append(row)
            if i % 6 == 5 and i < len(chunk) - 1:
                lines.append(rule(w, s["lt"], s["x"], s["rt"], s["h"]))
        lines.append(rule(w, d["bl"], d["bt"], d["br"], d["h"]) + RESTORE)
        if n == len(chunks):
            lines += ["", ELITE + "A záró készlet az év végi leltár szerint; eltérés esetén a "
                      "raktárvezető jegyzőkönyvet vesz fel." + NORMAL]
        pages.append(lines)
    return pages


# ------------------------------------------------------------------ output

def write_pages(path, pages):
    with open(path, "wb") as out:
        for n, lines in enumerate(pages):
            if n:
                out.write(encode(FF))
            out.write(encode(EOL.join(lines) + EOL))


def samples(out_dir):
    rng = random.Random(852)
    write_pages(os.path.join(out_dir, "invoice.txt"), [invoice_lines("2026/0412", ITEMS, w=INVOICE_WIDTHS_80)])
    pages = 4
    write_pages(os.path.join(out_dir, "ledger.txt"),
                [ledger_page(rng, p + 1, pages, 1 + p * 38) for p in range(pages)])
    write_pages(os.path.join(out_dir, "report.txt"), report_pages(rng))


def big(path, pages):
    rng = random.Random(1250)
    with open(path, "wb") as out:
        for p in range(pages):
            if p:
                out.write(encode(FF))
            if p % 2 == 0:
                items = rng.sample(ITEMS, rng.randrange(9, len(ITEMS) + 1))
                lines = invoice_lines(f"2026/{p // 2 + 1:05d}", items, double_frame=(p % 4 == 0))
            else:
                lines = ledger_page(rng, p + 1, pages, 1 + p * 52, rows=52)
            out.write(encode(EOL.join(lines) + EOL))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.dirname(os.path.abspath(__file__)),
                        help="directory for invoice.txt, ledger.txt and report.txt")
    parser.add_argument("--big", metavar="OUT", help="write a big job to OUT instead")
    parser.add_argument("--pages", type=int, default=2000, help="pages of the big job")
    args = parser.parse_args(argv)
    if args.big:
        if args.pages < 1:
            parser.error("--pages must be at least 1")
        big(args.big, args.pages)
    else:
        samples(args.out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
