#!/usr/bin/env bash
# Usage: exact-output.sh PROGRAM EXPECTED
# Passes when PROGRAM, with no input, writes exactly EXPECTED (escapes as in printf %b) to stdout,
# nothing to stderr, and exits 0.
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
${RUNNER:-} "$1" </dev/null >"$tmp/out" 2>"$tmp/err"
status=$?
printf '%b' "$2" >"$tmp/want"
if cmp -s "$tmp/want" "$tmp/out" && [ ! -s "$tmp/err" ] && [ "$status" = 0 ]; then
    echo "1 passed, 0 failed"
    exit 0
fi
echo "stdout, then the difference from the expected output:"
cat "$tmp/out"
diff "$tmp/want" "$tmp/out"
echo "stderr:"
cat "$tmp/err"
echo "status: $status"
echo "0 passed, 1 failed"
exit 1
