#!/usr/bin/env bash
# qirlen serve against the sample live room, through real clients: curl following the
# redirect, ffprobe playing a stable link, many requests at once; the page server's log of
# room pages shows what reached the platform and when.
. "$(dirname "$0")/serve_lib.sh"

start --pace 1 --recheck 1
check "the service listens" "$([ -n "$base" ] && echo ok)" "$(cat "$work/serve.err")"

# A player follows the stable link to the stream itself.
body="$(curl -sL --max-time 30 "$base/douyin/82600077")"
check "curl follows the redirect to the playlist" "$([ "${body:0:7}" = "#EXTM3U" ] && echo ok)" "$body"
streams="$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$base/douyin/82600077.m3u8" 2>&1 | sort -u | grep -v '^$')"
check "ffprobe plays the stable link" "$([ "$streams" = h264 ] && echo ok)" "$streams"
check "one page load for both" "$([ "$(loads)" = 1 ] && [ "$(metric qirlen_cache_hits_total)" = 1 ] && echo ok)" "$(cat "$work/room.out")"

# Past --recheck the CDN is asked, not the platform; once it no longer serves the
# stream (the broadcast ended), the room is resolved anew. The wait is the recheck's own.
sleep 1.1
code="$(curl -s -o /dev/null -w '%{http_code}' "$base/douyin/82600077")"
check "an old answer confirmed by the CDN" "$([ "$code" = 302 ] && [ "$(loads)" = 1 ] && echo ok)" "$code, $(loads) loads"
mv "$work/hls/origin.m3u8" "$work/hls/gone.m3u8"
sleep 1.1
code="$(curl -s -o /dev/null -w '%{http_code}' "$base/douyin/82600077")"
check "a stream the CDN no longer serves is resolved anew" "$([ "$code" = 302 ] && [ "$(loads)" = 2 ] && echo ok)" "$code, $(loads) loads"
mv "$work/hls/gone.m3u8" "$work/hls/origin.m3u8"

# 200 players at once for a room nobody asked for yet: one page load for all of them.
echo "Channel 98" >"$work/hls/live-82600098"
before="$(loads)"
urls=""
for _ in $(seq 200); do urls+=" -o /dev/null $base/douyin/82600098"; done
codes="$(curl -s --parallel --parallel-immediate --parallel-max 200 -w '%{http_code}\n' $urls 2>/dev/null | tally)"
check "200 at once for one cold room: one page load" "$([ "$codes" = "200x302 " ] && [ "$(loads)" = "$((before + 1))" ] && echo ok)" "codes $codes; $(($(loads) - before)) loads"

# Ten rooms at once: one page load at a time, at least --pace apart; the stale share link's
# lookup of its streamer's current room too. An ended room of the web site is loaded once:
# its page is the streamer's current room already.
before="$(loads)" clients=""
for link in "/douyin/81234567" "/douyin/82600001" "/douyin/80000002" \
    "/douyin?url=http%3A%2F%2Fv.douyin.com%3A$port%2Fstale9%2F" \
    "/douyin?url=http%3A%2F%2Fv.douyin.com%3A$port%2Frec2609%2F" \
    /douyin/8260009{0,2,3,5,9}; do
    curl -s -o /dev/null -w '%{http_code}\n' "$base$link" >>"$work/codes" &
    clients+=" $!"
done
wait $clients
codes="$(tally <"$work/codes")"
gaps="$(grep "^load " "$work/room.out" | tail -n +"$((before + 1))" | awk '{print $2}' | sort -n |
    awk 'NR > 1 { print $1 - last } { last = $1 }' | sort -n | head -1)"
check "ten rooms at once, paced" "$([ "$codes" = "4x302 6x404 " ] && [ "$(loads)" = "$((before + 11))" ] && [ "${gaps:-0}" -ge 950 ] && echo ok)" "codes $codes; $(($(loads) - before)) loads; smallest gap ${gaps:-none} ms"

