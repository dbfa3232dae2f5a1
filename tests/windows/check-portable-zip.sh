#!/usr/bin/env bash
# Checks the portable zip: the program folder holds the program's files, every DLL that any
# executable or DLL in it imports is either in the folder itself (where Windows looks first) or
# one of Windows' own, and each DLL it ships is named with its source beside the licences.
# Usage: check-portable-zip.sh <objdump> <portable zip>
set -euo pipefail
objdump=$1 zip=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# What Windows itself provides to the DLLs shipped (API sets are resolved by the loader).
windows_dlls=(advapi32 authz comdlg32 d3d9 d3d11 dwmapi dxgi gdi32 imm32 kernel32 mpr msvcrt
    netapi32 ole32 oleaut32 shcore shell32 shlwapi user32 userenv uxtheme version winmm ws2_32
    wtsapi32)

python3 -m zipfile -e "$zip" "$work"
folder=$work/Pingora
[[ -d $folder ]] || fail "the zip does not unpack into a folder Pingora"
for file in pingora.exe pingora.ico beep.wav HAND-M.CUR platforms/qwindows.dll licenses/{Pingora,LGPL-3}.txt \
    licenses/{SOURCES,GPL-3}.txt; do
    [[ -s $folder/$file ]] || fail "$file is missing"
done

# Explorer and the taskbar show the icon inside the executable.
"$objdump" -h "$folder/pingora.exe" | grep -q ' \.rsrc ' || fail "pingora.exe holds no icon"

while IFS= read -r -d '' pe; do
    for name in $("$objdump" -p "$pe" | awk '/^\tDLL Name: / { print $3 }'); do
        lower=${name,,}
        [[ -n $(find "$folder" -maxdepth 1 -iname "$name" -print -quit) ]] && continue
        [[ $lower == api-ms-win-* || " ${windows_dlls[*]} " == *" ${lower%.dll} "* ]] && continue
        fail "${pe#"$folder"/} imports $name, which is neither in the folder nor Windows' own"
    done
done < <(find "$folder" \( -iname '*.exe' -o -iname '*.dll' \) -print0)

while IFS= read -r -d '' dll; do
    relative=${dll#"$folder"/}
    cut -d : -f 1 "$folder/licenses/SOURCES.txt" | grep -qxF "${relative//\//\\}" ||
        fail "licenses/SOURCES.txt does not say where $relative comes from"
done < <(find "$folder" -iname '*.dll' -print0)
echo "The portable zip is complete: $(find "$folder" -iname '*.dll' | wc -l) DLLs."
