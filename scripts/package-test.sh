#!/usr/bin/env bash
# The Debian package as a user meets it: built, checked with lintian (no errors),
# installed with dpkg, a sample printed by /usr/bin/norvexa-print into a PDF, the
# service started as the session starts it at login (the autostart entry's Exec
# line, for a fresh user under a virtual display), a second start on the same drive
# ended by its message while the first keeps watching, the first ended by SIGTERM
# (marker gone, settings kept), then removed and purged with nothing left behind.
# Needs root (dpkg); elsewhere it says so and skips.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
  echo "package-test: skipped (installing a package needs root)"
  exit 0
fi
fail() { echo "package-test: FAILED: $*" >&2; exit 1; }
# A file of drive C, whatever case the program gave its name.
on_drive() { find "$1" -maxdepth 1 -iname "$2" -print -quit 2>/dev/null || true; }

deb=$("$top/scripts/package.sh" | tail -n 1)
echo "package-test: $(basename "$deb"), $(stat -c %s "$deb") bytes"
echo "package-test: $(dpkg-deb -f "$deb" Depends)"
lint=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges' || true)
[ -z "$lint" ] || echo "$lint"
if echo "$lint" | grep -q '^E:'; then fail "lintian reports errors"; fi

work=$(mktemp -d)
cleanup() {
  pkill -TERM -x norvexa 2>/dev/null || true
  if [ -n "${cupsd_pid:-}" ]; then kill "$cupsd_pid" 2>/dev/null || true; fi
  dpkg -P norvexa >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
dpkg -P norvexa >/dev/null 2>&1 || true
dpkg -i "$deb" >/dev/null
files=$(dpkg -L norvexa)

# norvexa-print, as installed.
/usr/bin/norvexa-print "$top/samples/invoice.txt" --pdf "$work/invoice.pdf"
pages=$(pdfinfo "$work/invoice.pdf" | sed -n 's/^Pages: *//p')
[ "${pages:-0}" -ge 1 ] || fail "the printed sample has no pages"
pdftotext "$work/invoice.pdf" - | grep -q "Sz.mla" || fail "the printed sample lacks its text"

# The office print server: the backend is root's with mode 0755, so the scheduler
# runs it as its own unprivileged user; lpinfo lists its device; norvexa-queue makes
# a queue on the system scheduler whose job is drawn and reaches its target.
backend=/usr/lib/cups/backend/norvexa
[ "$(stat -c '%U %a' "$backend")" = "root 755" ] || fail "the backend is $(stat -c '%U %a' "$backend"), not root 755"
[ -x /usr/bin/norvexa-queue ] || fail "no norvexa-queue"
if ! lpstat -r 2>/dev/null | grep -q "is running"; then
  /usr/sbin/cupsd -f >/dev/null 2>&1 &
  cupsd_pid=$!
  for _ in $(seq 1 100); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.1; done
fi
lpstat -r | grep -q "is running" || fail "the system scheduler did not start"
lpinfo --include-schemes norvexa -v | grep -q "^direct norvexa" || fail "lpinfo does not list the norvexa device"
lpadmin -p norvexa-pkg-target -E -v file:///dev/null
norvexa-queue add norvexa-pkg --target norvexa-pkg-target --codepage 852 >/dev/null || fail "norvexa-queue add failed"
norvexa-queue list | grep -q "^norvexa-pkg	norvexa-pkg-target	forma=escp" || fail "norvexa-queue list lacks the queue"
printf '\033@PACKAGE\r\n\014' > "$work/pkg.prn"
lp -d norvexa-pkg "$work/pkg.prn" >/dev/null
for _ in $(seq 1 300); do [ -n "$(lpstat -W completed -o norvexa-pkg-target 2>/dev/null)" ] && break; sleep 0.1; done
[ -n "$(lpstat -W completed -o norvexa-pkg-target 2>/dev/null)" ] || fail "the drawn job did not reach its target"
norvexa-queue remove norvexa-pkg || fail "norvexa-queue remove failed"
lpadmin -x norvexa-pkg-target
if [ -n "${cupsd_pid:-}" ]; then kill "$cupsd_pid"; wait "$cupsd_pid" 2>/dev/null || true; cupsd_pid=""; fi
echo "package-test: the CUPS backend (root, 0755) listed by lpinfo; a norvexa-queue queue drew a job onto its target"

# The start at login: the autostart entry's Exec line, for a new user's session.
exec_line=$(sed -n 's/^Exec=//p' /etc/xdg/autostart/norvexa.desktop)
[ -n "$exec_line" ] || fail "no Exec line in the autostart entry"
home="$work/home"
mkdir -p "$home"
drive="$home/.local/share/norvexa/drive_c"
HOME="$home" xvfb-run -a -s "-screen 0 1024x768x24" sh -c "$exec_line" >"$work/first.log" 2>&1 &
session=$!
marker=""
for _ in $(seq 1 100); do marker=$(on_drive "$drive/norvexa" norvexa.akt); [ -n "$marker" ] && break; sleep 0.1; done
[ -n "$marker" ] || { cat "$work/first.log"; fail "the service did not start at login"; }
for d in $(norvexa-print --drive-layout --drive-c "$drive" | tail -n +2); do
  [ -d "$drive/$d" ] || fail "the launcher did not make $d"
done
first=$(pgrep -n -x norvexa) || fail "no norvexa process"

# A second start on the same drive: its message, and the first goes on.
marker_before=$(stat -c %Y.%s "$marker")
HOME="$home" QT_QPA_PLATFORM=offscreen /usr/bin/norvexa >"$work/second.log" 2>&1 &
second=$!
for _ in $(seq 1 100); do grep -q "meghajt" "$work/second.log" && break; sleep 0.1; done
grep -q "m.r fut a C: meghajt.n ($drive)" "$work/second.log" || { cat "$work/second.log"; fail "no message from the second start"; }
kill -TERM "$second"
status=0; wait "$second" || status=$?
[ "$status" -eq 1 ] || fail "the second start ended with $status"
kill -0 "$first" || fail "the first service ended"
[ "$(stat -c %Y.%s "$marker")" = "$marker_before" ] || fail "the marker was touched"

# SIGTERM ends the first as its exit button does.
kill -TERM "$first"
wait "$session" || true
[ ! -e "$marker" ] || fail "the marker is left behind"
settings=$(on_drive "$drive/norvexa" config.dta)
[ -n "$settings" ] && [ "$(stat -c %s "$settings")" -eq 28 ] || fail "the settings were not saved"

# Removal leaves nothing of the package under /usr; purging takes /etc's entry too.
dpkg -r norvexa >/dev/null
left=""
while IFS= read -r f; do
  case "$f" in /usr/*) [ -f "$f" ] && left="$left $f" ;; esac
done <<< "$files"
[ -z "$left" ] || fail "left under /usr:$left"
dpkg -P norvexa >/dev/null
[ ! -e /etc/xdg/autostart/norvexa.desktop ] || fail "the autostart entry is left after purging"
echo "package-test: installed, printed, started at login, one service per drive, removed: all good"
