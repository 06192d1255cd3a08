#!/usr/bin/env bash
# Builds the libFuzzer targets with clang twice, in build directories of their own:
# fast (UndefinedBehaviorSanitizer only; preset fuzz-fast) and full (AddressSanitizer
# and UndefinedBehaviorSanitizer; preset fuzz). Each target runs SECONDS seconds on
# its corpus in the fast build, then every input of its corpus (what the run kept,
# the seeds and the repository's corpus) runs once through the full build, so a
# memory error on any input the fuzzer found is caught there. The rate reported is
# the fast run's.
#
#   scripts/fuzz.sh SECONDS [target...]
#   scripts/fuzz.sh --campaign TARGET HOURS [RUNS]
#
# A campaign runs one target for HOURS hours (or until RUNS executions), keeping
# its corpus in BUILD/corpus/TARGET across campaigns, then minimises that corpus
# together with the repository's seed corpus fuzz/corpus/TARGET into the latter
# (libFuzzer's -merge=1): commit what it leaves there.
#
# Targets: print_stream_fuzz preview_page_fuzz copy_lines_fuzz settings_load_fuzz
# int_conv_fuzz job_copy_fuzz dos_path_fuzz escp_fuzz (all when none is named).
#
# The seed corpora come from samples/*.txt and, when it is beside the project,
# ../shared/realdata/; they are assembled under the build directory, never in the
# repository. Each target keeps its growing corpus in BUILD/corpus/TARGET, so later
# runs go on from earlier ones. A finding is saved as BUILD/artifacts/TARGET/crash-*
# (or leak-*, timeout-*, oom-*); the script then exits 1.
#
# Environment: NORVEXA_FUZZ_BUILD_DIR (default build/fuzz; the fast build goes beside
# it with "-fast" appended), CC/CXX (default clang,
# clang++), NORVEXA_FUZZ_PARALLEL (targets run at once, default 1), NORVEXA_FUZZ_NICE
# (nice level for the runs, default 0), NORVEXA_JOBS (build jobs, default nproc).
set -euo pipefail

# The whole script is one function, read before it runs, so that editing this file
# while a long run goes on cannot change the running script.
main() {

usage() {
  echo "usage: scripts/fuzz.sh SECONDS [target...]" >&2
  echo "       scripts/fuzz.sh --campaign TARGET HOURS [RUNS]" >&2
  exit 2
}
campaign=0
runs=""
if [ "${1:-}" = "--campaign" ]; then
  [ $# -ge 3 ] && [[ "$3" =~ ^[0-9]+$ ]] || usage
  campaign=1
  seconds=$(( $3 * 3600 ))
  [ $# -lt 4 ] || { [[ "$4" =~ ^[0-9]+$ ]] || usage; runs=$4; }
  set -- "$2"
else
  [ $# -ge 1 ] && [[ "$1" =~ ^[0-9]+$ ]] || usage
  seconds=$1
  shift
fi

top=$(cd "$(dirname "$0")/.." && pwd)
build="${NORVEXA_FUZZ_BUILD_DIR:-$top/build/fuzz}"
fast="$build-fast"
parallel="${NORVEXA_FUZZ_PARALLEL:-1}"
nicelevel="${NORVEXA_FUZZ_NICE:-0}"
jobs="${NORVEXA_JOBS:-$(nproc)}"
all=(print_stream_fuzz preview_page_fuzz copy_lines_fuzz settings_load_fuzz int_conv_fuzz
     job_copy_fuzz dos_path_fuzz escp_fuzz)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

# Longest input per target: the rendering and copy targets take whole jobs, the
# settings file is one record, a box text is short. An ESC/P command is a few bytes
# and a kilobyte holds hundreds of them: longer inputs only slow the run (measured:
# 12,000 executions/s at 4096 against 51,000/s at 1024, with more coverage).
max_len() {
  case "$1" in
    escp_fuzz) echo 1024 ;;
    settings_load_fuzz) echo 64 ;;
    int_conv_fuzz) echo 64 ;;
    dos_path_fuzz) echo 256 ;;
    *) echo 4096 ;;
  esac
}

cc="${CC:-clang}"
cxx="${CXX:-clang++}"
command -v "$cxx" >/dev/null || { echo "fuzz.sh: $cxx not found (install clang)" >&2; exit 1; }

