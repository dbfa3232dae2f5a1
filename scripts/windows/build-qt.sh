#!/usr/bin/env bash
# Builds, once per machine, the Qt for Windows that the Windows build of Pingora links against:
# Debian's own qtbase source cross-compiled with MinGW-w64 into DLLs (Core, Gui, Widgets, Test
# and the Windows platform plugin). The result is cached outside the work tree in a folder named
# after a hash of this script, the toolchain file and the source version, so a later run with
# the same inputs only prints the folder. Run as root. Progress goes to stderr; the last line on
# stdout is the Qt folder (use it as CMAKE_PREFIX_PATH).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/mingw-w64.cmake
cache_root=${PINGORA_QT_CACHE:-/var/cache/pingora}
say() { echo "build-qt: $*" >&2; }

# --- The cross tool chain -------------------------------------------------------------------
tools=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev dpkg-dev debian-archive-keyring qt6-base-dev qt6-base-dev-tools
    cmake ninja-build)
missing=()
for package in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    say "installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi

# --- Debian's source for qtbase: a deb-src entry on the machine's own Debian mirror ----------
sources=/etc/apt/sources.list.d/pingora-qt-source.sources
if [[ ! -f $sources ]]; then
    # The URIs of the stanza (or line) that already serves bookworm's binary packages.
    uris=$(awk '
        /^[[:space:]]*$/ { if (deb && suite) print uris; deb = suite = 0; uris = ""; next }
        /^Types:/ && / deb( |$)/ { deb = 1 }
        /^Suites:/ && / bookworm( |$)/ { suite = 1 }
        /^URIs:/ { sub(/^URIs:[[:space:]]*/, ""); uris = $0 }
        END { if (deb && suite) print uris }' /etc/apt/sources.list.d/*.sources 2>/dev/null |
        head -n 1)
    if [[ -z $uris && -f /etc/apt/sources.list ]]; then
        uris=$(awk '$1 == "deb" && $0 ~ / bookworm / {
            for (i = 2; i <= NF; i++) if ($i ~ /:\/\//) { print $i; exit } }' /etc/apt/sources.list)
    fi
    [[ -n $uris ]] || { say "no Debian bookworm entry in apt's sources to take the source from"; exit 1; }
    say "adding a deb-src entry for bookworm ($uris)"
    cat >"$sources" <<EOF
Types: deb-src
URIs: $uris
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt-get update >&2
fi
version=$(apt-cache showsrc qt6-base | awk '/^Version:/ { print $2; exit }')
[[ -n $version ]] || { say "apt has no source for qt6-base"; exit 1; }

# --- The cache ------------------------------------------------------------------------------
key=$({ cat "$0" "$toolchain"; echo "$version"; } | sha256sum | cut -c 1-16)
prefix=$cache_root/qt6-win-$key
if [[ -f $prefix/.complete ]]; then
    say "cached: $prefix"
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d /var/tmp/pingora-qt-build.XXXXXX)
trap 'rm -rf "$work"' EXIT
started=$SECONDS
say "building qtbase $version for Windows in $work (takes 20 minutes or more)"
rm -rf "$prefix"
mkdir -p "$prefix"
# Qt's installed toolchain file names the one it was built with: keep that inside the cache.
cp "$toolchain" "$prefix/mingw-w64.cmake"

cd "$work"
apt-get source --only-source "qt6-base=$version" >&2
src=$(find "$work" -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)

# Only what Pingora uses; zlib, pcre2, libpng and harfbuzz from Qt's own copies. OpenGL, the
# tablet support and Direct2D are off: Debian's source lacks the wintab headers they need.
cmake -S "$src" -B "$work/build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=ON \
    -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_network=OFF -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF \
    -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_icu=OFF -DFEATURE_zstd=OFF -DFEATURE_glib=OFF -DFEATURE_freetype=OFF \
    -DFEATURE_fontconfig=OFF -DFEATURE_sql_sqlite=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=ON \
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dynamicgl=OFF -DFEATURE_opengl_dynamic=OFF \
    -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF -DFEATURE_directwrite3=OFF \
    >&2
nice cmake --build "$work/build" -j "$(nproc)" >&2
cmake --install "$work/build" >&2
touch "$prefix/.complete"
say "built in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s: $prefix"
echo "$prefix"
