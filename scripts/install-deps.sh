#!/usr/bin/env bash
# Installs what building and testing KOBALTDemo needs on a fresh Debian machine.
# Does nothing (and needs no network) when everything is already there.
set -euo pipefail

packages=(cmake make g++ clang libgtest-dev libgmock-dev libbenchmark-dev clang-format clang-tidy
    libncurses-dev libreadline-dev libutf8proc-dev tmux libclang-rt-14-dev groff-base
    # The Debian package (cpack: dpkg-shlibdeps, file) and the coverage report.
    dpkg-dev file gcovr python3
    # The SDK library over the Linux Bluetooth stack, and its tests' stand-ins and daemons.
    libsdbus-c++-dev dbus python3-dbusmock bluez ofono bluez-obexd
    # The dial-up provider database of both SDK libraries and the XML parser that reads it.
    mobile-broadband-provider-info libexpat1-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"
fi
