#!/usr/bin/env bash
# Prints pages per second and peak memory of `norvexa-print --pdf` on one generated
# job of text and boxes taken two ways in one run: as the host programs' line format,
# and as an ESC/P job with the same text (code page 852, the line format's one-byte
# font codes turned into ESC/P commands of the same look: bold, condensed, and the
# normal size at 12 characters an inch, so that its lines fit the page as the line
# format's do). Twice the pages a second time shows whether peak memory
# follows the page count.
#
#   bench/render/escp_vs_line.sh [PAGES] [BUILD_DIR]
#
# PAGES defaults to 1000; BUILD_DIR to build/bench (configured as Release and built
# here if needed). Each route runs three times; the best wall-clock time counts.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
pages=${1:-1000}
build=${2:-$top/build/bench}
print="$build/bin/norvexa-print"
for tool in python3 pdfinfo /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "missing: $tool (see scripts/packages.txt)" >&2; exit 1; }
done
if [ ! -x "$print" ]; then
    cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build" --target norvexa-print -j2 >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
for n in "$pages" $((pages * 2)); do
    python3 "$top/samples/generate.py" --big "$work/job$n.txt" --pages "$n"
    python3 - "$work/job$n.txt" "$work/job$n.escp" <<'PY'
import re, sys
codes = {1: b"\x1bE", 2: b"\x1bF", 3: b"\x0f", 4: b"\x12", 6: b"\x12\x1bg",
         7: b"\x12\x1bM\x1bW\x00", 8: b"\x1bW\x01", 9: b"\x12\x1bM\x1bW\x00"}
data = open(sys.argv[1], "rb").read()
out = b"\x1bM" + re.sub(rb"[\x01-\x09\x0b\x0e-\x1f]", lambda m: codes.get(m.group()[0], b""), data)
open(sys.argv[2], "wb").write(out)
PY
done

printf '%-12s %6s %6s %8s %9s %8s %8s\n' route job_pg out_pg wall_s 'job pg/s' peak_MB out_MB
declare -A rate
measure() {  # name pages args...
    local name=$1 n=$2 best="" peak=0; shift 2
    for _ in 1 2 3; do
        /usr/bin/time -f '%e %M' -o "$work/time" "$print" "$@" --pdf "$work/out.pdf" >/dev/null 2>"$work/err" ||
            { cat "$work/err" >&2; exit 1; }
        read -r wall kb < "$work/time"
        if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN{exit !(a<b)}'; then best=$wall; fi
        [ "$kb" -gt "$peak" ] && peak=$kb
    done
    local got r
    got=$(pdfinfo "$work/out.pdf" | sed -n 's/^Pages: *//p')
    # The job's own pages (its form feeds and its last page) a second.
    r=$(awk -v p="$n" -v w="$best" 'BEGIN{printf "%.0f", p / (w > 0 ? w : 0.001)}')
    rate[$name$n]=$r
    printf '%-12s %6s %6s %8s %9s %8.1f %8.1f\n' "$name" "$n" "$got" "$best" "$r" "$(awk -v k="$peak" 'BEGIN{print k/1024}')" \
        "$(awk -v b="$(stat -c %s "$work/out.pdf")" 'BEGIN{print b/1048576}')"
}
for n in "$pages" $((pages * 2)); do
    measure line "$n" "$work/job$n.txt"
    measure escp "$n" --escp --codepage 852 "$work/job$n.escp"
done
awk -v e="${rate[escp$pages]}" -v l="${rate[line$pages]}" \
    'BEGIN{printf "ESC/P route at %.2f of the line format'"'"'s rate\n", e / l}'
