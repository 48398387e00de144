#!/bin/bash
# Builds the report-extraction fuzzer with clang (libFuzzer, ASan, UBSan) into
# build/fuzz/ and runs it for SECONDS (default 30). Exits non-zero on a finding.
set -euo pipefail
seconds=${1:-30}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=$root/build/fuzz
core=$root/plugin/core
mkdir -p "$out/corpus" "$out/artifacts"

clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$core" "$here/extract_fuzzer.cpp" "$core/report_text.cpp" \
    "$core/automation_error.cpp" -o "$out/extract_fuzzer"

# The corpus grows in build/fuzz from run to run.
exec "$out/extract_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -max_len=4096 -artifact_prefix="$out/artifacts/" -print_final_stats=1 \
    "$out/corpus"
