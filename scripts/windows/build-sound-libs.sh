#!/usr/bin/env bash
# Builds, once per machine, the decoding libraries that the Windows sound engine links against:
# libsndfile with the codec libraries Debian builds it with (ogg, vorbis, flac, opus, mpg123,
# lame) and libwavpack, cross-compiled with MinGW-w64 from Debian's own source packages into
# DLLs (LGPL: linked dynamically, shipped beside the program). The result is cached outside the
# work tree in a folder named after a hash of this script, the toolchain file and the source
# versions, so a later run with the same inputs only prints the folder. Run as root. Progress
# goes to stderr; the last line on stdout is the libraries' folder (bin/ holds the DLLs,
# lib/ the import libraries, include/ the headers, share/licenses/ their licences).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/mingw-w64.cmake
cache_root=${PINGORA_SOUND_LIBS_CACHE:-/var/cache/pingora}
triple=x86_64-w64-mingw32
say() { echo "build-sound-libs: $*" >&2; }

# In build order: each needs only those before it. libsndfile is the Debian source name.
packages=(libogg libvorbis flac opus mpg123 lame libsndfile wavpack)

# --- The cross tool chain -------------------------------------------------------------------
tools=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    mingw-w64-x86-64-dev dpkg-dev debian-archive-keyring cmake ninja-build make pkg-config
    python3 patch bzip2 xz-utils)
missing=()
for package in "${tools[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    say "installing ${missing[*]}"
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}" >&2
fi

# --- Debian's sources: a deb-src entry on the machine's own Debian mirror --------------------
if ! apt-cache showsrc libsndfile 2>/dev/null | grep -q '^Version:'; then
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
    cat >/etc/apt/sources.list.d/pingora-sound-source.sources <<EOF
Types: deb-src
URIs: $uris
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    apt-get update >&2
fi
declare -A version
for package in "${packages[@]}"; do
    version[$package]=$(apt-cache showsrc "$package" | awk '/^Version:/ { print $2; exit }')
    [[ -n ${version[$package]} ]] || { say "apt has no source for $package"; exit 1; }
done

# --- The cache ------------------------------------------------------------------------------
key=$({
    cat "$0" "$toolchain"
    for package in "${packages[@]}"; do echo "$package ${version[$package]}"; done
} | sha256sum | cut -c 1-16)
prefix=$cache_root/sound-libs-win-$key
if [[ -f $prefix/.complete ]]; then
    say "cached: $prefix"
    echo "$prefix"
    exit 0
fi

work=$(mktemp -d /var/tmp/pingora-sound-libs.XXXXXX)
trap 'rm -rf "$work"' EXIT
started=$SECONDS
say "building ${packages[*]} for Windows in $work (a few minutes)"
rm -rf "$prefix"
mkdir -p "$prefix"
jobs=$(nproc)

# Unpacks a source package with Debian's patches applied. The files come through apt, which
# checks the .dsc against the archive's signed index; the tarballs are checked against the
# .dsc here. dpkg-source is not used because it also insists on the upstream signature file,
# which some mirrors do not carry and which adds nothing to apt's check.
unpack() {
    local package=$1 dir=$work/$1
    mkdir -p "$dir"
    (cd "$dir" && apt-get source --download-only --only-source "$package=${version[$package]}" \
        >&2) || true
    local dsc
    dsc=$(find "$dir" -maxdepth 1 -name '*.dsc' | head -n 1)
    [[ -n $dsc ]] || { say "no .dsc for $package"; exit 1; }
    awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print $1 "  " $3 }' \
        "$dsc" | grep -v '\.asc$' | (cd "$dir" && sha256sum --check --quiet >&2) ||
        { say "$package: the downloaded files do not match their .dsc"; exit 1; }
    local src=$dir/src
    mkdir -p "$src"
    tar -xf "$(find "$dir" -maxdepth 1 -name '*.orig.tar.*' ! -name '*.asc' | head -n 1)" \
        --strip-components=1 -C "$src"
    tar -xf "$(find "$dir" -maxdepth 1 -name '*.debian.tar.*' | head -n 1)" -C "$src"
    if [[ -f $src/debian/patches/series ]]; then
        local patch
        sed -e 's/#.*//' -e '/^[[:space:]]*$/d' "$src/debian/patches/series" |
            while read -r patch _; do patch -d "$src" -p1 -s <"$src/debian/patches/$patch"; done
    fi
    echo "$src"
}

