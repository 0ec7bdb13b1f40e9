#!/bin/sh
# Catches a man page that man cannot render cleanly: any warning of the formatter, or a page
# without the sections a reader looks for. Usage: check_man_page.sh PAGE.1
page=$1
warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
  printf '%s\n' "$warnings"
  exit 1
fi
text=$(MANWIDTH=80 LC_ALL=C.UTF-8 man -l "$page" 2>/dev/null)
for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
  if ! printf '%s\n' "$text" | grep -qx "$section"; then
    echo "$page: no $section section"
    exit 1
  fi
done
# Placeholders the build should have filled in.
if printf '%s\n' "$text" | grep -q '@[A-Z_]*@'; then
  echo "$page: unfilled placeholder"
  exit 1
fi
echo "$page renders without warnings"
