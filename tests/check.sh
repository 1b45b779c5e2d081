# Sourced by the shell tests: one "ok:" or "FAILED:" line a check, and a
# summary line. A failed check returns 1, so that its caller can show more.
#   check DESCRIPTION COMMAND...
#   summary NAME        prints "NAME: N checks, M failed"; fails if any did
checks=0
failed=0
check() {
  checks=$((checks + 1))
  if "${@:2}"; then echo "ok: $1"; return 0; fi
  echo "FAILED: $1"
  failed=$((failed + 1))
  return 1
}
summary() {
  echo "$1: $checks checks, $failed failed"
  [ $failed = 0 ]
}
