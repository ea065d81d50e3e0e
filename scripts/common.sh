# Shared by the scripts: installs what is missing and builds.
# shellcheck shell=bash

TEZ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages of scripts/packages.txt that are missing. As root this runs
# apt-get; otherwise it prints the one apt-get line that is needed and fails.
tez_install_packages() {
    local wanted missing=()
    wanted=$(grep -vE '^\s*(#|$)' "$TEZ_ROOT/scripts/packages.txt")
    for pkg in $wanted; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages; install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures and builds into $1 (default build/) with the build type $2 (default Release);
# any further arguments go to cmake.
tez_build() {
    local dir=${1:-$TEZ_ROOT/build} type=${2:-Release}
    shift 2 || shift $#
    cmake -S "$TEZ_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
