#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a fresh Debian 12 machine.
# Idempotent: packages already present are left alone; run as root (or with sudo).
set -euo pipefail

packages=(
  build-essential cmake pkg-config clang-format
  libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libssl-dev libboost-dev
  libsqlite3-dev
  qt6-base-dev libgl-dev qt6-qpa-plugins
  # The engine runs the headless shell; the engine's and automation's tests also run once
  # on the full browser, which stays supported.
  chromium-headless-shell chromium
  xvfb xdotool xclip xauth
  # The service is tested through real clients.
  curl
  fonts-noto-cjk
)
# Node.js may come from elsewhere than Debian; only a machine without npm gets Debian's.
command -v npm >/dev/null 2>&1 || packages+=(nodejs npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -q
  $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The page-side renderer is pinned in package-lock.json; npm ci keeps it exact. The peers
# of the benchmarks (--peers) are dev dependencies: only `make bench-peers` installs them.
# No package runs install scripts, so none downloads a browser.
here="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" = "--peers" ]; then
  if [ ! -d "$here/node_modules/puppeteer-core" ] || [ ! -d "$here/node_modules/playwright-core" ]; then
    (cd "$here" && npm ci --ignore-scripts --no-audit --no-fund)
  fi
elif [ ! -f "$here/node_modules/html2canvas/dist/html2canvas.min.js" ]; then
  (cd "$here" && npm ci --omit=dev --ignore-scripts --no-audit --no-fund)
fi
