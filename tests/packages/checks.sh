# The package tests' checks: each one prints "ok" or "FAILED" with what it checked, and the test
# ends with "<name>: N passed, N failed" and a non-zero status when any failed. Sourced.
passed=0
failed=0

# check TEXT COMMAND...: runs COMMAND; passes when it succeeds.
check() {
  local text=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "  ok      $text"
  else
    failed=$((failed + 1))
    echo "  FAILED  $text"
  fi
}

# check_eq TEXT EXPECTED ACTUAL
check_eq() {
  if [ "$2" = "$3" ]; then
    check "$1" true
  else
    check "$1 (expected '$2', got '$3')" false
  fi
}

# contains FILE-OR-TEXT PATTERN: a fixed text in a string.
contains() { case "$1" in *"$2"*) return 0 ;; *) return 1 ;; esac; }

# eventually SECONDS COMMAND...: COMMAND succeeds within SECONDS (polled every 0.2 s).
eventually() {
  local until=$((SECONDS + $1))
  shift
  while ! "$@"; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.2
  done
}

summary() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
