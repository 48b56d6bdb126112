#!/usr/bin/env bash
# with_remote_browser.sh FORM COMMAND...: runs COMMAND against a Chromium started by hand with
# its DevTools port on loopback, as a user attaches one. QIRLEN_BROWSER_URL names it: FORM ws
# gives the browser's own WebSocket, FORM http its address (read through /json/version); wss
# and https the same behind a TLS proxy (the program QIRLEN_TLS_FRONT names), whose throwaway
# authority SSL_CERT_FILE names for the command.
# QIRLEN_REMOTE_CHROMIUM_ARGS adds switches (quoted as a shell would). The browser goes when
# the command has ended, and the command's status is the script's.
set -uo pipefail
form="$1"
shift
browser="$(command -v chromium-headless-shell || command -v chromium)"
profile="$(mktemp -d /tmp/qirlen-remote.XXXXXX)"
args=(--remote-debugging-port=0 --remote-debugging-address=127.0.0.1 "--user-data-dir=$profile"
      --headless --no-first-run --disable-gpu --mute-audio
      # Bound functions answer from cross-origin frames too: every frame of a page in one renderer.
      --disable-web-security --disable-site-isolation-trials
      --disable-features=IsolateOrigins,site-per-process)
[ "$(id -u)" = 0 ] && args+=(--no-sandbox)
eval "args+=(${QIRLEN_REMOTE_CHROMIUM_ARGS:-})"
# A group of its own, so that the whole browser goes at the end (Debian's launcher is a shell
# script that does not exec it).
setsid "$browser" "${args[@]}" >/dev/null 2>&1 &
pid=$!
front_pid=""
cleanup() {
    kill -9 -- "-$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$profile"
    # The proxy ends (and removes its certificates) when its input closes.
    [ -n "$front_pid" ] && { exec {FRONT[1]}>&- 2>/dev/null; wait "$front_pid" 2>/dev/null; }
}
trap cleanup EXIT

# The browser writes its port and WebSocket path once it listens.
ready=""
for _ in $(seq 400); do
    # Its second line (the path) ends without a newline.
    if [ -n "$(sed -n 2p "$profile/DevToolsActivePort" 2>/dev/null)" ]; then ready=1; break; fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
done
if [ -z "$ready" ]; then
    echo "with_remote_browser: $browser did not open its DevTools port" >&2
    exit 1
fi
{ read -r port; read -r path; } <"$profile/DevToolsActivePort"
case "$form" in
    wss|https)
        coproc FRONT { exec "${QIRLEN_TLS_FRONT:-tls_front}" "$port"; }
        front_pid=$FRONT_PID
        read -r port ca <&"${FRONT[0]}" || { echo "with_remote_browser: no TLS proxy" >&2; exit 1; }
        export SSL_CERT_FILE="$ca"
        ;;
esac
case "$form" in
    ws|wss) export QIRLEN_BROWSER_URL="$form://127.0.0.1:$port$path" ;;
    http|https) export QIRLEN_BROWSER_URL="$form://127.0.0.1:$port" ;;
    *) echo "with_remote_browser: FORM is ws, http, wss or https" >&2; exit 64 ;;
esac
"$@"
