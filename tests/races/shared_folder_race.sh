#!/bin/sh
# Races a stranger who may write the output folder against kestrin-convert and
# the thumbnailer, by hand (too slow for the suite):
#   tests/races/shared_folder_race.sh BUILD_DIR [TRIES]
# The stranger watches the folder and, the moment a hidden temporary file
# appears there, moves it away and puts a link to a file of theirs in its
# place. Each try counts whether that file changed and whether the output's
# name ended up a link. A sound writer scores 0 and 0 on every line.
set -eu
build=$(cd "$1" && pwd)
tries=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/stranger.c" <<'SOURCE'
#include <stdio.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>
/* stranger FOLDER VICTIM: swaps every new ".*.kestrin-*" file for a link. */
int main(int argc, char** argv) {
    if (argc != 3) return 2;
    int watch = inotify_init();
    if (watch < 0 || inotify_add_watch(watch, argv[1], IN_CREATE | IN_MOVED_TO) < 0) return 1;
    char buffer[65536];
    for (;;) {
        ssize_t length = read(watch, buffer, sizeof buffer);
        if (length <= 0) return 1;
        for (char* p = buffer; p < buffer + length;) {
            struct inotify_event* event = (struct inotify_event*)p;
            if (event->len > 0 && event->name[0] == '.' && strstr(event->name, ".kestrin-") != NULL &&
                strstr(event->name, ".moved") == NULL) {
                char from[4096], to[4096];
                snprintf(from, sizeof from, "%s/%s", argv[1], event->name);
                snprintf(to, sizeof to, "%s/%s.moved", argv[1], event->name);
                if (rename(from, to) == 0) symlink(argv[2], from);
            }
            p += sizeof *event + event->len;
        }
    }
}
SOURCE
cc -O2 -o "$work/stranger" "$work/stranger.c"

"$build/cli/kestrin-convert" -q "$(dirname "$0")/../../examples/harbour.bmp" "$work/source.pdb"

# race NAME COMMAND...: COMMAND writes $shared/out.* ; $shared/victim is the stranger's.
race() {
    name=$1
    shift
    changed=0 linked=0 succeeded=0
    i=0
    while [ "$i" -lt "$tries" ]; do
        shared="$work/shared"
        rm -rf "$shared"
        mkdir "$shared"
        chmod 0777 "$shared"
        printf 'the stranger keeps this\n' >"$shared/victim"
        cp "$work/source.pdb" "$shared/out.pdb.existing"
        : >"$shared/out.png"
        "$work/stranger" "$shared" "$shared/victim" &
        stranger=$!
        sleep 0.05
        if "$@" >/dev/null 2>&1; then succeeded=$((succeeded + 1)); fi
        kill "$stranger" && wait "$stranger" 2>/dev/null || true
        [ "$(cat "$shared/victim")" = "the stranger keeps this" ] || changed=$((changed + 1))
        for output in "$shared"/out.pdb "$shared"/out.png; do
            if [ -L "$output" ]; then linked=$((linked + 1)); fi
        done
        i=$((i + 1))
    done
    printf '%-28s victim changed %2d/%d   output a link %2d/%d   exit 0 %2d/%d\n' \
        "$name" "$changed" "$tries" "$linked" "$tries" "$succeeded" "$tries"
}

convert="$build/cli/kestrin-convert"
picture="$(cd "$(dirname "$0")/../../examples" && pwd)/harbour.bmp"
race "database" sh -c "exec '$convert' -q '$picture' \"\$0\"/out.pdb" "$work/shared"
race "database --force" sh -c "cp \"\$0\"/out.pdb.existing \"\$0\"/out.pdb && exec '$convert' -q -f '$picture' \"\$0\"/out.pdb" "$work/shared"
race "--extract PNG" sh -c "exec '$convert' --extract '$work/source.pdb' \"\$0\"/out.png" "$work/shared"
race "--preview PNG" sh -c "exec '$convert' -q -f '$picture' '$work/preview.pdb' --preview \"\$0\"/out.png" "$work/shared"
race "thumbnailer PNG" sh -c "exec '$build/thumbnailer/kestrin-thumbnailer' '$work/source.pdb' \"\$0\"/out.png" "$work/shared"
