#!/bin/sh
# Run inside the test guest by its /init (scripts/kernel-test --ble), as root, with
# halvernctl, hiddriver_2.so and halvern-ble in $BIN and BlueZ on the PATH. Brings up
# the Bluetooth stack as a desktop has it, pairs the mouse, then prints one
# "PASS n what" or "FAIL n what" line per scenario (a failure is followed by what was
# seen, indented) and "N passed, N failed" last.
mkdir -p /run/dbus
EXTRA_PATH=/usr/libexec/bluetooth WAIT_SECONDS=10
. /scenario-lib.sh

# Seconds since the guest started, for the timings printed at the end.
now() { cut -d. -f1 /proc/uptime; }

# The hidraw nodes bluetoothd made for the mouse (its HID service, through uhid).
ble_nodes() { ls -d /sys/bus/hid/devices/0005:045E:00EE.*/hidraw/hidraw* 2>/dev/null | wc -l; }
objects() { dbus-send --system --print-reply --dest=org.bluez / org.freedesktop.DBus.ObjectManager.GetManagedObjects 2>/dev/null; }
# Whether bluetoothd notifies the mouse's event characteristic to some client (a
# halvernctl's StartNotify, once the mouse has written its configuration).
notifying() {
    objects | awk '$1 == "object" && $2 == "path" {path = $3} /0000fee4-/ {event = path}
                   /string "Notifying"/ {getline; on[path] = $3}
                   END {exit !(event != "" && on[event] == "true")}'
}
bus() { dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "$@" 2>/dev/null; }
# The bus name of process $1's connection.
bus_name() {
    for name in $(bus org.freedesktop.DBus.ListNames | grep -o '":[0-9.]*"' | tr -d '"'); do
        [ "$(bus org.freedesktop.DBus.GetConnectionUnixProcessID string:"$name" | awk '/uint32/ {print $2}')" = "$1" ] &&
            { echo "$name"; return; }
    done
}
# The match rules the bus holds for connection $1.
matches() {
    bus org.freedesktop.DBus.Debug.Stats.GetAllMatchRules |
        awk -v name="\"$1\"" '$1 == "string" && $2 == name {inside = 1; next}
                               inside && /^ *\)/ {inside = 0}
                               inside && $1 == "string" {n++}
                               END {print n + 0}'
}

# ---- The stack: two LE controllers that hear each other ----
started=$(now)
btvirt -L -l2 >btvirt.log 2>&1 &
wait_for '[ -e /sys/class/bluetooth/hci1 ]' || echo "kernel-test: btvirt made no controllers: $(cat btvirt.log)"
# The mouse takes the second for itself before bluetoothd starts, which then sees the
# first only, as on a desktop with one adapter.
mkfifo ble.in ble.out
halvern-ble --hci 1 --log received.hex <ble.in >ble.out 2>ble.err &
ble_pid=$!
exec 3>ble.in 4<ble.out
mouse() {
    echo "$*" >&3
    read -r answer <&4
    case "$answer" in ok*) return 0 ;; esac
    note "halvern-ble $*: $answer"
    return 1
}
mouse_state() { echo state >&3; read -r answer <&4; echo "$answer"; }
MOUSE=$(mouse_state | awk '{print $3}')
[ -n "$MOUSE" ] || echo "kernel-test: halvern-ble did not start: $(cat ble.err)"
dbus-daemon --system --fork || echo "kernel-test: no system bus"
start_bluetoothd() {
    bluetoothd -n >>bluetoothd.log 2>&1 &
    bluetoothd_pid=$!
    wait_for 'bluetoothctl show 2>/dev/null | grep -q "Powered: yes"' 20
}
start_bluetoothd || echo "kernel-test: bluetoothd has no powered adapter: $(tail -5 bluetoothd.log)"
stack_up=$(now)

# halvern already running when the mouse is paired, as on a desktop: this monitor is
# scenario 3's.
start_monitor

