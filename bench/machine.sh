#!/usr/bin/env bash
# One machine for the benchmark, laid out as a user has it: a Wine prefix
# whose drive C holds the web server, Tomcat and the distribution folder.
#
#   machine.sh lay MACHINE     makes the frame; the caller then puts the
#                              distribution into drive_c/vorlan-dist and the
#                              httpd.conf to start from into pristine/
#   machine.sh reset MACHINE   puts every target back as it was
#   machine.sh keep MACHINE    keeps what a first installation left, for
#                              restore to put back
#   machine.sh restore MACHINE puts the kept installation back in place
#   machine.sh clear MACHINE   deletes what reset and restore put aside
#
# reset runs before every timed run, of ours and of the reference alike, so
# that both copy into fresh places and start with nothing left to write back.
# It moves the copied web files aside instead of deleting them: ext4 without
# a journal skips recently deleted inodes one by one when it allocates, which
# made file creation a minute after deleting 20,000 files several times
# slower and the timings erratic. A user installs onto a disk that has not
# just lost 20,000 files. The rewritten httpd.conf and its scratch file go
# aside too: deleting a gigabyte on this disk, mounted with discard, has the
# virtual disk discard it while the next run writes, which made the rewrite's
# runs bimodal. Their cached pages are dropped, though, so that each run gets
# memory as warm as the one before.
set -euo pipefail
make_data=$(cd "$(dirname "$0")/.." && pwd)/build/default/bench/make-data

machine_paths() {
    machine=$1
    c="$machine/prefix/drive_c"
    apache="$c/Program Files/Apache Group/Apache"
    tomcat="$c/Program Files/Apache Tomcat 4.0"
    pristine="$machine/pristine"
    installed="$machine/installed"
    links="$machine/graveyard/links"
}

bury() { # PATH
    mkdir -p "$machine/graveyard"
    mv "$1" "$(mktemp -u -p "$machine/graveyard")"
}

crlf() { sed 's/$/\r/'; }

lay() {
    machine_paths "$1"
    rm -rf "$machine"
    # The distribution is read-only input: it stays in place between runs.
    mkdir -p "$machine/prefix/dosdevices" "$c/windows/Fonts" "$c/vorlan-dist" "$pristine"
    ln -s ../drive_c "$machine/prefix/dosdevices/c:"
    crlf >"$pristine/startup.bat" <<'BAT'
@echo off
set JAVA_HOME=C:\old\jdk
call "%CATALINA_HOME%\bin\catalina.bat" start %*
BAT
    crlf >"$pristine/shutdown.bat" <<'BAT'
@echo off
call "%CATALINA_HOME%\bin\catalina.bat" stop %*
BAT
}

reset() {
    machine_paths "$1"
    local buried= written=()
    for folder in "$apache/htdocs" "$apache/conf"; do
        [[ -d $folder ]] && written+=("$folder")
    done
    if ((${#written[@]})); then
        mkdir -p "$machine/graveyard"
        buried=$(mktemp -d -p "$machine/graveyard")
        mv "${written[@]}" "$buried/"
    fi
    release_links
    rm -rf "$apache" "$tomcat" "$c/pja_2.4"
    mkdir -p "$apache/conf" "$apache/htdocs" "$apache/modules" \
        "$tomcat/bin" "$tomcat/conf" "$tomcat/webapps"
    cp "$pristine/httpd.conf" "$apache/conf/httpd.conf"
    cp "$pristine/startup.bat" "$pristine/shutdown.bat" "$tomcat/bin/"
    # Nothing of the last run may still be on its way to the disk.
    sync
    # What was put aside must not hold on to memory the next run could reuse.
    if [[ -n $buried ]]; then
        "$make_data" forget "$buried"
    fi
}

keep() {
    machine_paths "$1"
    if [[ -d $installed ]]; then
        bury "$installed"
    fi
    mkdir -p "$installed/Program Files/Apache Group"
    mv "$apache" "$installed/Program Files/Apache Group/"
    mv "$tomcat" "$installed/Program Files/"
    mv "$c/pja_2.4" "$installed/"
}

release_links() {
    if [[ -d $links ]]; then
        "$make_data" release "$links"
        bury "$links"
    fi
}

# A re-run replaces files or writes over them: the copy in place is written
# over with the kept one, and hard links to it are put aside first, so that
# the files a re-run replaces are not deleted (see the note at the top). The
# links to what is still in place then go, which deletes nothing, and what
# was replaced stays aside, out of the cache.
restore() {
    machine_paths "$1"
    release_links
    cp -a "$installed/." "$c/"
    mkdir -p "$links"
    cp -al "$c/Program Files" "$c/pja_2.4" "$links/"
    sync
}

clear() {
    machine_paths "$1"
    rm -rf "$machine/graveyard"
}

"$@"
