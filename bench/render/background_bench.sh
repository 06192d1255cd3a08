#!/usr/bin/env bash
# What a background costs a folder's PDF: pages per second of `norvexa-print --escp
# --pdf` on a generated ESC/P job of PAGES pages, without a background and under a
# 300-dpi A4 form image (2480 x 3508 pixels), in one run; and the PDF's size for 1
# and 100 pages with and without it (the form is stored once, so 100 pages grow the
# file by about one form, not a hundred).
#
#   bench/render/background_bench.sh [PAGES] [BUILD_DIR]
#
# PAGES defaults to 1000; BUILD_DIR to build/bench (configured as Release and built
# here if needed). Each run is made three times; the best wall-clock time counts.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
pages=${1:-1000}
build=${2:-$top/build/bench}
print="$build/bin/norvexa-print"
for tool in python3 gs; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (see scripts/packages.txt)" >&2; exit 1; }
done
if [ ! -x "$print" ]; then
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target norvexa-print -j2 >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen

# The form: boxes, rules and a grey letterhead band drawn by ghostscript at 300 dpi.
cat > "$work/form.ps" <<'PS'
%!PS
<< /PageSize [595 842] >> setpagedevice
0.85 setgray 0 770 595 72 rectfill
0 setgray 1 setlinewidth
40 60 515 680 rectstroke
40 700 moveto 555 700 lineto stroke
0 1 30 { 20 mul 80 add dup 40 exch moveto 555 exch lineto stroke } for
/Helvetica findfont 24 scalefont setfont 60 800 moveto (SZAMLA - INVOICE FORM) show
showpage
PS
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r300 -sOutputFile="$work/form.png" "$work/form.ps"

python3 - "$work" "$pages" <<'PY'
import sys
work, pages = sys.argv[1], int(sys.argv[2])
def job(n):
    out = bytearray(b"\x1b@\x1bC\x00\x0b")
    for p in range(n):
        for line in range(60):
            out += b"%05d %02d  Item %-30s %10.2f %10.2f\r\n" % (p + 1, line + 1, b"x" * (line % 30), line * 1.5, p * 2.25)
        out += b"\x0c"
    return bytes(out)
for n in (1, 100, pages):
    open(f"{work}/job{n}.prn", "wb").write(job(n))
PY

python3 - "$print" "$work" "$pages" <<'PY'
import os, subprocess, sys, time
exe, work, pages = sys.argv[1], sys.argv[2], int(sys.argv[3])
def best(args):  # the best wall-clock seconds of three runs
    times = []
    for _ in range(3):
        start = time.perf_counter()
        subprocess.run([exe] + args, check=True, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return min(times)
form = f"{work}/form.png"
plain = best(["--escp", f"{work}/job{pages}.prn", "--pdf", f"{work}/plain.pdf"])
under = best(["--escp", "--background", form, f"{work}/job{pages}.prn", "--pdf", f"{work}/under.pdf"])
print(f"{pages} pages without a background: {plain:.2f} s, {pages / plain:.0f} pages/s")
print(f"{pages} pages under a 300-dpi A4 form: {under:.2f} s, {pages / under:.0f} pages/s "
      f"({plain / under:.2f} of the rate without)")
def grown(n):
    subprocess.run([exe, "--escp", f"{work}/job{n}.prn", "--pdf", f"{work}/p{n}.pdf"], check=True, stderr=subprocess.DEVNULL)
    subprocess.run([exe, "--escp", "--background", form, f"{work}/job{n}.prn", "--pdf", f"{work}/b{n}.pdf"],
                   check=True, stderr=subprocess.DEVNULL)
    return os.path.getsize(f"{work}/b{n}.pdf") - os.path.getsize(f"{work}/p{n}.pdf")
one, hundred = grown(1), grown(100)
print(f"PDF growth with the form: 1 page {one} bytes, 100 pages {hundred} bytes ({hundred / one:.2f} forms)")
PY
