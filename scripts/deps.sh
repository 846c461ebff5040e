#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Quorvane need, if missing.
# Sourced by run.sh and test.sh; usage: quorvane_install_deps PACKAGE...
set -euo pipefail

# The web engine's helper process (QtWebEngineProcess) comes in a package of its own that the
# engine's library does not pull in. The Debian package is built with dpkg-dev (dpkg-shlibdeps
# reads its dependencies from the programs, which CPack finds with file) and checked with lintian.
QUORVANE_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-webengine-dev
                         libqt6webenginecore6-bin libgumbo-dev libcpp-httplib-dev clang-format
                         desktop-file-utils appstream dpkg-dev file lintian iproute2)

quorvane_install_deps() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}
