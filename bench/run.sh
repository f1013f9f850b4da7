#!/usr/bin/env bash
# Times the installer against cp, rsync and grep doing the same work, and
# prints one table: each case, the medians, their ratio, peak memory, and
# whether each target is met. bench/README.md says how and why.
#
#   bash bench/run.sh [--smoke] [--callgrind] [--rounds N] [--keep] [--only CASES]
#
# --smoke      small data, few rounds: checks that everything works
# --callgrind  also counts the instructions of the httpd.conf rewrite per MB
# --rounds N   timed runs of each side per case (interleaved)
# --keep       keeps the data (build/bench/data-*) and reuses it next time
# --only CASES times these cases alone (a comma-separated list): copy,
#              rewrite, start, unchanged, new-version
#
# Every case runs on a machine laid out as a user has it (bench/machine.sh);
# before each timed run, of either side, its targets are reset and synced.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
export LC_ALL=C

size=full
callgrind=false
keep=false
rounds=
only=
while (($#)); do
    case $1 in
    --smoke) size=smoke ;;
    --callgrind) callgrind=true ;;
    --keep) keep=true ;;
    --rounds)
        rounds=$2
        shift
        ;;
    --only)
        only=$2
        shift
        ;;
    *)
        echo "usage: bash bench/run.sh [--smoke] [--callgrind] [--rounds N] [--keep] [--only CASES]" >&2
        exit 2
        ;;
    esac
    shift
