#!/usr/bin/env bash
# qirlen --cli against the sample live room, as scripts use it: what goes to standard output
# (the address alone, one LF-terminated line), what goes to standard error, the exit codes.
set -uo pipefail
bin="$(cd "${1:-build/bin}" && pwd)"
coproc ROOM { exec "$bin/sample_live_room"; }
trap 'exec {ROOM[1]}>&- 2>/dev/null || true' EXIT
read -r port <&"${ROOM[0]}"
# The platform's hosts go to the sample room; the web site's default port too, for the
# streamer's room that a stale share link looks up.
export QIRLEN_CHROMIUM_ARGS="'--host-resolver-rules=MAP live.douyin.com:443 127.0.0.1:$port, MAP v.douyin.com 127.0.0.1, MAP live.douyin.com 127.0.0.1, MAP www.douyin.com 127.0.0.1' --ignore-certificate-errors"
unset DISPLAY WAYLAND_DISPLAY
room="http://v.douyin.com:$port"
failures=0
out="$(mktemp)" err="$(mktemp)"

signed='https://pull-hls.sample-cdn.invalid/stage/stream-117780148_or4.m3u8?arch_hrchy=w1&exp_hrchy=w1&expire=1893456000&major_anchor_level=common&sign=0f1e2d3c4b5a69788796a5b4c3d2e1f0&t_id=037-20240101'
# The sample rooms' addresses: stream, tier ("or4" for origin), kind (hls, flv), line (main,
# backup).
tier() {
    local ext=m3u8
    [ "$3" = flv ] && ext=flv
    if [ "${4:-main}" = main ]; then
        printf 'https://pull-%s-l13.sample-cdn.invalid/stage/stream-%s_%s.%s?expire=70dbd880&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9' "$3" "$1" "$2" "$ext"
    else
        printf 'https://pull-%s-f5.sample-cdn.invalid/stage/stream-%s_%s.%s?wsSecret=5e4f30211203f4e5d6c7b8a99a8b7c6d&wsTime=70dbd880' "$3" "$1" "$2" "$ext"
    fi
}
# As the platform served rooms in 2026-09: stream, tier (origin and ao on the origin's own
# path), kind, line (main, backup), the main line's signature (phone: auth_key, desktop:
# expire and sign).
rec() {
    local ext=m3u8 suffix="_$2" audio="" cdn=l26
    [ "$3" = flv ] && ext=flv
    case "$2" in origin) suffix="" ;; ao) suffix="" audio="only_audio=1&" ;; esac
    local address="https://pull-$3-%s.sample-cdn.invalid/third/stream-$1$suffix.$ext?$audio"
    if [ "${4:-main}" = backup ]; then
        printf "$address%s" f26 'k=0f1e2d3c4b5a6978&t=1893456000'
    elif [ "${5:-phone}" = phone ]; then
        printf "$address%s" l26 'auth_key=1893456000-0-0-9a8b7c6d5e4f3021'
    else
        printf "$address%s" l26 'expire=1893456000&sign=9a8b7c6d5e4f30211203f4e5d6c7b8a9'
    fi
}
recorded=7380000000000000021
recOrigin="$(rec $recorded origin hls)"
today=7380000000000000001
origin="$(tier $today or4 hls)"
audio="$(tier $today ao hls backup)"  # the audio tier's playlist is on its backup line only
hd1="$(tier $today hd hls)"
again="$(tier 7380000000000000009 or4 hls)"  # the stale link's streamer, live again
until2030="valid until $(date -d @1893456000 '+%Y-%m-%d %H:%M:%S')"
gbkShare="$(printf '\xbf\xb4\xd6\xb1\xb2\xa5 %s/iRNBho6/ \xb8\xb4\xd6\xc6' "$room")"  # 看直播 ... 复制, in GBK