# The fuzz preset; warnings are not fatal there: the ci and core presets hold the
# code to -Werror, and a new compiler's warning must not stop the fuzzing.
(cd "$top" && cmake --preset fuzz -B "$build" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx") >/dev/null
(cd "$top" && cmake --preset fuzz-fast -B "$fast" -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx") >/dev/null
cmake --build "$build" -j"$jobs" --target norvexa_fuzz_seeds "${targets[@]}"
cmake --build "$fast" -j"$jobs" --target "${targets[@]}"

# Seed corpora, made afresh from the job files.
seeds="$build/seeds"
rm -rf "$seeds"
sources=()
for f in "$top"/samples/*.txt; do [ -f "$f" ] && sources+=("$f"); done
shared="${NORVEXA_SHARED_DIR:-$top/../shared}"
if [ -d "$shared/realdata" ]; then
  for f in "$shared"/realdata/*; do
    [ -f "$f" ] && [ "$(basename "$f")" != SOURCES.md ] && sources+=("$f")
  done
fi
"$build/fuzz/norvexa_fuzz_seeds" "$seeds" "${sources[@]}"

# Fresh allocations are not filled (ASan cannot see uninitialised reads anyway) and
# the quarantine of freed memory is kept small: a run's allocations live for one
# input, so use after free is still caught, without touching new pages all the time.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1:max_malloc_fill_size=0:quarantine_size_mb=16}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

run_one() {
  local t=$1
  local corpus="$build/corpus/$t" artifacts="$build/artifacts/$t" log="$build/logs/$t.log"
  mkdir -p "$corpus" "$artifacts" "$build/logs"
  local status=0 started=$SECONDS
  local kept="$top/fuzz/corpus/$t"  # the repository's minimised corpus, read only here
  local extra=()
  [ -d "$kept" ] && extra+=("$kept")
  nice -n "$nicelevel" "$fast/fuzz/$t" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
    ${runs:+-runs="$runs"} -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$corpus" "$seeds/$t" "${extra[@]}" >"$log" 2>&1 || status=$?
  local execs speed cov fuzzed=$((SECONDS - started)) replayed=""
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cov=$(grep -E '^#[0-9]+' "$log" | tail -1 | sed -n 's/.*\(cov: [0-9]*\).*\(ft: [0-9]*\).*\(corp: [^ ]*\).*/\1 \2 \3/p')
  if [ "$status" -eq 0 ]; then
    # Every input once through the full build (no mutation, nothing written).
    nice -n "$nicelevel" "$build/fuzz/$t" -runs=0 -max_len="$(max_len "$t")" -timeout=20 \
      -rss_limit_mb=2048 -artifact_prefix="$artifacts/" "$corpus" "$seeds/$t" "${extra[@]}" \
      >"$log.asan" 2>&1 || status=$?
    replayed=$(find "$corpus" "$seeds/$t" "${extra[@]}" -type f | wc -l)
    [ "$status" -eq 0 ] || log="$log.asan"
  fi
  if [ "$status" -eq 0 ]; then
    echo "$t: ${execs:-?} executions in $fuzzed s (${speed:-?}/s), $cov; $replayed inputs replayed with AddressSanitizer in $((SECONDS - started - fuzzed)) s"
  else
    echo "$t: FAILED (exit $status) after ${execs:-?} executions, see $log" >&2
    ls "$artifacts" >&2 || true
    grep -m1 -E 'ERROR:|runtime error|invariant broken' "$log" >&2 || true
  fi
  return "$status"
}

# The campaign's corpus, minimised into the repository's seed corpus.
minimise() {
  local t=$1 kept="$top/fuzz/corpus/$1" fresh
  fresh=$(mktemp -d)
  mkdir -p "$kept"
  "$build/fuzz/$t" -merge=1 -max_len="$(max_len "$t")" "$fresh" "$kept" "$build/corpus/$t" \
    >"$build/logs/$t.merge.log" 2>&1
  rm -rf "$kept"
  mv "$fresh" "$kept"
  chmod 755 "$kept"
  echo "$t: minimised corpus of $(find "$kept" -type f | wc -l) inputs in fuzz/corpus/$t"
}

if [ "$campaign" = 1 ]; then
  run_one "$1" || return 1
  minimise "$1"
  return 0
fi

failed=0
running=0
pids=()
for t in "${targets[@]}"; do
  run_one "$t" &
  pids+=($!)
  running=$((running + 1))
  if [ "$running" -ge "$parallel" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
return "$failed"
}

main "$@"
exit $?
