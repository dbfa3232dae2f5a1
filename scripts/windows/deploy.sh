#!/usr/bin/env bash
# Lays out the Windows program folder as users get it: the executable and its own files from the
# build's program folder, Qt's platform and style plugins, and every DLL that these import,
# followed recursively and taken from the DLL folders given (Qt's, the compiler's, and any other
# the build adds). Everything is stripped of its debugging sections. Licences go to licenses\:
# Pingora's own, and for each DLL taken the copyright file of the Debian source it was built
# from, the licence texts that file refers to, and SOURCES.txt, which names each DLL's source
# package and version.
#
# Usage: deploy.sh <build's program folder> <Qt plugin folder> <DLL folders, :-separated>
#                  <the program's .ico, made by the build> <output folder>
# The tools come from the environment: OBJDUMP, STRIP (the MinGW-w64 ones).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
built=$1 plugins=$2 dll_dirs=$3 icon=$4 out=$5
sources_table=$here/../../packaging/windows/dll-sources.txt
licence=$here/../../LICENSE
: "${OBJDUMP:?} ${STRIP:?}"
fail() {
    echo "deploy: $*" >&2
    exit 1
}

rm -rf "$out"
mkdir -p "$out/licenses"

# The program's own files; a DLL the build puts in its program folder (or below) comes along.
for file in pingora.exe beep.wav HAND-M.CUR; do
    [[ -s $built/$file ]] || fail "$built/$file is missing"
    cp "$built/$file" "$out/"
done
# The icon of the Start menu entry and of the installed programs, the one inside pingora.exe.
cp "$icon" "$out/pingora.ico"
own=()
while IFS= read -r -d '' dll; do
    dll=${dll#./}
    mkdir -p "$out/$(dirname "$dll")"
    cp "$built/$dll" "$out/$dll"
    own+=("${dll//\//\\}")
done < <(cd "$built" && find . -iname '*.dll' -print0)
# For the licences: where each DLL taken was found, and its name in the folder.
declare -A taken=() shipped=()
# Qt finds its plugins in these folders beside the executable.
for plugin in platforms/qwindows.dll styles/qwindowsvistastyle.dll; do
    mkdir -p "$out/$(dirname "$plugin")"
    cp "$plugins/$plugin" "$out/$plugin"
    taken[${plugin,,}]=$(realpath "$plugins/$plugin")
    shipped[${plugin,,}]=${plugin//\//\\}
done

find_dll() {
    local dir found
    IFS=: read -ra dirs <<<"$dll_dirs"
    for dir in "${dirs[@]}"; do
        # Windows matches DLL names without regard to case.
        found=$(find "$dir" -maxdepth 1 -iname "$1" -print -quit)
        [[ -n $found ]] && echo "$found" && return
    done
    return 0
}
imports() { "$OBJDUMP" -p "$1" | awk '/^\tDLL Name: / { print $3 }'; }

queue=()
while IFS= read -r -d '' pe; do queue+=("$pe"); done < <(find "$out" -iname '*.exe' -print0 -o -iname '*.dll' -print0)
while ((${#queue[@]})); do
    pe=${queue[0]}
    queue=("${queue[@]:1}")
    for name in $(imports "$pe"); do
        key=${name,,}
        [[ -n ${taken[$key]:-} ]] && continue
        [[ -n $(find "$out" -maxdepth 1 -iname "$name" -print -quit) ]] && continue
        path=$(find_dll "$name")
        # Not in a DLL folder of the build: one of Windows' own (the tests check that it is).
        [[ -n $path ]] || continue
        path=$(realpath "$path")
        taken[$key]=$path
        shipped[$key]=$(basename "$path")
        cp "$path" "$out/$(basename "$path")"
        queue+=("$out/$(basename "$path")")
    done
done

find "$out" \( -iname '*.exe' -o -iname '*.dll' \) -exec "$STRIP" --strip-debug {} +

# --- Licences and sources --------------------------------------------------------------------
cp "$licence" "$out/licenses/Pingora.txt"
declare -A copyrights=()
{
    echo "Pingora is free software under the MIT licence (Pingora.txt). It ships these libraries"
    echo "as DLLs beside the program, built from the source named below and linked dynamically,"
    echo "so that each can be replaced by another build of the same library. Their"
    echo "licences are in <source package>.txt (the copyright file of that source) and in the"
    echo "licence texts it refers to. The source packages are Debian's, at the versions given;"
    echo "Qt and the sound libraries were built from that source with scripts/windows/build-qt.sh"
    echo "and scripts/windows/build-sound-libs.sh of Pingora's source."
    echo
    for dll in "${own[@]}"; do
        echo "$dll: Pingora's own, MIT licence (Pingora.txt)"
    done
    for key in $(printf '%s\n' "${!taken[@]}" | sort); do
        path=${taken[$key]}
        package='' version='' copyright=''
        if owner=$(dpkg-query -S "$path" 2>/dev/null); then
            owner=${owner%%:*}
            read -r package version < <(dpkg-query -W -f='${source:Package} ${source:Version}\n' "$owner")
            copyright=/usr/share/doc/$owner/copyright
        else
            while read -r pattern source file; do
                [[ -z $pattern || $pattern == \#* ]] && continue
                # shellcheck disable=SC2053 # the table's patterns are globs
                if [[ $path == $pattern ]]; then
                    package=$source copyright=$file
                    [[ $file == /* ]] || copyright=$(dirname "$path")/$file
                    version=$(apt-cache showsrc "$source" | awk '/^Version:/ && !v { v = $2 } END { print v }')
                    break
                fi
            done <"$sources_table"
        fi
        [[ -n $package && -n $version && -s $copyright ]] ||
            fail "no source known for $path: add its folder to $sources_table"
        echo "${shipped[$key]}: source package $package, version $version"
        copyrights[$package]=$copyright
    done
} >"$out/licenses/SOURCES.txt"
for package in "${!copyrights[@]}"; do
    cp "${copyrights[$package]}" "$out/licenses/$package.txt"
    # Debian's copyright files name the long licence texts by their place on a Debian system.
    grep -o '/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9+-]' "${copyrights[$package]}" || true
done | sort -u | while read -r text; do
    if [[ -f $text ]]; then cp -L "$text" "$out/licenses/$(basename "$text").txt"; fi
done
# Windows' own editors expect CR LF.
for text in "$out"/licenses/*.txt; do
    sed -i 's/\r$//; s/$/\r/' "$text"
done
