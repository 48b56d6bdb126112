#!/usr/bin/env bash
# The SDK installs whole: `cmake --install` into a scratch prefix, then an example is built
# OUT of this tree twice, with find_package(Qirlen) and with pkg-config, and run against a
# local page. The build tree is not on any path the builds or the programs see.
set -uo pipefail
build="$(cd "${1:?build directory}" && pwd)"
examples="$(cd "${2:?examples directory}" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
failures=0
check() {  # check NAME ok|other DETAIL
    if [ "$2" = ok ]; then echo "ok: $1"; else echo "FAIL: $1: $3"; failures=$((failures + 1)); fi
}

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1
check "cmake --install into a scratch prefix" "$([ $? = 0 ] && echo ok)" "$(tail -3 "$work/install.log")"
for f in include/qirlen/session.h include/qirlen/automation/web_automation.h \
         include/qirlen/automation/script_bridge.h include/qirlen/locate/locator.h \
         include/qirlen/engine/wke.h include/qirlen/engine/capi/wke.h lib/libqirlen-automation.so lib/libqirlen-automation.so.1 \
         lib/cmake/Qirlen/QirlenConfig.cmake lib/pkgconfig/qirlen-automation.pc lib/qirlen/node.so; do
    check "installed $f" "$([ -e "$prefix/$f" ] && echo ok)" "missing"
done
soname="$(readelf -d "$prefix/lib/libqirlen-automation.so" | sed -n 's/.*SONAME.*\[\(.*\)\]/\1/p')"
check "the library's SONAME" "$([ "$soname" = libqirlen-automation.so.1 ] && echo ok)" "$soname"

# Copies, so that nothing refers back to the source tree's headers.
cp -r "$examples" "$work/src"
page="file://$work/src/pages/form.html"
expect="page says: 已提交 李雷 🙂"

cmake -S "$work/src" -B "$work/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_BUILD_TYPE=Release >"$work/cmake.log" 2>&1 &&
    cmake --build "$work/cmake-build" --target fill_form >>"$work/cmake.log" 2>&1
check "find_package(Qirlen) builds fill_form" "$([ $? = 0 ] && echo ok)" "$(tail -5 "$work/cmake.log")"
got="$("$work/cmake-build/fill_form" "$page" 2>&1)"
check "fill_form (CMake) runs" "$([ $? = 0 ] && [[ "$got" == *"$expect"* ]] && echo ok)" "$got"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
flags="$(pkg-config --cflags --libs qirlen-automation 2>&1)"
check "pkg-config knows qirlen-automation" "$([ $? = 0 ] && echo ok)" "$flags"
# shellcheck disable=SC2086
g++ -std=c++17 -o "$work/fill_form" "$work/src/legacy/fill_form.cc" $flags >"$work/gcc.log" 2>&1
check "pkg-config flags build fill_form" "$([ $? = 0 ] && echo ok)" "$(tail -5 "$work/gcc.log")"
got="$(LD_LIBRARY_PATH="$prefix/lib" "$work/fill_form" "$page" 2>&1)"
check "fill_form (pkg-config) runs" "$([ $? = 0 ] && [[ "$got" == *"$expect"* ]] && echo ok)" "$got"

# As README says: with an rpath, the program finds the library without LD_LIBRARY_PATH.
# shellcheck disable=SC2086
g++ -std=c++17 -o "$work/fill_form_rpath" "$work/src/legacy/fill_form.cc" $flags \
    -Wl,-rpath,"$(pkg-config --variable=libdir qirlen-automation)" >"$work/gcc.log" 2>&1
got="$(env -u LD_LIBRARY_PATH "$work/fill_form_rpath" "$page" 2>&1)"
check "fill_form built with an rpath runs" "$([ $? = 0 ] && [[ "$got" == *"$expect"* ]] && echo ok)" "$got"

# The modern face's three examples, built out of tree with find_package, run against their
# pages (the sign-in on the examples' site, which sets its cookie).
cmake --build "$work/cmake-build" --target login scrape_table wait_click_screenshot >>"$work/cmake.log" 2>&1
check "find_package(Qirlen) builds the modern examples" "$([ $? = 0 ] && echo ok)" "$(tail -5 "$work/cmake.log")"
got="$("$build/bin/example_site" "$work/src/pages" "$work/cmake-build/login" "{site}/login.html" 李雷 secret 2>&1)"
check "login (CMake) runs" "$([ $? = 0 ] && [[ "$got" == *"欢迎, 李雷"*"cookie session="* ]] && echo ok)" "$got"
got="$("$work/cmake-build/scrape_table" "file://$work/src/pages/table.html" "$work/table.csv" 2>&1)"
check "scrape_table (CMake) runs" "$([ $? = 0 ] && [[ "$got" == *"rows: 201"*"frame 1: https://example.org/frame-2"* ]] && [ "$(wc -l <"$work/table.csv")" = 201 ] && echo ok)" "$got"
got="$("$work/cmake-build/wait_click_screenshot" "file://$work/src/pages/late_button.html" late "$work/late.png" 2>&1)"
check "wait_click_screenshot (CMake) runs" "$([ $? = 0 ] && [[ "$got" == *"trusted: true"* ]] && [ "$(head -c 4 "$work/late.png" | tail -c 3)" = PNG ] && echo ok)" "$got"

# One include root: both faces' headers compile as C++17 with -I<prefix>/include alone.
printf '#include <qirlen/qirlen.h>\n#include <qirlen/session.h>\nint main() { return 0; }\n' >"$work/one_root.cc"
g++ -std=c++17 -fsyntax-only -I"$prefix/include" "$work/one_root.cc" >"$work/one_root.log" 2>&1
check "the headers need one include root" "$([ $? = 0 ] && echo ok)" "$(head -5 "$work/one_root.log")"

# The library exports its public API and nothing else (but the dialog the engine looks up).
stray="$(nm -DC --defined-only "$prefix/lib/libqirlen-automation.so" | cut -d' ' -f3- |
    grep -Ev '^GetOpenFileNameW$|^qirlen::(Session|Browser|Page|Locator)::|^qirlen::(ErrorKindName|SetTextEncoding|GetTextEncoding)\(|^automation::(WebAutomation|ViewAutomation|ElementInfo|ElementRect)::|^locate::ElementFinder::|^ops::ElementOperations::')"
check "the library exports only the public API" "$([ -z "$stray" ] && echo ok)" "$(head -5 <<<"$stray")"

# QIRLEN_ENGINE overrides the engine beside the library, and a wrong one is said at once.
got="$(QIRLEN_ENGINE="$work/none/node.so" "$work/cmake-build/fill_form" "$page" 2>&1)"
check "a missing engine is named" "$([ $? = 1 ] && [[ "$got" == *"$work/none/node.so"* ]] && echo ok)" "$got"
exit "$failures"
