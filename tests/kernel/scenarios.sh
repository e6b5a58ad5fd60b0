#!/bin/sh
# Run inside the test guest by its /init, as root, with halvernctl, hiddriver_2.so and
# halvern-uhid in $BIN. Prints one "PASS n what" or "FAIL n what" line per scenario
# (a failure is followed by what was seen, indented) and "N passed, N failed" last.
. /scenario-lib.sh

# ---- The virtual mouse behind /dev/uhid ----
mkfifo uhid.in uhid.out
halvern-uhid --log received.hex <uhid.in >uhid.out 2>uhid.err &
uhid_pid=$!
exec 3>uhid.in 4<uhid.out
uhid() {
    echo "$*" >&3
    read -r answer <&4
    [ "$answer" = ok ] || { note "halvern-uhid $*: $answer"; return 1; }
}

nodes() { ls /dev/hidraw* 2>/dev/null | wc -l; }

# A profile that needs every kind of report, macro chunks included.
halvernctl macro new copy copy.macro ctrl:down c:click wait:20 ctrl:up >/dev/null
halvernctl profile new case case.pro >/dev/null
halvernctl profile set case.pro dpi.1=400 dpi.2=800 polling=500 button.4=macro:copy.macro \
    button.5=key:ctrl+c >/dev/null || note "cannot write case.pro"

# Runs `halvernctl apply case.pro --full` and compares what the device received with
# what `halvernctl reports` says one apply writes on TRANSPORT.
apply_matches() {
    halvernctl reports case.pro --transport "$1" >expected.hex
    : >received.hex
    if ! halvernctl apply case.pro --full >apply.out 2>&1; then
        note "apply failed:"; note "$(cat apply.out)"; return 1
    fi
    cmp -s expected.hex received.hex && return 0
    note "the device received $(wc -l <received.hex) buffers, reports printed $(wc -l <expected.hex):"
    note "$(diff expected.hex received.hex | head -8)"
    return 1
}

# ---- 1. the receiver plugged: devices lists it and the mouse behind it ----
s=ok
uhid plug receiver one && wait_for '[ $(nodes) = 1 ]' || s=fail
halvernctl devices >devices.out 2>&1 || { s=fail; note "devices exit $?"; }
grep -q "^receiver: /dev/hidraw0 (mouse answering)" devices.out || { s=fail; note "$(cat devices.out)"; }
result "1 receiver listed with its mouse answering" $s

# ---- 2. apply: the device receives exactly the reports, in order ----
s=ok
apply_matches receiver || s=fail
result "2 apply --full delivers exactly the receiver reports, in order" $s

# ---- 3. monitor prints each event the mouse raises once, decoded ----
s=ok
start_monitor
wait_for 'grep -q "mouse answering" monitor.out' || s=fail
# The pointer's reports share the node with the events and must pass unprinted.
uhid move 5 -3 && uhid dpi && uhid move -18 238 && uhid battery 40 1 && uhid move 1 1 && uhid polling 2 || s=fail
wait_for 'grep -q "polling every" monitor.out' || s=fail
usleep 300000
for line in "receiver: dpi level" "receiver: battery 40%" "receiver: polling every 2 ms (500 Hz)"; do
    [ "$(count "$line" monitor.out)" = 1 ] || { s=fail; note "not once: $line"; }
done
[ "$(wc -l <monitor.out)" = 5 ] || { s=fail; note "lines besides the answer, the announcement and the three events"; }
kill $mon; wait $mon
[ $s = ok ] || note "$(cat monitor.out)"
result "3 monitor prints a DPI, a battery and a polling event once each" $s

# ---- 4. ten unplugs and plugs under monitor; nothing left behind ----
s=ok
start_monitor
wait_for 'grep -q "mouse answering" monitor.out' || s=fail
fds=$(ls /proc/$mon/fd | wc -l)
tasks=$(ls /proc/$mon/task | wc -l)
n=0
while [ $n -lt 10 ] && [ $s = ok ]; do
    n=$((n + 1))
    uhid unplug receiver && wait_for '[ $(nodes) = 0 ]' || s=fail
    wait_for '[ $(count "mouse silent" monitor.out) = $n ]' || s=fail
    uhid plug receiver one && wait_for '[ $(nodes) = 1 ]' || s=fail
    wait_for '[ $(count "mouse answering" monitor.out) = $((n + 1)) ]' || s=fail
