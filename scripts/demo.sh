#!/usr/bin/env bash
# The main job end to end on loopback: a sample live room, and qirlen fetching its stream
# address from a share link, as a user on a terminal would.
set -euo pipefail
bin="${1:-build/bin}"

coproc ROOM { exec "$bin/sample_live_room"; }
trap 'exec {ROOM[1]}>&-; wait "$ROOM_PID" 2>/dev/null || true' EXIT
read -r port <&"${ROOM[0]}"
link="http://v.douyin.com:$port/iRNBho6/"
echo "share link: $link"
# The browser sends the share-link host to the sample room; the platform's domain is on its
# HTTPS-only list, so it speaks TLS there and must accept the room's throwaway certificate.
export QIRLEN_CHROMIUM_ARGS="'--host-resolver-rules=MAP v.douyin.com 127.0.0.1' --ignore-certificate-errors ${QIRLEN_CHROMIUM_ARGS:-}"
"$bin/qirlen" --cli "8.94 复制打开抖音，看看【样例主播的直播】 $link 直播中"
# A room of today: no stream element, the address comes from the room data its page embeds.
today="http://v.douyin.com:$port/today88/"
echo "today's room: $today"
"$bin/qirlen" --cli "$today" --list
