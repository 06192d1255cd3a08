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
cmake --build "$build" --target norvexa norvexa-print -j"$(nproc)"

# Drive C as the program chooses it, with its folders made (shared with the
# installed launcher).
drive=$(NORVEXA_PRINT="$build/bin/norvexa-print" "$top/scripts/norvexa-launch" --prepare-only "$@")
echo "Drive C: $drive"
echo "Drop a job into $drive/talvera/wnyomtat.txt (or any of the other six job directories)."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No desktop display found (DISPLAY is not set). Start it from a desktop session," >&2
  echo "or under a virtual one: xvfb-run -a ./scripts/run.sh" >&2
  exit 1
fi
exec "$build/bin/norvexa" "$@"
