#!/usr/bin/env bash
# qirlen --cli against the sample live room: what it prints and how it exits.
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
coproc ROOM { exec "$bin/sample_live_room"; }
trap 'exec {ROOM[1]}>&- 2>/dev/null || true' EXIT
read -r port <&"${ROOM[0]}"
export QIRLEN_CHROMIUM_ARGS="'--host-resolver-rules=MAP v.douyin.com 127.0.0.1' --ignore-certificate-errors"
failures=0

expect() {  # expect CODE EXPECTED_STDOUT -- qirlen arguments...
    local code="$1" want="$2"
    shift 3
    local got status
    local err
    err="$(mktemp)"
    got="$("$bin/qirlen" "$@" 2>"$err")"
    status=$?
    if [ "$status" != "$code" ] || [ "$got" != "$want" ]; then
        echo "FAIL: qirlen $* -> $status $(printf '%q' "$got") (wanted $code $(printf '%q' "$want"))"
        head -5 "$err"
        failures=$((failures + 1))
    else
        echo "ok: $code for $*"
    fi
}

live="$(printf 'https://pull-hls.sample-cdn.invalid/stage/stream-117780148_or4.m3u8\r\n链接已复制，请用PotPlayer等软件打开链接观看直播。')"
expect 0 "$live" -- --cli "http://v.douyin.com:$port/iRNBho6/"
expect 0 "$live" -- --cli "看看【直播】 http://v.douyin.com:$port/iRNBho6/ 复制此链接"
expect 2 "获取失败，直播已结束。" -- --cli "http://v.douyin.com:$port/ended42/"
expect 2 "获取失败,请检查地址链接是否正确。" -- --cli "http://v.douyin.com:$port/broken7/"
expect 3 "" -- --cli "https://example.com/live/1"
expect 4 "" -- --cli "http://v.douyin.com:1/gone/"
expect 64 "" -- --cli
"$bin/qirlen" --help | grep -q -- "--cli LINK" && echo "ok: --help" || { echo "FAIL: --help"; failures=$((failures + 1)); }
exit "$failures"
