#!/usr/bin/env bash
# Prints pages per second, peak memory and output size of `norvexa-print --pdf` on a
# generated job of about 2000 pages, and of three other text-to-PDF routes on the same
# text in UTF-8: CUPS's texttopdf filter, enscript piped to ps2pdf, and paps piped to
# ps2pdf. All run one after another in this one invocation, on the same machine.
#
#   bench/render/run_peers.sh [PAGES] [BUILD_DIR] [PAPS_PAGES]
#
# BUILD_DIR defaults to build/bench (configured as Release and built here if needed).
# paps is slow, so it gets only the first PAPS_PAGES pages of the job (default 100).
# "job pg/s" counts the job's own pages (its form feeds) per wall-clock second: the
# same input for every route. The peers break pages by line count themselves, so
# their PDFs hold more, shorter pages ("out pages"). The machine's load matters: CPU
# seconds are printed beside the wall-clock ones.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
pages=${1:-2000}
build=${2:-$top/build/bench}
paps_pages=${3:-100}
print="$build/bin/norvexa-print"

need() { command -v "$1" >/dev/null || { echo "missing: $1 (see scripts/packages.txt)" >&2; exit 1; }; }
for tool in python3 pdfinfo enscript ps2pdf paps iconv /usr/bin/time; do need "$tool"; done
texttopdf=/usr/lib/cups/filter/texttopdf
[ -x "$texttopdf" ] || { echo "missing: $texttopdf (package cups-filters)" >&2; exit 1; }

if [ ! -x "$print" ]; then
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target norvexa-print -j2 >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$top/samples/generate.py" --big "$work/job.txt" --pages "$pages"
# The same text for the peers: code page 852 to UTF-8, the one-byte font codes dropped.
python3 - "$work/job.txt" "$work/job.utf8" "$paps_pages" <<'PY'
import re, sys
text = open(sys.argv[1], "rb").read().decode("cp852")
text = re.sub("[\x01-\x09\x0b\x0e-\x1f]", "", text)
open(sys.argv[2], "w", encoding="utf-8", newline="").write(text)
pages = text.split("\f")
open(sys.argv[2] + ".head", "w", encoding="utf-8", newline="").write("\f".join(pages[:int(sys.argv[3])]))
PY
export QT_QPA_PLATFORM=offscreen

printf '%-20s %6s %6s %8s %8s %9s %9s %8s %8s\n' route job_pg out_pg wall_s cpu_s 'job pg/s' 'out pg/s' peak_MB out_MB
declare -A rate
run() {
    local name=$1 out=$2 jobpages=$3; shift 3
    /usr/bin/time -f '%e %U %S %M' -o "$work/time" bash -c "$*" 2>"$work/err" >/dev/null ||
        { echo "$name failed:" >&2; cat "$work/err" >&2; return 1; }
    read -r wall user sys rss < "$work/time"
    local n size
    n=$(pdfinfo "$out" 2>/dev/null | awk '/^Pages:/ {print $2}')
    size=$(stat -c %s "$out")
    awk -v name="$name" -v j="$jobpages" -v n="$n" -v w="$wall" -v u="$user" -v s="$sys" -v m="$rss" -v b="$size" 'BEGIN {
        cpu = u + s; if (w < 0.01) w = 0.01; if (cpu < 0.01) cpu = 0.01
        printf "%-20s %6d %6d %8.2f %8.2f %9.1f %9.1f %8.1f %8.1f\n", name, j, n, w, cpu, j / w, n / w, m / 1024, b / 1048576 }'
    rate[$name]=$(awk -v j="$jobpages" -v w="$wall" 'BEGIN { if (w < 0.01) w = 0.01; print j / w }')
}

jobpages=$(( $(tr -cd '\f' < "$work/job.txt" | wc -c) + 1 ))
run "norvexa-print --pdf" "$work/norvexa.pdf" "$jobpages" "'$print' '$work/job.txt' --pdf '$work/norvexa.pdf'"
run "texttopdf" "$work/texttopdf.pdf" "$jobpages" \
    "CHARSET=utf-8 CONTENT_TYPE=text/plain PPD= '$texttopdf' 1 bench job 1 'media=A4' '$work/job.utf8' > '$work/texttopdf.pdf'"
run "enscript | ps2pdf" "$work/enscript.pdf" "$jobpages" \
    "iconv -f UTF-8 -t ISO-8859-2//TRANSLIT '$work/job.utf8' | enscript -q -B -X latin2 -M A4 -f Courier10 -p - | ps2pdf -sPAPERSIZE=a4 - '$work/enscript.pdf'"
run "paps | ps2pdf" "$work/paps.pdf" "$(( jobpages < paps_pages ? jobpages : paps_pages ))" \
    "paps --paper=a4 --font='Monospace 10' '$work/job.utf8.head' | ps2pdf -sPAPERSIZE=a4 - '$work/paps.pdf'"

awk -v a="${rate[norvexa-print --pdf]}" -v e="${rate[enscript | ps2pdf]}" -v t="${rate[texttopdf]}" 'BEGIN {
    printf "\njob pages per second, norvexa-print / enscript+ps2pdf: %.2fx (target: at least 2x)\n", a / e
    printf "job pages per second, norvexa-print / texttopdf:       %.2fx\n", a / t }'
