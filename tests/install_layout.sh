#!/usr/bin/env bash
# #20: `cmake --install` of the build tree into a scratch prefix lays out the
# programs, the desktop entry, the icon and the manual pages, and they work.
# Usage: tests/install_layout.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: tests/install_layout.sh BUILD_DIR}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/quadtherm-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
"$(dirname "$0")/../packaging/check_installed.sh" "$prefix"