# One row: exit code | standard output, exactly ("" for none) | a text standard error holds
# ("" for nothing asked) | the arguments, as words for eval.
rows=(
    "0|$signed|$until2030|--cli '$room/iRNBho6/'"
    "0|$signed||--cli '看看【直播】 $room/iRNBho6/ 复制此链接'"
    "0|$signed||--cli '$gbkShare'"
    "0|$origin|$until2030|--cli '$room/today88/'"
    "0|$hd1||--cli '$room/today88/' --quality HD1"
    "0|$audio||--cli '$room/today88/' --quality=ao"
    "2||no quality nope (it has: origin/ORIGION, uhd/FULL_HD1, hd/HD1, sd/SD2, ld/SD1, ao)|--cli '$room/today88/' --quality nope"
    # The player's names and the address maps' names; where they disagree, the maps' stream.
    "0|$origin||--cli '$room/today88/' --quality 原画"
    "0|$hd1||--cli '$room/today88/' --quality 超清"
    "0|$(tier $today sd hls)||--cli '$room/today88/' --quality 高清"
    "0|$(tier $today uhd hls)||--cli '$room/today88/' --quality 蓝光"
    "0|$(tier $today ld hls)||--cli '$room/today88/' --quality 流畅"
    # Codecs: the best H.264 stream under an H.265 origin.
    "0|$(tier $today uhd hls)||--cli '$room/today88/' --codec h264"
    "0|$origin||--cli '$room/today88/' --codec=h265"
    "2||the room has no h264 stream of quality origin|--cli '$room/today88/' --quality origin --codec h264"
    "64||--codec takes h264 or h265|--cli '$room/today88/' --codec vp9"
    # FLV only when asked.
    "0|$(tier $today or4 flv)||--cli '$room/today88/' --format flv"
    "0|$(tier $today ao flv)||--cli '$room/today88/' --format=flv --quality ao"
    "0|$origin||--cli '$room/today88/' --format hls"
    "64||--format takes hls or flv|--cli '$room/today88/' --format mp4"
    # Expired addresses: passed over, or said.
    "0|$(tier 7380000000000000005 uhd hls)||--cli '$room/expiry1/'"
    "2||获取失败，直播地址已过期，请重新获取。|--cli '$room/expiry1/' --quality origin"
    "2||获取失败，直播地址已过期，请重新获取。|--cli '$room/expired2/'"
    # Rooms as the platform served them in 2026-09: the origin under FULL_HD1, named 原画
    # and 蓝光; md with no name; audio on FLV only; backup lines signed with k and t.
    "0|$recOrigin||--cli '$room/rec2609/'"
    "0|$recOrigin||--cli '$room/rec2609/' --quality 原画"
    "0|$recOrigin||--cli '$room/rec2609/' --quality 蓝光"
    "0|$(rec $recorded hd hls)||--cli '$room/rec2609/' --quality 超清"
    "0|$(rec $recorded md hls)||--cli '$room/rec2609/' --quality md"
    "2||the audio stream has FLV only; --format flv gives it|--cli '$room/rec2609/' --quality ao"
    "0|$(rec $recorded ao flv)||--cli '$room/rec2609/' --quality ao --format flv"
    "0|$(rec 7380000000000000022 origin hls backup)||--cli '$room/recmain/'"
    "2||获取失败，直播地址已过期，请重新获取。|--cli '$room/recgone/'"
    "2||获取失败，直播地址已过期，请重新获取。|--cli '$room/recgone/' --quality ao --format flv"
    "0|$(rec 7380000000000000024 origin hls main desktop)||--cli 'http://live.douyin.com:$port/82600001' --quality 原画"
    # The platform's refusals: try again later, the cause after it (the headless shell shows
    # an empty 444 or 503 as a page with that status; the full browser as a failed load).
    "4||获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。 (the platform answered with HTTP 444)|--cli '$room/refuse444/'"
    "4||获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。 (the platform answered with HTTP 403)|--cli '$room/refuse403/'"
    "4||获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。 (the platform answered with HTTP 503)|--cli '$room/fail503/'"
    "4||获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。 (the platform answered with an empty page)|--cli '$room/empty0/'"
    # The web site's room links.
    "0|$again||--cli 'http://live.douyin.com:$port/81234567'"
    "0|$again||--cli 'http://live.douyin.com:$port/81234567?enter_from_merge=web_live&x=1'"
    "0|$again||--cli 'https://live.douyin.com/81234567'"
    "0|$again||--cli 'http://www.douyin.com:$port/follow/live/81234567'"
    "0|$again||--cli 'http://www.douyin.com:$port/root/live/81234567'"
    "3||请输入正确的链接|--cli 'http://www.douyin.com:$port/video/81234567'"
    "3||请输入正确的链接|--cli 'http://live.douyin.com:$port/'"
    # A stale share link: the streamer live again in their web room, or not.
    "0|$again|the shared broadcast has ended; the streamer is live again|--cli '$room/stale9/'"
    "2||获取失败，直播已结束。|--cli '$room/todayx4/'"
    "5||获取失败，平台要求验证，请稍后再试或在浏览器中打开链接。|--cli '$room/verify5/'"
    "2||获取失败，直播已结束。|--cli '$room/ended42/'"
    "2||获取失败,请检查地址链接是否正确。|--cli '$room/broken7/'"
    "3||请输入正确的链接|--cli 'https://example.com/live/1'"
    "3||请输入正确的链接|--cli 'http://elsewhere/?v.douyin.com'"
    "3||请输入正确的链接|--cli ''"
    "4||the page did not load|--cli 'http://v.douyin.com:1/gone/'"
    "0|$signed|no display, so nothing was copied|--cli '$room/iRNBho6/' --copy"
    "64||--cli needs a LINK|--cli"
    "64||--timeout needs a value|--cli '$room/iRNBho6/' --timeout"
    "64||--timeout needs a positive number|--cli '$room/iRNBho6/' --timeout abc"
    "64||--timeout needs a positive number|--cli '$room/iRNBho6/' --timeout=0"
    "64||--list takes one LINK|--cli '$room/iRNBho6/' '$room/today88/' --list"
    "64||unknown option --bogus|--bogus"
)

