#!/usr/bin/env bash
# The demo behind `make demo`: two simulated controllers (kavsim), the agent
# hosted by kavsnmpd on udp:127.0.0.1:1161, and snmptrapd on 127.0.0.1:1162.
# Shows a walk of both controllers with the names of the shipped MIB, injects
# one event per severity and shows the traps that arrived, then keeps serving
# until Ctrl-C. Without a terminal (CI=true or stdin not a tty) it stops by
# itself after the traps. Everything it starts it stops again; it installs
# nothing (make has built what it needs).
#
# Usage: scripts/demo.sh [BUILD_DIR]     (default: build)
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-build}
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
BIN="$BUILD/bin"
AGENT="$BUILD/lib/libKavSnmpAgent.so"
SCENARIO="$ROOT/sim/scenarios/two-controllers.json"
SNMP_PORT=1161
TRAP_PORT=1162
MIB_DIRS="$ROOT/mibs:$ROOT/mibs/base"

say() { printf '\n\033[1m== %s\033[0m\n' "$*"; }
die() { echo "demo: $*" >&2; exit 1; }

for program in "$BIN/kavsim" "$BIN/kavsimctl" "$BIN/kavsnmpd"; do
  [ -x "$program" ] || die "$program is missing; run 'make build' first"
done
[ -f "$AGENT" ] || die "$AGENT is missing; run 'make build' first"
[ -f "$SCENARIO" ] || die "$SCENARIO is missing"
for tool in snmpwalk snmptrapd ss; do
  command -v "$tool" >/dev/null || [ -x "/usr/sbin/$tool" ] || die "$tool is not installed (make deps)"
done
SNMPTRAPD=$(command -v snmptrapd || echo /usr/sbin/snmptrapd)
for port in $SNMP_PORT $TRAP_PORT; do
  if ss -H -lnu "sport = :$port" | grep -q .; then
    die "UDP port $port is already in use; stop what listens there and try again"
  fi
done

WORK=$(mktemp -d /tmp/kavdemo-XXXXXX)
DEVICES="$WORK/devices"
PROGRAM_FILES="$WORK/program-files"
mkdir -p "$DEVICES" "$PROGRAM_FILES/KVADM/SNMP" "$WORK/snmp-conf" "$WORK/snmp-persist"
# The Net-SNMP tools read and write only our scratch directories.
export SNMPCONFPATH="$WORK/snmp-conf" SNMP_PERSISTENT_DIR="$WORK/snmp-persist"

PIDS=()
cleanup() {
  local status=$?
  trap - EXIT INT TERM
  for ((i = ${#PIDS[@]} - 1; i >= 0; i--)); do
    kill -TERM "${PIDS[i]}" 2>/dev/null || true
  done
  for pid in "${PIDS[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$WORK"
  exit "$status"
}
trap cleanup EXIT
trap 'echo; echo "demo: stopping"; exit 0' INT TERM

wait_for() {  # wait_for SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.1
  done
}

cat > "$PROGRAM_FILES/KVADM/SNMP/KavSnmp.ini" <<INI
[SNMP]
NoLevel=4
Community=public
INI

say "Starting kavsim with $(basename "$SCENARIO")"
"$BIN/kavsim" --device-dir "$DEVICES" --scenario "$SCENARIO" > "$WORK/kavsim.log" 2>&1 &
PIDS+=($!)
wait_for 10 grep -q "kavsim: ready" "$WORK/kavsim.log" \
  || { cat "$WORK/kavsim.log"; die "kavsim did not come up"; }
echo "controllers on SCSI ports 2 and 9 (devices in $DEVICES)"

say "Starting snmptrapd on udp:127.0.0.1:$TRAP_PORT"
cat > "$WORK/snmptrapd.conf" <<CONF
disableAuthorization yes
CONF
"$SNMPTRAPD" -f -C -c "$WORK/snmptrapd.conf" -Lf "$WORK/traps.log" -n -X \
  -M "$MIB_DIRS" -m ALL "udp:127.0.0.1:$TRAP_PORT" > "$WORK/snmptrapd.out" 2>&1 &
PIDS+=($!)
wait_for 10 sh -c "ss -H -lnu 'sport = :$TRAP_PORT' | grep -q ." \
  || { cat "$WORK/snmptrapd.out"; die "snmptrapd did not come up"; }

say "Starting kavsnmpd on udp:127.0.0.1:$SNMP_PORT (settings: $PROGRAM_FILES/KVADM/SNMP/KavSnmp.ini, level 4)"
KAV_DEVICE_DIR="$DEVICES" KAV_PROGRAM_FILES="$PROGRAM_FILES" \
  "$BIN/kavsnmpd" --agent "$AGENT" --listen "udp:127.0.0.1:$SNMP_PORT" \
  --trap-sink "127.0.0.1:$TRAP_PORT" > "$WORK/kavsnmpd.log" 2>&1 &
HOST_PID=$!
PIDS+=($HOST_PID)
wait_for 20 grep -q "kavsnmpd: serving" "$WORK/kavsnmpd.log" \
  || { cat "$WORK/kavsnmpd.log"; die "kavsnmpd did not come up"; }
cat "$WORK/kavsnmpd.log"

say "snmpwalk -v2c -c public 127.0.0.1:$SNMP_PORT 1.3.6.1.4.1.47319"
snmpwalk -v2c -c public -t 5 -r 1 -M "$MIB_DIRS" -m ALL "udp:127.0.0.1:$SNMP_PORT" \
  1.3.6.1.4.1.47319 2>&1 | grep -v '^No more variables' || true

say "Injecting one event per severity with kavsimctl"
inject() {  # inject PORT TYPE CODE BYTE2 NAME DESCRIPTION
  echo "port $1: $6"
  "$BIN/kavsimctl" --device-dir "$DEVICES" event --port "$1" --type "$2" --code "$3" \
    --byte2 "$4" ${5:+--name "$5"}
}
inject 9 2 11 0 "Archive"  "serious: volume set degraded (specific 267)"
inject 2 3 8  1 ""         "error: PCI parity error on a device (specific 392)"
inject 2 1 0  0 "Raid Set # 01" "warning: raid set created (specific 128)"
inject 9 4 0  0 ""         "information: host bus reset (specific 512)"

say "Traps received by snmptrapd"
count_traps() { grep -c 'TRAP, SNMP v1' "$WORK/traps.log" 2>/dev/null || true; }
wait_for 20 sh -c "[ \"\$(grep -c 'TRAP, SNMP v1' '$WORK/traps.log' 2>/dev/null)\" -ge 4 ]" \
  || echo "demo: only $(count_traps) of 4 traps arrived within 20 s" >&2
grep -v -e '^NET-SNMP version' -e '^Created directory' "$WORK/traps.log" || true

if [ "${CI:-}" = "true" ] || [ ! -t 0 ]; then
  say "No terminal: stopping"
  exit 0
fi
say "Serving on udp:127.0.0.1:$SNMP_PORT; try: snmpwalk -v2c -c public -M $MIB_DIRS -m ALL 127.0.0.1:$SNMP_PORT 1.3.6.1.4.1.47319"
echo "Press Ctrl-C to stop."
while kill -0 "$HOST_PID" 2>/dev/null; do sleep 1; done
echo "demo: kavsnmpd has stopped:" >&2
tail -5 "$WORK/kavsnmpd.log" >&2
exit 1