done
cases=(copy rewrite start unchanged new-version)
for name in ${only//,/ }; do
    if [[ " ${cases[*]} " != *" $name "* ]]; then
        echo "bench: no case $name (there are: ${cases[*]})" >&2
        exit 2
    fi
done
chosen() { [[ -z $only || ,$only, == *,$1,* ]]; }

seed=1515
if [[ $size == full ]]; then
    web_files=20000 web_bytes=200000000 conf_lines=5000000 start_runs=300
    : "${rounds:=10}"
else
    web_files=400 web_bytes=4000000 conf_lines=100000 start_runs=30
    : "${rounds:=2}"
fi
callgrind_lines=300000 # about 30 MB
# Our peak resident set size must stay within this in every case.
peak_limit_mb=16
# How long after a large deletion the copy case waits (see
# wait_for_old_deletions): six minutes and a little more.
deletion_quiet_seconds=370

for tool in hyperfine /usr/bin/time rsync; do
    command -v "$tool" >/dev/null || {
        echo "bench: $tool is missing (.ci/run installs it)" >&2
        exit 1
    }
done

build=$top/build/bench
data=$build/data-$size
mkdir -p "$build"
cmake --preset default >/dev/null
cmake --build --preset default --target vorlan-setup make-data first-prompt >/dev/null
exe=$top/build/default/vorlan-setup
tools=$top/build/default/bench

apache_rel="Program Files/Apache Group/Apache"
tomcat_rel="Program Files/Apache Tomcat 4.0"
drive() { echo "$data/$1/prefix/drive_c"; }

small_conf() {
    printf '%s\r\n' 'ServerRoot "C:/Program Files/Apache Group/Apache"' 'Listen 80' \
        'Include conf/extra/ssl.conf' 'DocumentRoot "C:/Program Files/Apache Group/Apache/htdocs"'
}

small_distribution() {
    mkdir -p "$1/htdocs/images"
    printf '<html>Vorlan</html>\r\n' >"$1/htdocs/index.html"
    printf 'GIF89a' >"$1/htdocs/images/logo.gif"
    printf 'PK vorlan' >"$1/vorlan.jar"
    printf 'PK pja' >"$1/pja.jar"
    printf 'MZ mod_jk' >"$1/mod_jk.dll"
    printf 'PK war' >"$1/vorlan.war"
}

# When thousands of files were last deleted beside the data, for the wait below.
note_deletion() {
    if [[ $size == full ]]; then
        date +%s >"$build/last-deletion"
    fi
}

make_machines() {
    local stamp="$seed $web_files $web_bytes $conf_lines $callgrind_lines"
    stamp+=" $({ cat bench/make_data.cpp && sed -n '/^lay()/,/^}/p' bench/machine.sh; } | cksum)"
    if [[ -f $data/stamp && $(cat "$data/stamp") == "$stamp" ]]; then
        return
    fi
    echo "bench: writing the data into $data"
    if [[ -d $data ]]; then
        rm -rf "$data"
        note_deletion
    fi
    mkdir -p "$data"
    bash bench/machine.sh lay "$data/copy"
    "$tools/make-data" distribution "$(drive copy)/vorlan-dist" "$seed" "$web_files" "$web_bytes"
    small_conf >"$data/copy/pristine/httpd.conf"

    # The same files as the copy case, and their next version.
    bash bench/machine.sh lay "$data/rerun"
    "$tools/make-data" distribution "$(drive rerun)/vorlan-dist" "$seed" "$web_files" "$web_bytes"
    "$tools/make-data" distribution "$(drive rerun)/vorlan-dist-next" "$seed" "$web_files" \
        "$web_bytes" 2
    small_conf >"$data/rerun/pristine/httpd.conf"

    bash bench/machine.sh lay "$data/rewrite"
    small_distribution "$(drive rewrite)/vorlan-dist"
    "$tools/make-data" conf "$data/rewrite/pristine/httpd.conf" "$seed" "$conf_lines"

    bash bench/machine.sh lay "$data/callgrind"
    small_distribution "$(drive callgrind)/vorlan-dist"
    "$tools/make-data" conf "$data/callgrind/pristine/httpd.conf" "$seed" "$callgrind_lines"
    echo "$stamp" >"$data/stamp"
}

printf 'y\n\n\n\n\n' >"$build/accept"
printf 'n\n' >"$build/refuse"

ours() { # MACHINE ANSWERS [DISTRIBUTION]
    printf "cd '%s/%s' && WINEPREFIX='%s' '%s' < '%s'" \
        "$(drive "$1")" "${3:-vorlan-dist}" "$data/$1/prefix" "$exe" "$build/$2"
}

reference_copy() { # MACHINE [DISTRIBUTION]
    local c apache tomcat
    c=$(drive "$1")
    apache="$c/$apache_rel"
    tomcat="$c/$tomcat_rel"
    printf "cd '%s/%s' && cp -r htdocs/. '%s/htdocs/' && mkdir -p '%s/pja_2.4/lib'" \
        "$c" "${2:-vorlan-dist}" "$apache" "$c"
    printf " && cp *.jar '%s/pja_2.4/lib/' && cp *.dll '%s/modules/' && cp *.war '%s/webapps/'" \
        "$c" "$apache" "$tomcat"
}

# -a over what the installer left: the same modification times, so rsync's
# quick check (size and time) finds every file as it should be.
reference_rsync() {
    local c
    c=$(drive rerun)
    printf "cd '%s/vorlan-dist' && rsync -a htdocs/ '%s/%s/htdocs/'" "$c" "$c" "$apache_rel"
    printf " && rsync -a *.jar '%s/pja_2.4/lib/' && rsync -a *.dll '%s/%s/modules/'" \
        "$c" "$c" "$apache_rel"
    printf " && rsync -a *.war '%s/%s/webapps/'" "$c" "$tomcat_rel"
}

reference_rewrite() {
    local conf
    conf="$(drive rewrite)/$apache_rel/conf"
    printf "grep -v -e '^Include' -e '^#configured' '%s/httpd.conf' > '%s/httpd.npm'" "$conf" "$conf"
    printf " && cp '%s/httpd.npm' '%s/httpd.conf' && sync '%s/httpd.conf'" "$conf" "$conf" "$conf"
}

reset_command() { printf "bash '%s/bench/machine.sh' reset '%s'" "$top" "$data/$1"; }
restore_command() { printf "bash '%s/bench/machine.sh' restore '%s'" "$top" "$data/$1"; }

# The wall time of one run, in seconds, measured by hyperfine.
time_once() { # NAME COMMAND PREPARE
    local csv=$build/one.csv
    hyperfine --runs 1 --style none --prepare "$3" -n "$1" "$2" --export-csv "$csv" >/dev/null
    awk -F, 'NR == 2 { print $2 }' "$csv"
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

# The sides in alternation, each after PREPARE: round r starts with side r
# (counted round), so that with two sides ours goes first when r is odd, the
# reference when it is even. Prints the sides' medians in their order.
time_case() { # CASE PREPARE OURS REFERENCE...
    local name=$1 prepare=$2 side medians=()
    shift 2
    local commands=("$@") n=$#
    for ((side = 0; side < n; side++)); do
        : >"$build/$name.$side"
    done
    for ((r = 1; r <= rounds; r++)); do
        echo "bench: $name, round $r of $rounds" >&2
        for ((i = 0; i < n; i++)); do
            side=$(((r - 1 + i) % n))
            time_once "side$side" "${commands[side]}" "$prepare" >>"$build/$name.$side"
        done
    done
    for ((side = 0; side < n; side++)); do
        medians+=("$(median <"$build/$name.$side")")
    done
    echo "${medians[*]}"
}

# Peak resident memory of the whole run, in KiB, by GNU time.
peak_kib() { # COMMAND PREPARE
    local report=$build/time.txt
    sh -c "$2"
    /usr/bin/time -v -o "$report" sh -c "$1" >/dev/null
    awk -F': ' '/Maximum resident set size/ { print $2 }' "$report"
}

# What the installer left where the reference's cp puts the same files, in
# the drive C of a machine or in the installation it keeps.
copied_tree_sum() { # ROOT
    (cd "$1" && find "$apache_rel/htdocs" pja_2.4 "$apache_rel/modules" "$tomcat_rel/webapps" \
        -type f -print0 | sort -z | xargs -0 cksum | cksum)
}

conf_sum() { cksum <"$(drive rewrite)/$apache_rel/conf/httpd.conf"; }

# Our httpd.conf is the reference's with our three lines at its end.
expected_conf_sum() {
    {
        cat "$(drive rewrite)/$apache_rel/conf/httpd.conf"
        printf '\r\n#configured by Vorlan 1.5\r\nInclude "C:\\Program Files\\Apache Tomcat 4.0\\conf\\jk\\vorlan_mod_jk.conf"\r\n'
    } | cksum
}

check_same() { # WHAT OURS EXPECTED
    if [[ $2 != "$3" ]]; then
        echo "bench: $1: the installer's result differs from the reference's" >&2
        exit 1
    fi
}

# A line of the table, and a line for the target it checks.
row() { # CASE AGAINST OURS_S REF_S OPERATOR LIMIT PEAK REF_PEAK
    echo "$1 $7" >>"$peaks"
    awk -v name="$1" -v against="$2" -v ours="$3" -v ref="$4" -v op="$5" -v limit="$6" \
        -v peak="$7" -v refpeak="$8" -v targets="$targets" -v limit_mb="$peak_limit_mb" 'BEGIN {
        mem_ok = peak <= limit_mb * 1024
        if (ref == "") {
            value = ours * 1000
            shown = sprintf("%.2f ms", value)
            printf "| %-11s | %-15s | %10.2f ms | %12s | %6s | %s %.0f ms  | %7.1f MB | %9s |",
                name, against, value, "-", "-", op, limit, peak / 1024, "-"
            what = sprintf("%s: the first prompt %s %.0f ms", name, op, limit)
        } else {
            value = ours / ref
            shown = sprintf("%.3f", value)
            printf "| %-11s | %-15s | %10.1f ms | %9.1f ms | %6.3f | %-2s %.2f | %7.1f MB | %6.1f MB |",
                name, against, ours * 1000, ref * 1000, value, op, limit, peak / 1024, refpeak / 1024
            what = sprintf("%s: ours %s %.2f x %s", name, op, limit, against)
        }
        time_ok = op == "<" ? value < limit : value <= limit
        printf " %-4s |\n", time_ok && mem_ok ? "yes" : "NO"
        printf "  %s: %s (%s)\n", what, time_ok ? "met" : "NOT met", shown >> targets
    }'
}

# Memory and results come first in each case: a run that goes wrong stops
# the bench before the timing.
case_copy() {
    local ours_cmd ref_cmd peak ref_peak ours_tree
    ours_cmd=$(ours copy accept)
    ref_cmd="$(reference_copy copy) && sync"
    peak=$(peak_kib "$ours_cmd" "$(reset_command copy)")
    ours_tree=$(copied_tree_sum "$(drive copy)")
    ref_peak=$(peak_kib "$ref_cmd" "$(reset_command copy)")
    check_same copy "$ours_tree" "$(copied_tree_sum "$(drive copy)")"
    read -r ours_t ref_t < <(time_case copy "$(reset_command copy)" "$ours_cmd" "$ref_cmd")
    row copy "cp -r, cp, sync" "$ours_t" "$ref_t" "<=" 1.00 "$peak" "$ref_peak"
}

case_rewrite() {
    local ours_cmd ref_cmd peak ref_peak ours_conf
    ours_cmd=$(ours rewrite accept)
    ref_cmd=$(reference_rewrite)
    peak=$(peak_kib "$ours_cmd" "$(reset_command rewrite)")
    ours_conf=$(conf_sum)
    ref_peak=$(peak_kib "$ref_cmd" "$(reset_command rewrite)")
    check_same rewrite "$ours_conf" "$(expected_conf_sum)"
    read -r ours_t ref_t < <(time_case rewrite "$(reset_command rewrite)" "$ours_cmd" "$ref_cmd")
    row rewrite "grep, cp, sync" "$ours_t" "$ref_t" "<=" 0.70 "$peak" "$ref_peak"
}

# From the start of the process to the last byte of its first prompt, read
# from a pipe by bench/first_prompt.cpp; the prompt is then answered "n".
case_start() {
    local peak median
    peak=$(peak_kib "$(ours copy refuse)" true)
    median=$(cd "$(drive copy)/vorlan-dist" && WINEPREFIX="$data/copy/prefix" \
        "$tools/first-prompt" "$start_runs" "Do you wish to continue [Y/N]?" n "$exe" |
        awk '{ print $1 / 1000 }')
    row start "-" "$median" "" "<" 5 "$peak" ""
}

# The installation both re-run cases start from: the installer's own first
# run, kept once per bench run, since it is the product's result.
kept_installation=false
keep_first_installation() {
    if ! $kept_installation; then
        bash bench/machine.sh reset "$data/rerun"
        sh -c "$(ours rerun accept)" >/dev/null
        bash bench/machine.sh keep "$data/rerun"
        kept_installation=true
    fi
}

# The installer again over the installation it made, nothing changed;
# against cp over the same files, and rsync.
case_unchanged() {
    local ours_cmd cp_cmd rsync_cmd restore peak cp_peak rsync_peak kept
    keep_first_installation
    ours_cmd=$(ours rerun accept)
    cp_cmd=$(reference_copy rerun)
    rsync_cmd=$(reference_rsync)
    restore=$(restore_command rerun)
    kept=$(copied_tree_sum "$data/rerun/installed")
    peak=$(peak_kib "$ours_cmd" "$restore")
    check_same unchanged "$(copied_tree_sum "$(drive rerun)")" "$kept"
    cp_peak=$(peak_kib "$cp_cmd" "$restore")
    check_same unchanged "$(copied_tree_sum "$(drive rerun)")" "$kept"
    rsync_peak=$(peak_kib "$rsync_cmd" "$restore")
    check_same unchanged "$(copied_tree_sum "$(drive rerun)")" "$kept"
    read -r ours_t cp_t rsync_t < <(time_case unchanged "$restore" \
        "$ours_cmd" "$cp_cmd" "$rsync_cmd")
    row unchanged "cp -r, cp" "$ours_t" "$cp_t" "<=" 0.10 "$peak" "$cp_peak"
    row unchanged "rsync -a" "$ours_t" "$rsync_t" "<=" 1.25 "$peak" "$rsync_peak"
}

# The next version, every file changed under the same name, over the
# installation; against cp over the same files and then sync.
case_new_version() {
    local ours_cmd ref_cmd restore peak ref_peak ours_tree
    keep_first_installation
    ours_cmd=$(ours rerun accept vorlan-dist-next)
    ref_cmd="$(reference_copy rerun vorlan-dist-next) && sync"
    restore=$(restore_command rerun)
    peak=$(peak_kib "$ours_cmd" "$restore")
    ours_tree=$(copied_tree_sum "$(drive rerun)")
    ref_peak=$(peak_kib "$ref_cmd" "$restore")
    check_same new-version "$ours_tree" "$(copied_tree_sum "$(drive rerun)")"
    if [[ $ours_tree == $(copied_tree_sum "$data/rerun/installed") ]]; then
        echo "bench: new-version: the next version left the installation as it was" >&2
        exit 1
    fi
    read -r ours_t ref_t < <(time_case new-version "$restore" "$ours_cmd" "$ref_cmd")
    row new-version "cp -r, cp, sync" "$ours_t" "$ref_t" "<=" 1.00 "$peak" "$ref_peak"
}

# ext4 without a journal (as here) skips, one by one, the inodes deleted in
# the last minutes (up to 6) when it allocates one; after a deletion of
# thousands of files that makes creating files several times slower, and
# the copy case would time that. The full run waits it out.
wait_for_old_deletions() {
    local last now
    last=$(cat "$build/last-deletion" 2>/dev/null || echo 0)
    now=$(date +%s)
    if ((now - last < deletion_quiet_seconds)); then
        echo "bench: waiting $((deletion_quiet_seconds - (now - last))) s: many files were deleted here lately" >&2
        sleep $((deletion_quiet_seconds - (now - last)))
    fi
}

make_machines
if [[ $size == full ]]; then
    wait_for_old_deletions
fi
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
rows=$build/rows.txt targets=$build/targets.txt peaks=$build/peaks.txt
: >"$rows"
: >"$targets"
: >"$peaks"
for name in "${cases[@]}"; do
    if chosen "$name"; then
        "case_${name//-/_}" >>"$rows"
    fi
done

echo
echo "size: $size ($web_files web files of $web_bytes bytes in all; httpd.conf of $conf_lines lines," \
    "$(stat -c %s "$data/rewrite/pristine/httpd.conf") bytes); $rounds interleaved rounds; seed $seed"
device=$(findmnt -n -o SOURCE -T "$data")
echo "machine: $(nproc) cores, $(lscpu | awk -F': *' '/^Model name/ { print $2; exit }')," \
    "$(free -g | awk '/^Mem:/ { print $2 }') GiB; $(findmnt -n -o FSTYPE -T "$data") on $device" \
    "($(lsblk -n -d -o SIZE,TYPE "$device" 2>/dev/null | xargs))"
echo "load average (1, 5, 15 min): $load_before before, $(cut -d' ' -f1-3 /proc/loadavg) after"
echo
echo "| case        | against         | ours (median) | reference    | ratio  | target  | peak RSS   | ref. RSS  | met  |"
echo "|-------------|-----------------|---------------|--------------|--------|---------|------------|-----------|------|"
cat "$rows"
echo
echo "copy: the default run (answers y and four ENTERs) against cp -r and cp of the same files, then sync;"
echo "rewrite: the same run on a small distribution and a big httpd.conf, against grep -v, cp, sync;"
echo "start: from fork to the last byte of the first prompt on a pipe (bench/first_prompt.cpp);"
echo "unchanged: the default run again over the installation it made, against cp -r and cp of the"
echo "  same files over it, and rsync -a;"
echo "new-version: the default run of the next version (every file changed, same names) over the"
echo "  installation, against cp -r and cp of the same files over it, then sync."
echo
echo "targets:"
cat "$targets"
awk -v limit_mb="$peak_limit_mb" '$2 > peak { peak = $2; name = $1 } END {
    printf "  peak RSS <= %d MB in every case: %s (largest %.1f MB, %s)\n", limit_mb,
        peak <= limit_mb * 1024 ? "met" : "NOT met", peak / 1024, name
}' "$peaks"

