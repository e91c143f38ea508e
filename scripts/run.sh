#!/usr/bin/env bash
# Builds the installer for a local demo release service and starts it: a release build
# pinned to two demo release keys that must both sign and a demo publisher, against a
# signed demo release.
#
# Needs root (private network namespace). With a DISPLAY the window appears there and
# the script returns the installer's exit code once you close it. Without one it
# starts its own Xvfb, presses "Install Kestravon" and "Done" itself, saves a
# screenshot of each screen it sees under build/demo/ and exits 0 only when the
# installation succeeded, the installer exited 0 and the demo app was started.
#
# The release service, the names kestravon.test and the test CA exist only inside
# the namespace and the build tree's Wine prefix; nothing on the host changes. Two demo
# release keys, a demo code-signing CA and the publisher's certificate from it are made on
# the first run and kept in build/demo-trust (throwaway: no machine trusts the CA, which
# Wine 8 accepts and Windows would not). The release follows tools/publish/README.md: the
# setup is signed and time-stamped by the test service's authority, the manifest carries a
# serial and an expiry and is signed by one key holder, then by the other (--cosign), as a
# threshold of two needs, and the release folder is checked before it is served.
# The installation goes into the default folder of a copy-on-write view of that
# prefix, so it vanishes when the run ends: what is checked is read before that.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=$source_dir/build/windows-test
release=$source_dir/build/demo-release
shots=$source_dir/build/demo
trust=$source_dir/build/demo-trust
pinned=$source_dir/build/demo-installer
publisher="Kestravon Demo Publisher"

# Where the window paints, read from its own headers: the centre of a rectangle of
# app/layout.h as "x y", a colour of app/palette.h as "r,g,b".
centre_of() {
  local rect='\([0-9]*\), \([0-9]*\), \([0-9]*\), \([0-9]*\)'
  sed -n "s/^constexpr RECT $1{$rect};.*/\1 \2 \3 \4/p" "$source_dir/app/layout.h" |
    { read -r l t r b && echo $(((l + r) / 2)) $(((t + b) / 2)); }
}
colour_of() {
  sed -n "s/^constexpr COLORREF $1 = RGB(\([0-9]*\), \([0-9]*\), \([0-9]*\));.*/\1,\2,\3/p" "$source_dir/app/palette.h"
}

# Grey of the busy main button, accent of the idle one (and of the option box), the location box.
busy_button=$(colour_of BusyButtonColour)
accent=$(colour_of AccentColour)
location_box=$(colour_of LocationBoxColour)

# The RGB triple at (x, y) of a PNG, as "r,g,b".
pixel() {
  convert "$1" -format '%[fx:int(255*p{'"$2,$3"'}.r)],%[fx:int(255*p{'"$2,$3"'}.g)],%[fx:int(255*p{'"$2,$3"'}.b)]' info:
}

# Which screen a 560 x 380 shot shows: installing, success, or location (idle or failure).
screen_of() {
  local button box option
  button=$(pixel "$1" 60 305)
  box=$(pixel "$1" 47 241)
  option=$(pixel "$1" 52 233)
  if [ "$button" = "$busy_button" ]; then echo installing
  elif [ "$button" = "$accent" ] && [ "$box" = "$location_box" ]; then echo location
  elif [ "$button" = "$accent" ] && [ "$option" = "$accent" ]; then echo success
  else echo unknown
  fi
}

# Headless part, inside netns-run.sh: drive the installer on our own Xvfb.
drive_installer() {
  local installer=$1 app_dir=$2 pid window x y
  wine "$installer" &
  pid=$!
  window=""
  for _ in $(seq 150); do
    window=$(xdotool search --onlyvisible --name '^Kestravon Installer$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    echo "run.sh: the installer window did not appear" >&2
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  eval "$(xdotool getwindowgeometry --shell "$window")"
  x=$X y=$Y
  shoot() { import -window root -crop "560x380+$x+$y" +repage "$1"; }
  click() { local cx cy; read -r cx cy < <(centre_of "$1"); xdotool mousemove $((x + cx)) $((y + cy)) click 1; }

  sleep 1  # the first paint
  shoot "$shots/idle.png"
  [ "$(screen_of "$shots/idle.png")" = location ] || echo "run.sh: the idle screen looks wrong" >&2
  click MainButtonRect

  # Poll until the installation has left the idle screen and come to an end.
  local outcome="" seen_installing=0 frame="$shots/frame.png"
  for _ in $(seq 600); do
    shoot "$frame"
    case "$(screen_of "$frame")" in
      installing) cp "$frame" "$shots/installing.png"; seen_installing=1 ;;  # the latest one
      success) outcome=success; cp "$frame" "$shots/success.png"; break ;;
      location)
        # Same layout as idle: a failure once the headline differs from the idle shot.
        if ! compare -metric AE -crop 480x39+40+104 "$shots/idle.png" "$frame" null: 2>/dev/null; then
          outcome=failure; cp "$frame" "$shots/failure.png"; break
        fi ;;
    esac
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  rm -f "$frame"
  [ "$seen_installing" = 1 ] || echo "run.sh: no installing screen caught (it was quick)"

  if [ "$outcome" != success ]; then
    echo "run.sh: the installation did not succeed (${outcome:-no outcome within two minutes})" >&2
    click CloseButtonRect
    wait "$pid" || true
    return 1
  fi
  click MainButtonRect  # "Done", option on
  local rc=0
  wait "$pid" || rc=$?
  for _ in $(seq 100); do
    [ -f "$app_dir/launched.txt" ] && break
    sleep 0.1
  done
  if [ "$rc" -ne 0 ]; then
    echo "run.sh: the installer exited with $rc" >&2
    return 1
  fi
  [ -f "$app_dir/launched.txt" ] || { echo "run.sh: \"Done\" did not start the demo app" >&2; return 1; }
  return 0
}

