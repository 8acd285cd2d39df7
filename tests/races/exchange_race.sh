#!/bin/sh
# Races a stranger who may write the output folder against kestrin-convert
# --force, by hand (too slow for the suite):
#   tests/races/exchange_race.sh BUILD_DIR [TRIES]
# The stranger watches the folder and, the moment a hidden temporary file
# appears there, keeps exchanging it with a link to a file of theirs and back
# (rename with exchange) until it is gone, so that the commit may find the
# link at the temporary's name at any moment. Each try counts whether the
# existing database was lost (the output's name missing, a link, or neither
# the old database nor a new one) and whether the stranger's file changed.
# A sound writer scores 0 and 0, however many conversions fail.
set -eu
build=$(cd "$1" && pwd)
tries=${2:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/stranger.c" <<'SOURCE'
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/inotify.h>
#include <unistd.h>
/* stranger FOLDER VICTIM: exchanges every new ".*.kestrin-*" file with a link
   and back until the file is gone. */
int main(int argc, char** argv) {
    if (argc != 3) return 2;
    int watch = inotify_init();
    if (watch < 0 || inotify_add_watch(watch, argv[1], IN_CREATE) < 0) return 1;
    char link[4096];
    snprintf(link, sizeof link, "%s/stranger-link", argv[1]);
    if (symlink(argv[2], link) != 0) return 1;
    char buffer[65536];
    for (;;) {
        ssize_t length = read(watch, buffer, sizeof buffer);
        if (length <= 0) return 1;
        for (char* p = buffer; p < buffer + length;) {
            struct inotify_event* event = (struct inotify_event*)p;
            if (event->len > 0 && event->name[0] == '.' && strstr(event->name, ".kestrin-") != NULL) {
                char temporary[4096];
                snprintf(temporary, sizeof temporary, "%s/%s", argv[1], event->name);
                while (renameat2(AT_FDCWD, temporary, AT_FDCWD, link, RENAME_EXCHANGE) == 0 &&
                       renameat2(AT_FDCWD, temporary, AT_FDCWD, link, RENAME_EXCHANGE) == 0) {
                }
            }
            p += sizeof *event + event->len;
        }
    }
}
SOURCE
cc -O2 -o "$work/stranger" "$work/stranger.c"

convert="$build/cli/kestrin-convert"
picture="$(cd "$(dirname "$0")/../../examples" && pwd)/harbour.bmp"
"$convert" -q "$picture" "$work/old.pdb"

lost=0 changed=0 succeeded=0
i=0
while [ "$i" -lt "$tries" ]; do
    shared="$work/shared"
    rm -rf "$shared"
    mkdir "$shared"
    chmod 0777 "$shared"
    printf 'the stranger keeps this\n' >"$work/victim"
    # Another name for the old database, so that it is known whatever happens.
    printf 'old database %d\n' "$i" | cat "$work/old.pdb" - >"$shared/out.pdb"
    cp "$shared/out.pdb" "$work/expected-old.pdb"
    "$work/stranger" "$shared" "$work/victim" &
    stranger=$!
    sleep 0.02
    if "$convert" -q -f "$picture" "$shared/out.pdb" >/dev/null 2>&1; then succeeded=$((succeeded + 1)); fi
    kill "$stranger" && wait "$stranger" 2>/dev/null || true
    [ "$(cat "$work/victim")" = "the stranger keeps this" ] || changed=$((changed + 1))
    if [ -L "$shared/out.pdb" ] || [ ! -f "$shared/out.pdb" ]; then
        lost=$((lost + 1))
    elif ! cmp -s "$shared/out.pdb" "$work/expected-old.pdb" && ! "$convert" --info "$shared/out.pdb" >/dev/null 2>&1; then
        lost=$((lost + 1))
    fi
    i=$((i + 1))
done
printf 'database --force, exchanged   existing database lost %d/%d   victim changed %d/%d   exit 0 %d/%d\n' \
    "$lost" "$tries" "$changed" "$tries" "$succeeded" "$tries"
