#!/usr/bin/env bash
# Runs every fuzz target briefly (10 s each unless FUZZ_SECONDS says otherwise);
# fails when any of them finds something.
set -euo pipefail
cd "$(dirname "$0")/.."

# libFuzzer comes with clang's runtime libraries; nothing else is needed.
fuzzer_runtime() {
  command -v clang++ >/dev/null &&
    [ -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$(uname -m).a" ]
}
if ! fuzzer_runtime; then
  echo "Installing: clang libclang-rt-dev"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends clang libclang-rt-dev >/dev/null
fi

exec bash bench/run_fuzz.sh "${FUZZ_SECONDS:-10}"
