#!/usr/bin/env bash
# Installs the build into a fresh prefix and checks the installed layout: the console finds the
# installed simulated library (<prefix>/lib/kobalt/KOBALT.dll, not the build folder's, not one
# beside the program) and plays the demo; with --sdk bluez it loads
# <prefix>/lib/kobalt/bluez/KOBALT.dll when the build has that library. Which files the
# process loaded is read from the dynamic loader's own report (LD_DEBUG=files), so the console
# is run exactly as installed. The prefix is removed however the test ends.
#
#   install_layout.sh CMAKE BUILD_DIR SOURCE_DIR
set -u
cmake=$1 build=$2 source=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "FAILED: $*"
    exit 1
}

"$cmake" --install "$build" --prefix "$prefix" >"$prefix/install.log" 2>&1 \
    || { cat "$prefix/install.log"; fail "cmake --install"; }
prefix=$(realpath "$prefix")
for file in bin/KOBALTDemo bin/kobalt-phone lib/kobalt/KOBALT.dll share/man/man1/KOBALTDemo.1 \
    share/man/man1/kobalt-phone.1 share/doc/kobaltdemo/README.md \
    share/doc/kobaltdemo/examples/demo.script; do
    [ -f "$prefix/$file" ] || fail "$file not installed"
done
[ ! -e "$prefix/bin/KOBALT.dll" ] || fail "KOBALT.dll installed beside the program"

# play NAME EXPECTED_LIBRARY ARGS...: runs the installed console with the loader reporting to
# $prefix/NAME.PID, then checks that every KOBALT.dll the process opened is EXPECTED_LIBRARY.
play() {
    local name=$1 expected=$2
    shift 2
    bash "$source/tests/e2e/run_scenario.sh" --env KOBALT_TIME_SCALE=0.01 \
        --env LD_DEBUG=files --env "LD_DEBUG_OUTPUT=$prefix/$name" \
        "$@" || fail "$name: the installed console's run"
    local opened
    opened=$(cat "$prefix/$name".* 2>/dev/null | sed -n 's/.*file=\([^ ]*KOBALT\.dll\) .*/\1/p' | sort -u)
    [ -n "$opened" ] || fail "$name: no KOBALT.dll was loaded"
    local path
    for path in $opened; do
        [ "$(realpath "$path")" = "$expected" ] || fail "$name: loaded $path, not $expected"
    done
    echo "$name: loaded $expected"
}

play simulated "$prefix/lib/kobalt/KOBALT.dll" --stderr-has "demo.script: passed" \
    -- "$prefix/bin/KOBALTDemo" --script "$source/demo/demo.script"

# The bluez library is loaded but never started: the script only looks at the main window.
if [ -f "$build/lib/kobalt/bluez/KOBALT.dll" ]; then
    [ -f "$prefix/lib/kobalt/bluez/KOBALT.dll" ] || fail "lib/kobalt/bluez/KOBALT.dll not installed"
    play bluez "$prefix/lib/kobalt/bluez/KOBALT.dll" \
        --stderr-has "initial_state.script: passed" \
        -- "$prefix/bin/KOBALTDemo" --sdk bluez --script "$source/tests/e2e/scripts/initial_state.script"
fi
echo "install layout: passed"
