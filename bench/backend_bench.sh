#!/usr/bin/env bash
# The office print server's speed: a 100-page ESC/P job sent with lp to a queue of
# the norvexa backend on a private CUPS scheduler, timed until its PDF is spooled at
# the target queue; and the backend alone drawing the same job (pages per second).
#
#   bench/backend_bench.sh [BUILD_DIR]   (default build/ci)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build/ci}
backend=$build/bin/norvexa-backend
[[ -x $backend ]] || { echo "backend_bench: build $backend first" >&2; exit 1; }
root=$(mktemp -d /tmp/norvexa-bench.XXXXXX)
chmod 755 "$root"
"$top/scripts/private-cupsd.sh" "$root/cups" cel "$backend" &
cupsd=$!
trap 'kill $cupsd 2>/dev/null; wait 2>/dev/null; rm -rf "$root"' EXIT
export CUPS_SERVER=$root/cups/cups.sock
for _ in $(seq 100); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.1; done
lpadmin -p dos -E -v 'norvexa:/cel?kodlap=852' -o printer-error-policy=retry-job
# 100 pages of 60 lines each, with bold, a box and the Hungarian letters.
job=$root/job.prn
{
  printf '\033@\033t\001'
  for p in $(seq 100); do
    printf '\033E*** %d. oldal ***\033F\r\n\332\304\304\304\304\304\277\r\n' "$p"
    for l in $(seq 57); do printf 'Sor %d/%d \240rv\241zt\373r\213 t\201k\224rf\243r\242g\202p 12345.67\r\n' "$l" "$p"; done
    printf '\300\304\304\304\304\304\331\r\n\014'
  done
} > "$job"
chmod 644 "$job"
docs() { find "$root/cups/spool" -name 'd*' | wc -l; }
before=$(docs)
start=$(date +%s.%N)
lp -d dos "$job" >/dev/null
# The job's own document at dos, then the drawn PDF at cel.
until [[ $(docs) -ge $((before + 2)) ]]; do sleep 0.05; done
pdf=$(ls -t "$root"/cups/spool/d* | head -1)
until [[ -z $(lpstat -o dos 2>/dev/null) ]]; do sleep 0.05; done
end=$(date +%s.%N)
pages=$(pdfinfo "$pdf" | sed -n 's/^Pages: *//p')
printf 'lp to the PDF at the target: %.2f s (%s pages, %s bytes of ESC/P)\n' "$(echo "$end - $start" | bc -l)" "$pages" "$(stat -c %s "$job")"
# The backend alone: drawing and handing over, five runs.
best=999
for _ in 1 2 3 4 5; do
  s=$(date +%s.%N)
  DEVICE_URI='norvexa:/cel?kodlap=852' "$backend" 1 bench bench 1 '' "$job" 2>/dev/null
  e=$(date +%s.%N)
  t=$(echo "$e - $s" | bc -l)
  best=$(echo "if ($t < $best) $t else $best" | bc -l)
done
printf 'backend alone (best of 5): %.2f s, %.0f pages per second\n' "$best" "$(echo "$pages / $best" | bc -l)"
