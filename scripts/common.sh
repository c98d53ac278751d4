# Shared by scripts/run and scripts/test: install what is missing, configure once, build incrementally.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
    libxcb1-dev # the choice window's round trip to the X server
    libgtest-dev googletest
    fonts-liberation
    xvfb xauth  # scripts/run on a machine without a display
    python3     # the trial log's read-back by an independent CSV reader (TrialLogTest)
)

# The Windows build: the mingw-w64 cross compiler, GoogleTest's sources, wine to run the tests, and
# a display with a window manager for the windows' tests.
WINDOWS_PACKAGES=(
    cmake ninja-build
    g++-mingw-w64-x86-64-posix
    googletest
    wine wine64
    xvfb xauth openbox
    fonts-liberation
)

# The web build: Debian's Emscripten, and the JavaScript parser its compiler loads from Node's path.
WEB_PACKAGES=(
    cmake ninja-build
    emscripten node-acorn
    googletest
)

# use_emscripten: readies the environment for emcc. Debian's emcc finds acorn among Debian's Node
# modules, which a node from elsewhere (NodeSource, nvm) does not search.
use_emscripten() {
    export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
}

# ensure_packages [PACKAGE...]: installs those of the packages (by default PACKAGES) that are missing.
ensure_packages() {
    local wanted=("$@")
    ((${#wanted[@]})) || wanted=("${PACKAGES[@]}")
    local missing=()
    local package
    for package in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# configure_build DIR [cmake options...]: configures DIR once; later calls only build what changed.
# KPX2_TARGETS, when set, limits the build to those targets.
configure_build() {
    local dir="$1"
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    fi
    local targets=()
    [ -n "${KPX2_TARGETS:-}" ] && targets=(--target ${KPX2_TARGETS})
    cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
}
