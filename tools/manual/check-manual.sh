#!/usr/bin/env bash
# The rendered manual in a real browser: headless Chromium opens it, and a script run at its
# load event reports any picture that did not load and any link inside the page whose target
# is missing; Chromium also renders the page to a picture.
#   check-manual.sh <chromium> <kestrane-manual.html> <manual.md> <scratch-dir>
#                                                           (CTest: manual.browser)
set -uo pipefail

chromium=${1:?chromium}
html=${2:?the rendered manual}
source=${3:?the manual source}
scratch=${4:?a scratch folder}
fail() {
  echo "FAIL: $*"
  exit 1
}
[ -s "$html" ] || fail "$html is missing"
rm -rf "$scratch" && mkdir -p "$scratch" || fail "cannot make $scratch"

# The page with the checking script added at its end.
checker='<script>
window.addEventListener("load", () => {
  const problems = [];
  for (const image of document.images) {
    if (!image.complete || image.naturalWidth === 0) {
      problems.push("picture " + (image.alt || image.src.slice(0, 40)) + " did not load");
    }
  }
  const links = document.querySelectorAll("a[href^=\"#\"]");
  for (const link of links) {
    const id = decodeURIComponent(link.getAttribute("href").slice(1));
    if (!document.getElementById(id)) problems.push("link to #" + id + " has no target");
  }
  const report = document.createElement("pre");
  report.textContent = "MANUAL" + "-CHECK pictures=" + document.images.length + " links=" +
    links.length + " problems=" + problems.length + (problems.length ? ": " + problems.join("; ") : "");
  document.body.appendChild(report);
});
</script>'
sed "s#</body>#$(tr '\n' ' ' <<< "$checker" | sed 's/[&#\\]/\\&/g')</body>#" "$html" > "$scratch/checked.html"

run_chromium() {
  timeout 120 "$chromium" --headless --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$scratch/profile" --virtual-time-budget=10000 "$@" 2> "$scratch/chromium.log"
}
dom=$(run_chromium --dump-dom "file://$scratch/checked.html") || fail "chromium could not open the page"
report=$(grep -o 'MANUAL-CHECK[^<]*' <<< "$dom")
[ -n "$report" ] || fail "the page's check did not run (no report in the page)"
echo "$report"
grep -q 'problems=0$' <<< "$report" || fail "the page has problems"
want=$(grep -c '^!\[' "$source")
pictures=$(sed -n 's/.*pictures=\([0-9]*\).*/\1/p' <<< "$report")
[ "$pictures" -ge "$want" ] || fail "$pictures pictures in the page, the manual has $want"

run_chromium --screenshot="$scratch/manual.png" --window-size=1000,6000 "file://$html" \
  || fail "chromium could not render the page to a picture"
size=$(stat -c %s "$scratch/manual.png" 2> /dev/null || echo 0)
[ "$size" -gt 50000 ] || fail "the rendered picture is $size bytes: the page looks empty"
echo "ok: the manual loads in Chromium with its $pictures pictures and every internal link"
