#!/usr/bin/env bash
# The rooms qirlen serve watches, on the sample room whose web rooms 8260009N are live while
# the file live-8260009N is there: through curl (/rooms, /playlist.m3u, /events with -N), the
# --on-live command's record of its environment, SIGHUP, the page server's log of loads, and
# qirlen --cli --wait.
. "$(dirname "$0")/serve_lib.sh"

# until SECONDS COMMAND...: until the command succeeds, or false after SECONDS.
until_true() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -ge "$end" ] && return 1
        sleep 0.05
    done
}
heard() { grep -q "$1" "$work/events"; }
room_line() { curl -s "$base/rooms" | grep "\"webRid\":\"$1\""; }
field() { room_line "$1" | sed -n "s/.*\"$2\":\([0-9]*\).*/\1/p"; }  # field ROOM NAME: a time
checked_after() { [ "$(field "$1" lastCheck)" -ge "$2" ] 2>/dev/null; }
status_of() { curl -s -o /dev/null -w '%{http_code}' "$base/douyin/$1"; }

cat >"$work/rooms" <<'EOF'
# the test's rooms
https://live.douyin.com/82600091
82600092 quality=hd   # stays ended
EOF
# The command keeps its environment; the page's title tries to run a command of its own.
record="$work/on-live.txt"
title="Live \$(touch $work/pwned) \`touch $work/pwned\` \"quoted\", too"
on_live="{ env | grep -E '^QIRLEN_(ROOM|TITLE|OWNER|URL|LINK)=' | sort; echo ---; } >>'$record'"
start --pace 0.05 --interval 1.5 --rooms "$work/rooms" --on-live "$on_live"
curl -s -N "$base/events" >"$work/events" &
events_pid=$!
until_true 10 heard ": watching"
until_true 30 checked_after 82600091 1
check "a room first seen offline is no event" "$(room_line 82600091 | grep -q '"live":false' && ! heard '^event:' && echo ok)" "$(room_line 82600091); $(cat "$work/events")"

