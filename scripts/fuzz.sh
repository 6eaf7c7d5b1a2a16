#!/usr/bin/env bash
# A fuzzing campaign: builds the libFuzzer targets with clang (AddressSanitizer + UBSan),
# runs each for a given time on a corpus kept outside the repository (seeded by the
# replay programs from our own writers), and prints executions, rate, coverage and
# findings per target. Every run is also appended to CORPUS/campaign.tsv, so that runs
# add up over a campaign.
#   fuzz.sh [--time SECONDS] [--corpus DIR] [--build DIR] [--no-build] [TARGET...]
# TARGET is install_dat_fuzzer, archive_fuzzer, mura_fuzzer or kwxml_fuzzer (default:
# all four, one after another). Defaults: 60 seconds, /work/fuzz-corpus, DIR/build.
# Findings land in CORPUS/TARGET-findings/; replay one with build/.../TARGET_replay FILE.
set -euo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(dirname "$here")

seconds=60
corpus=/work/fuzz-corpus
build=
do_build=1
targets=()
while (($#)); do
  case $1 in
    --time) seconds=$2; shift ;;
    --corpus) corpus=$2; shift ;;
    --build) build=$2; shift ;;
    --no-build) do_build=0 ;;
    -h | --help)
      sed -n '2,10p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    -*) echo "fuzz.sh: unknown argument $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
((${#targets[@]})) || targets=(install_dat_fuzzer archive_fuzzer mura_fuzzer kwxml_fuzzer)
build=${build:-$corpus/build}
mkdir -p "$corpus"

if ((do_build)); then
  CC=clang CXX=clang++ cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKORU_SANITIZE=ON -DKORU_LIBFUZZER=ON >/dev/null
  build_targets=()
  for t in "${targets[@]}"; do build_targets+=("$t" "${t}_replay"); done
  nice -n 10 cmake --build "$build" -j2 --target "${build_targets[@]}"
fi

# The last "cov: N ft: M" of a libFuzzer log.
coverage() { grep -o 'cov: [0-9]* ft: [0-9]*' "$1" | tail -1 | awk '{print $2, $4}'; }
stat() { grep -o "stat::$2: *[0-9]*" "$1" | awk '{print $2}'; }

printf '%-20s %12s %9s %7s %8s %9s\n' target executions exec/s cov features findings
for t in "${targets[@]}"; do
  dir=$corpus/$t
  findings=$corpus/$t-findings
  log=$corpus/$t-$(date -u +%Y%m%dT%H%M%S).log
  mkdir -p "$dir" "$findings"
  if [[ -z $(ls -A "$dir") ]]; then "$build/fuzz/${t}_replay" --write-seeds "$dir" >/dev/null; fi
  # A crash ends the run early and is counted below; the campaign goes on with the next
  # target.
  started=$(date +%s)
  nice -n 19 "$build/fuzz/$t" "$dir" -max_len=65536 -malloc_limit_mb=512 -rss_limit_mb=2048 \
    -timeout=10 -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$log" 2>&1 || true
  # The time it really ran: a run ended early (a crash, SIGINT) counts only what it used.
  elapsed=$(($(date +%s) - started))
  execs=$(stat "$log" number_of_executed_units)
  rate=$(stat "$log" average_exec_per_sec)
  read -r cov ft < <(coverage "$log" || true)
  found=$(find "$findings" -type f | wc -l)
  printf '%-20s %12s %9s %7s %8s %9s\n' "$t" "${execs:-?}" "${rate:-?}" "${cov:-?}" "${ft:-?}" "$found"
  printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$(date -u +%FT%TZ)" "$t" "$elapsed" "${execs:-0}" \
    "${rate:-0}" "${cov:-0}" "${ft:-0}" "$found" "$log" >>"$corpus/campaign.tsv"
done
