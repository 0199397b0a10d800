#!/bin/bash
# The bash completion of vx414-read against the program itself: the makes it offers are the
# 67 that --help lists, in that order, and their other names when no make begins as typed;
# a make with blanks comes back as one word; the formats and the options are the program's. Then lines typed in a real interactive bash,
# quoted and --option=value forms among them (completion_in_bash.py).
#
# Usage: completion_test.sh VX414-READ COMPLETION-FILE
set -u
program=$1
# shellcheck source=/dev/null
source "$2"
failures=0
fail() { echo "completion: FAIL: $*"; failures=$((failures + 1)); }

complete_words() {  # the words typed, the last being completed; prints COMPREPLY a line each
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _vx414_read "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf '%s\n' "${COMPREPLY[@]}"
}

help=$("$program" --help) || fail "--help failed"
makes=$(sed -n '/^Makes/,$p' <<<"$help" | tail -n +2 | sed 's/^  //; s/ (also .*)$//')
[ "$(wc -l <<<"$makes")" = 67 ] || fail "--help lists $(wc -l <<<"$makes") makes"
offered=$(complete_words vx414-read --make "" | while IFS= read -r word; do eval "printf '%s\n' $word"; done)
[ "$offered" = "$makes" ] || fail "the makes offered differ from --help's: $(diff <(echo "$makes") <(echo "$offered") | head -5)"

[ "$(complete_words vx414-read --make "Land")" = 'land\ rover' ] || fail "Land: $(complete_words vx414-read --make Land)"
[ "$(complete_words vx414-read --make "sma")" = 'smart\ smart\ city' ] || fail "sma"
[ "$(complete_words vx414-read --make "'mer")" = "$(printf '%s\n' mercedes-benz mercury)" ] || fail "'mer"
[ -z "$(complete_words vx414-read --make "tesla")" ] || fail "tesla is offered"
# Case, blanks and hyphens do not count; other names come when no make begins as typed.
while IFS='|' read -r typed expected; do
    got=$(complete_words vx414-read --make "$typed")
    [ "$got" = "$(printf '%b' "$expected")" ] || fail "--make $typed gave: $got"
done <<'EOF'
landr|land\\ rover
MERCEDESB|mercedes-benz
vw|vw
VW|vw
chev|chevrolet
chevy|chevy
Range|range\\ rover
'mini c|mini cooper
smart|smart\\ smart\\ city
EOF
[ "$(complete_words vx414-read --format "")" = "$(printf '%s\n' text csv json)" ] || fail "formats"
[ -z "$(complete_words vx414-read --lookup "P0")" ] || fail "--lookup offers words"
[[ "$(complete_words vx414-read --link "elm327://")" == "elm327://192.168.0.10:35000" ]] || fail "--link elm327://"

options=$(complete_words vx414-read --)
for option in $(grep -oE -- '--[a-z]+(-[a-z]+)*' <<<"$help" | sort -u); do
    grep -qx -- "$option" <<<"$options" || fail "$option is not offered"
done
for option in $options; do
    grep -q -- "$option" <<<"$help" || fail "$option is offered but --help does not know it"
done

python3 "$(dirname "$0")/completion_in_bash.py" "$2" "$program" || fail "in an interactive bash"

[ "$failures" = 0 ] && echo "completion: PASS"
exit $((failures > 0))