check() {  # check NAME CONDITION-RESULT DETAIL
    if [ "$2" = ok ]; then echo "ok: $1"; else echo "FAIL: $1: $3"; failures=$((failures + 1)); fi
}

for row in "${rows[@]}"; do
    IFS='|' read -r code want errWant args <<<"$row"
    eval "set -- $args"
    "$bin/qirlen" "$@" >"$out" 2>"$err"
    status=$?
    got="$(cat "$out")"
    verdict=ok
    [ "$status" = "$code" ] && [ "$got" = "$want" ] || verdict=bad
    [ -z "$want" ] || [ "$(tail -c1 "$out" | od -An -c | tr -d ' ')" = '\n' ] || verdict=bad
    ! grep -q $'\r' "$out" || verdict=bad
    [ -z "$errWant" ] || grep -qF -- "$errWant" "$err" || verdict=bad
    check "$code for $args" "$verdict" "got $status $(printf '%q' "$got"); stderr: $(head -3 "$err")"
done

# The full list and the JSON, read by a program: one line per distinct stream, its keys and
# names, then every address, the backup line's too.
"$bin/qirlen" --cli "$room/today88/" --list >"$out" 2>"$err"
first="$(head -1 "$out")"
want="$(printf 'origin/ORIGION\t原画\t1080x1920\th265\t%s\t%s\t%s\t%s' "$origin" "$(tier $today or4 flv)" "$(tier $today or4 hls backup)" "$(tier $today or4 flv backup)")"
keys="$(cut -f1,2 "$out" | tr '\t\n' ' ;')"
check "--list" "$([ "$(wc -l <"$out")" = 6 ] && [ "$first" = "$want" ] && [ "$keys" = "origin/ORIGION 原画;uhd/FULL_HD1 蓝光;hd/HD1 超清/高清;sd/SD2 高清/标清;ld/SD1 标清/流畅;ao 音频;" ] && grep -qF "$(printf 'ao\t音频\t-\t-\t-\t%s\t%s' "$(tier $today ao flv)" "$audio")" "$out" && echo ok)" "$(cut -c1-80 "$out")"
# As recorded: the origin's keys and names on one line, on the phone and the desktop page;
# md by key and resolution; audio with FLV only.
"$bin/qirlen" --cli "$room/rec2609/" --list >"$out" 2>"$err"
keys="$(cut -f1,2 "$out" | tr '\t\n' ' ;')"
check "--list as recorded" "$([ "$keys" = "origin/ORIGION/FULL_HD1 原画/蓝光;hd/HD1 超清/蓝光;sd/SD2 高清;ld/SD1 标清;md -;ao -;" ] && grep -qxF "$(printf 'md\t-\t640x360\th264\t%s\t%s\t%s\t%s' "$(rec $recorded md hls)" "$(rec $recorded md flv)" "$(rec $recorded md hls backup)" "$(rec $recorded md flv backup)")" "$out" && grep -qxF "$(printf 'ao\t-\t-\t-\t-\t%s\t-\t%s' "$(rec $recorded ao flv)" "$(rec $recorded ao flv backup)")" "$out" && echo ok)" "$(cut -c1-100 "$out")"
"$bin/qirlen" --cli "http://live.douyin.com:$port/82600001" --list >"$out" 2>"$err"
check "--list of the desktop page as recorded" "$([ "$(head -1 "$out" | cut -f1,2,5)" = "$(printf 'origin/ORIGION/FULL_HD1\t原画/蓝光\t%s' "$(rec 7380000000000000024 origin hls main desktop)")" ] && [ "$(wc -l <"$out")" = 4 ] && echo ok)" "$(cut -c1-100 "$out")"
"$bin/qirlen" --cli "$room/today88/" --json >"$out" 2>"$err"
json="$(node -e '
  const r = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
  console.log([r.roomId, r.title, r.owner, r.status, r.quality, r.codec, r.format,
               r.address === process.argv[2], r.expiry, r.qualities.length, r.qualities[0].codec,
               r.qualities[2].mapKey, r.qualities[2].name, r.qualities[2].playerName].join("|"));' "$out" "$origin")"
