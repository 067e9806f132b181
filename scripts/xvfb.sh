# Sourced by the test scripts: a virtual X server of their own on a free display number.
#   xvfb_start LOGFILE   starts it and exports DISPLAY
#   xvfb_stop            stops it again

xvfb_start() {
  local log=$1 display=99
  while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
  done
  Xvfb ":${display}" -screen 0 1280x1024x24 -nolisten tcp >"$log" 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X${display}" ] && break
    sleep 0.1
  done
  export DISPLAY=":${display}"
  echo "Xvfb on ${DISPLAY}"
}

xvfb_stop() {
  if [ -n "${XVFB_PID:-}" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
  unset DISPLAY
}
