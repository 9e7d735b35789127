#!/bin/sh
# Starts and stops the loopback servers the transport's Windows tests talk to:
# the reference update service (varnel-service) and the test responder
# (transport-responder), both from the host build. Each runs under a time
# limit so that an interrupted test run cannot leave them behind for long.
#
#   loopback_servers.sh start HOST_BUILD_DIR WORK_DIR
#   loopback_servers.sh stop WORK_DIR
#
# "start" leaves WORK_DIR/service.port and WORK_DIR/responder.port holding
# the ports, and the servers' process ids in WORK_DIR/*.pid; "stop" ends
# exactly those processes.
set -u
limit=1800

stop() {
    work=$1
    for name in service responder; do
        if [ -f "$work/$name.pid" ]; then
            pid=$(cat "$work/$name.pid")
            [ -n "$pid" ] && kill "$pid" 2>/dev/null
            rm -f "$work/$name.pid"
        fi
    done
    rm -f "$work/service.port" "$work/responder.port"
}

case "${1:-}" in
start)
    host=$2
    work=$3
    mkdir -p "$work"
    stop "$work"
    service="$host/server/varnel-service"
    responder="$host/tests/support/transport-responder"
    for program in "$service" "$responder"; do
        if [ ! -x "$program" ]; then
            echo "loopback_servers: $program is missing; build the host configuration first" >&2
            exit 1
        fi
    done
    timeout "$limit" "$service" --port 0 --db :memory: --port-file "$work/service.port" \
        </dev/null >"$work/service.log" 2>&1 &
    echo $! >"$work/service.pid"
    timeout "$limit" "$responder" --port-file "$work/responder.port" \
        </dev/null >"$work/responder.log" 2>&1 &
    echo $! >"$work/responder.pid"
    tries=0
    while [ ! -s "$work/service.port" ] || [ ! -s "$work/responder.port" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ]; then
            echo "loopback_servers: the servers did not start; their logs:" >&2
            cat "$work/service.log" "$work/responder.log" >&2
            stop "$work"
            exit 1
        fi
        sleep 0.1
    done
    echo "varnel-service on port $(cat "$work/service.port"), transport-responder on port $(cat "$work/responder.port")"
    ;;
stop)
    stop "$2"
    ;;
*)
    echo "usage: loopback_servers.sh start HOST_BUILD_DIR WORK_DIR | stop WORK_DIR" >&2
    exit 2
    ;;
esac
