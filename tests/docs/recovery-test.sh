#!/bin/bash
# The manual recovery as the documents give it: the code block after the
# line "<!-- recovery commands -->" in README.md and in docs/guide.zh-CN.md.
# The two must be the same; the block is written to C:\zvtest\recovery.cmd
# in the test prefix (CRLF, as a person's cmd.exe reads it) and run by
# recovery_test.exe after a completed change.
#   recovery-test.sh SOURCE_DIR BUILD
set -u
source_dir=$1
build=$2
extract() {
  awk '
    /<!-- recovery commands -->/ { marker = 1; next }
    marker && !inside && /^```/ { inside = 1; next }
    inside && /^```/ { exit }
    inside { print }
  ' "$1"
}
readme=$(extract "$source_dir/README.md")
guide=$(extract "$source_dir/docs/guide.zh-CN.md")
if [ -z "$readme" ] || [ -z "$guide" ]; then
  echo "FAILED: no recovery block in README.md${readme:+ (found)} or docs/guide.zh-CN.md${guide:+ (found)}"
  exit 1
fi
if [ "$readme" != "$guide" ]; then
  echo "FAILED: the README's recovery commands and the guide's differ:"
  diff <(echo "$readme") <(echo "$guide")
  exit 1
fi
echo "recovery commands (README.md and docs/guide.zh-CN.md agree):"
echo "$readme"
prefix=${ZV_WINEPREFIX:-$build/prefix}
printf '%s\n' "$readme" | sed 's/$/\r/' >"$prefix/drive_c/zvtest/recovery.cmd"
exec "$source_dir/tests/wine/tools/run-wine-test.sh" "$build" recovery_test.exe
