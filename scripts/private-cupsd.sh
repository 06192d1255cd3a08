#!/bin/sh
# A CUPS scheduler of the tests' own: configuration, spool, logs and a socket under
# ROOT, one queue QUEUE (the default) that keeps every job's document in the spool.
# Runs cupsd in the foreground in place of this script; CUPS_SERVER=ROOT/cups.sock
# reaches it. Used by the C++ printing tests and the Windows stage alike.
#
# With BACKEND, that program is the scheduler's backend "norvexa" (its other programs
# are the system's); with PORT, the scheduler listens on 127.0.0.1:PORT as well, as
# a print server on the network does. A job the backend asks to retry is tried
# again after two seconds.
#
#   private-cupsd.sh ROOT QUEUE [BACKEND [PORT]]
set -eu
root=$1
queue=$2
backend=${3:-}
port=${4:-}
mkdir -p "$root/etc" "$root/spool/tmp" "$root/cache" "$root/state" "$root/log"
cat > "$root/etc/cupsd.conf" <<CONF
Listen $root/cups.sock
JobRetryInterval 2
DirtyCleanInterval 0
Browsing No
WebInterface No
LogLevel info
PreserveJobFiles Yes
PreserveJobHistory Yes
# Anyone on the socket may add and remove queues (lpadmin): the tests route jobs to
# queues of their own.
DefaultAuthType None
<Policy default>
<Limit All>
Order deny,allow
Allow all
</Limit>
</Policy>
CONF
cat > "$root/etc/cups-files.conf" <<CONF
ServerRoot $root/etc
RequestRoot $root/spool
TempDir $root/spool/tmp
CacheDir $root/cache
StateDir $root/state
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
Printcap $root/printcap
FileDevice Yes
CONF
# Programs the scheduler runs (a backend's lp) reach this scheduler.
echo "ServerName $root/cups.sock" > "$root/etc/client.conf"
if [ -n "$port" ]; then
  echo "Listen 127.0.0.1:$port" >> "$root/etc/cupsd.conf"
fi
if [ -n "$backend" ]; then
  # The scheduler runs its backends as its own unprivileged user: the programs and
  # the directories above them must be root's, readable by all, writable by none.
  mkdir -p "$root/bin/backend"
  for d in /usr/lib/cups/*; do
    [ "$(basename "$d")" = backend ] || ln -sfn "$d" "$root/bin/$(basename "$d")"
  done
  for b in /usr/lib/cups/backend/*; do ln -sf "$b" "$root/bin/backend/"; done
  install -m 0755 "$backend" "$root/bin/backend/norvexa"
  echo "ServerBin $root/bin" >> "$root/etc/cups-files.conf"
  dir=$root
  while [ "$dir" != / ] && [ "$dir" != /tmp ]; do chmod go+rx,go-w "$dir"; dir=$(dirname "$dir"); done
fi
cat > "$root/etc/printers.conf" <<CONF
<DefaultPrinter $queue>
Info Norvexa test queue
DeviceURI file:///dev/null
State Idle
Accepting Yes
Shared No
</DefaultPrinter>
CONF
exec /usr/sbin/cupsd -f -c "$root/etc/cupsd.conf" -s "$root/etc/cups-files.conf"
