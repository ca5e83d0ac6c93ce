#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, when any is missing, and the
# Japanese locale under which Wine's ANSI code page is 932.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config python3
  libgtest-dev libgmock-dev googletest
  libpugixml-dev zlib1g-dev libcurl4-openssl-dev libgumbo-dev libssl-dev openssl
  nlohmann-json3-dev
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine64 xvfb xauth x11-utils xdotool imagemagick fonts-ipafont-gothic
  locales unzip curl
  nsis osslsigncode
  chromium chromium-l10n
  clang libclang-rt-14-dev
  clang-tidy clang-format git
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Node.js for the browser tests' driver: Debian's, unless a node with npm is already there.
if ! command -v npm >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
fi

# The browser tests' driver, pinned by browser/package-lock.json; it downloads no browser (the
# tests run Debian's chromium).
browser_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/browser"
if [[ ! -f "$browser_dir/node_modules/.package-lock.json" ||
      "$browser_dir/package-lock.json" -nt "$browser_dir/node_modules/.package-lock.json" ]]; then
  (cd "$browser_dir" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund >/dev/null)
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8 >/dev/null 2>&1 || true
fi
