# What both sets of kernel scenarios share, sourced by them inside the test guest: the
# work folder, the tally of results, waiting and the monitor. Before sourcing, a script
# may set EXTRA_PATH (put before $BIN on the PATH) and WAIT_SECONDS (wait_for's
# default limit, 5 unless set).
BIN=${BIN:-/opt/halvern}
W=/tmp/work
mkdir -p "$W" /tmp/home
export HOME=/tmp/home HALVERN_DATA_DIR=/tmp/home/data PATH="$BIN:${EXTRA_PATH:+$EXTRA_PATH:}$PATH"
unset HALVERN_EMULATOR
cd "$W" || exit 1

passed=0
failed=0
detail=""
note() { detail="$detail
$*"; }
result() {
    if [ "$2" = ok ]; then
        echo "PASS $1"
        passed=$((passed + 1))
    else
        echo "FAIL $1"
        printf '%s\n' "$detail" | sed '/^$/d; s/^/    /'
        failed=$((failed + 1))
    fi
    detail=""
}

# Waits until `test` holds: up to $2 seconds (WAIT_SECONDS unless told), looking
# every 50 ms.
wait_for() {
    i=0
    limit=$((${2:-${WAIT_SECONDS:-5}} * 20))
    while ! eval "$1"; do
        i=$((i + 1))
        [ $i -ge $limit ] && { note "timed out waiting for: $1"; return 1; }
        usleep 50000
    done
}
count() { grep -c -- "$1" "$2"; }
# `halvernctl monitor` in the background into a fresh monitor.out; its pid in $mon.
start_monitor() {
    : >monitor.out
    halvernctl monitor >>monitor.out 2>&1 &
    mon=$!
}
