# Sourced by the screenshot scripts: a free X display for Xvfb and a poll.

# Prints the first free X display from :90 on; fails when there is none.
free_display() {
  local n
  for n in $(seq 90 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      echo ":$n"
      return 0
    fi
  done
  echo "no free X display" >&2
  return 1
}

# Polls (every 0.1 s, at most 10 s) until the command succeeds.
wait_for() {
  for _ in $(seq 100); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}
