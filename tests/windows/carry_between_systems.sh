#!/usr/bin/env bash
# One medium folder carried between two machines: ferryman-cli.exe under Wine (its
# settings in the Wine registry) and the Linux ferryman-cli (its own settings folder).
# Each reads the archive the other wrote; the Windows side's settings are read back
# with "reg query". Arguments: wine64, ferryman-cli.exe, the Linux ferryman-cli.
set -euo pipefail
wine=$1 windows_cli=$2 linux_cli=$3

here=$(mktemp -d)
trap 'rm -rf "$here"' EXIT
mkdir -p "$here/work/src" "$here/linux" "$here/medium" "$here/config"
printf 'program a;\n' >"$here/work/a.pas"
printf 'unit b;\n' >"$here/work/src/b.pas"
# Wine's drive Z: is the Linux root.
project="Z:${here//\//\\}\\work\\"
medium="Z:${here//\//\\}\\medium"
export XDG_CONFIG_HOME="$here/config"

fail() { echo "FAILED: $*" >&2; exit 1; }
windows() { "$wine" "$windows_cli" "$@"; }
linux() { "$linux_cli" "$@"; }

# Windows adds the project (its archive names use "\") and remembers it in the registry.
key='HKCU\Software\Zephyrant\Ferryman'
"$wine" reg delete "$key" /f >/dev/null 2>&1 || true
windows add "$medium" "$project" --mask '*.pas' --subfolders
archive=$(ls "$here/medium/Ferry/"*.move)
[[ $(basename "$archive") == Z=%* ]] || fail "archive name $(basename "$archive")"
registry=$("$wine" reg query "$key" | tr -d '\r')
grep -q "Project1    REG_SZ    .*Z=%" <<<"$registry" || fail "no Project1 in: $registry"
grep -q "LastSyncDate1    REG_DWORD    0x" <<<"$registry" || fail "no LastSyncDate1 in: $registry"

# Linux reads it into its own folder, edits a file and adds one.
linux workdir "$here/medium" "$project" "$here/linux" >/dev/null
linux sync "$here/medium" >/dev/null
[[ $(cat "$here/linux/src/b.pas") == "unit b;" ]] || fail "Linux did not get src/b.pas"
printf 'unit b; { edited on Linux }\n' >"$here/linux/src/b.pas"
touch -d '+1 minute' "$here/linux/src/b.pas"
mkdir -p "$here/linux/src/new"
printf 'unit c;\n' >"$here/linux/src/new/c.pas"
linux sync "$here/medium" >/dev/null

# Windows reads the archive Linux wrote back.
windows sync "$medium" >/dev/null
[[ $(cat "$here/work/src/b.pas") == "unit b; { edited on Linux }" ]] || fail "edit not carried"
[[ $(cat "$here/work/src/new/c.pas") == "unit c;" ]] || fail "new file not carried"
[[ -f "$here/work/src/b.pas.old" ]] || fail "no copy kept of the replaced file"
echo "carried both ways"