# A room page as heavy as the platform's: none of its pictures, media, fonts, style sheets or
# scripts fetched. Behind an interstitial, its scripts are, once the page without them
# showed no room: the interstitial's, then the room's own.
fetched_before="$(grep -c '^fetch ' "$work/room.out")"
fetched() { grep '^fetch ' "$work/room.out" | tail -n +"$((fetched_before + 1))" | awk '{print $2}' | tr '\n' ' '; }
codes=""
for token in heavy3m acwall1; do
    codes+="$(curl -s -o /dev/null -w '%{http_code}' "$base/douyin?url=http%3A%2F%2Fv.douyin.com%3A$port%2F$token%2F") "
done
check "a heavy room: only its page fetched; an interstitial: its scripts too" "$([ "$codes" = "302 302 " ] && [ "$(fetched)" = "/static/ac.js /static/vendor.js " ] && echo ok)" "codes $codes; fetched: $(fetched)"

# What no client may make the service fetch: refused before the browser is asked.
before="$(loads)"
for link in "/douyin?url=http%3A%2F%2F127.0.0.1%3A$port%2Fwebcast%2Freflow%2Flive" \
    "/douyin?url=file%3A%2F%2F%2Fetc%2Fpasswd" "/douyin/8123%2F..%2F4" "/douyin/%31%32"; do
    code="$(curl -s -o /dev/null -w '%{http_code}' "$base$link")"
    check "refused: $link" "$(case "$code" in 400 | 404) echo ok ;; esac)" "$code"
done
check "nothing fetched for them" "$([ "$(loads)" = "$before" ] && echo ok)" "$(tail -2 "$work/room.out")"

# A refusal: the service backs off (30 s at first), says so, and tells clients when to come back.
headers="$(curl -s -D - -o /dev/null "$base/douyin?url=http%3A%2F%2Fv.douyin.com%3A$port%2Frefuse444%2F")"
check "a refusal is a 503 with Retry-After, and loads back off" "$([[ "$headers" == "HTTP/1.1 503"* ]] && [[ "$headers" == *"Retry-After: 60"* ]] && [ "$(metric qirlen_backoff_seconds)" = 30 ] && [ "$(metric qirlen_refusals_total)" = 1 ] && echo ok)" "$headers; back-off $(metric qirlen_backoff_seconds)"

# Killed outright while it resolves, then started again: the kept answers are there at once.
curl -s -o /dev/null "$base/douyin/81234568" &
kill -9 "$serve_pid"
wait "$serve_pid" 2>/dev/null
before="$(loads)"
echo 82600093 >"$work/rooms"
start --rooms "$work/rooms"
location="$(curl -s -o /dev/null -w '%{redirect_url}' "$base/douyin/82600077")"
check "a restarted service answers a kept link without a page load" "$([ "${location#http://127.0.0.1:$port/hls/origin.m3u8}" != "$location" ] && [ "$(loads)" = "$before" ] && [ "$(metric qirlen_page_loads_total)" = 0 ] && echo ok)" "$location; $(cat "$work/serve.err")"
rooms="$(curl -s "$base/rooms")"
next="$(echo "$rooms" | sed -n 's/.*"nextCheck":\([0-9]*\).*/\1/p')"
check "and it still backs off, in /metrics and /rooms" "$([ "$(metric qirlen_backoff_seconds)" = 30 ] && [[ "$rooms" == *'"backOff":30'* ]] && [ "${next:-0}" -gt "$(($(date +%s) + 5))" ] && echo ok)" "back-off $(metric qirlen_backoff_seconds); $rooms"

# SIGTERM drains and ends: exit 0, and no browser of the service's left.
children="$(pgrep -P "$serve_pid" | tr '\n' ' ')"
curl -s -o /dev/null "$base/douyin/81234567"
kill -TERM "$serve_pid"
wait "$serve_pid"
status=$?
left=""
for child in $children; do kill -0 "$child" 2>/dev/null && left+="$child "; done
check "SIGTERM ends it with status 0, its browser gone" "$([ $status = 0 ] && [ -z "$left" ] && echo ok)" "status $status; left: $left; $(cat "$work/serve.err")"
exit "$failures"
