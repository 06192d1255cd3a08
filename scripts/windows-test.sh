#!/usr/bin/env bash
# The Windows stage: cross-builds the programs, the tests and the installer
# (scripts/build-windows.sh) and runs under Wine, in a fresh Wine prefix whose drive
# C is build/windows/wine-test/drive_c:
#   1. the test programs: the core, the file layer on the Windows backend (sharing
#      between handles and between processes), the window tests and the drawing
#      tests on the offscreen platform;
#   2. norvexa-print.exe printing a sample into a PDF (pages and Hungarian text read
#      back with pdfinfo and pdftotext);
#   3. the service on a virtual screen (Xvfb), as a user meets it: the main window
#      and its first message, the printer chosen in Wine's print dialog (a private
#      CUPS queue behind Wine's spooler), a job dropped into c:\talvera\wnyomtat.txt
#      taken, printed and consumed, and the exit button (settings kept, marker gone);
#   4. the installer, installed and uninstalled silently.
#
# Without the cross Qt (no cache, no prebuilt copy beside the checkout) the stage is
# skipped with a message, unless NORVEXA_WINDOWS=required, which makes it build Qt
# from Debian's source package instead (scripts/build-qt-windows.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build/windows
log=$out/windows-test.log
cache=${NORVEXA_QT_WINDOWS_CACHE:-$HOME/.cache/norvexa/qt-windows}
prebuilt=${NORVEXA_QT_WINDOWS_PREBUILT:-$top/../shared/windows}

say() { echo "windows-test: $*"; }
fail() { say "FAILED: $*"; exit 1; }

if [[ ${NORVEXA_WINDOWS:-} != required && ! -x $cache/qt6-win64/bin/qt-cmake &&
      ! -f $prebuilt/qt6-win64.tar.zst ]]; then
    say "SKIPPED: no Qt for Windows at hand (neither $cache nor $prebuilt/qt6-win64.tar.zst)."
    say "Make it with scripts/build-qt-windows.sh --from-source (about 20 minutes), or run"
    say "with NORVEXA_WINDOWS=required to do that here."
    exit 0
fi

stage_start=$SECONDS
"$top/scripts/build-windows.sh"
say "build took $((SECONDS - stage_start)) s"

