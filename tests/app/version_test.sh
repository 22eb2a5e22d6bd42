#!/usr/bin/env bash
# The desktop program and the command line tell one version, the one the build was made with.
# Usage: version_test.sh VELMORA VELMORA_CLI VERSION
set -euo pipefail

velmora=$1
cli=$2
version=$3

app_says=$(env -u DISPLAY -u WAYLAND_DISPLAY "$velmora" --version)
cli_says=$("$cli" --version)
[ "$app_says" = "velmora $version" ] || { echo "velmora --version says '$app_says', the build is $version" >&2; exit 1; }
[ "$cli_says" = "velmora-cli $version" ] || { echo "velmora-cli --version says '$cli_says', the build is $version" >&2; exit 1; }
