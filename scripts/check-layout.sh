#!/usr/bin/env bash
# Checks that each folder includes only what it may (see "Where things are" in README.md),
# that Qt stays in window/ and ui/, and that only platform/ knows system error codes: the
# rest of the program gets its failures from the platform seam, in the program's own terms.
# Prints one line per thing found, then a summary; exits 1 when anything was found.
set -euo pipefail
if [[ "$0" == */* ]]; then cd "${0%/*}/.."; else cd ..; fi
shopt -s globstar nullglob

# The folders each folder may include headers from, besides its own. The two front ends
# (ui/ and cli/) may use the whole engine; only ui/ may use window/.
declare -A allowed=(
    [support]=""
    [platform]="support"
    [compress]="platform support"
    [archive]="compress platform support"
    [settings]="platform support"
    [sync]="archive settings platform support"
    [window]="support"
    [ui]="window sync settings archive compress platform support"
    [cli]="sync settings archive compress platform support"
)
top_folders="support platform compress archive settings sync window ui cli tests bench fuzz"

# The .h and .cpp files under the given folders (or the given files), in name order.
files=()
collect() {
    local folder file
    files=()
    for folder in "$@"; do
        if [[ -f "$folder" ]]; then files+=("$folder"); continue; fi
        for file in "$folder"/**/*; do
            if [[ "$file" == *.h || "$file" == *.cpp ]]; then files+=("$file"); fi
        done
    done
}

# grep -HnE PATTERN over the collected files; no match is not a failure.
find_lines() {
    [[ ${#files[@]} -gt 0 ]] || return 0
    grep -HnE "$1" "${files[@]}" || [[ $? -eq 1 ]]
}

found=0
report() {
    local line
    while IFS= read -r line; do
        [[ -n "$line" ]] || continue
        printf '%s\n' "$line"
        found=$((found + 1))
    done <<<"$1"
}

include_line='^[[:space:]]*#[[:space:]]*include[[:space:]]*'

# Includes from folders a folder may not use.
for folder in support platform compress archive settings sync window ui cli; do
    collect "$folder"
    report "$(find_lines "${include_line}\"[^\"/]+/" |
        awk -v allowed="$folder ${allowed[$folder]}" -v tops="$top_folders" '
            BEGIN {
                n = split(allowed, a, " "); for (i = 1; i <= n; i++) ok[a[i]] = 1
                n = split(tops, t, " "); for (i = 1; i <= n; i++) top[t[i]] = 1
            }
            {
                file = $0; sub(/:.*/, "", file)
                path = $0; sub(/^[^"]*"/, "", path); sub(/".*/, "", path)
                target = path; sub(/\/.*/, "", target)
                if ((target in top) && !(target in ok)) print file ": includes " path
            }')"
done

# Qt outside window/ and ui/.
collect support platform compress archive settings sync cli
report "$(find_lines "${include_line}[<\"]Q" |
    awk '{
        file = $0; sub(/:.*/, "", file)
        what = $0; sub(/^[^<"]*/, "", what); sub(/[[:space:]]*(\/\/.*|\/\*.*)?$/, "", what)
        print file ": includes " what " (Qt)"
    }')"

# System error codes outside platform/. Besides the platform's own tests, only the tests'
# failing platform (which names the errors tests stage) and the harness that runs the
# built ferryman-cli as a child process may spell them.
collect support compress archive settings sync window ui cli bench fuzz \
    tests/support tests/compress tests/archive tests/settings tests/sync tests/window \
    tests/cli/test_cli.cpp
report "$(find_lines "${include_line}<(cerrno|errno\\.h|sys/errno\\.h)>" |
    awk '{
        file = $0; sub(/:.*/, "", file)
        what = $0; sub(/^[^<]*/, "", what); sub(/>.*/, ">", what)
        print file ": includes " what
    }')"
errno_names='E(NOENT|NOSPC|DQUOT|FBIG|IO|ACCES|PERM|EXIST|ISDIR|NOTDIR|NOTEMPTY|XDEV|BADF|AGAIN|WOULDBLOCK|INTR|INVAL|NOTSUP|OPNOTSUPP|NOSYS|MLINK|LOOP|NAMETOOLONG|ROFS|BUSY|TXTBSY|NODEV|NXIO|MFILE|NFILE|NOMEM|PIPE|SPIPE|OVERFLOW|CANCELED|NOLCK|DEADLK|STALE|RANGE|DOM)|errno'
report "$(find_lines "(^|[^A-Za-z0-9_])($errno_names)([^A-Za-z0-9_]|\$)" |
    awk -v names="^($errno_names)\$" '
        {
            file = $0; sub(/:.*/, "", file)
            rest = substr($0, length(file) + 2)
            number = rest; sub(/:.*/, "", number)
            text = substr(rest, length(number) + 2)
            if (text ~ /^[[:space:]]*#[[:space:]]*include/) next
            # What follows // or stands on a line of a /* */ block is a comment.
            code = text
            if (code ~ /^[[:space:]]*(\/\*|\*)/) code = ""
            else sub(/\/\/.*/, "", code)
            line = text; at = 0; said = ""
            while (match(line, /[A-Za-z0-9_]+/)) {
                word = substr(line, RSTART, RLENGTH)
                if (word ~ names)
                    said = said (said == "" ? "" : ", ") word (at + RSTART <= length(code) ? "" : " (in a comment)")
                at += RSTART + RLENGTH - 1
                line = substr(line, RSTART + RLENGTH)
            }
            if (said != "") print file ":" number ": names " said
        }')"

if [[ $found -eq 0 ]]; then
    echo "layout: every folder includes only what it may; Qt and system error codes stay where they belong"
    exit 0
fi
echo "layout: $found problem(s) found"
exit 1
