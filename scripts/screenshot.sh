#!/usr/bin/env bash
# Makes docs/main-window.png: the real program under Xvfb, on a prepared medium that
# carries two projects, with the first one selected; then docs/preview.png, what
# Preview lists for them, and docs/run-in-progress.png, Synchronize under way on a large
# file. Rerun it after changing the window.
set -euo pipefail
cd "$(dirname "$0")/.."

# xwd grabs the window, netpbm makes it a PNG, xdotool clicks, sqlite3 writes the
# settings, Liberation Sans stands in for Arial.
bash scripts/install-deps.sh x11-apps netpbm xdotool sqlite3 fonts-liberation2
cmake -S . -B build
cmake --build build -j "$(nproc)" --target ferryman

work=$(mktemp -d /tmp/ferryman-shot.XXXX)
trap 'rm -rf "$work"' EXIT
medium="$work/STICK/"
mkdir -p "$medium/Ferry" "$work/config/ferryman"

# Archives as another machine leaves them: flag, path, ",", masks, a zero byte, and the
# 8-byte write stamp (0.0, long past); no records.
archive() {
    printf '%s%s,%s\0\0\0\0\0\0\0\0\0' "$1" "$2" "$3" >"$medium/Ferry/$4.move"
}
archive "+" "/home/ann/work/ferryman/" "*.cpp;*.h;CMakeLists.txt" ferryman
archive " " "/home/ann/notes/" "*.md" notes

# Both projects' folders on this machine (their work directories): a few sources, and
# one file large enough that the run is still going when it is pictured.
ferryman="$work/home/ferryman"
notes="$work/home/notes"
mkdir -p "$ferryman/src/generated" "$notes"
printf 'cmake_minimum_required(VERSION 3.25)\n' >"$ferryman/CMakeLists.txt"
printf 'int main() { return 0; }\n' >"$ferryman/src/main.cpp"
head -c 150M /dev/urandom >"$ferryman/src/generated/unicode_tables.cpp"
printf '# Ideas\n' >"$notes/ideas.md"

# The settings: kind Directory on that medium, and this machine's records of both
# projects (work directory, last synchronized on 1 December 2026 at 14:30), so the
# status line tells about whichever the scan lists first.
day=$((719163 + $(date -u -d 2026-12-01 +%s) / 86400))
dword() { printf "X'%02X%02X%02X%02X'" $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
text() { printf "CAST('%s' || char(0) AS BLOB)" "$1"; }
key='Software\Zephyrant\Ferryman\'
value() { echo "INSERT INTO registry_values VALUES ('HKEY_CURRENT_USER', '$key', '$1', $2, $3);"; }
sqlite3 "$work/config/ferryman/registry.sqlite3" <<SQL
CREATE TABLE registry_keys (root TEXT NOT NULL, path TEXT NOT NULL COLLATE NOCASE,
    PRIMARY KEY (root, path));
CREATE TABLE registry_values (root TEXT NOT NULL, path TEXT NOT NULL COLLATE NOCASE,
    name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,
    PRIMARY KEY (root, path, name));
INSERT INTO registry_keys VALUES ('HKEY_CURRENT_USER', '$key');
$(value Kind 4 "$(dword 1)")
$(value Directory 1 "$(text "$medium")")
$(value Project1 1 "$(text "${medium}Ferry/ferryman.move")")
$(value WorkDir1 1 "$(text "$ferryman")")
$(value LastSyncDate1 4 "$(dword "$day")")
$(value LastSyncTime1 4 "$(dword 52200)")
$(value Project2 1 "$(text "${medium}Ferry/notes.move")")
$(value WorkDir2 1 "$(text "$notes")")
$(value LastSyncDate2 4 "$(dword "$day")")
$(value LastSyncTime2 4 "$(dword 52200)")
SQL

export XDG_CONFIG_HOME="$work/config" LANG=C.UTF-8
xvfb-run -a -s "-screen 0 800x500x24" bash -c '
    ./build/ui/ferryman &
    program=$!
    window=$(xdotool search --sync --name "^Ferryman v1.2$" | head -1)
    sleep 1
    # The first row of the list, just below the top bar and the list header.
    xdotool mousemove --window "$window" 120 95 click 1
    sleep 1
    shot() { xwd -silent -id "$1" | xwdtopnm 2>/dev/null | pnmtopng >"docs/$2.png"; }
    shot "$window" main-window
    # Preview, below Synchronize at the right end of the top bar; its list comes in a
    # message box titled "Ferryman".
    xdotool mousemove --window "$window" 535 47 click 1
    box=$(timeout 60 xdotool search --sync --onlyvisible --name "^Ferryman$" | head -1)
    sleep 1
    shot "$box" preview
    xdotool key Return
    sleep 1
    # Synchronize, pictured while it compresses the large file.
    xdotool mousemove --window "$window" 535 22 click 1
    sleep 3
    shot "$window" run-in-progress
    kill "$program"
'
echo "docs/main-window.png, docs/preview.png and docs/run-in-progress.png written"
