#!/usr/bin/env bash
# Makes the Windows installer (NSIS, packaging/windows/pingora.nsi) and the portable zip from
# the program folder that deploy.sh lays out. Each is written beside its final name and moved
# there only once whole, so a failed run leaves no short file behind.
#
# Usage: package.sh <program folder> <installer.exe> <portable.zip> [makensis -D options...]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
folder=$1 installer=$2 zip=$3
shift 3
work=$(mktemp -d "$(dirname "$installer")/.package.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The uninstaller's lists of what it removes: every file installed, and the folders, deepest
# first. NSIS takes $ as the start of a variable, so names double it.
nsis_path() {
    local path=${1#./}
    path=${path//\$/\$\$}
    echo "\$INSTDIR\\${path//\//\\}"
}
(cd "$folder" && find . -type f | sort) | while IFS= read -r file; do
    echo "Delete \"$(nsis_path "$file")\""
done >"$work/files.nsh"
(cd "$folder" && find . -mindepth 1 -type d | sort -r) | while IFS= read -r dir; do
    echo "RMDir \"$(nsis_path "$dir")\""
done >"$work/folders.nsh"

size_kb=$(du -sk "$folder" | cut -f 1)
makensis -V2 -NOCD -WX \
    "-DPROGRAM_DIR=$folder" "-DFILE_LIST=$work/files.nsh" "-DFOLDER_LIST=$work/folders.nsh" \
    "-DINSTALLED_SIZE_KB=$size_kb" \
    "-DOUTFILE=$work/$(basename "$installer")" "$@" "$here/../../packaging/windows/pingora.nsi"
mv "$work/$(basename "$installer")" "$installer"

# The zip holds the program folder itself, so that it unpacks into a folder of its own.
(cd "$(dirname "$folder")" && cmake -E tar cf "$work/portable.zip" --format=zip "$(basename "$folder")")
mv "$work/portable.zip" "$zip"