check "--json" "$([ "$json" = '7380000000000000001|今晚"聊天"局|主播小七|2|origin|h265|hls|true|1893456000|6|h265|HD1|超清|高清' ] && echo ok)" "$json"

# Many links in one run, one browser: one line each in order, an empty one for a failure
# whose message on standard error starts with its link; the first failure's exit code.
"$bin/qirlen" --cli "$room/today88/" "$room/todayx4/" "https://example.com/x" "$room/iRNBho6/" >"$out" 2>"$err"
status=$?
check "many links" "$([ $status = 2 ] && [ "$(cat "$out")" = "$(printf '%s\n\n\n%s' "$origin" "$signed")" ] && [ "$(wc -l <"$out")" = 4 ] && grep -qxF "$room/todayx4/: 获取失败，直播已结束。" "$err" && grep -qF "https://example.com/x: 请输入正确的链接" "$err" && echo ok)" "exit $status; $(cat "$out"); $(cat "$err")"
printf '%s\n\n  %s  \n%s\n' "$room/iRNBho6/" "$room/stale9/" "$room/verify5/" |
    "$bin/qirlen" --cli - --json >"$out" 2>"$err"
status=$?
json="$(node -e '
  const lines = require("fs").readFileSync(process.argv[1], "utf8").trimEnd().split("\n");
  console.log(lines.map(l => { const r = JSON.parse(l);
    return [r.link.replace(/.*\/(\w+)\/$/, "$1"), r.exit || 0, r.streamersCurrentRoom || false].join(","); }).join(";"));' "$out")"
