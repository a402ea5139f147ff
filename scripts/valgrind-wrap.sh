#!/usr/bin/env bash
# Runs one test executable under memcheck (see scripts/valgrind.sh). The
# programs it starts from this build are checked too; system programs
# (Xvfb, xdotool, shells, xdg-open) are not.
root="$(cd "$(dirname "$0")/.." && pwd)"
logs=${KESTRUM_VALGRIND_LOGS:-/tmp}
# Listing the tests (CTest's discovery, with a short time-out) runs plainly.
for a in "$@"; do
  [ "$a" = "--gtest_list_tests" ] && exec "$@"
done
exec valgrind --tool=memcheck --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite --show-leak-kinds=definite \
  --track-origins=yes --num-callers=30 \
  --trace-children=yes --trace-children-skip='/usr/*,/bin/*,/sbin/*' \
  --suppressions="$root/tests/valgrind.supp" \
  --log-file="$logs/%p.log" "$@"
