# Qt for Windows, built once per machine from Debian's own source package of
# the Qt the Linux build uses, and kept in a cache outside the checkout.
# Sourced after setup.sh, not run.
# shellcheck shell=bash disable=SC2034 # its lists are for the scripts that source it

# The Windows program is a 32-bit one: Windows then shows it, as it shows the
# game, the per-user copies of what such programs write into Program Files.
# The target (i686, or x86_64 for the Windows tests where the kernel runs no
# 32-bit code: see scripts/test) names the compilers, the toolchain file, the
# cache folder and the build folder.
vr_windows_target() {
    VR_WINDOWS_TARGET=$1
    VR_MINGW=$VR_WINDOWS_TARGET-w64-mingw32
    VR_MINGW_PACKAGE=mingw-w64-${VR_WINDOWS_TARGET//_/-} # as Debian's package names spell it
    VR_MINGW_TOOLCHAIN="$VR_ROOT/cmake/mingw-w64-$VR_WINDOWS_TARGET.cmake"
    # What the cross build needs: the compilers, Debian's host Qt (its tools and
    # CMake packages), and dpkg-source to unpack the source package.
    VR_WINDOWS_PACKAGES=("g++-$VR_MINGW_PACKAGE-posix" "binutils-$VR_MINGW_PACKAGE" qt6-base-dev
        qt6-base-dev-tools dpkg-dev cmake ninja-build)
    VR_WINDOWS_BUILD="$VR_ROOT/build-windows"
    [ "$VR_WINDOWS_TARGET" = i686 ] || VR_WINDOWS_BUILD+="-$VR_WINDOWS_TARGET"
}
vr_windows_target "${VR_WINDOWS_TARGET:-i686}"
VR_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/vantorel-renamer"

# Only what the program and its tests use: no OpenGL, D-Bus, ICU, network,
# SQL, printing, XML, JPEG or GIF; text through DirectWrite, so no FreeType.
# Tablet support is off because Debian's source drops its third-party part.
# The Windows platform plugin fails to link with DirectWrite 3 on and Direct2D
# off; the program draws nothing through Direct2D, so both are off.
VR_QT_OPTIONS=(
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
    -DQT_BUILD_TESTS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_BENCHMARKS=OFF
    -DFEATURE_opengl=OFF -DFEATURE_dbus=OFF -DFEATURE_icu=OFF
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF
    -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF -DFEATURE_freetype=OFF
    -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_vulkan=OFF
)

vr_qt_log() { echo "windows-qt: $*" >&2; }

# The version of Debian's qt6-base source package that built the installed
# host Qt, and the archive line it came from ("URI suite component").
vr_qt_source_version() {
    dpkg-query -W -f='${source:Version}' qt6-base-dev
}
vr_qt_archive() {
    apt-cache policy qt6-base-dev | sed -n '/\*\*\*/,/^ *[0-9]* http/{s|^ *[0-9]* \(http[^ ]*\) \([^/ ]*\)/\([^ ]*\) .*|\1 \2 \3|p}' | head -n1
}

# With OpenGL off, Qt 6.4 still marks its dynamic OpenGL loading on for Windows,
# and the Windows platform plugin then asks it whether OpenGL is software
# rendered, which does not build. Without OpenGL the answer is no.
vr_qt_patch() {
    local window=$1/src/plugins/platforms/windows/qwindowswindow.cpp
    grep -q '^#if QT_CONFIG(dynamicgl)$' "$window" &&
        sed -i '/^static inline bool isSoftwareGl()$/,/^}$/s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
            "$window"
}

# The cache folder for this source, target, compiler, set of options and patch.
vr_qt_prefix() {
    local compiler options
    compiler=$("$VR_MINGW-g++-posix" -dumpfullversion)-$(dpkg-query -W -f='${Version}' \
        "gcc-$VR_MINGW_PACKAGE-posix" 2>/dev/null)
    options=$({
        printf '%s\n' "${VR_QT_OPTIONS[@]}"
        declare -f vr_qt_patch
        cat "$VR_MINGW_TOOLCHAIN"
    } | sha256sum | cut -c1-12)
    echo "$VR_CACHE/qt-$(vr_qt_source_version)-$VR_MINGW-$compiler-$options"
}

# Downloads and unpacks the source package through an apt configuration of its
# own: a deb-src entry for the archive and suite the host Qt came from, with its
# own lists and cache. The system's apt sources stay as they are.
vr_qt_fetch_source() {
    local work=$1 version archive uri suite component keyring
    version=$(vr_qt_source_version)
    archive=$(vr_qt_archive)
    read -r uri suite component <<<"$archive"
    if [ -z "$uri" ]; then
        vr_qt_log "cannot tell which archive qt6-base-dev $version came from"
        return 1
    fi
    mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/apt/parts" \
        "$work/src"
    keyring=""
    [ -f /usr/share/keyrings/debian-archive-keyring.gpg ] &&
        keyring="[signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] "
    echo "deb-src $keyring$uri $suite $component" >"$work/apt/sources.list"
    local apt=(apt-get -q -o Dir::Etc::SourceList="$work/apt/sources.list"
        -o Dir::Etc::SourceParts="$work/apt/parts" -o Dir::State::Lists="$work/apt/lists"
        -o Dir::Cache="$work/apt/cache" -o APT::Sandbox::User=root)
    vr_qt_log "fetching qt6-base $version source from $uri $suite"
    "${apt[@]}" update -qq || return 1
    (cd "$work/src" && "${apt[@]}" source --download-only "qt6-base=$version") || return 1
    rm -rf "$work/src/qtbase"
    dpkg-source --no-check -x "$work/src"/qt6-base_*.dsc "$work/src/qtbase" >/dev/null &&
        vr_qt_patch "$work/src/qtbase"
}

# Builds Core, Gui, Widgets and Test for Windows into the cache unless they are
# there already; prints the prefix (and nothing else: the rest goes to stderr).
vr_windows_qt() {
    local prefix
    vr_install "${VR_WINDOWS_PACKAGES[@]}" >&2 || return 1
    prefix=$(vr_qt_prefix)
    [ -f "$prefix/.complete" ] || vr_qt_build "$prefix" >&2 || return 1
    echo "$prefix"
}

vr_qt_build() {
    local prefix=$1 work="$1.work" start=$SECONDS
    mkdir -p "$work"
    [ -f "$work/src/qtbase/CMakeLists.txt" ] || vr_qt_fetch_source "$work" || return 1
    vr_qt_log "configuring Qt for Windows in $work/build"
    cmake -S "$work/src/qtbase" -B "$work/build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$VR_MINGW_TOOLCHAIN" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_INSTALL_PREFIX="$prefix" "${VR_QT_OPTIONS[@]}" >"$work/configure.log" || {
        vr_qt_log "configure failed, see $work/configure.log"
        return 1
    }
    vr_qt_log "building Qt for Windows (half an hour or more on two cores); log in $work/build.log"
    nice -n 19 cmake --build "$work/build" --parallel 2 >"$work/build.log" 2>&1 || {
        vr_qt_log "build failed, see $work/build.log"
        return 1
    }
    cmake --install "$work/build" >"$work/install.log" || return 1
    # The licences the shipped folder carries beside Qt's libraries.
    cp -r "$work/src/qtbase/LICENSES" "$prefix/licenses"
    echo "Debian source package qt6-base $(vr_qt_source_version)" >"$prefix/licenses/SOURCE"
    vr_qt_log "Qt for Windows built in $((SECONDS - start)) s into $prefix"
    touch "$prefix/.complete"
    rm -rf "$work"
}

# What runs the Windows program and its tests: Wine (its 32-bit part runs the
# 32-bit program in a 64-bit prefix, as 64-bit Windows runs it), an X server of
# the tests' own, and for the end-to-end run input through XTest and screenshots.
VR_WINE_PACKAGES=(wine64 wine32:i386 xvfb xdotool imagemagick)

# Whether this kernel runs Wine's 32-bit loader, an i386 program: some kernels
# run no 32-bit x86 code at all.
vr_runs_32bit() {
    /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Configures (once, and again when the Qt for Windows in use changes) and
# builds the Windows program, its deployed folder and zip, and its tests.
vr_windows_build() {
    local qt=$1 configured="$VR_WINDOWS_BUILD/vr-configured-for"
    # Another Qt may be for another target, and CMake keeps the compilers a
    # folder was first configured with: such a folder is configured afresh.
    if [ ! -f "$VR_WINDOWS_BUILD/build.ninja" ] || [ "$(cat "$configured" 2>/dev/null)" != "$qt" ]; then
        rm -rf "$VR_WINDOWS_BUILD/CMakeCache.txt" "$VR_WINDOWS_BUILD/CMakeFiles"
        cmake -S "$VR_ROOT" -B "$VR_WINDOWS_BUILD" -G Ninja -DVR_WERROR=ON \
            -DCMAKE_BUILD_TYPE=Release \
            -DCMAKE_TOOLCHAIN_FILE="$VR_MINGW_TOOLCHAIN" \
            -DCMAKE_PREFIX_PATH="$qt" \
            -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake ||
            return 1
        echo "$qt" >"$configured"
    fi
    nice cmake --build "$VR_WINDOWS_BUILD"
}
