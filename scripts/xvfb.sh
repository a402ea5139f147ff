# Sourced by the test scripts: a private X server for the GUI tests, stopped
# when the script ends; KESTRUM_TEST_DISPLAY names an existing one instead.
xvfb_pid=""
dispfile=$(mktemp)
cleanup() { [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true; rm -f "$dispfile"; }
trap cleanup EXIT
if [ -z "${KESTRUM_TEST_DISPLAY:-}" ]; then
  # Xvfb picks a free display itself, so parallel runs never collide. Without
  # -noreset it resets whenever its last client leaves, and a test connecting
  # in that moment is refused ("Can't open display").
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dispfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$dispfile" ] && break; sleep 0.1; done
  export DISPLAY=":$(head -n1 "$dispfile")"
else
  export DISPLAY="$KESTRUM_TEST_DISPLAY"
fi
