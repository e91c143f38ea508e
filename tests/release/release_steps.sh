#!/usr/bin/env bash
# tools/publish/README.md run as it stands: every ```sh block in order, in one shell, in a
# copy of the sources, with only /path/ and http://tsa.example/ substituted, against the
# test release service answering for kestravon.com. Between blocks it uploads and installs
# under Wine with the installers the blocks build. A failing block names its line.
# usage (inside tests/harness/netns-run.sh): release_steps.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1 build=$2
readme=$source_dir/tools/publish/README.md
certs=${KESTRAVON_HARNESS_STATE:?run through ctest}/certs
service=${KESTRAVON_SERVICE_DIR:?run through tests/harness/netns-run.sh}
work=$(mktemp -d /tmp/kestravon-steps.XXXXXX)
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Where a failing block stopped, for the EXIT trap; the ERR trap fires first.
in_block="" block_line=0 failed_line=0
set -E
trap 'failed_line=$LINENO' ERR
finish() {
  local status=$?
  if [ -n "$in_block" ]; then
    echo "FAIL: the command ending at tools/publish/README.md line $((block_line + failed_line - 1))" \
      "(the block from line $block_line) failed; its output ends:" >&2
    tail -n 25 "$work/steps.log" >&2
    status=1
  fi
  umount /etc/ssl/certs/ca-certificates.crt 2>/dev/null
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT

# The ```sh blocks, each into blocks/N.sh, its first line's number in lines[N].
mkdir -p "$work/blocks"
read -r -a lines < <(awk -v dir="$work/blocks" '
  !in_block && /^ *```sh$/ { in_block = 1; indent = index($0, "`"); n++; starts = starts " " NR + 1; next }
  in_block && /^ *```$/ { in_block = 0; close(dir "/" n ".sh"); next }
  in_block { print substr($0, indent) >(dir "/" n ".sh") }
  END { print 0 starts }' "$readme")
# The run below knows the blocks by their place: a block more or less must be placed in it.
if [ "${#lines[@]}" -ne 14 ]; then
  echo "FAIL: tools/publish/README.md has $((${#lines[@]} - 1)) sh blocks, this run knows 13" >&2
  exit 1
fi

# The copy the blocks run in, and what CAs would have issued: the test publisher's
# certificates from the test code CA and, for the rollover, from the other one
# (tests/setup/standins/make-test-trust.sh). The blocks run in this shell, so the names
# here keep clear of theirs (publisher, issuer, holder).
clone=$work/kestravon
"$source_dir/tests/release/copy-sources.sh" "$source_dir" "$clone"
path=$work/path trust=$build/test-trust
signer="Kestravon Test Publisher"
mkdir -p "$path"
for pair in :publisher:code-ca -2:other-ca-publisher:other-code-ca; do
  IFS=: read -r suffix cert ca <<<"$pair"
  cp "$trust/$cert.crt" "$path/codesign$suffix.crt"
  cp "$trust/$cert.key" "$path/codesign$suffix.key"
  cp "$trust/$cert.chain.pem" "$path/codesign$suffix-chain.pem"
  cp "$trust/$ca.crt" "$path/codesign-ca$suffix.crt"
done
cp "$build/standins/kestravon-setup.exe" "$clone/KestravonSetup-1.2.3-unsigned.exe"
# The system's bundle, as osslsigncode reads it, trusts these CAs and the time-stamp
# authority's, here only (a mount namespace of its own).
cat /etc/ssl/certs/ca-certificates.crt "$certs/ca.pem" "$path"/codesign-ca*.crt >"$work/bundle.pem"
mount --bind "$work/bundle.pem" /etc/ssl/certs/ca-certificates.crt || { echo "FAIL: no bundle" >&2; exit 1; }

# Runs block N in this shell (its variables stay for the later ones); a failure ends the run.
block() {
  local file=$work/blocks/$1.sh
  sed -i -e "s#/path/#$path/#g" -e "s#http://tsa.example/#http://kestravon.test/t/tsa#g" "$file"
  echo "-- block $1, tools/publish/README.md line ${lines[$1]} (at ${SECONDS} s)" >&2
  block_line=${lines[$1]} in_block=1
  cd "$clone"
  set -e
  # shellcheck disable=SC1090
  source "$file" >>"$work/steps.log" 2>&1
  set +e
  in_block=""
}

# The upload (step 6): the release folder the steps laid out, as the service serves it.
upload() {
  mkdir -p "$service/download"
  cp "$clone/release/download/"* "$service/download/"
  cp "$clone/release/manifest.json.sig" "$service/"
  cp "$clone/release/manifest.json" "$service/"
}

# The signed installer the last build step made, kept as NAME.
keep_installer() {
  mkdir -p "$work/installers" && cp "$clone/build/windows/signed/KestravonInstaller.exe" "$work/installers/$1.exe"
}

windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
# expect NAME installs | expect NAME refuses SENTENCE
expect() {
  local name=$1 verdict=$2 sentence=${3:-}
  local args=("$(windows_path "$work/installers/$name.exe")" "$(windows_path "$build/release-steps-$name.bmp")")
  [ "$verdict" = refuses ] && args+=("$sentence")
  if "$source_dir/tests/harness/wine-run.sh" "$build/tests/release/release_steps_install.exe" "${args[@]}" \
      >"$work/install.log" 2>&1; then
    echo "   the installer $name $verdict" >&2
  else
    fail "expected: the installer $name $verdict${sentence:+ with \"$sentence\"};" \
      "$(tr -d '\r' <"$work/install.log") (window in $build/release-steps-$name.bmp)"
  fi
}
mismatch="Security check failed: release manifest signature did not match."

block 1   # the release key pair
block 2   # the setup, signed and time-stamped
block 3   # the publishing tool
block 4   # the manifest and its signature
block 5   # the release folder, checked
upload
block 6   # the installer pinned to the release key, the publisher and its CA
keep_installer old-key
expect old-key installs
block 7   # the weekly re-sign
upload
expect old-key installs
block 8   # a rotation: the second key, both lines
upload
expect old-key installs
block 9   # an installer with the new key alone, during the overlap
keep_installer new-key
expect new-key installs
block 10  # the old key's line dropped
upload
expect new-key installs
expect old-key refuses "$mismatch"
block 11  # two of three keys: the build; the release still carries one key's line
keep_installer two-of-three
expect two-of-three refuses "$mismatch"
block 12  # two holders sign in turn
upload
expect two-of-three installs
expect new-key installs
block 13  # the CA's second key pinned beside the first
keep_installer rollover
expect rollover installs

# The next setup, signed with a certificate from the CA's second key (step 2's own tool),
# published and signed by two holders as in step 12.
(cd "$clone" && tools/publish/sign.sh --cert "$path/codesign-2-chain.pem" --key "$path/codesign-2.key" \
  --timestamp http://kestravon.test/t/tsa --name "Kestravon Setup" KestravonSetup-1.2.3-unsigned.exe \
  release/download/KestravonSetup-1.2.3.exe &&
  build/publish/tools/publish/kestravon-publish --url https://kestravon.com/download/KestravonSetup-1.2.3.exe \
    --version 1.2.3 --setup release/download/KestravonSetup-1.2.3.exe --serial 13 --out release/manifest.json \
    --sign-key "$path/release-key-2.pem" &&
  build/publish/tools/publish/kestravon-publish --cosign release/manifest.json --sign-key "$path/release-key-c.pem") \
  >>"$work/steps.log" 2>&1 || fail "the setup from the second CA key could not be published"
upload
expect rollover installs
expect two-of-three refuses "Security check failed: installer is not signed by $signer."

[ "$failures" -eq 0 ] && echo "release steps: all blocks ran and every installation went as expected"
exit "$failures"