# ---- Paired as a user does, with bluetoothctl: an agent, a scan, pair ----
# bluetoothd accepts Just Works pairing the user asked for (Pair) by itself, but only
# while some agent is registered; bluetoothctl registers one only when interactive.
s=ok
mkfifo ctl.in
bluetoothctl <ctl.in >ctl.out 2>&1 &
ctl_pid=$!
exec 5>ctl.in
printf 'agent NoInputNoOutput\ndefault-agent\nscan on\n' >&5
wait_for 'grep -q "Device $MOUSE" ctl.out' 20 || { s=fail; note "the scan did not find $MOUSE"; }
printf 'scan off\npair %s\n' "$MOUSE" >&5
wait_for 'grep -q "Pairing successful" ctl.out' 30 || { s=fail; note "pairing: $(grep -i -E "fail|error" ctl.out | tail -3)"; }
echo quit >&5
exec 5>&-
wait $ctl_pid
wait_for '[ $(ble_nodes) = 1 ]' 20 || { s=fail; note "no hidraw node: $(tail -5 bluetoothd.log)"; }
[ $s = ok ] || { result "0 the mouse pairs and bluetoothd makes it an input device" $s; }
paired=$(now)

# A profile that needs every kind of report, macro chunks included.
halvernctl macro new copy copy.macro ctrl:down c:click wait:20 ctrl:up >/dev/null
halvernctl profile new case case.pro >/dev/null
halvernctl profile set case.pro dpi.1=400 dpi.2=800 polling=500 button.4=macro:copy.macro \
    button.5=key:ctrl+c >/dev/null || note "cannot write case.pro"

# ---- 1. devices lists the mouse found through bluetoothd ----
s=ok
halvernctl devices >devices.out 2>&1 || { s=fail; note "devices exit $?"; }
grep -q "^bluetooth: connected" devices.out || { s=fail; note "$(cat devices.out)"; }
objects | grep -qi "usb:v045Ep00EE" || { s=fail; note "bluetoothd shows no Modalias usb:v045Ep00EE"; }
result "1 devices lists the Bluetooth LE mouse found through bluetoothd" $s

# ---- 2. apply: the mouse receives exactly the reports, as GATT writes ----
s=ok
halvernctl reports case.pro --transport ble >expected.hex
: >received.hex
if ! halvernctl apply case.pro --full >apply.out 2>&1; then
    s=fail; note "apply failed:"; note "$(cat apply.out)"
elif ! cmp -s expected.hex received.hex; then
    s=fail
    note "the mouse received $(wc -l <received.hex) values, reports printed $(wc -l <expected.hex):"
    note "$(diff expected.hex received.hex | head -8)"
fi
grep -q '^06' received.hex && { s=fail; note "a polling report went over Bluetooth LE"; }
result "2 apply --full delivers exactly the ble reports, in order, as GATT writes ($(wc -l <expected.hex) values)" $s

# ---- 3. monitor decodes what the mouse notifies ----
s=ok
wait_for 'grep -q "bluetooth connected" monitor.out' || s=fail
wait_for notifying 20 || s=fail
mouse dpi && mouse battery 40 1 && mouse light 3 || s=fail
wait_for 'grep -q "light effect" monitor.out' || s=fail
usleep 300000
for line in "ble: dpi level" "ble: battery 40%" "ble: light effect 3"; do
    [ "$(count "$line" monitor.out)" = 1 ] || { s=fail; note "not once: $line"; }
done
kill $mon; wait $mon
[ $s = ok ] || note "$(cat monitor.out)"
result "3 monitor, running before the mouse was paired, decodes a DPI, a battery and an effect notification once each" $s

# ---- 4. ten disconnects and reconnects under monitor; nothing left behind ----
# bluetoothd keeps monitor's notifications across the mouse's disconnections; that
# monitor subscribed again shows in its match rule for them, back each time.
s=ok
start_monitor
wait_for 'grep -q "bluetooth connected" monitor.out' && wait_for notifying || s=fail
fds=$(ls /proc/$mon/fd | wc -l)
tasks=$(ls /proc/$mon/task | wc -l)
name=$(bus_name $mon)
rules=$(matches "$name")
cycle_started=$(now)
n=0
while [ $n -lt 10 ] && [ $s = ok ]; do
    n=$((n + 1))
    mouse disconnect || s=fail
    wait_for '[ $(count "bluetooth disconnected" monitor.out) = $n ]' || s=fail
    wait_for '[ $(count "bluetooth connected" monitor.out) = $((n + 1)) ]' 20 || s=fail
    wait_for '[ "$(matches "$name")" = "$rules" ]' || s=fail
