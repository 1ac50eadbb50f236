#!/usr/bin/env bash
# The main job: installs what is missing, builds, and opens the client.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh"
build=${ORVEL_BUILD_DIR:-$root/build}
exec "$build/src/app/OrvelNetdisk" "$@"
