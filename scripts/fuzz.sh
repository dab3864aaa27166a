#!/usr/bin/env bash
# Builds the fuzz targets (fuzz/, clang with address and undefined-behaviour
# sanitizers) into build-fuzz/, makes the seed corpora and runs every target.
#
#   scripts/fuzz.sh smoke [TARGET...]          20 s per target (15 s after its corpus
#                                              has grown), one target per core
#   scripts/fuzz.sh long [SECONDS] [TARGET...] default 1800 s per target
#   scripts/fuzz.sh slowest TARGET             replays its corpus, slowest first
#
# Exits non-zero when any target reports a crash, hang, leak, memory blow-up
# or sanitizer error; the input that caused it is kept under
# build-fuzz/findings/TARGET/ and the log under build-fuzz/logs/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ZORVANE_FUZZ_BUILD_DIR:-$root/build-fuzz}
all_targets=(fuzz_probe fuzz_sequence fuzz_sidecar fuzz_reader fuzz_journal fuzz_autotrack fuzz_companion)

# Per-input time limit in seconds. A sequence may announce the largest
# track, ten million frames, whose zeroing alone takes about 2 s of processor
# under the sanitizers.
declare -A timeout=([fuzz_probe]=2 [fuzz_sequence]=8 [fuzz_sidecar]=2 [fuzz_reader]=8 [fuzz_journal]=4 [fuzz_autotrack]=2 [fuzz_companion]=4)
# Memory: no single allocation and no process above 512 MiB.
declare -A rss_limit=([fuzz_probe]=512 [fuzz_sequence]=512 [fuzz_sidecar]=512 [fuzz_reader]=512 [fuzz_journal]=512 [fuzz_autotrack]=512 [fuzz_companion]=512)
# The largest input the fuzzer makes, its seeds and its dictionary.
# Calibration files just past their 16 KiB limit.
declare -A max_len=([fuzz_probe]=65536 [fuzz_sequence]=8192 [fuzz_sidecar]=17408 [fuzz_reader]=65536 [fuzz_journal]=8192 [fuzz_autotrack]=4096 [fuzz_companion]=8192)
declare -A seeds=([fuzz_probe]=probe [fuzz_sequence]=sequence [fuzz_sidecar]=sidecar [fuzz_reader]=reader [fuzz_journal]=journal [fuzz_autotrack]=autotrack [fuzz_companion]=companion)
# The tracker's input is pictures, not a format: no dictionary.
declare -A dict=([fuzz_probe]=probe [fuzz_sequence]=sequence [fuzz_sidecar]=sidecar [fuzz_reader]=probe [fuzz_journal]=journal)

mode=${1:-smoke}
shift || true
case $mode in
  smoke) seconds=20 ;;  # 15 once a target has a grown corpus, see run_target
  long)
    seconds=1800
    if [[ ${1:-} =~ ^[0-9]+$ ]]; then seconds=$1; shift; fi ;;
  slowest) ;;
  *) echo "usage: $0 smoke|long [SECONDS]|slowest [TARGET...]" >&2; exit 2 ;;
esac
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  [ -n "${timeout[$target]:-}" ] || { echo "unknown fuzz target: $target" >&2; exit 2; }
done

cmake -S "$root/fuzz" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
mkdir -p "$build/logs"
if ! cmake --build "$build" --target "${targets[@]}" journal_seeds >"$build/logs/build.log" 2>&1; then
  grep -E 'error|FAILED' "$build/logs/build.log" | head -n 20 >&2
  echo "fuzz build failed, see $build/logs/build.log" >&2
  exit 1
fi
"$root/fuzz/make-corpus.sh" "$build/seeds" "$build/journal_seeds"

# The targets write each input to a scratch file here; a crashing run
# cannot clean up after itself, so the whole folder goes at exit. No dot in
# its path: the probe reads a dotless path whole as its extension.
scratch=$(mktemp -d /dev/shm/zorvane-fuzz-run-XXXXXX 2>/dev/null || mktemp -d /tmp/zorvane-fuzz-run-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch
# A smaller quarantine than the default 256 MiB, and freed pages handed back
# to the system every half second, so that the memory limit measures the
# readers rather than blocks the sanitizer holds back.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=32:allocator_release_to_os_interval_ms=500:detect_leaks=1}

fuzz_options() {
  local target=$1
  local options=(-timeout="${timeout[$target]}" -rss_limit_mb="${rss_limit[$target]}" -malloc_limit_mb=512
                 -max_len="${max_len[$target]}")
  [ -n "${dict[$target]:-}" ] && options+=(-dict="$root/fuzz/${dict[$target]}.dict")
  echo "${options[@]}"
}

stat() {
  sed -n "s/^stat::$1: *//p" "$2" | tail -n 1
}

run_target() {
  local target=$1 corpus=$build/corpus/$1 findings=$build/findings/$1 log=$build/logs/$1.log
  mkdir -p "$corpus" "$findings" "$build/logs"
  local status=0 started=$SECONDS time=$seconds
  # A grown corpus is replayed whole before any new input: after a change
  # that replay is most of what a smoke run is for, so it fuzzes on briefly.
  if [ "$mode" = smoke ] && [ -n "$(find "$corpus" -type f -print -quit)" ]; then
    time=15
  fi
  # shellcheck disable=SC2046
  "$build/$target" $(fuzz_options "$target") -max_total_time="$time" -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" "$build/seeds/${seeds[$target]}" >"$log" 2>&1 || status=$?
  printf '%-14s %s executions in %s s, peak %s MiB, slowest input %s s, corpus %s files\n' \
    "$target" "$(stat number_of_executed_units "$log")" "$((SECONDS - started))" "$(stat peak_rss_mb "$log")" \
    "$(stat slowest_unit_time_sec "$log")" "$(find "$corpus" -type f | wc -l)"
  if [ $status -ne 0 ]; then
    echo "$target: FINDING (exit $status), see $log and $findings/" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -n 5 >&2 || true
    return 1
  fi
}

replay_slowest() {
  local target=$1 corpus=$build/corpus/$1 log=$build/logs/$1-replay.log
  [ -d "$corpus" ] || { echo "no corpus for $target yet" >&2; return 1; }
  # shellcheck disable=SC2046
  find "$corpus" "$build/seeds/${seeds[$target]}" -type f -print0 |
    xargs -0 -n 200 "$build/$target" $(fuzz_options "$target") >"$log" 2>&1
  sed -n 's/^Executed \(.*\) in \([0-9]*\) ms$/\2 ms  \1/p' "$log" | sort -rn | head -n 5
}

if [ "$mode" = slowest ]; then
  for target in "${targets[@]}"; do replay_slowest "$target"; done
  exit 0
fi

# One target per core: each libFuzzer run is a single process.
parallel=${ZORVANE_FUZZ_JOBS:-$(nproc)}
failed=0
running=()
for target in "${targets[@]}"; do
  if [ ${#running[@]} -ge "$parallel" ]; then
    wait "${running[0]}" || failed=1
    running=("${running[@]:1}")
  fi
  run_target "$target" &
  running+=($!)
done
for pid in "${running[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
