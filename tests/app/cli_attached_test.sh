#!/usr/bin/env bash
# qirlen --cli attached to a Chromium started by hand, through both address forms, given by
# --browser and by QIRLEN_BROWSER_URL, plain and behind a TLS proxy; and what it says, in one
# line with exit 4, when the address is no browser.
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
here="$(cd "$(dirname "$0")" && pwd)"
coproc ROOM { exec "$bin/sample_live_room"; }
trap 'exec {ROOM[1]}>&- 2>/dev/null || true' EXIT
read -r port <&"${ROOM[0]}"
# The share host goes to the sample room, in the browser that loads it: the remote one.
export QIRLEN_REMOTE_CHROMIUM_ARGS="'--host-resolver-rules=MAP v.douyin.com 127.0.0.1' --ignore-certificate-errors"
unset DISPLAY WAYLAND_DISPLAY QIRLEN_CHROMIUM_ARGS
room="http://v.douyin.com:$port"
signed='https://pull-hls.sample-cdn.invalid/stage/stream-117780148_or4.m3u8?arch_hrchy=w1&exp_hrchy=w1&expire=1893456000&major_anchor_level=common&sign=0f1e2d3c4b5a69788796a5b4c3d2e1f0&t_id=037-20240101'
failures=0
out="$(mktemp)" err="$(mktemp)"

check() {  # check NAME CONDITION-RESULT DETAIL
    if [ "$2" = ok ]; then echo "ok: $1"; else echo "FAIL: $1: $3"; failures=$((failures + 1)); fi
}

# Runs in the environment with_remote_browser.sh gives: the address in QIRLEN_BROWSER_URL.
# No Chromium of qirlen's own may start: QIRLEN_CHROMIUM names none that could.
attached_run() {  # attached_run HOW
    local url="$QIRLEN_BROWSER_URL"
    if [ "$1" = option ]; then
        env -u QIRLEN_BROWSER_URL QIRLEN_CHROMIUM=/nonexistent \
            "$bin/qirlen" --cli "$room/iRNBho6/" --browser "$url" >"$out" 2>"$err"
    else
        QIRLEN_CHROMIUM=/nonexistent "$bin/qirlen" --cli "$room/iRNBho6/" >"$out" 2>"$err"
    fi
}
export -f attached_run
export bin room out err
export QIRLEN_TLS_FRONT="$bin/tls_front"

# One run through with_remote_browser.sh FORM, the address given by HOW.
attached_check() {
    "$here/../support/with_remote_browser.sh" "$1" bash -c "attached_run $2"
    local status=$? verdict=ok
    [ "$status" = 0 ] && [ "$(cat "$out")" = "$signed" ] || verdict=bad
    check "$3" "$verdict" "status $status, out '$(cat "$out")', err '$(cat "$err")'"
}
for form in ws http; do
    for how in option environment; do attached_check "$form" "$how" "$form address by $how"; done
done
# Through TLS, trusting the proxy's authority by SSL_CERT_FILE only.
for form in wss https; do attached_check "$form" option "$form address"; done

# qirlen serve given two browsers elsewhere, the first of them down: the second answers.
serve_attached() {
    local state log
    state="$(mktemp -d)" log="$(mktemp)"
    XDG_STATE_HOME="$state" QIRLEN_CHROMIUM=/nonexistent "$bin/qirlen" serve \
        --listen 127.0.0.1:0 --pace 0.1 --browser http://127.0.0.1:1 \
        --browser "$QIRLEN_BROWSER_URL" 2>"$log" &
    local pid=$!
    for _ in $(seq 200); do grep -q "listening on" "$log" && break; sleep 0.05; done
    local base
    base="$(sed -n 's/.*listening on \(http:[^ ]*\).*/\1/p' "$log")"
    curl -s -o /dev/null -w '%{redirect_url}' \
        "$base/douyin?url=$(printf %s "$room/iRNBho6/" | sed 's/:/%3A/g; s#/#%2F#g')" >"$out"
    kill -TERM "$pid"
    wait "$pid"
    cp "$log" "$err"
    rm -rf "$state" "$log"
}
export -f serve_attached
"$here/../support/with_remote_browser.sh" http bash -c serve_attached
check "qirlen serve takes the next browser when one is down" \
    "$([ "$(cat "$out")" = "$signed" ] && echo ok)" "out '$(cat "$out")', err '$(cat "$err")'"

# Not a browser: a closed port, a web server without DevTools, and a refused handshake.
closed="http://127.0.0.1:1"
web="http://127.0.0.1:$port"
for case in "$closed|cannot reach the browser" "$web|is not a DevTools endpoint" \
            "ws://127.0.0.1:$port/devtools/browser/x|refused the WebSocket handshake"; do
    IFS='|' read -r url says <<<"$case"
    timeout 20 "$bin/qirlen" --cli "$room/iRNBho6/" --browser "$url" >"$out" 2>"$err"
    status=$?
    verdict=ok
    [ "$status" = 4 ] && [ ! -s "$out" ] && [ "$(wc -l <"$err")" = 1 ] && grep -q "$says" "$err" ||
        verdict=bad
    check "--browser $url" "$verdict" "status $status, err '$(cat "$err")'"
done

rm -f "$out" "$err"
echo "$failures failed"
[ "$failures" = 0 ]