done
cycle_time=$(($(now) - cycle_started))
mouse dpi && wait_for '[ $(count "ble: dpi level" monitor.out) = 1 ]' || { s=fail; note "no event after the last reconnection"; }
usleep 300000
[ "$(count "bluetooth disconnected" monitor.out)" = 10 ] || { s=fail; note "disconnects reported: $(count "bluetooth disconnected" monitor.out)"; }
[ "$(count "bluetooth connected" monitor.out)" = 11 ] || { s=fail; note "connections reported: $(count "bluetooth connected" monitor.out)"; }
fds_after=$(ls /proc/$mon/fd | wc -l)
tasks_after=$(ls /proc/$mon/task | wc -l)
rules_after=$(matches "$name")
[ "$fds_after" = "$fds" ] || { s=fail; note "descriptors: $fds before, $fds_after after"; }
[ "$tasks_after" = "$tasks" ] || { s=fail; note "threads: $tasks before, $tasks_after after"; }
[ "$rules_after" = "$rules" ] || { s=fail; note "D-Bus match rules: $rules before, $rules_after after"; }
kill $mon; wait $mon
[ $s = ok ] || note "$(tail -5 monitor.out)"
result "4 ten disconnects and reconnects reported, nothing left ($fds fds, $tasks threads, $rules match rules; ${cycle_time} s)" $s

# ---- 5. bluetoothd stopped and started again under monitor ----
s=ok
start_monitor
wait_for 'grep -q "bluetooth connected" monitor.out' && wait_for notifying || s=fail
kill $bluetoothd_pid; wait $bluetoothd_pid
wait_for 'grep -q "bluetooth disconnected" monitor.out' || s=fail
start_bluetoothd || { s=fail; note "bluetoothd did not come back"; }
wait_for '[ $(count "bluetooth connected" monitor.out) = 2 ]' 20 || s=fail
wait_for notifying || s=fail
mouse dpi && wait_for 'grep -q "ble: dpi level" monitor.out' || { s=fail; note "no event after bluetoothd came back"; }
kill -0 $mon 2>/dev/null || { s=fail; note "monitor ended"; }
kill $mon; wait $mon
[ $s = ok ] || note "$(cat monitor.out)"
result "5 bluetoothd stopped and started: the link goes and comes back under the same monitor" $s

# ---- 6. a write the mouse refuses with an ATT error: a failed apply, one line ----
s=ok
mouse refuse on || s=fail
apply_started=$(now)
timeout 120 halvernctl apply case.pro --full >apply.out 2>apply.err
code=$?
apply_time=$(($(now) - apply_started))
mouse refuse off || s=fail
[ $code = 1 ] || { s=fail; note "exit $code, not 1"; }
# Besides its progress, one line.
grep -v "^halvernctl: applying, " apply.err >failure.err
[ "$(wc -l <failure.err)" = 1 ] || { s=fail; note "not one line:"; note "$(cat apply.err)"; }
[ $s = ok ] || note "$(cat apply.out)"
result "6 a write refused with an ATT error fails the apply with one line ($(cat failure.err); ${apply_time} s)" $s

echo quit >&3
wait $ble_pid
echo "kernel-test: stack up at ${stack_up} s, paired at ${paired} s (${started} s boot)"
if [ $failed != 0 ]; then
    sed 's/^/kernel: /' ble.err | tail -20
    # Without the experimental interfaces, BNEP or SAP some plugins never start here.
    grep -iE "error|fail|warn" bluetoothd.log | grep -vE "plugin_init|sap" | sed 's/^/kernel: bluetoothd: /' | tail -20
fi
echo "$passed passed, $failed failed"
