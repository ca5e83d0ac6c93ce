#!/usr/bin/env bash
# demo.sh NATIVE_BUILD_DIR: the toolbar's view of the sample installation, with a throw-away
# per-user profile.
set -euo pipefail
build=$1
root=$(cd "$(dirname "$0")/.." && pwd)
profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT

echo "== The sample installation as the toolbar reads it"
"$build/bin/norvex-inspect" --install "$root/sample/install" --profile "$profile"
echo
echo "== The same after the user hides the news agent (UserConfig.ini in the profile)"
printf '[user_settings]\r\nnews=0\r\n[window_diams]\r\ndropwidth=320\r\ndropheight=150\r\n' \
  > "$profile/Norvex/UserConfig.ini"
"$build/bin/norvex-inspect" --install "$root/sample/install" --profile "$profile" | grep -E "agents|drop-down|News" || true
