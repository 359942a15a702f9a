#!/bin/sh
# make_database.sh: builds the monitor's protein database (database.txt) on stdout.
#
#   make_database.sh <project-summary.tab>    convert a Folding@home project summary
#   make_database.sh --synthetic N            N made-up records for benchmarks (deterministic)
#
# Synthetic records carry the projects 1 to N in order, so a lookup of project N reads the
# whole file and one of N + 1 finds nothing.
#
# A record is one line of eight blank-separated fields, as the monitor reads them with
# "%d %s %d %f %f %f %d %s":
#   project  name  atoms  preferred-days  final-days  credit  frames  core
#
# The project summary is tab-separated, one project a line (CRLF or LF):
#   project, work server, work-unit name, atoms, preferred deadline, final deadline, credit,
#   frames, core, project page, contact, k-factor.
# The work server is dropped, blanks in the name become '_' so it stays one word, and the
# other columns are copied as they are. Lines that do not fit (too few columns, a field that
# is not a plain number where one is expected, an empty name or core) are skipped with a
# warning on stderr; a summary count goes to stderr as well, so stdout holds records only.

set -eu
LC_ALL=C
export LC_ALL

usage() {
    echo "usage: make_database.sh <project-summary.tab> > database.txt" >&2
    echo "       make_database.sh --synthetic N > database.txt" >&2
    exit 2
}

# Numbers stay below 10 digits so that the monitor's "%d" conversions cannot overflow.
convert() {
    awk -F '\t' '
    function isint(s) { return s ~ /^[0-9]+$/ && length(s) <= 9 }
    function isdec(s) { return s ~ /^[0-9]+(\.[0-9]+)?$/ && length(s) <= 15 }
    {
        sub(/\r$/, "")
        if ($0 ~ /^[ \t]*$/) { next }
        name = $3
        core = $9
        gsub(/[ \f\v\r]/, "_", name)
        gsub(/[ \f\v\r]/, "_", core)
        if (NF < 9 || !isint($1) || name == "" || !isint($4) || !isdec($5) || !isdec($6) ||
            !isdec($7) || !isint($8) || core == "") {
            printf "make_database.sh: line %d skipped: %s\n", NR, substr($0, 1, 80) > "/dev/stderr"
            skipped++
            next
        }
        if (($1 + 0) in seen) {
            printf "make_database.sh: line %d: project %s again (the first record wins)\n",
                   NR, $1 > "/dev/stderr"
        }
        seen[$1 + 0] = 1
        print $1, name, $4, $5, $6, $7, $8, core
        records++
    }
    END {
        printf "make_database.sh: %d records, %d lines skipped\n", records, skipped > "/dev/stderr"
    }' "$1"
}

# Park-Miller generator: every product stays below 2^53, so any awk computes the same values.
synthetic() {
    awk -v count="$1" '
    function next_random() { state = (state * 16807) % 2147483647; return state }
    function pick(n) { return next_random() % n }
    BEGIN {
        state = 20261206
        ncores = split("GROMACS OPENMMGPU GRO-A3 GROGPU2 GRO-A4 ProtoMol AMBER GRO-SMP GROCVS", cores, " ")
        nwords = split("Protein BBA5 VILLIN NTL9 lam5w Minichap IBX_in_water Abeta CGVES WW_domain", words, " ")
        for (i = 1; i <= count; i++) {
            atoms = 500 + pick(1200000)
            preferred = (100 + pick(5900)) / 100
            final = preferred + (50 + pick(3000)) / 100
            credit = (1000 + pick(3000000)) / 100
            frames = (pick(10) == 0) ? 400 : 100
            printf "%d p%d_%s_%d %d %.2f %.2f %.2f %d %s\n", i, i, words[1 + pick(nwords)],
                   pick(1000), atoms, preferred, final, credit, frames, cores[1 + pick(ncores)]
        }
    }'
}

[ "$#" -ge 1 ] || usage
case "$1" in
--synthetic)
    [ "$#" -eq 2 ] || usage
    case "$2" in
    '' | *[!0-9]*) usage ;;
    esac
    # Record numbers are the project numbers, so stay within what a unit name can carry.
    if [ "${#2}" -gt 5 ] || [ "$2" -lt 1 ]; then
        echo "make_database.sh: N must be 1 to 99999" >&2
        exit 2
    fi
    synthetic "$2"
    ;;
-*)
    usage
    ;;
*)
    [ "$#" -eq 1 ] || usage
    if [ ! -r "$1" ] || [ -d "$1" ]; then
        echo "make_database.sh: cannot read $1" >&2
        exit 1
    fi
    convert "$1"
    ;;
esac
