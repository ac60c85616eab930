#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks that the installed console finds the
# installed library (<prefix>/lib/kobalt/KOBALT.dll, not beside the program) and plays the demo.
#
#   install_layout.sh CMAKE BUILD_DIR SOURCE_DIR
set -u
cmake=$1 build=$2 source=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1 \
    || { cat "$prefix/install.log"; echo "FAILED: cmake --install"; exit 1; }
[ -f "$prefix/lib/kobalt/KOBALT.dll" ] || { echo "FAILED: no lib/kobalt/KOBALT.dll"; exit 1; }
[ ! -e "$prefix/bin/KOBALT.dll" ] || { echo "FAILED: KOBALT.dll installed beside the program"; exit 1; }

exec "$source/tests/e2e/run_scenario.sh" --env KOBALT_TIME_SCALE=0.01 \
    --stderr-has "demo.script: passed" -- "$prefix/bin/KOBALTDemo" --script "$source/demo/demo.script"
