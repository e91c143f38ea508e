#!/usr/bin/env bash
# Runs one command inside private network, mount and pid namespaces where the test
# release service listens on loopback and kestravon.test, www.kestravon.test, evil.test and
# the release host kestravon.com (for the release steps, tests/release/release_steps.sh)
# resolve to 127.0.0.1. Returns the command's exit code.
#
# usage: netns-run.sh [--service-dir DIR] [--xvfb DIR] [--small-temp MIB] [--verbose] command [args...]
#   --service-dir DIR  serve DIR (manifest.json, files/); default: a fresh folder
#                      under $KESTRAVON_HARNESS_STATE, removed afterwards
#   --xvfb DIR         the command uses the Xvfb that xvfb.sh runs with state DIR: its
#                      socket folder is /tmp/.X11-unix inside; default
#                      $KESTRAVON_HARNESS_STATE; empty: keep the host's /tmp/.X11-unix
#   --small-temp MIB   a tmpfs of MIB MiB over the prefix's temporary folder; the
#                      command sees KESTRAVON_SMALL_TEMP_MIB
#   --verbose          the service logs each request to stderr
# The command sees KESTRAVON_SERVICE_DIR (host path; Windows path: Z: + backslashes).
# Ports: 443 and 8443 (certificate from the test CA), 9443 (certificate from an
# untrusted CA), 80 (plain HTTP), 9444 (never accepts). See tests/harness/README.md.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
state=${KESTRAVON_HARNESS_STATE:?KESTRAVON_HARNESS_STATE is not set (run through ctest, or export it)}

if [ "${KESTRAVON_NETNS_INNER:-}" != 1 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "netns-run.sh: needs root for unshare --net --mount" >&2
    exit 1
  fi
  service_dir="" verbose=0 xvfb_state=$state small_temp=""
  while [ $# -gt 0 ]; do
    case "$1" in
      --service-dir) service_dir=$2; shift 2 ;;
      --xvfb) xvfb_state=$2; shift 2 ;;
      --small-temp) small_temp=$2; shift 2 ;;
      --verbose) verbose=1; shift ;;
      --) shift; break ;;
      *) break ;;
    esac
  done
  [ $# -gt 0 ] || { echo "usage: netns-run.sh [--service-dir DIR] [--xvfb DIR] [--small-temp MIB] [--verbose] command..." >&2; exit 2; }
  case $small_temp in
    '' | [1-9] | [1-9][0-9]) ;;
    *) echo "netns-run.sh: --small-temp takes 1..99 (MiB)" >&2; exit 2 ;;
  esac
  mkdir -p "$state"
  bash "$here/make-certs.sh" >/dev/null
  if [ -n "$service_dir" ]; then
    mkdir -p "$service_dir"
    KESTRAVON_SERVICE_DIR=$(cd "$service_dir" && pwd)
    KESTRAVON_NETNS_OWN_DIR=0
  else
    KESTRAVON_SERVICE_DIR=$(mktemp -d "$state/service.XXXXXX")
    KESTRAVON_NETNS_OWN_DIR=1
  fi
  export KESTRAVON_SERVICE_DIR KESTRAVON_NETNS_OWN_DIR KESTRAVON_NETNS_VERBOSE=$verbose
  export KESTRAVON_NETNS_XVFB=$xvfb_state KESTRAVON_NETNS_SMALL_TEMP=$small_temp
  # The pid namespace makes sure nothing started inside (service, wineserver)
  # outlives the run.
  KESTRAVON_NETNS_INNER=1 exec unshare --net --mount --pid --fork --mount-proc --kill-child \
    "$0" "$@"
fi

# Inside the namespaces from here on.
unset KESTRAVON_NETNS_INNER
run=$(mktemp -d "$state/netns.XXXXXX")
service_pid=""
cleanup() {
  if [ -n "$service_pid" ]; then
    kill "$service_pid" 2>/dev/null || true
    wait "$service_pid" 2>/dev/null || true
  fi
  if [ -n "${WINEPREFIX_FOR_RUN:-}" ]; then
    WINEPREFIX=$WINEPREFIX_FOR_RUN wineserver -k 2>/dev/null || true
  fi
  umount -l "$state/wineprefix" 2>/dev/null || true
  rm -rf "$run"
  if [ "$KESTRAVON_NETNS_OWN_DIR" = 1 ]; then rm -rf "$KESTRAVON_SERVICE_DIR"; fi
}
trap cleanup EXIT

