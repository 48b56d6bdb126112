#!/usr/bin/env bash
# The installed program works, and the .deb holds what it should: an install into a DESTDIR
# (nothing outside it changes) runs `qirlen --cli` against the sample room, then CPack builds
# the package into a scratch directory and dpkg-deb reads its files and control fields.
set -uo pipefail
build="$(cd "${1:?build directory}" && pwd)"
work="$(mktemp -d)"
coproc ROOM { exec "$build/bin/sample_live_room"; }
trap 'exec {ROOM[1]}>&- 2>/dev/null || true; rm -rf "$work"' EXIT
read -r port <&"${ROOM[0]}"
failures=0
check() {  # check NAME ok|other DETAIL
    if [ "$2" = ok ]; then echo "ok: $1"; else echo "FAIL: $1: $3"; failures=$((failures + 1)); fi
}

DESTDIR="$work/root" cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1
check "cmake --install into a DESTDIR" "$([ $? = 0 ] && echo ok)" "$(tail -3 "$work/install.log")"
for f in usr/bin/qirlen usr/lib/qirlen/qirlen usr/lib/qirlen/node.so \
         usr/share/applications/qirlen.desktop usr/share/icons/hicolor/scalable/apps/qirlen.svg; do
    check "installed $f" "$([ -e "$work/root/$f" ] && echo ok)" "missing"
done
export QIRLEN_CHROMIUM_ARGS="'--host-resolver-rules=MAP v.douyin.com 127.0.0.1' --ignore-certificate-errors"
export XDG_DATA_HOME="$work/data"
got="$("$work/root/usr/bin/qirlen" --cli "http://v.douyin.com:$port/today88/" 2>"$work/err")"
check "the installed launcher fetches" \
    "$([ $? = 0 ] && [[ "$got" == https://pull-hls-l13.sample-cdn.invalid/stage/stream-7380000000000000001_or4.m3u8\?* ]] && echo ok)" \
    "$got $(head -3 "$work/err")"
version="$("$work/root/usr/bin/qirlen" --version)"
check "the installed launcher knows its version and browser" \
    "$([ "$(head -1 <<<"$version")" = "qirlen 1.0.1" ] && [[ "$(tail -1 <<<"$version")" == "browser: /"* ]] && echo ok)" "$version"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$work/root/usr/share/applications/qirlen.desktop" >"$work/desktop" 2>&1
    check "the desktop entry validates" "$([ $? = 0 ] && echo ok)" "$(cat "$work/desktop")"
fi

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1)
deb="$work/pkg/qirlen_1.0.1_amd64.deb"
check "cpack builds the .deb" "$([ -f "$deb" ] && echo ok)" "$(tail -3 "$work/cpack.log")"
files="$(dpkg-deb -c "$deb" | awk '{print $6}' | sort | tr '\n' ' ')"
for f in ./usr/bin/qirlen ./usr/lib/qirlen/qirlen ./usr/lib/qirlen/node.so \
         ./usr/share/applications/qirlen.desktop ./usr/share/icons/hicolor/scalable/apps/qirlen.svg \
         ./usr/lib/systemd/system/qirlen-serve.service ./etc/default/qirlen-serve; do
    check "the .deb holds $f" "$([[ " $files " == *" $f "* ]] && echo ok)" "$files"
done
check "the .deb holds nothing else" "$([ "$(dpkg-deb -c "$deb" | grep -vc '/$')" = 7 ] && echo ok)" "$files"
# The service's unit runs the installed program; its settings survive an upgrade.
dpkg-deb -x "$deb" "$work/unpacked"
check "the unit starts qirlen serve with its settings" "$(grep -qx 'ExecStart=/usr/bin/qirlen serve $QIRLEN_SERVE_OPTIONS' "$work/unpacked/usr/lib/systemd/system/qirlen-serve.service" && grep -q '^QIRLEN_SERVE_OPTIONS=' "$work/unpacked/etc/default/qirlen-serve" && echo ok)" "$(cat "$work/unpacked/usr/lib/systemd/system/qirlen-serve.service")"
check "the settings are a conffile" "$([ "$(dpkg-deb -I "$deb" conffiles)" = /etc/default/qirlen-serve ] && echo ok)" "$(dpkg-deb -I "$deb" conffiles 2>&1)"
check "the .deb is qirlen 1.0.1 for amd64" \
    "$([ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = 'Package: qirlen Version: 1.0.1 Architecture: amd64 ' ] && echo ok)" \
    "$(dpkg-deb -f "$deb" Package Version Architecture)"
depends="$(dpkg-deb -f "$deb" Depends)"
check "Depends takes the headless shell or the full browser" \
    "$([[ "$depends" == "chromium-headless-shell | chromium, "* ]] && echo ok)" "$depends"
for p in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins fonts-noto-cjk; do
    check "Depends names $p" "$([[ "$depends" == *"$p"* ]] && echo ok)" "$depends"
done

# The SDK's package: the library with its SONAME links, headers, CMake package and .pc, and
# the program's package for the engine it loads.
dev="$work/pkg/qirlen-dev_1.0.1_amd64.deb"
check "cpack builds the SDK's .deb" "$([ -f "$dev" ] && echo ok)" "$(ls "$work/pkg")"
devfiles="$(dpkg-deb -c "$dev" | awk '{print $6}' | sort | tr '\n' ' ')"
for f in ./usr/lib/libqirlen-automation.so ./usr/lib/libqirlen-automation.so.1 \
         ./usr/lib/libqirlen-automation.so.1.0.1 ./usr/include/qirlen/session.h \
         ./usr/include/qirlen/automation/web_automation.h ./usr/include/qirlen/engine/wke.h \
         ./usr/lib/cmake/Qirlen/QirlenConfig.cmake ./usr/lib/cmake/Qirlen/QirlenTargets.cmake \
         ./usr/lib/pkgconfig/qirlen-automation.pc; do
    check "the SDK's .deb holds $f" "$([[ " $devfiles " == *" $f "* ]] && echo ok)" "$devfiles"
done
check "the SDK's .deb holds no engine of its own" "$([[ "$devfiles" != *node.so* ]] && echo ok)" "$devfiles"
check "the SDK's .deb is qirlen-dev" \
    "$([ "$(dpkg-deb -f "$dev" Package)" = qirlen-dev ] && echo ok)" "$(dpkg-deb -f "$dev" Package)"
check "qirlen-dev depends on the program's package" \
    "$([[ "$(dpkg-deb -f "$dev" Depends)" == *"qirlen (= 1.0.1)"* ]] && echo ok)" "$(dpkg-deb -f "$dev" Depends)"
exit "$failures"
