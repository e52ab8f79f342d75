#!/usr/bin/env bash
# Checks the manual page against the help text: every command and every option that
# `kestrane --help` lists is in kestrane.1, and no option is in one but not the other; and man
# renders the page without a warning.
#   check-manual-page.sh <kestrane> <kestrane.1>        (CTest: kestrane_cli.manual_page)
set -uo pipefail

kestrane=${1:?the kestrane program}
page=${2:?the manual page}
[ -s "$page" ] || { echo "FAIL: $page is missing or empty"; exit 1; }
help=$("$kestrane" --help) || { echo "FAIL: kestrane --help failed"; exit 1; }

# The page as man shows it (troff's \- become plain hyphens), with its warnings.
warnings=$(mktemp)
trap 'rm -f "$warnings"' EXIT
text=$(groff -man -Tutf8 -ww "$page" 2> "$warnings" | col -bx | sed 's/\xe2\x80\x90/-/g')
if [ -s "$warnings" ]; then
  echo "FAIL: groff warns about $page:"
  cat "$warnings"
  exit 1
fi

options_of() { grep -oE -- '--[a-z][a-z-]*' | sort -u; }
commands_of_help() { sed -n 's/^  kestrane \([a-z][a-z]*\).*/\1/p' | sort -u; }

failed=0
missing_options=$(comm -23 <(options_of <<< "$help") <(options_of <<< "$text"))
extra_options=$(comm -13 <(options_of <<< "$help") <(options_of <<< "$text"))
for option in $missing_options; do echo "FAIL: $option is in --help but not in the page"; failed=1; done
for option in $extra_options; do echo "FAIL: $option is in the page but not in --help"; failed=1; done
for command in $(commands_of_help <<< "$help"); do
  grep -qE "^ +kestrane $command( |$)" <<< "$text" || {
    echo "FAIL: the page's synopsis has no 'kestrane $command'"
    failed=1
  }
done
[ "$(commands_of_help <<< "$help" | wc -l)" -ge 3 ] || { echo "FAIL: --help lists no commands"; failed=1; }
[ "$failed" = 0 ] && echo "ok: the manual page lists every command and option of --help"
exit "$failed"