check "links from standard input, as JSON" "$([ $status = 5 ] && [ "$json" = "iRNBho6,0,false;stale9,0,true;verify5,5,false" ] && grep -qF "$room/stale9/: qirlen: the shared broadcast has ended" "$err" && echo ok)" "exit $status; $json; $(cat "$err")"
# A refused link leaves the next one unharmed.
"$bin/qirlen" --cli "$room/refuse444/" "$room/refuse403/" "$room/today88/" >"$out" 2>"$err"
status=$?
check "many links after refusals" "$([ $status = 4 ] && [ "$(cat "$out")" = "$(printf '\n\n%s' "$origin")" ] && grep -qF "$room/refuse403/: 获取失败，平台拒绝了请求或暂时出现故障，请稍后再试。 (the platform answered with HTTP 403)" "$err" && echo ok)" "exit $status; $(cat "$out" "$err")"
"$bin/qirlen" --cli "$room/iRNBho6/" "$room/today88/" >"$out" 2>"$err"
check "many links, all resolved" "$([ $? = 0 ] && [ "$(cat "$out")" = "$(printf '%s\n%s' "$signed" "$origin")" ] && echo ok)" "$(cat "$out" "$err")"

# A wrong link is answered before any browser starts: without one, it is still exit 3.
QIRLEN_CHROMIUM=/nonexistent "$bin/qirlen" --cli "https://example.com/x" >/dev/null 2>"$err"
check "a wrong link answers before the browser" "$([ $? = 3 ] && ! grep -q browser "$err" && echo ok)" "$(cat "$err")"
# No browser: one line that names the cause.
QIRLEN_CHROMIUM=/nonexistent/chromium "$bin/qirlen" --cli "$room/iRNBho6/" >"$out" 2>"$err"
check "no browser" "$([ $? = 4 ] && [ "$(wc -l <"$err")" = 1 ] && grep -q 'the browser could not be started: Chromium not found: QIRLEN_CHROMIUM names /nonexistent/chromium,' "$err" && echo ok)" "$(cat "$err")"
# A browser that exits before it ever answered did not start, however soon that is noticed.
for _ in 1 2 3; do
    QIRLEN_CHROMIUM=/bin/false "$bin/qirlen" --cli "$room/iRNBho6/" >"$out" 2>"$err"
    check "a browser that exits at once" "$([ $? = 4 ] && [ "$(cat "$err")" = "qirlen: the browser could not be started: Chromium exited with status 1" ] && echo ok)" "$(cat "$err")"
done
# An answer that cannot be written is no success, in any form.
for form in "" --json --list; do
    "$bin/qirlen" --cli "$room/iRNBho6/" $form >/dev/full 2>"$err"
    check "an answer to a full disk $form" "$([ $? = 6 ] && grep -q 'could not be written to standard output' "$err" && echo ok)" "$(cat "$err")"
