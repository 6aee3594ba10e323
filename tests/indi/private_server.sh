# Shared by the scripts that run a private indiserver: sourced, not run.
#   need_indiserver     exits 77 (skipped) when indiserver is not installed
#   private_work        makes $work, a folder removed at exit with every
#                       process whose id is added to the array pids, and
#                       points HOME (where INDI keeps driver settings) and
#                       XDG_DATA_HOME into it
#   free_port           prints a TCP port free on the loopback interface

need_indiserver() {
  if ! command -v indiserver >/dev/null 2>&1; then
    echo "indiserver is not installed (Debian package indi-bin): skipped"
    exit 77
  fi
}

private_work() {
  work="$(mktemp -d)"
  pids=()
  trap private_cleanup EXIT
  export HOME="$work" XDG_DATA_HOME="$work/data"
}

private_cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
