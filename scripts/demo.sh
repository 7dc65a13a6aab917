#!/usr/bin/env bash
# The main job: installs what is missing, builds the program and the tools, and checks the
# embedded demo election bundle with the administrator's tool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
build=${SV_BUILD:-$root/build/release}
"$root/scripts/build.sh" "$build" -DSORVIMEND_TESTS=OFF
"$build/bin/bundle-tool" check "$build/bin/sorvimend"
echo "demo: the embedded bundle of $build/bin/sorvimend loads"
