# Starts a private X server for the GUI tests when none is given.  Source it,
# then call xvfb_start; xvfb_stop ends what xvfb_start began.
XVFB_PID=
xvfb_start() {
  if [ -n "$ZIPSTROKE_KEEP_DISPLAY" ] && [ -n "$DISPLAY" ]; then return 0; fi
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  # -noreset: by default the server starts over each time its last client
  # leaves, and a client that connects meanwhile (the next program of a test,
  # an xdotool call) is refused now and then.
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  read -r num <"$fifo"
  rm -f "$fifo"
  DISPLAY=":$num"
  export DISPLAY
}
xvfb_stop() {
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null || true; wait "$XVFB_PID" 2>/dev/null || true; XVFB_PID=; fi
}
