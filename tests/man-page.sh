#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 Seed f3195cce maintainers
# SPDX-License-Identifier: MIT
# A man page renders as its program's page, without a single groff warning: all the page shows on
# its first line, in plain text, is the program's title at both ends. An installed page, however
# it is compressed, holds the very text of the page in the source tree: none of it lost on the way.
# Usage: man-page.sh PROGRAM DEVICE GROFF PAGE [SOURCE-PAGE]; DEVICE is ascii or utf8 (man shows
# ASCII under a C locale).
# shellcheck source=lib.sh source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
program=$1 device=$2 groff=$3 page=$4 source_page=${5-}
[ -f "$page" ] || { echo "FAIL no page $page"; exit 1; }
# Each compression man reads, by the name's ending; the tool for it was looked for at configure.
case $page in
*.gz) unpack=(gzip -dc) ;;
*.bz2) unpack=(bzip2 -dc) ;;
*.xz) unpack=(xz -dc) ;;
*.zst) unpack=(zstd -qdc) ;;
*) unpack=(cat) ;;
esac
"${unpack[@]}" "$page" >"$tmp/page" || { echo "FAIL ${unpack[*]} cannot read $page"; exit 1; }
if [ -n "$source_page" ]; then
    cmp -s "$tmp/page" "$source_page" && ok || bad "$page does not hold the page $source_page"
fi
status=0
"$groff" -mandoc -T"$device" -ww -P-cbu "$tmp/page" >"$tmp/text" 2>"$tmp/warnings" || status=$?
title="${program^^}(1)"
IFS= read -r first <"$tmp/text" || first=''
[ "$status" = 0 ] && [ ! -s "$tmp/warnings" ] && [[ $first == "$title "*" $title" ]] && ok ||
    bad "groff, status $status, first line: $first$(printf '\n%s' "$(<"$tmp/warnings")")"
tally "$program page, $device"