export WINEPREFIX=$out/wine-test WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR='Z:\usr\share\fonts\truetype\liberation'
drive_c=$WINEPREFIX/drive_c
pids=()
cleanup() {
    wineserver -k 2>/dev/null || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT

# A fresh prefix; "Courier New" and "MS Sans Serif" are Liberation's fonts in it,
# as a fresh Windows has its own.
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
for pair in "Courier New=Liberation Mono" "MS Sans Serif=Liberation Sans"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "${pair%%=*}" /d "${pair#*=}" /f >/dev/null 2>&1
done
: > "$log"

# 1. The test programs, each run whole (from the build tree, so their paths hold).
cd "$out"
tests=(tests/platform/platform_tests tests/intake/intake_tests tests/render/render_tests
       tests/mail/mail_tests tests/integration/integration_tests tests/escp/escp_tests
       tests/formats/formats_tests)
for t in tests/forms/forms_*_test.exe; do tests+=("${t%.exe}"); done
for t in "${tests[@]}"; do
    [[ -f $t.exe ]] || fail "$t.exe was not built"
    if ! timeout 900 wine "$t.exe" >> "$log" 2>&1; then
        grep -E '^\[  FAILED  \]|Failure' "$log" | tail -20
        fail "$t.exe (output in $log)"
    fi
    say "$(basename "$t"): $(grep -E '^\[  PASSED  \]' "$log" | tail -1)"
done

# 2. norvexa-print.exe into a PDF.
pdf=$out/invoice.pdf
rm -f "$pdf"
wine bin/norvexa-print.exe --pdf 'Z:'"${pdf//\//\\}" 'Z:'"${top//\//\\}"'\samples\invoice.txt' >> "$log" 2>&1 ||
    fail "norvexa-print.exe did not print the sample"
pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
[[ $pages == 1 ]] || fail "norvexa-print.exe's PDF has $pages pages, not 1"
pdftotext "$pdf" - | grep -q "Árvíztűrő tükörfúrógép" || fail "norvexa-print.exe's PDF lacks the Hungarian text"
say "norvexa-print.exe: the sample in a PDF, 1 page, Hungarian text read back"
# With no font that can draw the letters (Qt's font directory empty), the PDF is
# refused with a message saying so, never written with boxes or without text.
nofonts=$out/no-fonts
mkdir -p "$nofonts"
rm -f "$out/nofont.pdf"
if WINEQT_QPA_FONTDIR='Z:'"${nofonts//\//\\}" wine bin/norvexa-print.exe --pdf 'Z:'"${out//\//\\}"'\nofont.pdf' \
        'Z:'"${top//\//\\}"'\samples\invoice.txt' > "$out/nofont.log" 2>&1; then
    fail "norvexa-print.exe reported a PDF written without any font"
fi
grep -q "no installed font can draw" "$out/nofont.log" || fail "no clear message without fonts: $(tail -3 "$out/nofont.log")"
[[ ! -e $out/nofont.pdf ]] || fail "a PDF was left without any font"
say "norvexa-print.exe: without fonts, the PDF refused with a clear message"

# 3. The service on a virtual screen, printing through Wine's spooler into a
# private CUPS queue.
cups=$out/cups
rm -rf "$cups"
"$top/scripts/private-cupsd.sh" "$cups" norvexa-test &
pids+=($!)
export CUPS_SERVER=$cups/cups.sock
for _ in $(seq 50); do lpstat -d >/dev/null 2>&1 && break; sleep 0.1; done
lpstat -d >/dev/null 2>&1 || fail "the private CUPS scheduler did not start"

display=:$((70 + RANDOM % 200))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done
unset WINEQT_QPA_PLATFORM  # the real windows platform now
while read -r d; do mkdir -p "$drive_c/$d"; done < "$out/drive-layout.txt"

# Waits up to $2 tenths of a second for the command $1 to succeed.
wait_for() { for _ in $(seq "$2"); do eval "$1" && return 0; sleep 0.1; done; eval "$1"; }

# A watched folder for another DOS program's ESC/P jobs (code page 852).
mkdir -p "$drive_c/IRODA/NYOMTAT" "$drive_c/IRODA/NYERS" "$drive_c/IRODA/LEVEL"
printf '[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\ntipus=24\r\nkodlap=852\r\nmuvelet=nyomtatas\r\n' \
    > "$drive_c/norvexa/mappak.ini"
# A second folder sends its jobs' bytes unchanged (the spooler's RAW data type).
printf '[mappa2]\r\nutvonal=C:\\IRODA\\NYERS\r\nnyers=igen\r\n' >> "$drive_c/norvexa/mappak.ini"
# A third names its printer (the queue, by the name Windows lists), Letter paper and
# a form image drawn under its pages: white, with a black square 1.5 inches wide whose
# corner is 4 inches right and 5 inches down.
mkdir -p "$drive_c/FORM"
printf '%%!PS\n<< /PageSize [612 792] >> setpagedevice 288 324 108 108 rectfill showpage\n' > "$out/form.ps"
gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r100 -sOutputFile="$drive_c/FORM/LAP.PNG" "$out/form.ps"
printf '[mappa3]\r\nutvonal=C:\\IRODA\\LEVEL\r\nnyomtato=norvexa-test\r\npapir=Letter\r\nhatter=C:\\FORM\\LAP.PNG\r\n' >> "$drive_c/norvexa/mappak.ini"
wine explorer /desktop=norvexa,1024x768 "$out/bin/norvexa.exe" >> "$log" 2>&1 &
wait_for '[[ -f $drive_c/norvexa/NORVEXA.AKT ]]' 300 || fail "the service wrote no presence marker"
[[ $(stat -c %s "$drive_c/norvexa/CONFIG.DTA") == 28 ]] || fail "the service wrote no 28-byte settings file"
pgrep -f "^$out/bin/norvexa.exe" >/dev/null || fail "the service is not running"
sleep 2
if command -v xwd >/dev/null && command -v xwdtopnm >/dev/null; then
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$out/service-start.png" 2>/dev/null || true
    sleep 3
    xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng > "$out/service-start-later.png" 2>/dev/null || true
fi
# The first message ("Először válasszon nyomtatót!") with OK, then the printer
# button, which has the focus, and OK in the print dialog.
xdotool key Return
sleep 1
xdotool key space
sleep 2
xdotool key Return
sleep 1
printf 'ELSŐ OLDAL\r\n\x0cMÁSODIK OLDAL\r\nVÉGE\r\n' | iconv -f UTF-8 -t CP852 > "$out/host-job.txt"
cp "$out/host-job.txt" "$drive_c/talvera/WNYOMTAT.TXT"
wait_for '[[ ! -e $drive_c/talvera/WNYOMTAT.TXT ]]' 200 || fail "the dropped job was not taken"
wait_for 'compgen -G "$cups/spool/d*" >/dev/null' 200 || fail "no document reached the printer queue"
doc=$(compgen -G "$cups/spool/d*" | head -1)
ps2pdf "$doc" "$out/service-job.pdf"
pages=$(pdfinfo "$out/service-job.pdf" | sed -n 's/^Pages: *//p')
[[ $pages == 2 ]] || fail "the printed job has $pages pages, not 2"
grep -aq '^%%Title: (Nyomtat\\341si eredm\\351ny)' "$doc" || fail "the printed job lacks its title"
[[ $(compgen -G "$cups/spool/d*" | wc -l) == 1 ]] || fail "the job was printed more than once"
[[ -s $drive_c/norvexa/legutobb.txt ]] || fail "no last-job copy"
say "service: marker and settings written, job taken, printed once (2 pages through Wine's spooler into CUPS) and consumed"
# An ESC/P job in the watched folder: printed once through the same queue, then gone.
# (Made beside the folder and moved in, so it appears whole.)
printf '\033@\033t\001\033EESCP-JOB\033F\r\n\332\304\304\304\277\r\n' > "$drive_c/IRODA/szamla.tmp"
printf '\240rv\241zt\373r\213 t\201k\224rf\243r\242g\202p\r\n\014' >> "$drive_c/IRODA/szamla.tmp"
mv "$drive_c/IRODA/szamla.tmp" "$drive_c/IRODA/NYOMTAT/SZAMLA.PRN"
wait_for '[[ ! -e $drive_c/IRODA/NYOMTAT/SZAMLA.PRN ]]' 200 || fail "the folder's ESC/P job was not taken"
wait_for '[[ $(compgen -G "$cups/spool/d*" | wc -l) -ge 2 ]]' 200 || fail "the ESC/P job did not reach the queue"
escp_doc=$(compgen -G "$cups/spool/d*" | sort | tail -1)
# (Wine's PostScript driver draws the letters as shapes: the text cannot be read back
# from this document; the ESC/P tests under Wine read the drawn text.)
ps2pdf "$escp_doc" "$out/service-escp.pdf"
pages=$(pdfinfo "$out/service-escp.pdf" | sed -n 's/^Pages: *//p')
[[ $pages == 1 ]] || fail "the printed ESC/P job has $pages pages, not 1"
grep -aq '^%%Title: (Nyomtat\\341si eredm\\351ny)' "$escp_doc" || fail "the printed ESC/P job lacks its title"
sleep 4  # more than a watch cycle: a second print would be there by now
[[ $(compgen -G "$cups/spool/d*" | wc -l) == 2 ]] || fail "the ESC/P job was printed more than once"
say "service: an ESC/P job in a watched folder printed once (1 page) and removed"
# A job in the raw folder: its bytes reach the queue unchanged, once.
printf '\033@RAW-JOB \001\377\014' > "$drive_c/IRODA/raw.tmp"
cp "$drive_c/IRODA/raw.tmp" "$out/raw-job.prn"
mv "$drive_c/IRODA/raw.tmp" "$drive_c/IRODA/NYERS/RAW.PRN"
wait_for '[[ ! -e $drive_c/IRODA/NYERS/RAW.PRN ]]' 200 || fail "the raw folder's job was not taken"
wait_for '[[ $(compgen -G "$cups/spool/d*" | wc -l) -ge 3 ]]' 200 || fail "the raw job did not reach the queue"
raw_doc=$(compgen -G "$cups/spool/d*" | sort | tail -1)
cmp -s "$raw_doc" "$out/raw-job.prn" || fail "the raw job reached the queue changed ($(stat -c %s "$raw_doc") bytes)"
sleep 4
[[ $(compgen -G "$cups/spool/d*" | wc -l) == 3 ]] || fail "the raw job was printed more than once"
say "service: a raw folder's job reached the queue byte for byte, once (the spooler's RAW data type)"
# A job in the folder with its own printer and paper: printed there once, on Letter.
printf '\033@LETTER-JOB\r\n\014' > "$drive_c/IRODA/level.tmp"
mv "$drive_c/IRODA/level.tmp" "$drive_c/IRODA/LEVEL/L.PRN"
wait_for '[[ ! -e $drive_c/IRODA/LEVEL/L.PRN ]]' 200 || fail "the routed folder's job was not taken"
wait_for '[[ $(compgen -G "$cups/spool/d*" | wc -l) -ge 4 ]]' 200 || fail "the routed job did not reach its printer"
letter_doc=$(compgen -G "$cups/spool/d*" | sort | tail -1)
ps2pdf "$letter_doc" "$out/service-letter.pdf"
pdfinfo "$out/service-letter.pdf" | grep -q "612 x 792" ||
    fail "the routed job is not on Letter: $(pdfinfo "$out/service-letter.pdf" | grep 'Page size')"
# The form under it: the square's middle dark, the paper beside it white.
pdftoppm -gray -r 50 -f 1 -l 1 -singlefile "$out/service-letter.pdf" "$out/service-letter"
grey_at() { python3 -c 'import re, sys
d=open(sys.argv[1],"rb").read(); m=re.match(rb"P5\s+(\d+)\s+(\d+)\s+\d+\s", d)
print(d[m.end() + int(sys.argv[3]) * int(m.group(1)) + int(sys.argv[2])])' "$out/service-letter.pgm" "$1" "$2"; }
[[ $(grey_at 237 287) -lt 64 && $(grey_at 180 287) -gt 192 ]] ||
    fail "the folder's form image is not under its job (grey $(grey_at 237 287) on the square, $(grey_at 180 287) beside it)"
sleep 4
[[ $(compgen -G "$cups/spool/d*" | wc -l) == 4 ]] || fail "the routed job was printed more than once"
say "service: a folder's job on its own printer (named as Windows lists it) and paper (Letter), once, over its form image"
# The history: every job once, oldest first, with its copy as the host wrote it.
history() { wine bin/norvexa-print.exe --history --drive-c 'Z:'"${drive_c//\//\\}" 2>>"$log" | tr -d '\r'; }
lines=$(history)
[[ $(grep -c . <<<"$lines") == 4 ]] || fail "the history lists $(grep -c . <<<"$lines") jobs, not 4: $lines"
first=$(sed -n 1p <<<"$lines")
IFS=$'\t' read -r _ source format pages printer result copy _files <<<"$first"
[[ $source == 'C:\TALVERA\WNYOMTAT.TXT' && $format == line && $pages == 2 && $result == printed ]] ||
    fail "the history's first job is wrong: $first"
copy_unix=$(winepath -u "$copy" 2>/dev/null)
cmp -s "$copy_unix" "$out/host-job.txt" || fail "the history's copy of the first job differs from the job"
[[ $(sed -n 3p <<<"$lines" | cut -f2) == *RAW.PRN && $(sed -n 4p <<<"$lines" | cut -f5) == norvexa-test ]] ||
    fail "the history's folder jobs are wrong: $lines"
# Printed again from the history window (Alt+E, then Alt+Ú on the newest job and OK
# in the page choice): once more on its printer, on Letter.
xdotool key alt+e
sleep 2
xdotool key alt+Uacute
sleep 2
xdotool key Return
wait_for '[[ $(compgen -G "$cups/spool/d*" | wc -l) -ge 5 ]]' 200 || fail "the job printed again did not reach its printer"
again_doc=$(compgen -G "$cups/spool/d*" | sort | tail -1)
ps2pdf "$again_doc" "$out/service-again.pdf"
pdfinfo "$out/service-again.pdf" | grep -q "612 x 792" || fail "the job printed again is not on Letter"
sleep 4
[[ $(compgen -G "$cups/spool/d*" | wc -l) == 5 ]] || fail "the job was printed again more than once"
[[ $(history | grep -c .) == 5 ]] || fail "printing again added no line of its own to the history"
xdotool key Escape
sleep 1
say "service: the history lists each job once with its copy; a job printed again from it, once"
# A fourth folder saves its jobs as PDF files named by their own text (added while
# the service runs: it reads the folders file again).
mkdir -p "$drive_c/IRODA/PDF" "$drive_c/PDFEK"
printf '[mappa4]\r\nutvonal=C:\\IRODA\\PDF\r\nmuvelet=pdf\r\npdfmappa=C:\\PDFEK\r\nfajlnev=lap_{szoveg:LAP (\\d+)}\r\n' \
    >> "$drive_c/norvexa/mappak.ini"
sleep 4
printf '\033@LAP 42 MENTVE\r\n\014' > "$drive_c/IRODA/pdf.tmp"
mv "$drive_c/IRODA/pdf.tmp" "$drive_c/IRODA/PDF/P.PRN"
wait_for '[[ -f $drive_c/PDFEK/lap_42.pdf ]]' 200 || fail "the folder's job was not saved as C:\\PDFEK\\lap_42.pdf: $(ls "$drive_c/PDFEK")"
wait_for '[[ ! -e $drive_c/IRODA/PDF/P.PRN ]]' 100 || fail "the saved job was not consumed"
pdftotext "$drive_c/PDFEK/lap_42.pdf" - | grep -q "LAP 42 MENTVE" || fail "the saved PDF lacks the job's text"
[[ $(compgen -G "$cups/spool/d*" | wc -l) == 5 ]] || fail "a job only to be saved was printed"
say "service: a folder's job saved as a PDF named by its own text, not printed"
# The exit button (Alt+P, "&Program befejezése").
xdotool key alt+p
wait_for '[[ ! -e $drive_c/norvexa/NORVEXA.AKT ]]' 100 || fail "the exit button left the presence marker"
[[ $(stat -c %s "$drive_c/norvexa/CONFIG.DTA") == 28 ]] || fail "the settings file is not kept"
# (This build's program only: its Unix path starts the command line.)
wait_for '! pgrep -f "^$out/bin/norvexa.exe" >/dev/null' 300 || fail "the service did not end"
say "service: the exit button ended it, settings kept, marker gone"
wineserver -k 2>/dev/null || true

# 4. The installer, silently, into Program Files; the uninstaller leaves c:\norvexa.
setup=$(ls "$out"/norvexa-setup-*.exe)
wine "$setup" /S >> "$log" 2>&1 || fail "the installer failed"
wineserver -w
prog="$drive_c/Program Files/Norvexa"
for f in norvexa.exe norvexa-print.exe README.txt uninstall.exe; do
    [[ -f $prog/$f ]] || fail "the installer did not install $f"
done
start_menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs"
[[ -f $start_menu/Norvexa.lnk ]] || fail "no Start-menu entry"
startup_entry() { find "$start_menu" -ipath '*/startup/norvexa.lnk' | grep -q .; }
startup_entry || fail "no entry in Startup"
while read -r d; do
    [[ -d $drive_c/$d ]] || fail "the installer did not make c:\\$d"
done < "$out/drive-layout.txt"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Norvexa' >/dev/null 2>&1 ||
    fail "the installer did not register its uninstaller"
# An upgrade (the installer run again) leaves the user's watched folders alone.
folders_ini=$'[mappa1]\r\nutvonal=C:\\IRODA\\NYOMTAT\r\ntipus=9\r\nkodlap=852\r\nmuvelet=elonezet\r\n'
printf '%s' "$folders_ini" > "$drive_c/norvexa/mappak.ini"
printf '%s' "$folders_ini" > "$out/mappak.ini.before"
wine "$setup" /S >> "$log" 2>&1 || fail "the installer failed on an upgrade"
wineserver -w
cmp -s "$drive_c/norvexa/mappak.ini" "$out/mappak.ini.before" || fail "the upgrade changed c:\\norvexa\\mappak.ini"
# The uninstaller runs from a copy of itself and returns at once: wait for the prefix.
wine "$prog/uninstall.exe" /S >> "$log" 2>&1 || fail "the uninstaller failed"
wineserver -w
[[ ! -e $prog ]] || fail "the uninstaller left $(ls "$prog")"
[[ ! -e $start_menu/Norvexa.lnk ]] && ! startup_entry || fail "the uninstaller left the entries"
[[ -f $drive_c/norvexa/CONFIG.DTA && -f $drive_c/norvexa/legutobb.txt && -f $drive_c/norvexa/mappak.ini ]] ||
    fail "the uninstaller removed the user's files in c:\\norvexa"
say "installer: installed (programs, entries, directories), upgraded (mappak.ini kept) and uninstalled (user's files kept)"
say "stage took $((SECONDS - stage_start)) s"
