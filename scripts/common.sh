# Shared by scripts/run and scripts/test: install what is missing, configure once, build incrementally.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
    libxcb1-dev # the choice window's round trip to the X server
    libgtest-dev googletest
    fonts-liberation
    fonts-wqy-microhei # the Chinese catalogue's glyphs in the Qt windows
    gettext     # scripts/update-pot (xgettext) and the catalogues' msgfmt --check tests
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
    chromium
)

# use_emscripten: readies the environment for emcc. Debian's emcc finds acorn among Debian's Node
# modules, which a node from elsewhere (NodeSource, nvm) does not search.
use_emscripten() {
    export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
}

# ensure_node_modules: installs the browser tests' npm packages, pinned by package-lock.json, when
# they are missing or the lock has changed. Puppeteer is told not to fetch a browser: the tests use
# the system's chromium.
ensure_node_modules() {
    command -v npm >/dev/null || ensure_packages npm
    if ! cmp -s "$ROOT/package-lock.json" "$ROOT/node_modules/.package-lock.json.installed"; then
        (cd "$ROOT" && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --ignore-scripts --no-audit --no-fund --loglevel=error)
        cp "$ROOT/package-lock.json" "$ROOT/node_modules/.package-lock.json.installed"
    fi
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

# compare_with_linux_sim NAME RUN...: runs the Linux kpx2-sim (LINUX_SIM, default build/tools/sim/kpx2-sim,
# built when missing) and RUN (another build's kpx2-sim, as a command) for fixed seeds, participants and
# subjects, non-ASCII among them, and checks that both write the same files: .KPX and .TC byte for
# byte, the trial log's rows alike but for the wall-clock and time columns (run_started, rt_ms and
# the three onsets). NAME says which build in the messages.
compare_with_linux_sim() {
    local name="$1"
    shift
    local linux_sim="${LINUX_SIM:-$ROOT/build/tools/sim/kpx2-sim}"
    if [ ! -x "$linux_sim" ]; then
        KPX2_TARGETS=kpx2-sim configure_build "$ROOT/build"
    fi
    local compare
    compare="$(mktemp -d)"
    local run subject seed participant file
    for run in "S1 7 hyperbolic:0.02" "P2 11 exp:0.01:0.1" "Zoë 3 rachlin:0.05:0.7:0.2" "S4 42 betadelta:0.8:0.005" \
        "中文 5 hyperboloid:0.05:0.6:0.1"; do
        read -r subject seed participant <<<"$run"
        mkdir -p "$compare/linux-$seed" "$compare/other-$seed"
        "$linux_sim" --subject "$subject" --out "$compare/linux-$seed" --seed "$seed" --participant "$participant" >/dev/null
        "$@" --subject "$subject" --out "$compare/other-$seed" --seed "$seed" --participant "$participant" >/dev/null
        for file in "$subject.KPX" "$subject.TC"; do
            cmp "$compare/linux-$seed/$file" "$compare/other-$seed/$file"
        done
        diff <(cut -d, -f1,3-10,12-17 "$compare/linux-$seed/"*.trials.csv) \
            <(cut -d, -f1,3-10,12-17 "$compare/other-$seed/"*.trials.csv)
        echo "$name and kpx2-sim agree: $subject, seed $seed, $participant"
    done
    rm -rf "$compare"
}
