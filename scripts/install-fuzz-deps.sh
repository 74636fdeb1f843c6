#!/usr/bin/env bash
# Installs Debian's clang (with libFuzzer and the sanitizer runtimes) when it is missing.
set -euo pipefail
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
  > "$probe/probe.cpp"
if command -v clang++ >/dev/null &&
   clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" 2>/dev/null; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "clang with libFuzzer is missing (install Debian's clang as root)" >&2
  exit 1
fi
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang
