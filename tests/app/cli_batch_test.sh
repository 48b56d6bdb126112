#!/usr/bin/env bash
# qirlen --cli with many links, as a long batch meets them: a browser that stops or is killed
# midway is replaced, and links on standard input are answered as they arrive, whatever
# arrives, in bounded memory.
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
coproc ROOM { exec "$bin/sample_live_room"; }
work="$(mktemp -d)"
trap 'exec {ROOM[1]}>&- 2>/dev/null; rm -rf "$work"' EXIT
read -r port <&"${ROOM[0]}"
export QIRLEN_CHROMIUM_ARGS="'--host-resolver-rules=MAP v.douyin.com 127.0.0.1' --ignore-certificate-errors"
unset DISPLAY WAYLAND_DISPLAY
room="http://v.douyin.com:$port"
out="$work/out" err="$work/err"
failures=0

# Two sample rooms and their answers, taken in turn.
links=("$room/iRNBho6/" "$room/today88/")
answers=('https://pull-hls.sample-cdn.invalid/stage/stream-117780148_or4.m3u8?arch_hrchy=w1&exp_hrchy=w1&expire=1893456000&major_anchor_level=common&sign=0f1e2d3c4b5a69788796a5b4c3d2e1f0&t_id=037-20240101'
    'https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_or4.m3u8?expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9')
link() { printf '%s' "${links[$(($1 % 2))]}"; }
answer() { printf '%s' "${answers[$(($1 % 2))]}"; }
# What standard output holds for links 0..N-1, with link M's line empty (a failure).
expected() { for ((i = 0; i < $1; i++)); do if [ "${2:-}" = "$i" ]; then echo; else answer $i; echo; fi; done; }

check() {  # check NAME CONDITION-RESULT DETAIL
    if [ "$2" = ok ]; then echo "ok: $1"; else echo "FAIL: $1: $3"; failures=$((failures + 1)); fi
}
# Waits (boundedly: a failure must end too) until standard output has N lines.
answered() {
    for _ in $(seq 900); do
        [ "$(wc -l <"$out")" -ge "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
# The browser qirlen started: its child, and the profile it runs in.
browser_of() { pgrep -P "$1" | head -1; }
profile_of() { tr '\0' '\n' <"/proc/$1/cmdline" | sed -n 's/^--user-data-dir=//p'; }
replaced() {  # replaced PID PROFILE: the old browser is gone, its profile removed, a new one said
    ! kill -0 "$1" 2>/dev/null && [ -n "$2" ] && [ ! -e "$2" ] &&
        grep -q 'qirlen: a new browser is started' "$err"
}

# Links on standard input, the next one written only once the last one is answered: the
# answers come before the input ends. After the second answer the browser is stopped: the
# third link finds it deaf, and the browser is replaced for the fourth.
exec {feed}> >(exec "$bin/qirlen" --cli - --timeout 10 >"$out" 2>"$err")
cli=$!
link 0 >&"$feed" && echo >&"$feed"
answered 1 && link 1 >&"$feed" && echo >&"$feed" && answered 2
check "answers before the input ends" "$([ "$(cat "$out")" = "$(expected 2)" ] && echo ok)" "$(cat "$out" "$err")"
# (The process substitution's shell has become qirlen itself.)
old="$(browser_of "$cli")" profile="$(profile_of "$old")"
kill -STOP "$old"
for i in 2 3 4 5; do link $i >&"$feed" && echo >&"$feed"; done
exec {feed}>&-
wait "$cli"
status=$?
check "a stopped browser is replaced" "$([ $status = 4 ] && [ "$(cat "$out")" = "$(expected 6 2)" ] && grep -q "iRNBho6/: qirlen: no page arrived within 10 seconds" "$err" && replaced "$old" "$profile" && echo ok)" "exit $status, browser $old ($profile); $(cat "$out" "$err")"
kill -KILL "$old" 2>/dev/null  # left stopped by a qirlen that failed

# The browser killed after the third answer, while the fourth link is under way: that link
# is tried again in a new browser.
: >"$out"  # answered 3 counts this run's lines only
"$bin/qirlen" --cli "$(link 0)" "$(link 1)" "$(link 2)" "$(link 3)" "$(link 4)" "$(link 5)" >"$out" 2>"$err" &
cli=$!
answered 3
old="$(browser_of "$cli")" profile="$(profile_of "$old")"
kill -KILL "$old"
wait "$cli"
status=$?
check "a killed browser is replaced" "$([ $status = 0 ] && [ "$(cat "$out")" = "$(expected 6)" ] && replaced "$old" "$profile" && echo ok)" "exit $status, browser $old ($profile); $(cat "$out" "$err")"

# A line too long to be a link is refused, quoted by its start alone, and let go as it comes;
# the longest allowed line still holds a link, and the next link is answered.
padded="$(link 0)$(printf '%*s' $((8192 - ${#links[0]})) '')"
{ head -c 300000 /dev/zero | tr '\0' a; echo; echo "$padded"; echo "$padded "; link 1; } |
    "$bin/qirlen" --cli - --json >"$out" 2>"$err"
status=$?
json="$(node -e '
  const lines = require("fs").readFileSync(process.argv[1], "utf8").trimEnd().split("\n");
  console.log(lines.map(l => { const r = JSON.parse(l); return [r.link.length, r.exit || 0].join(","); }).join(";"));' "$out")"
check "a line too long" "$([ $status = 3 ] && [ "$json" = "51,3;${#links[0]},0;51,3;${#links[1]},0" ] && [ "$(wc -c <"$err")" -lt 1000 ] && grep -qx "a\{48\}\.\.\.: qirlen: a line of more than 8192 bytes holds no link" "$err" && echo ok)" "exit $status; $json; $(head -c 600 "$err")"

# Memory stays flat however much arrives: 64 MB of junk lines (128 bytes each) are read,
# answered (an empty line each) and let go; the peak, read while the input is still open,
# stays at half of that (the program itself takes about 16 MB).
exec {feed}> >(exec "$bin/qirlen" --cli - >"$out" 2>/dev/null)
cli=$!
yes "$(printf 'not a link %0116d' 0)" | head -c $((64 << 20)) >&"$feed"
peak="$(sed -n 's/^VmHWM:[^0-9]*\([0-9]*\).*/\1/p' "/proc/$cli/status")"
exec {feed}>&-
wait "$cli"
status=$?
echo "peak memory after 64 MB of junk lines: ${peak} kB"
check "memory stays flat" "$([ $status = 3 ] && [ -n "$peak" ] && [ "$peak" -lt $((32 << 10)) ] && [ "$(wc -l <"$out")" = $(((64 << 20) / 128)) ] && echo ok)" "exit $status, peak ${peak} kB; $(wc -l <"$out") lines"
exit "$failures"