done
usleep 300000
[ "$(count "mouse silent" monitor.out)" = 10 ] || { s=fail; note "removals reported: $(count "mouse silent" monitor.out)"; }
[ "$(count "mouse answering" monitor.out)" = 11 ] || { s=fail; note "arrivals reported: $(count "mouse answering" monitor.out)"; }
fds_after=$(ls /proc/$mon/fd | wc -l)
tasks_after=$(ls /proc/$mon/task | wc -l)
[ "$fds_after" = "$fds" ] || { s=fail; note "descriptors: $fds before, $fds_after after"; }
[ "$tasks_after" = "$tasks" ] || { s=fail; note "threads: $tasks before, $tasks_after after"; }
kill $mon; wait $mon
[ $s = ok ] || note "$(tail -5 monitor.out)"
result "4 ten removals and arrivals reported, no descriptor or thread left ($fds fds, $tasks threads)" $s

# ---- 5. both layouts: one node with both collections, one node each ----
s=ok
uhid unplug receiver && wait_for '[ $(nodes) = 0 ]' || s=fail
uhid plug receiver two && wait_for '[ $(nodes) = 2 ]' || s=fail
halvernctl devices >devices.out 2>&1
grep -q "mouse answering" devices.out || { s=fail; note "two nodes: $(cat devices.out)"; }
apply_matches receiver || { s=fail; note "(two nodes)"; }
uhid unplug receiver && wait_for '[ $(nodes) = 0 ]' || s=fail
uhid plug receiver one && wait_for '[ $(nodes) = 1 ]' || s=fail
apply_matches receiver || { s=fail; note "(one node)"; }
result "5 the receiver works on one node with both collections and on two nodes" $s

# ---- 6. the cable through the driver library ----
s=ok
uhid unplug receiver && wait_for '[ $(nodes) = 0 ]' || s=fail
start_monitor
usleep 500000
n=0
for layout in one two one two; do
    n=$((n + 1))
    uhid plug cable $layout && wait_for '[ $(nodes) != 0 ]' || s=fail
    wait_for '[ $(count "cable attached" monitor.out) = $n ]' || s=fail
    if [ $n -le 2 ]; then
        halvernctl devices >devices.out 2>&1
        grep -q "^cable: linked" devices.out || { s=fail; note "$layout: $(cat devices.out)"; }
        apply_matches cable || { s=fail; note "($layout)"; }
    fi
    uhid unplug cable && wait_for '[ $(nodes) = 0 ]' || s=fail
    wait_for '[ $(count "cable detached" monitor.out) = $n ]' || s=fail
done
[ $s = ok ] || note "$(cat monitor.out)"
kill $mon; wait $mon
result "6 the cable through hiddriver_2.so: attach, detach and apply" $s

# ---- 7. a node the user may not open ----
s=ok
uhid plug receiver one && wait_for '[ $(nodes) = 1 ]' || s=fail
chmod 0600 /dev/hidraw0
su -s /bin/sh user -c "$BIN/halvernctl devices" >devices.out 2>devices.err
code=$?
[ $code = 1 ] || { s=fail; note "exit $code, not 1"; }
grep -q "/dev/hidraw0" devices.err || { s=fail; note "the node is not named"; }
grep -q "70-halvern.rules" devices.err || { s=fail; note "the udev rule is not named"; }
[ $s = ok ] || note "$(cat devices.out devices.err)"
uhid unplug receiver
result "7 a node the user may not open: named with the udev rule, exit 1" $s

echo quit >&3
wait $uhid_pid
# Whatever the kernel's HID core complained of (a report it dropped or cut), for the
# record.
dmesg | grep -iE "hid" | grep -iE "error|fail|warn|undefined|invalid|short|long|drop" | sed 's/^/kernel: /' | head -20
echo "$passed passed, $failed failed"
