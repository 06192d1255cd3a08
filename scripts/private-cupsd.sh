#!/bin/sh
# A CUPS scheduler of the tests' own: configuration, spool, logs and a socket under
# ROOT, one queue QUEUE (the default) that keeps every job's document in the spool.
# Runs cupsd in the foreground in place of this script; CUPS_SERVER=ROOT/cups.sock
# reaches it. Used by the C++ printing tests and the Windows stage alike.
#
#   private-cupsd.sh ROOT QUEUE
set -eu
root=$1
queue=$2
mkdir -p "$root/etc" "$root/spool/tmp" "$root/cache" "$root/state" "$root/log"
cat > "$root/etc/cupsd.conf" <<CONF
Listen $root/cups.sock
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
