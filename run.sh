#!/usr/bin/env bash
# Sondrel's one entry point for people and CI.
#   ./run.sh demo   install what is missing, build, generate the demo cabinet and run Sondrel on it
#                   (on Xvfb when there is no display: a scripted demonstration that leaves
#                   out/demo/*.png and an export in out/demo/)
#   ./run.sh test   install what is missing, build, run every test layer
#   ./run.sh build  install and build only
#   ./run.sh bench  build and run the benchmarks (docs/performance.md says which figures they give)
#   ./run.sh fuzz [MINUTES [TARGET...]]  run every fuzz target (or those named) MINUTES (default 10)
#                   each, one after another, and merge what they found into the committed corpora
#                   tests/fuzz/corpus/<name>/
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=$(nproc 2>/dev/null || echo 2)
export WINEPREFIX=$ROOT/build/wineprefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY || true

log() { printf '\n== %s\n' "$*"; }

# ---- installing -------------------------------------------------------------------------------
PACKAGES="g++ cmake make g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 wine wine32:i386
  xvfb xauth x11-utils xdotool imagemagick fonts-wine googletest libgtest-dev libbenchmark-dev clang
  libclang-rt-14-dev python3 icoutils ca-certificates"
install_missing() {
  local missing=()
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then echo "run as root to install packages" >&2; exit 1; fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# ---- building ---------------------------------------------------------------------------------
configure_build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}
build_all() {
  log "native build (unit tests, ASan + UBSan)"
  configure_build build/native -DSONDREL_FLAVOUR=test
  log "native build (generator, benchmarks)"
  configure_build build/fast -DSONDREL_FLAVOUR=fast
  log "cross build (sondrel.exe, stand-in host, Windows tests)"
  configure_build build/win -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake"
}
build_fuzz() {
  log "fuzz build (clang, libFuzzer)"
  CC=clang CXX=clang++ configure_build build/fuzz -DSONDREL_FLAVOUR=fuzz
}

