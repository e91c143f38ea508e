#!/usr/bin/env bash
# Starts or stops the one Xvfb that window tests share; stops it by its own pid.
# Xvfb picks a free number itself (-displayfd) and, where mount namespaces are
# allowed, has $state/xvfb as its /tmp, so no other X server can remove or replace its
# socket file. Host clients reach it through its abstract socket, which nobody else
# can bind meanwhile; netns-run.sh shows its socket folder as /tmp/.X11-unix.
set -euo pipefail
state=${KESTRAVON_HARNESS_STATE:?}
mkdir -p "$state"
case "${1:-}" in
  start)
    if [ -f "$state/xvfb.pid" ] && kill -0 "$(cat "$state/xvfb.pid")" 2>/dev/null; then
      echo "Xvfb already running on $(cat "$state/display")"; exit 0
    fi
    rm -f "$state/display" "$state/xvfb.pid"
    rm -rf "$state/xvfb"
    launcher=()
    if unshare --mount true 2>/dev/null; then
      mkdir -p "$state/xvfb/.X11-unix"
      chmod 1777 "$state/xvfb/.X11-unix"
      # unshare and sh exec, so the pid below is Xvfb's own.
      launcher=(unshare --mount --propagation private
        sh -c 'mount --bind "$0" /tmp && exec "$@"' "$state/xvfb")
    fi
    exec 3>"$state/xvfb.displayfd"
    setsid "${launcher[@]}" Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset \
      </dev/null >"$state/xvfb.log" 2>&1 &
    echo $! >"$state/xvfb.pid"
    exec 3>&-
    for _ in $(seq 100); do
      [ -s "$state/xvfb.displayfd" ] && break
      sleep 0.1
    done
    number=$(tr -d '\n' <"$state/xvfb.displayfd")
    [ -n "$number" ] || { echo "Xvfb did not start"; cat "$state/xvfb.log"; exit 1; }
    echo ":$number" >"$state/display"
    echo "Xvfb running on :$number (pid $(cat "$state/xvfb.pid"))"
    ;;
  stop)
    if [ -f "$state/xvfb.pid" ]; then
      kill "$(cat "$state/xvfb.pid")" 2>/dev/null || true
      rm -f "$state/xvfb.pid" "$state/display" "$state/xvfb.displayfd"
      rm -rf "$state/xvfb"
    fi
    ;;
  *) echo "usage: xvfb.sh start|stop" >&2; exit 2 ;;
esac
