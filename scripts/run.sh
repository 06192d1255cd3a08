#!/usr/bin/env bash
# Installs what is needed, builds the service, prepares drive C and starts the service.
#
#   ./scripts/run.sh [--drive-c DIR] [Qt options]
#
# Drive C is DIR, else $NORVEXA_DRIVE_C, else $HOME/.local/share/norvexa/drive_c. Its
# "norvexa" folder and the seven job directories are made if missing (the program
# itself never creates a directory).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

"$top/scripts/install-deps.sh"

build="${NORVEXA_BUILD_DIR:-$top/build/run}"
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DNORVEXA_BUILD_TESTS=OFF -DNORVEXA_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target norvexa -j"$(nproc)"

# The drive the program will use: the same choice as the program makes.
drive="${NORVEXA_DRIVE_C:-}"
if [ -z "$drive" ]; then
  if [ -n "${HOME:-}" ]; then drive="$HOME/.local/share/norvexa/drive_c"; else drive=/tmp/norvexa/drive_c; fi
fi
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  case "${args[i]}" in
    --drive-c) [ $((i + 1)) -lt ${#args[@]} ] && drive="${args[i + 1]}" ;;
    --drive-c=*) drive="${args[i]#--drive-c=}" ;;
  esac
done

# Each directory is made only when no existing one matches it case-insensitively,
# as the program matches path components.
ensure_dir() {
  local parent=$1 name=$2 found
  found=$(find "$parent" -mindepth 1 -maxdepth 1 -type d -iname "$name" -print -quit 2>/dev/null || true)
  if [ -z "$found" ]; then mkdir -p "$parent/$name"; fi
}
mkdir -p "$drive"
for d in norvexa talvera brimost quenlit vorbane selkira manduro pexolan; do
  ensure_dir "$drive" "$d"
done
echo "Drive C: $drive"
echo "Drop a job into $drive/talvera/wnyomtat.txt (or any of the other six job directories)."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No desktop display found (DISPLAY is not set). Start it from a desktop session," >&2
  echo "or under a virtual one: xvfb-run -a ./scripts/run.sh" >&2
  exit 1
fi
exec "$build/bin/norvexa" "$@"