if $callgrind; then
    command -v valgrind >/dev/null || {
        echo "bench: valgrind is missing (.ci/run installs it)" >&2
        exit 1
    }
    bash bench/machine.sh reset "$data/callgrind"
    conf_bytes=$(stat -c %s "$data/callgrind/pristine/httpd.conf")
    out=$build/callgrind.out
    (cd "$(drive callgrind)/vorlan-dist" && WINEPREFIX="$data/callgrind/prefix" \
        valgrind --tool=callgrind --callgrind-out-file="$out" \
        --toggle-collect='vorlan::writers::rewrite_filtered*' "$exe" <"$build/accept" \
        >/dev/null 2>"$build/callgrind.log")
    instructions=$(awk '/^(summary|totals):/ { print $2; exit }' "$out")
    awk -v ir="$instructions" -v bytes="$conf_bytes" -v lines="$callgrind_lines" 'BEGIN {
        printf "\ncallgrind: the rewrite of a %.1f MB httpd.conf (%d lines) takes %d instructions:" \
            " %.2f million per MB, %.0f per line\n", bytes / 1e6, lines, ir, ir / (bytes / 1e6) / 1e6, ir / lines
    }'
fi

if $keep; then
    for machine in copy rewrite callgrind rerun; do
        bash bench/machine.sh clear "$data/$machine"
    done
else
    rm -rf "$data"
fi
note_deletion
