# What the service's shell tests share: the sample room on loopback serving a short stream
# that ffmpeg made, a browser sent to it, the service started on a free port, and check.
# Sourced with the binaries' directory as $1; each room page asked for is a line
# "load <ms> <host><path>" in $work/room.out.
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
work="$(mktemp -d)"
failures=0
check() {  # check NAME CONDITION-RESULT DETAIL
    if [ "$2" = ok ]; then echo "ok: $1"; else echo "FAIL: $1: $3"; failures=$((failures + 1)); fi
}

mkdir -p "$work/hls"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=10 -t 3 -c:v libx264 -g 10 \
    -f hls -hls_time 1 -hls_list_size 0 "$work/hls/origin.m3u8" || check "ffmpeg made a stream" bad ""
export QIRLEN_SAMPLE_HLS_DIR="$work/hls" QIRLEN_SAMPLE_LOG_LOADS=1
# The room serves until its standard input closes; it prints its port first.
mkfifo "$work/room.in"
"$bin/sample_live_room" <"$work/room.in" >"$work/room.out" &
exec {room_in}>"$work/room.in"
for _ in $(seq 200); do [ -s "$work/room.out" ] && break; sleep 0.05; done
port="$(head -1 "$work/room.out")"
export QIRLEN_CHROMIUM_ARGS="'--host-resolver-rules=MAP live.douyin.com:443 127.0.0.1:$port, MAP v.douyin.com 127.0.0.1, MAP live.douyin.com 127.0.0.1, MAP www.douyin.com 127.0.0.1' --ignore-certificate-errors"
export XDG_STATE_HOME="$work/state"

serve_pid=""
start() {  # start OPTIONS...: the service on a free port; $base is its address
    : >"$work/serve.err"
    "$bin/qirlen" serve --listen 127.0.0.1:0 "$@" 2>"$work/serve.err" &
    serve_pid=$!
    for _ in $(seq 300); do
        grep -q "listening on" "$work/serve.err" && break
        sleep 0.05
    done
    base="$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$work/serve.err")"
}
tally() { sort | uniq -c | awk '{ printf "%sx%s ", $1, $2 }'; }  # "4x302 6x404 "
loads() { grep -c "^load " "$work/room.out"; }
metric() { curl -s "$base/metrics" | sed -n "s/^$1 //p"; }
trap 'kill -9 $serve_pid 2>/dev/null; exec {room_in}>&-; wait; rm -rf "$work"' EXIT