if [ "${1:-}" = --inside ]; then
  # Inside the private namespaces: the service runs, kestravon.test is loopback.
  export WINEPREFIX=$KESTRAVON_HARNESS_STATE/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  installer=$pinned/app/KestravonInstaller.exe
  app_dir=$(find "$WINEPREFIX/drive_c/users" -maxdepth 1 -mindepth 1 -type d ! -name Public | head -n 1)/AppData/Roaming/Kestravon
  rm -f "$app_dir/launched.txt"
  rc=0
  if [ -n "${KESTRAVON_DEMO_HEADLESS:-}" ]; then
    drive_installer "$installer" "$app_dir" || rc=$?
  else
    wine "$installer" || rc=$?
  fi
  if [ -f "$app_dir/launched.txt" ]; then
    echo "The demo app was started:"
    iconv -f UTF-16LE -t UTF-8 "$app_dir/launched.txt" | tr -d '\r' | sed 's/^/    /'
  fi
  echo "What the installer fetched:"
  sed -n 's/.*"path": "\([^"]*\)".*/    \1/p' "$KESTRAVON_SERVICE_DIR/requests.jsonl" 2>/dev/null || true
  exit "$rc"
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "run.sh: run this as root (the demo release service lives in a private network namespace)" >&2
  exit 1
fi
scripts/install-deps.sh
jobs=$(nproc)