done
# A browser that stalls as it starts: it notes its process and profile, then stops itself.
stall="$(mktemp -d)"
cat >"$stall/chromium" <<'SCRIPT'
#!/bin/sh
here="$(dirname "$0")"
for arg; do case "$arg" in --user-data-dir=*) printf '%s\n' "${arg#*=}" >"$here/profile.new" ;; esac; done
mv "$here/profile.new" "$here/profile"
echo $$ >"$here/pid.new" && mv "$here/pid.new" "$here/pid"
kill -STOP $$
SCRIPT
chmod +x "$stall/chromium"
# The stalled browser is gone (a zombie until someone reaps it) and its profile removed.
stalled_browser_gone() {
    local pid state=""
    pid="$(cat "$stall/pid" 2>/dev/null)" && [ -n "$pid" ] || return 1
    for _ in $(seq 100); do
        state="$(ps -o stat= -p "$pid" 2>/dev/null)"
        case "$state" in "" | Z*) break ;; esac
        sleep 0.1
    done
    case "$state" in "" | Z*) ;; *) return 1 ;; esac
    [ -s "$stall/profile" ] && [ ! -e "$(cat "$stall/profile")" ]
}
# --version names the program, then the browser it would run with that browser's own version
# line, asked in bounded time: a browser that never answers costs two seconds, not a hang.
"$bin/qirlen" --version >"$out" 2>"$err"
check "--version names the browser" "$([ $? = 0 ] && [ "$(head -1 "$out")" = "qirlen 1.0.1" ] && [[ "$(sed -n 2p "$out")" =~ ^browser:\ /.+\ \(.*[0-9]+\.[0-9]+.*\)$ ]] && echo ok)" "$(cat "$out" "$err")"
if [ -x /usr/lib/chromium/chromium-headless-shell ]; then
    check "--version names the headless shell" "$([[ "$(sed -n 2p "$out")" == "browser: /usr/lib/chromium/chromium-headless-shell (Chromium "* ]] && echo ok)" "$(cat "$out")"
fi
rm -f "$stall/pid"
began=$(date +%s%N)
QIRLEN_CHROMIUM="$stall/chromium" "$bin/qirlen" --version >"$out" 2>"$err"
status=$?
ms=$((($(date +%s%N) - began) / 1000000))
pid="$(cat "$stall/pid" 2>/dev/null)"
check "--version with a browser that never answers" "$([ $status = 0 ] && [ $ms -lt 5000 ] && [ "$(sed -n 2p "$out")" = "browser: $stall/chromium (its version is unknown)" ] && [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null && echo ok)" "exit $status after $ms ms, pid $pid; $(cat "$out")"
QIRLEN_CHROMIUM=/nonexistent/chromium "$bin/qirlen" --version >"$out" 2>"$err"
check "--version without the chosen browser" "$([ $? = 0 ] && [ "$(sed -n 2p "$out")" = "browser: none (QIRLEN_CHROMIUM=/nonexistent/chromium is no executable file)" ] && echo ok)" "$(cat "$out")"
# The deadline covers the start-up too, whatever the browser is stuck in.
rm -f "$stall/pid" "$stall/profile"
began=$(date +%s%N)
QIRLEN_CHROMIUM="$stall/chromium" "$bin/qirlen" --cli "$room/iRNBho6/" --timeout 3 >"$out" 2>"$err"
status=$?
ms=$((($(date +%s%N) - began) / 1000000))
check "--timeout 3 with a browser that stalls at start" "$([ $status = 4 ] && [ $ms -lt 8000 ] && [ ! -s "$out" ] && grep -q 'no page arrived within 3 seconds' "$err" && stalled_browser_gone && echo ok)" "exit $status after $ms ms; $(cat "$err")"
# Ctrl-C, SIGTERM and SIGHUP end the browser and remove its profile; the status is the
# signal's. (A script's background job ignores SIGINT: env gives it its default back.)
for signal in INT TERM HUP; do
    rm -f "$stall/pid" "$stall/profile"
    QIRLEN_CHROMIUM="$stall/chromium" env --default-signal=INT,TERM,HUP \
        "$bin/qirlen" --cli "$room/iRNBho6/" >"$out" 2>"$err" &
    cli=$!
    for _ in $(seq 600); do [ -s "$stall/pid" ] && break; sleep 0.05; done
    kill -"$signal" "$cli"
    wait "$cli"
    status=$?
    check "SIG$signal" "$([ $status = $((128 + $(kill -l "$signal"))) ] && stalled_browser_gone && echo ok)" "exit $status; $(cat "$err")"
done
rm -rf "$stall"
# The window without a display: one line, no abort.
"$bin/qirlen" >"$out" 2>"$err"
check "no display" "$([ $? = 1 ] && [ "$(cat "$err")" = "qirlen: no display; use qirlen --cli LINK" ] && echo ok)" "$(cat "$err")"
"$bin/qirlen" --help | grep -q -- "--cli LINK" && check "--help" ok || check "--help" bad ""
rm -f "$out" "$err"
exit "$failures"