export PKG_CONFIG_LIBDIR=$prefix/lib/pkgconfig PKG_CONFIG_PATH=
cmake_build() {
    local src=$1
    shift
    cmake -S "$src" -B "$src/build-windows" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_FIND_ROOT_PATH="$prefix" \
        -DCMAKE_PREFIX_PATH="$prefix" \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_BUILD_TYPE=Release \
        -DBUILD_SHARED_LIBS=ON -DBUILD_TESTING=OFF "$@" >&2
    nice cmake --build "$src/build-windows" -j "$jobs" >&2
    cmake --install "$src/build-windows" >&2
}
configure_build() {
    local src=$1
    shift
    (cd "$src" && ./configure --host=$triple --prefix="$prefix" --enable-shared \
        --disable-static CC=$triple-gcc-posix CFLAGS=-O2 "$@" >&2 &&
        nice make -j "$jobs" >&2 && make install >&2)
}
licences() {
    mkdir -p "$prefix/share/licenses/$1"
    cp "$2/debian/copyright" "$prefix/share/licenses/$1/copyright"
    echo "Debian source package $1 ${version[$1]}" >"$prefix/share/licenses/$1/source"
}

for package in "${packages[@]}"; do
    say "$package ${version[$package]}"
    src=$(unpack "$package")
    case $package in
    libogg)
        # Its CMake build names the DLL libogg.dll but its import library ogg.dll.
        configure_build "$src" ;;
    libvorbis)
        # Its CMake build hands MinGW's linker the export list as an object file.
        configure_build "$src" --disable-docs --disable-examples --disable-oggtest ;;
    flac)
        # No stack protector: MinGW's needs a libssp DLL beside the program.
        cmake_build "$src" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF \
            -DBUILD_CXXLIBS=OFF -DINSTALL_MANPAGES=OFF -DWITH_STACK_PROTECTOR=OFF ;;
    opus)
        # Its release tarball lacks files that its CMake build includes. _FORTIFY_SOURCE,
        # which it would add, needs MinGW's libssp DLL beside the program.
        configure_build "$src" --disable-doc --disable-extra-programs --disable-stack-protector \
            CFLAGS="-O2 -D_FORTIFY_SOURCE=0" ;;
    mpg123) configure_build "$src" --with-cpu=x86-64 ;;
    lame)
        # The export list names a function that 3.100 no longer has; only a Windows link
        # notices.
        sed -i '/^lame_init_old$/d' "$src/include/libmp3lame.sym"
        configure_build "$src" --disable-frontend --disable-gtktest ;;
    libsndfile)
        cmake_build "$src" -DBUILD_PROGRAMS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_REGTEST=OFF \
            -DENABLE_CPACK=OFF -DINSTALL_MANPAGES=OFF -DENABLE_EXTERNAL_LIBS=ON \
            -DENABLE_MPEG=ON -DCMAKE_DISABLE_FIND_PACKAGE_Speex=ON \
            -DCMAKE_DISABLE_FIND_PACKAGE_SQLite3=ON ;;
    wavpack)
        cmake_build "$src" -DWAVPACK_BUILD_PROGRAMS=OFF -DWAVPACK_BUILD_DOCS=OFF \
            -DWAVPACK_ENABLE_LIBCRYPTO=OFF -DWAVPACK_BUILD_COOLEDIT_PLUGIN=OFF \
            -DWAVPACK_BUILD_WINAMP_PLUGIN=OFF -DWAVPACK_INSTALL_DOCS=OFF ;;
    esac
    licences "$package" "$src"
    rm -rf "$work/$package"
done

# Shipped beside the program: without their symbols they take 40% less room.
$triple-strip --strip-unneeded "$prefix"/bin/*.dll

# libsndfile must have found every codec: a build without one would play fewer formats than
# the Linux build and say nothing. Each DLL the engine needs must find the DLLs it imports.
imports() { $triple-objdump -p "$1" | awk '/DLL Name:/ { print $3 }'; }
for codec in libogg libvorbis libvorbisenc libFLAC libopus libmpg123 libmp3lame; do
    imports "$prefix/bin/libsndfile.dll" | grep -q "^$codec" ||
        { say "libsndfile was built without $codec"; exit 1; }
done
for dll in libsndfile.dll libwavpack.dll $(imports "$prefix/bin/libsndfile.dll" | grep '^lib'); do
    for needed in $(imports "$prefix/bin/$dll" | grep '^lib'); do
        [[ -f $prefix/bin/$needed ]] || { say "$dll needs $needed, which was not built"; exit 1; }
    done
done
touch "$prefix/.complete"
say "built in $(((SECONDS - started) / 60)) min $(((SECONDS - started) % 60)) s: $prefix"
echo "$prefix"