# ---- cabinets and prefix ----------------------------------------------------------------------
generate() { # size
  local out=build/cabinets/$1
  if [ ! -f "$out/.complete" ] || [ build/fast/standin/gen/gencab -nt "$out/.complete" ]; then
    log "generating the $1 cabinet"
    rm -rf "$out"
    build/fast/standin/gen/gencab --size "$1" --out "$out"
    touch "$out/.complete"
  fi
}
prepare_prefix() { # tree
  tools/wine-prefix.sh "$WINEPREFIX"
  standin/setup-prefix.sh "$WINEPREFIX" "$1" build/win/bin
  # The set-up ran Wine without a display; a wineserver left from it would serve the GUI runs that
  # follow and make every dialog fail to come up. End it now.
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# Runs a command with a display: the current one, or a private Xvfb.
with_display() {
  if [ -n "${DISPLAY:-}" ] && [ -z "${SONDREL_FORCE_XVFB:-}" ]; then "$@"; else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}

# ---- commands ---------------------------------------------------------------------------------
cmd_test() {
  install_missing
  build_all
  build_fuzz
  generate small
  local rc=0
  log "layer 1: native unit tests"
  ctest --test-dir build/native --output-on-failure -j "$JOBS" || rc=1
  if [ -d build/fuzz ] && ls build/fuzz/tests/fuzz/*_fuzz >/dev/null 2>&1; then
    log "fuzzing (short, fixed time)"
    for f in build/fuzz/tests/fuzz/*_fuzz; do
      name=$(basename "$f")
      mkdir -p "build/fuzz/corpus/$name"
      "$f" -max_total_time="${SONDREL_FUZZ_SECONDS:-5}" $(fuzz_options "$name") "build/fuzz/corpus/$name" \
        "tests/fuzz/corpus/${name%_fuzz}" 2>"build/fuzz/$name.log" >/dev/null \
        && echo "$name: no crash" || { echo "$name: FAILED"; tail -n 40 "build/fuzz/$name.log"; rc=1; }
    done
  fi
  log "layers 2 and 3: Windows tests and end-to-end tests under Wine"
  prepare_prefix build/cabinets/small
  SONDREL_FORCE_XVFB=1 with_display sh -c '
    wineserver -p; wine cmd /c exit >/dev/null 2>&1
    ctest --test-dir build/win --output-on-failure; rc=$?
    wineserver -k; exit $rc' || rc=1
  if [ $rc -eq 0 ]; then log "all test layers passed"; else log "some tests FAILED"; fi
  return $rc
}

cmd_demo() {
  install_missing
  build_all
  generate demo
  prepare_prefix build/cabinets/demo
  mkdir -p out/demo
  if [ -n "${DISPLAY:-}" ]; then
    log "starting Sondrel on $DISPLAY"
    (cd build/win/bin && wine sondrel.exe)
  else
    log "no display: scripted demonstration on Xvfb"
    with_display tests/e2e/demo.sh "$ROOT/build/win/bin" "$ROOT/out/demo"
    log "left in out/demo/:"; ls -l out/demo
  fi
}

cmd_bench() {
  install_missing
  configure_build build/fast -DSONDREL_FLAVOUR=fast
  for b in build/fast/bench/*_bench; do [ -x "$b" ] && "$b"; done
}

# The libFuzzer options of a target: the common ones, then those of tests/fuzz/<name>.options (one
# line of flags, e.g. the largest input).
fuzz_options() { # name
  local extra=""
  [ -f "tests/fuzz/$1.options" ] && extra=$(grep -v '^#' "tests/fuzz/$1.options" | tr '\n' ' ')
  mkdir -p build/fuzz/artifacts
  echo "-rss_limit_mb=2048 -timeout=60 -artifact_prefix=build/fuzz/artifacts/$1- $extra"
}

# Merges the inputs a run found into the committed corpus, minimised. The named seeds (a name that
# says what the input tests) stay as they are; from the inputs of earlier merges (named by their
# SHA-1) and the run's findings, libFuzzer keeps only those that reach a feature the inputs kept
# before them do not, fewest and smallest first, so the corpus grows only with what is new.
merge_corpus() { # target, name, corpus, findings
  local min=build/fuzz/merged/$2 file
  rm -rf "$min"
  mkdir -p "$min/kept" "$min/earlier"
  for file in "$3"/*; do
    [ -f "$file" ] || continue
    if [[ $(basename "$file") =~ ^[0-9a-f]{40}$ ]]; then cp "$file" "$min/earlier/"; else cp "$file" "$min/kept/"; fi
  done
  # shellcheck disable=SC2046 # the options are separate words
  "$1" -merge=1 $(fuzz_options "$2") "$min/kept" "$min/earlier" "$4" >/dev/null || return 1
  find "$3" -type f -regextype posix-extended -regex '.*/[0-9a-f]{40}' -delete
  for file in "$min/kept"/*; do
    [[ $(basename "$file") =~ ^[0-9a-f]{40}$ ]] && cp "$file" "$3/"
  done
  return 0
}

# Runs every target for the same time, one after another on one core, then merges the inputs that
# reached something new into the committed corpus. The merge keeps every committed input (the
# named seeds say what they test) and adds only those of the run that add coverage, fewest and
# smallest first, so the corpora grow slowly.
cmd_fuzz() { # [MINUTES [TARGET...]]
  local minutes=${1:-10} rc=0 f name corpus work log targets=()
  [ $# -gt 0 ] && shift
  case "$minutes" in '' | 0 | *[!0-9]*) echo "fuzz: MINUTES must be a whole number from 1" >&2; exit 2 ;; esac
  install_missing
  build_fuzz
  if [ $# -gt 0 ]; then
    for name in "$@"; do targets+=("build/fuzz/tests/fuzz/${name%_fuzz}_fuzz"); done
  else
    targets=(build/fuzz/tests/fuzz/*_fuzz)
  fi
  # exec/s: per second of wall-clock time (libFuzzer's figure); per cpu s: per second of processor
  # time; cov and ft: libFuzzer's covered edges and features at the end; corpus: committed inputs
  # before and after the merge.
  printf '\n%-20s %12s %9s %9s %6s %7s %9s %s\n' target executions exec/s "per cpu s" cov ft corpus result
  for f in "${targets[@]}"; do
    name=$(basename "$f")
    [ -x "$f" ] || { echo "fuzz: no target $name" >&2; rc=1; continue; }
    corpus=tests/fuzz/corpus/${name%_fuzz}
    work=build/fuzz/found/$name
    log=build/fuzz/$name.long.log
    rm -rf "$work"
    mkdir -p "$work" "$corpus"
    local result=ok before after
    # The processor time, too: on a shared machine the executions per second of processor time say
    # more than libFuzzer's executions per second of wall-clock time.
    local TIMEFORMAT='%U %S'
    # shellcheck disable=SC2046 # the options are separate words
    { time "$f" -max_total_time=$((minutes * 60)) -print_final_stats=1 $(fuzz_options "$name") \
      "$work" "$corpus" >/dev/null 2>"$log" || { result=FAILED; rc=1; }; } 2>"$log.time"
    before=$(find "$corpus" -type f | wc -l)
    merge_corpus "$f" "$name" "$corpus" "$work" 2>"$log.merge" || { result="$result, merge FAILED"; rc=1; }
    after=$(find "$corpus" -type f | wc -l)
    local last execs speed cov ft cpu perCpu
    last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    cpu=$(awk '{ printf "%.0f", $1 + $2 }' "$log.time")
    perCpu=$([ -n "$execs" ] && [ "${cpu:-0}" -gt 0 ] && echo $((execs / cpu)) || echo '?')
    printf '%-20s %12s %9s %9s %6s %7s %9s %s\n' "$name" "${execs:-?}" "${speed:-?}" "$perCpu" "${cov:-?}" \
      "${ft:-?}" "$before>$after" "$result"
    [ "$result" = ok ] || tail -n 30 "$log"
  done
  echo "logs: build/fuzz/*.long.log; failing inputs: build/fuzz/artifacts/"
  return $rc
}

case "${1:-}" in
  test) cmd_test ;;
  demo) cmd_demo ;;
  build) install_missing; build_all ;;
  bench) cmd_bench ;;
  fuzz) shift; cmd_fuzz "$@" ;;
  *) sed -n '2,11p' "$0"; exit 2 ;;
esac