# Once: the demo's release key pair, its code-signing CA and the publisher's certificate
# from that CA, kept for later runs (tools/publish/README.md, steps 1 and 2).
if [ ! -f "$trust/codesign.chain.pem" ]; then
  rm -rf "$trust"
  mkdir -p "$trust"
  (umask 077 && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$trust/release-key.pem")
  openssl pkey -in "$trust/release-key.pem" -pubout -out "$trust/release-key.pub.pem"
  (umask 077 && openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$trust/ca.key" \
    -out "$trust/ca.crt" -subj "/CN=Kestravon Demo Code CA" -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null)
  (umask 077 && openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout "$trust/codesign.key" \
    -out "$trust/codesign.csr" -subj "/CN=$publisher" 2>/dev/null)
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$trust/codesign.ext"
  openssl x509 -req -in "$trust/codesign.csr" -CA "$trust/ca.crt" -CAkey "$trust/ca.key" \
    -CAserial "$trust/ca.srl" -CAcreateserial -days 3650 -sha256 -extfile "$trust/codesign.ext" \
    -out "$trust/codesign.crt" 2>/dev/null
  cat "$trust/codesign.crt" "$trust/ca.crt" >"$trust/codesign.chain.tmp"
  mv "$trust/codesign.chain.tmp" "$trust/codesign.chain.pem"
  echo "Made the demo release key, code-signing CA and certificate in $trust"
fi
# Once, also in a folder of an earlier demo: the second key holder's key.
if [ ! -f "$trust/release-key-2.pub.pem" ]; then
  (umask 077 && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$trust/release-key-2.pem")
  openssl pkey -in "$trust/release-key-2.pem" -pubout -out "$trust/release-key-2.pub.pem"
fi
cat "$trust/release-key.pub.pem" "$trust/release-key-2.pub.pem" >"$trust/release-keys.pem"
# The issuer pin: SHA-256 of the CA's SubjectPublicKeyInfo (tools/publish/README.md, step 7).
issuer_key=$(openssl x509 -in "$trust/ca.crt" -noout -pubkey | openssl pkey -pubin -outform DER |
  openssl dgst -sha256 -r | cut -d' ' -f1)
serial=1

cmake --preset windows-test >/dev/null
cmake --build --preset windows-test -j "$jobs" --target kestravon_standins trust_ca
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs" --target kestravon-publish
# The installer as released (the windows preset), for the demo host, needing both keys'
# signatures (tools/publish/README.md, step 10) and pinned to the publisher and its CA.
cmake --preset windows -B "$pinned" -DKESTRAVON_SERVICE_HOST=kestravon.test \
  -DKESTRAVON_RELEASE_KEY="$trust/release-keys.pem" -DKESTRAVON_RELEASE_THRESHOLD=2 \
  -DKESTRAVON_MIN_RELEASE_SERIAL=$serial \
  -DKESTRAVON_SETUP_PUBLISHER="$publisher" -DKESTRAVON_SETUP_ISSUER_KEYS="$issuer_key" >/dev/null
cmake --build "$pinned" -j "$jobs" --target KestravonInstaller

export KESTRAVON_HARNESS_STATE=$build/harness KESTRAVON_BUILD_DIR=$build KESTRAVON_SOURCE_DIR=$source_dir
tests/harness/prepare-prefix.sh

# The demo release: the NSIS demo setup signed by the demo publisher and time-stamped by
# the test service's authority (which only answers inside the namespace), the manifest that
# names it with its serial, expiry and the two key holders' signatures, and the folder
# checked as the pinned installer will read it (tools/publish/README.md, steps 2, 4, 5, 10).
rm -rf "$release"
mkdir -p "$release/files"
tests/harness/netns-run.sh bash -c 'cat "$1" "$KESTRAVON_HARNESS_STATE/certs/ca.pem" >"$2.ca" &&
  tools/publish/sign.sh --cert "$3" --key "$4" --ca "$2.ca" --timestamp http://kestravon.test/t/tsa \
    --name "Kestravon Setup" "$5" "$2"; rc=$?; rm -f "$2.ca"; exit $rc' sign "$trust/ca.crt" \
  "$release/files/KestravonSetup.exe" "$trust/codesign.chain.pem" "$trust/codesign.key" \
  "$build/standins/kestravon-setup.exe"
build/native/tools/publish/kestravon-publish --url https://kestravon.test/files/KestravonSetup.exe \
  --version 1.0.0 --setup "$release/files/KestravonSetup.exe" --out "$release/manifest.json" \
  --serial $serial --expires-in 14 --sign-key "$trust/release-key.pem"
build/native/tools/publish/kestravon-publish --cosign "$release/manifest.json" --sign-key "$trust/release-key-2.pem"
build/native/tools/publish/kestravon-publish --check "$release" --public-key "$trust/release-keys.pem" \
  --threshold 2 --min-serial $serial
echo "Installer pinned to both keys of $trust/release-keys.pem (serial $serial or later) and \"$publisher\" from the"
echo "demo CA ($issuer_key): $pinned/app/KestravonInstaller.exe"

xvfb_state=""
if [ -z "${DISPLAY:-}" ]; then
  # Our own Xvfb (own state folder), so the tests' shared display is never touched.
  xvfb_state=$shots/xvfb
  KESTRAVON_HARNESS_STATE=$xvfb_state tests/harness/xvfb.sh stop  # left by an interrupted run
  rm -rf "$shots"
  mkdir -p "$shots"
  KESTRAVON_HARNESS_STATE=$xvfb_state tests/harness/xvfb.sh start >/dev/null
  trap 'KESTRAVON_HARNESS_STATE=$xvfb_state tests/harness/xvfb.sh stop' EXIT
  DISPLAY=$(cat "$xvfb_state/display")
  export DISPLAY KESTRAVON_DEMO_HEADLESS=1
  echo "No DISPLAY: driving the installer on Xvfb $DISPLAY"
else
  echo "Starting the installer on $DISPLAY: press \"Install Kestravon\"."
fi

rc=0
# Inside, /tmp/.X11-unix is our Xvfb's socket folder, or the host's for another DISPLAY.
tests/harness/netns-run.sh --service-dir "$release" --xvfb "$xvfb_state" "$0" --inside || rc=$?
if [ -n "$xvfb_state" ]; then
  echo "Screenshots:"
  for name in idle installing success failure; do
    [ -f "$shots/$name.png" ] && echo "    $shots/$name.png"
  done
  if [ "$rc" -eq 0 ]; then echo "The demo installation succeeded."; else echo "The demo installation failed." >&2; fi
fi
exit "$rc"
