# Sourced by the test scripts: start_private_xvfb starts an Xvfb server on a
# free display number, exports DISPLAY, and stops the server when the calling
# script exits.
start_private_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  # -noreset: the server would otherwise reset whenever its last client
  # leaves, turning away a test that connects meanwhile.
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -noreset -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  trap 'kill $XVFB_PID 2>/dev/null || true' EXIT
  local tries=0
  while [ ! -s "$fdfile" ]; do
    tries=$((tries + 1))
    if [ $tries -gt 100 ] || ! kill -0 $XVFB_PID 2>/dev/null; then
      echo "xvfb: the virtual display did not start" >&2
      rm -f "$fdfile"
      return 1
    fi
    sleep 0.1
  done
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}