# It goes live: one event, one run of the command, however often it is seen live after.
printf '%s\033[31m\n7380000000000000191\n' "$title" >"$work/hls/live-82600091"
until_true 30 heard "^event: live"
until_true 10 test -s "$record"
code="$(status_of 82600091)"
json="$(curl -s "$base/douyin/82600091.json")"
check "the room's JSON names the owner's picture" "$(case "$json" in *'"avatar":"https://p3.sample-cdn.invalid/aweme/100x100/avatar-switch.jpeg?from=4010531038"'*) echo ok ;; esac)" "$json"
until_true 30 checked_after 82600091 "$(($(field 82600091 since) + 2))"
check "one live event, one run of --on-live" "$([ "$(grep -c '^event: live' "$work/events")" = 1 ] && [ "$(grep -c '^---' "$record")" = 1 ] && echo ok)" "$(cat "$work/events" "$record")"
check "the page's title ran nothing" "$([ ! -e "$work/pwned" ] && echo ok)" "$(cat "$record")"
expected="QIRLEN_LINK=${base}/douyin/82600091
QIRLEN_OWNER=主播
QIRLEN_ROOM=82600091
QIRLEN_TITLE=${title}[31m
QIRLEN_URL=http://127.0.0.1:$port/hls/origin.m3u8?expire=1893456000
---"
check "the command has the room in its environment" "$([ "$(cat "$record")" = "$expected" ] && echo ok)" "$(cat "$record")"

playlist="$(curl -s -H 'Host: tv.example:8090' "$base/playlist.m3u")"
expected="#EXTM3U
#EXTINF:-1 tvg-logo=\"https://p3.sample-cdn.invalid/aweme/100x100/avatar-switch.jpeg?from=4010531038\" group-title=\"直播中\",主播 - Live \$(touch $work/pwned) \`touch $work/pwned\` quoted too[31m
http://tv.example:8090/douyin/82600091
#EXTINF:-1 tvg-logo=\"https://p3.sample-cdn.invalid/aweme/100x100/avatar-switch.jpeg?from=4010531038\" group-title=\"未开播\",主播 - 已下播
http://tv.example:8090/douyin/82600092?quality=hd"
check "the playlist: the stable links for the Host asked, live or not" "$([ "$playlist" = "$expected" ] && echo ok)" "$playlist"

# It goes offline: the answer kept for its stable link goes with it.
rm "$work/hls/live-82600091"
until_true 30 heard "^event: offline"
after="$(status_of 82600091)"
check "offline: an event, and the kept address no longer given" "$([ "$code" = 302 ] && [ "$after" = 404 ] && echo ok)" "$code then $after"

# SIGHUP reads the file again: the rooms of the new file only, their checks spread over the
# interval (half a second apart), not all at once.
for room in 82600094 82600095 82600096; do echo "Channel $room" >"$work/hls/live-$room"; done
printf '82600094\n82600095\n82600096\n' >"$work/rooms"
first="$(($(wc -l <"$work/room.out") + 1))"
kill -HUP "$serve_pid"
until_true 10 room_line 82600096 >/dev/null
check "SIGHUP: the edited rooms file" "$([ "$(curl -s "$base/rooms" | grep -c '"link"')" = 3 ] && ! room_line 82600091 >/dev/null && echo ok)" "$(curl -s "$base/rooms")"
spread() { tail -n +"$first" "$work/room.out" | grep ' live.douyin.com/8260009[456]$' | awk '{print $2}'; }
until_true 30 eval '[ "$(spread | wc -l)" -ge 7 ]'
gaps="$(spread | awk 'NR > 1 { print $1 - last } { last = $1 }' | sort -n)"
median="$(echo "$gaps" | awk '{ g[NR] = $1 } END { print g[int((NR + 1) / 2)] }')"
check "the checks spread over the interval" "$([ "${median:-0}" -ge 300 ] && echo ok)" "gaps (ms): $(echo $gaps)"

# Killed and started again, the rooms live before are no new broadcasts: no event, no run of
# the command, the same "since"; their states are there before the first check.
until_true 30 eval '[ "$(curl -s "$base/rooms" | grep -c '"'"'"live":true'"'"')" = 3 ]'
runs="$(grep -c '^---' "$record")" since="$(field 82600095 since)"
kill "$events_pid" 2>/dev/null
kill -9 "$serve_pid"
wait "$serve_pid" 2>/dev/null
restarted="$(date +%s)"
start --pace 0.05 --interval 1.5 --rooms "$work/rooms" --on-live "$on_live"
kept="$(room_line 82600095)"
curl -s -N "$base/events" >"$work/events" &
events_pid=$!
for room in 82600094 82600095 82600096; do until_true 30 checked_after $room "$restarted"; done
check "a restart: the rooms' states kept, no second go-live" "$([[ "$kept" == *'"live":true,"since":'$since,* ]] && [ "$(field 82600095 since)" = "$since" ] && [ "$(grep -c '^---' "$record")" = "$runs" ] && ! heard '^event: live' && [ "$(metric qirlen_rooms_live)" = 3 ] && echo ok)" "kept: $kept; now $(room_line 82600095); $(cat "$work/events")"

kill "$events_pid" 2>/dev/null
kill -TERM "$serve_pid"
wait "$serve_pid"

# qirlen --cli --wait: checks until the room is live, then answers as usual.
timeout 120 "$bin/qirlen" --cli --wait=1 --timeout 10 https://live.douyin.com/82600097 >"$work/wait.out" 2>"$work/wait.err" &
wait_pid=$!
until_true 30 grep -qs "waiting" "$work/wait.err"
echo "Finally" >"$work/hls/live-82600097"
wait "$wait_pid"
status=$?
check "--cli --wait answers once the room is live" "$([ $status = 0 ] && [ "$(cat "$work/wait.out")" = "http://127.0.0.1:$port/hls/origin.m3u8?expire=1893456000" ] && [ "$(grep -c waiting "$work/wait.err")" = 1 ] && echo ok)" "status $status; $(cat "$work/wait.out" "$work/wait.err")"
exit "$failures"