ip link set lo up
cat >"$run/hosts" <<EOF
127.0.0.1 localhost
::1 localhost
127.0.0.1 kestravon.test www.kestravon.test evil.test
127.0.0.1 kestravon.com www.kestravon.com
EOF
mount --bind "$run/hosts" /etc/hosts

# Wine creates sockets in wineserver, so the server must live in this network
# namespace: hide any wineserver running outside behind a private socket folder,
# and give this run a copy-on-write view of the prefix so two servers never write
# the same registry files.
wine_sockets=/tmp/.wine-$(id -u)
mkdir -p "$wine_sockets" && chmod 700 "$wine_sockets"
mount -t tmpfs -o mode=0700 tmpfs "$wine_sockets"
if [ -d "$state/wineprefix" ]; then
  mkdir -p "$run/upper" "$run/work"
  mount -t overlay overlay -o "lowerdir=$state/wineprefix,upperdir=$run/upper,workdir=$run/work" \
    "$state/wineprefix"
  WINEPREFIX_FOR_RUN=$state/wineprefix
fi

# The harness's Xvfb keeps its socket in its state folder (xvfb.sh); this network
# namespace has no abstract sockets, so clients look for the socket file.
if [ -n "$KESTRAVON_NETNS_XVFB" ] && [ -f "$KESTRAVON_NETNS_XVFB/display" ] &&
   [ -d "$KESTRAVON_NETNS_XVFB/xvfb/.X11-unix" ]; then
  mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
  mount --bind "$KESTRAVON_NETNS_XVFB/xvfb/.X11-unix" /tmp/.X11-unix
fi

# A full disk, for real: the prefix's temporary folder (TEMP in user.reg) on a small tmpfs.
if [ -n "$KESTRAVON_NETNS_SMALL_TEMP" ]; then
  temp=$(sed -n '/^\[Environment\]/,/^\[/s/^"TEMP"="[Cc]:\(.*\)"$/\1/p' "$state/wineprefix/user.reg" 2>/dev/null || true)
  if [ -z "${WINEPREFIX_FOR_RUN:-}" ] || [ -z "$temp" ]; then
    echo "netns-run.sh: --small-temp needs the prepared prefix (harness.prefix) with TEMP on C:" >&2
    exit 1
  fi
  temp=$state/wineprefix/drive_c${temp//\\\\//}
  mkdir -p "$temp"
  mount -t tmpfs -o "size=${KESTRAVON_NETNS_SMALL_TEMP}m,mode=0755" tmpfs "$temp"
  export KESTRAVON_SMALL_TEMP_MIB=$KESTRAVON_NETNS_SMALL_TEMP
fi

service_args=(--dir "$KESTRAVON_SERVICE_DIR" --certs "$state/certs"
  --https 443 --https 8443 --https 9443:rogue --http 80 --stall 9444 --ready "$run/ready")
[ "$KESTRAVON_NETNS_VERBOSE" = 1 ] && service_args+=(--verbose)
python3 "$source_dir/tests/service/release_service.py" "${service_args[@]}" 2>"$run/service.log" &
service_pid=$!
for _ in $(seq 200); do
  [ -s "$run/ready" ] && break
  kill -0 "$service_pid" 2>/dev/null || break
  sleep 0.05
done
if [ ! -s "$run/ready" ]; then
  echo "netns-run.sh: the test release service did not start:" >&2
  cat "$run/service.log" >&2
  exit 1
fi
if [ "$KESTRAVON_NETNS_VERBOSE" = 1 ]; then
  tail -f "$run/service.log" >&2 &
fi

set +e
"$@"
rc=$?
set -e
exit "$rc"
