#!/bin/sh
# Starts and stops the reference services the download tests fetch from: one
# at full speed and one throttled to 64 KB/s (a slow transfer), both serving
# WORK/downloads: the agent's next package and the signed and tampered
# variants (from the signing fixtures) and three plain files, one of them with
# no extension; the catalogue holds one product whose download link leads to
# the third.
#
#   download_servers.sh start HOST_BUILD_DIR SIGNING_DIR WORK_DIR
#   download_servers.sh stop WORK_DIR
set -u
limit=1800

stop() {
    for name in fast slow; do
        if [ -f "$1/$name.pid" ]; then
            pid=$(cat "$1/$name.pid")
            [ -n "$pid" ] && kill "$pid" 2>/dev/null
            rm -f "$1/$name.pid"
        fi
        rm -f "$1/$name.port"
    done
}

case "${1:-}" in
start)
    host=$2 signing=$3 work=$4
    mkdir -p "$work"
    stop "$work"
    rm -rf "$work/downloads"
    mkdir -p "$work/downloads/agent" "$work/downloads/variants" "$work/downloads/files"
    cp "$signing/varnel-1.3.1.56.msi" "$work/downloads/agent/" || exit 1
    cp "$signing"/variants/*.exe "$signing"/variants/*.msi "$work/downloads/variants/" || exit 1
    head -c 3000000 /dev/urandom > "$work/downloads/files/demo-setup.exe"
    head -c 200000 /dev/urandom > "$work/downloads/files/latest"
    head -c 500000 /dev/urandom > "$work/downloads/files/demo-tool-2.0.exe"
    # A catalogue product whose download link (/product/redir?lid=900)
    # leads to one of those files.
    printf "INSERT INTO products(id, name, current_version, download_url, download_is_file) VALUES (900, 'Demo Tool', '2.0', '/downloads/files/demo-tool-2.0.exe', 1);\n" \
        >"$work/catalogue.sql"
    service="$host/server/varnel-service"
    [ -x "$service" ] || { echo "download_servers: $service is missing; build the host configuration first" >&2; exit 1; }
    timeout "$limit" "$service" --port 0 --db :memory: --quiet --seed "$work/catalogue.sql" --downloads "$work/downloads" \
        --port-file "$work/fast.port" </dev/null >"$work/fast.log" 2>&1 &
    echo $! >"$work/fast.pid"
    timeout "$limit" "$service" --port 0 --db :memory: --quiet --seed "$work/catalogue.sql" --downloads "$work/downloads" --throttle 65536 \
        --port-file "$work/slow.port" </dev/null >"$work/slow.log" 2>&1 &
    echo $! >"$work/slow.pid"
    tries=0
    while [ ! -s "$work/fast.port" ] || [ ! -s "$work/slow.port" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ]; then
            cat "$work/fast.log" "$work/slow.log" >&2
            stop "$work"
            exit 1
        fi
        sleep 0.1
    done
    ;;
stop)
    stop "$2"
    ;;
*)
    echo "usage: download_servers.sh start HOST_BUILD_DIR SIGNING_DIR WORK_DIR | stop WORK_DIR" >&2
    exit 2
    ;;
esac
