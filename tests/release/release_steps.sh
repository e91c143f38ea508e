#!/usr/bin/env bash
# The release steps of tools/publish/README.md, run as they stand: every ```sh block of the
# file in order, in one shell, from the root of a copy of the sources, with only the
# placeholders /path/ (a scratch folder) and http://tsa.example/ (the test service's
# time-stamp authority) substituted. Between the steps it does what the file leaves to the
# release engineer (the code-signing certificates a CA would issue, the upload) and
# installs under Wine with each installer the steps build, against the test release
# service answering for kestravon.com: the first release, the weekly re-sign, a key
# rotation (installers that know only the old key and only the new key both install
# during the overlap), two of three keys (a one-key signature is refused), and a CA key
# rollover (a setup from the second issuer installs). A block that fails stops the run
# and names its line in the file.
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

# The ```sh blocks, each into blocks/N.sh with its first line's number in lines[N].
mkdir -p "$work/blocks"
python3 - "$readme" "$work/blocks" <<'PY'
import pathlib, re, sys
lines = pathlib.Path(sys.argv[1]).read_text().split("\n")
out = pathlib.Path(sys.argv[2])
index, block, indent = [], None, 0
for number, line in enumerate(lines, 1):
    if block is None:
        fence = re.fullmatch(r"( *)```sh", line)
        if fence:
            indent, block = len(fence.group(1)), []
            index.append(str(number + 1))
    elif line.strip() == "```":
        (out / f"{len(index)}.sh").write_text("\n".join(block) + "\n")
        block = None
    else:
        block.append(line[indent:])
(out / "lines").write_text(" ".join(index) + "\n")
PY
read -r -a lines <"$work/blocks/lines"
lines=(0 "${lines[@]}")  # blocks count from 1
# The run below knows the file's blocks by their place: a block more or less must be
# placed in it first.
if [ "${#lines[@]}" -ne 14 ]; then
  echo "FAIL: tools/publish/README.md has $((${#lines[@]} - 1)) sh blocks, this run knows 13" >&2
  exit 1
fi

# The copy the steps run in, and what a CA would have issued: a code-signing certificate
# from the first CA (codesign-ca.crt) and, for the rollover, one from the second
# (codesign-ca-2.crt), both for the same publisher.
clone=$work/kestravon
"$source_dir/tests/release/copy-sources.sh" "$source_dir" "$clone"
path=$work/path
mkdir -p "$path"
# The blocks run in this shell: the names here keep clear of theirs (publisher, issuer, holder).
signer="Kestravon Release Steps Publisher"
make_code_ca() {  # suffix
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -keyout "$path/codesign-ca$1.key" \
    -out "$path/codesign-ca$1.crt" -subj "/CN=Kestravon Release Steps Code CA$1" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  openssl req -new -newkey rsa:2048 -nodes -sha256 -keyout "$path/codesign$1.key" -out "$work/codesign$1.csr" \
    -subj "/CN=$signer" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >"$work/codesign.ext"
  openssl x509 -req -in "$work/codesign$1.csr" -CA "$path/codesign-ca$1.crt" -CAkey "$path/codesign-ca$1.key" \
    -CAcreateserial -CAserial "$work/ca.srl" -days 30 -sha256 -extfile "$work/codesign.ext" \
    -out "$path/codesign$1.crt" 2>/dev/null
  cat "$path/codesign$1.crt" "$path/codesign-ca$1.crt" >"$path/codesign$1-chain.pem"
}
make_code_ca ""
make_code_ca "-2"
cp "$build/standins/kestravon-setup.exe" "$clone/KestravonSetup-1.2.3-unsigned.exe"
# The system's bundle, as osslsigncode reads it, trusts these CAs and the time-stamp
# authority's, here only: this is a mount namespace of its own.
cat /etc/ssl/certs/ca-certificates.crt "$certs/ca.pem" "$path/codesign-ca.crt" "$path/codesign-ca-2.crt" \
  >"$work/bundle.pem"
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
    fail "the installer $name should have $verdict${sentence:+ with \"$sentence\"}:" \
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
