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
#
# The Windows tests, the end-to-end tests and the demonstration run under Wine in one of two flavours:
# 32 (the shipped i686 build, build/win, under 32-bit Wine) where this machine runs 32-bit code, else 64
# (the x86_64 test build, build/win64, under 64-bit Wine). SONDREL_WINE_FLAVOUR=32 or 64 forces one.
# Both are always built; tools/wine-env.sh says how each one runs.
set -euo pipefail
cd "$(dirname "$0")"
ROOT=$PWD
JOBS=$(nproc 2>/dev/null || echo 2)
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY || true

log() { printf '\n== %s\n' "$*"; }

# ---- installing -------------------------------------------------------------------------------
PACKAGES="g++ cmake make g++-mingw-w64-i686 mingw-w64-i686-dev binutils-mingw-w64-i686 wine wine32:i386
  g++-mingw-w64-x86-64 mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 wine64
  xvfb xauth x11-utils xdotool imagemagick fonts-wine googletest libgtest-dev libbenchmark-dev clang
  libclang-rt-14-dev clang-format-14 git python3 icoutils ca-certificates nsis"
install_missing() {
  local missing=()
  for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then echo "run as root to install packages: ${missing[*]}" >&2; exit 1; fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt_update
  apt_install "${missing[@]}"
}
# A package index that fails to download (a mirror in the middle of a sync) makes "apt-get update"
# fail although every package needed usually stays installable from the other indexes: a warning,
# one retry, and the install decides.
apt_update() {
  apt-get update -q && return 0
  echo "warning: apt-get update failed; retrying once" >&2
  sleep "${SONDREL_APT_RETRY_SECONDS:-5}"
  apt-get update -q || echo "warning: apt-get update failed again; installing from the indexes there are" >&2
}
# When the security index's i386 half failed to download, its amd64 half offers versions whose i386
# twins are missing, and apt reports "held broken packages". For this one install, the security
# release is then pinned below the main one, so that matching versions come from the main index.
apt_install() {
  local out=/tmp/sondrel-apt.$$ pin=/tmp/sondrel-apt-pin.$$ rc=0
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" 2>&1 | tee "$out" || rc=$?
  if [ $rc -ne 0 ] && grep -q "held broken packages" "$out"; then
    echo "warning: held broken packages; retrying with the security release pinned low" >&2
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 100\n' > "$pin"
    rc=0
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      -o Dir::Etc::Preferences="$pin" "$@" || rc=$?
  fi
  rm -f "$out" "$pin"
  if [ $rc -ne 0 ]; then echo "could not install the packages: $*" >&2; exit 1; fi
}

# ---- Wine flavour -----------------------------------------------------------------------------
# Chooses the flavour once (after the packages are in) and says which and why. Without any usable
# Wine, WINE_MISSING holds the sentence that says what is missing, and the Wine stages fail with it.
WINE_MISSING=
choose_wine_flavour() {
  local why can32=0 loader32=/lib/i386-linux-gnu/ld-linux.so.2
  if [ -x "$loader32" ] && "$loader32" --version >/dev/null 2>&1; then can32=1; fi
  case "${SONDREL_WINE_FLAVOUR:-}" in
  32) why="forced by SONDREL_WINE_FLAVOUR=32" ;;
  64) why="forced by SONDREL_WINE_FLAVOUR=64" ;;
  "")
    if [ $can32 -eq 1 ] && [ -x /usr/lib/wine/wine ]; then SONDREL_WINE_FLAVOUR=32 why="this machine runs 32-bit code"
    elif [ $can32 -eq 1 ]; then SONDREL_WINE_FLAVOUR=64 why="32-bit Wine (wine32:i386) is not installed"
    else SONDREL_WINE_FLAVOUR=64 why="this machine cannot run 32-bit code ($loader32 does not run)"; fi ;;
  *) echo "SONDREL_WINE_FLAVOUR must be 32 or 64, not \"$SONDREL_WINE_FLAVOUR\"" >&2; exit 2 ;;
  esac
  SONDREL_ROOT=$ROOT
  . tools/wine-env.sh
  if [ "$SONDREL_WINE_FLAVOUR" = 32 ]; then
    if [ $can32 -eq 0 ]; then WINE_MISSING="this machine cannot run 32-bit code, which the 32-bit Wine flavour needs (use SONDREL_WINE_FLAVOUR=64)."
    elif [ ! -x /usr/lib/wine/wine ]; then WINE_MISSING="32-bit Wine is not installed (the package wine32:i386)."; fi
  elif [ ! -x "$SONDREL_WINE" ] || [ ! -x "$SONDREL_WINESERVER" ]; then
    WINE_MISSING="64-bit Wine is not installed ($SONDREL_WINE and $SONDREL_WINESERVER, the package wine64)."
  fi
  if [ -z "$WINE_MISSING" ] && ! command -v xvfb-run >/dev/null; then
    WINE_MISSING="xvfb-run is not installed (the package xvfb), and the Wine tests need a display."
  fi
  log "Wine flavour: $SONDREL_WINE_FLAVOUR-bit ($SONDREL_WIN_BUILD under $SONDREL_WINE): $why"
}

# ---- building ---------------------------------------------------------------------------------
configure_build() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$ROOT" -B "$dir" "$@" >/dev/null
  cmake --build "$dir" -j "$JOBS"
}
build_all() {
  log "native build (unit tests, ASan + UBSan)"
  configure_build build/native -DSONDREL_FLAVOUR=test
  log "native build (generator, benchmarks)"
  configure_build build/fast -DSONDREL_FLAVOUR=fast
  log "cross build (sondrel.exe, stand-in host, Windows tests)"
  configure_build build/win -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake"
  log "cross build, 64-bit test flavour (the same, x86_64)"
  configure_build build/win64 -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-x86_64.cmake"
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
  standin/setup-prefix.sh "$WINEPREFIX" "$1" "$SONDREL_WIN_BUILD/bin"
  # The set-up ran Wine without a display; a wineserver left from it would serve the GUI runs that
  # follow and make every dialog fail to come up. End it now.
  "$SONDREL_WINESERVER" -k 2>/dev/null || true
  "$SONDREL_WINESERVER" -w 2>/dev/null || true
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
  choose_wine_flavour
  build_all
  build_fuzz
  generate small
  local rc=0
  log "include order and format"
  tools/check-includes.sh || rc=1
  tools/check-format.sh || rc=1
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
  if [ "$SONDREL_WINE_FLAVOUR" != 32 ] || [ -n "$WINE_MISSING" ]; then
    # The shipped program is checked as a file wherever its tests cannot run under Wine.
    log "the shipped 32-bit sondrel.exe as a file (no Wine needed)"
    ctest --test-dir build/win --output-on-failure -R '^e2e_binary_test$' || rc=1
  fi
  log "layers 2 and 3: Windows tests and end-to-end tests under $SONDREL_WINE_FLAVOUR-bit Wine"
  if [ -n "$WINE_MISSING" ]; then
    echo "The Windows and end-to-end tests cannot run: $WINE_MISSING" >&2
    rc=1
  else
    local started=$SECONDS
    prepare_prefix build/cabinets/small
    SONDREL_FORCE_XVFB=1 with_display sh -c '
      "$SONDREL_WINESERVER" -p; "$SONDREL_WINE" cmd /c exit >/dev/null 2>&1
      ctest --test-dir "$SONDREL_WIN_BUILD" --output-on-failure; rc=$?
      "$SONDREL_WINESERVER" -k; exit $rc' || rc=1
    echo "Wine stage ($SONDREL_WINE_FLAVOUR-bit, prefix set-up included): $((SECONDS - started)) s"
  fi
  if [ $rc -eq 0 ]; then log "all test layers passed"; else log "some tests FAILED"; fi
  return $rc
}

cmd_demo() {
  install_missing
  choose_wine_flavour
  build_all
  if [ -n "$WINE_MISSING" ]; then echo "The demonstration cannot run: $WINE_MISSING" >&2; exit 1; fi
  generate demo
  prepare_prefix build/cabinets/demo
  mkdir -p out/demo
  if [ -n "${DISPLAY:-}" ]; then
    log "starting Sondrel on $DISPLAY"
    (cd "$SONDREL_WIN_BUILD/bin" && "$SONDREL_WINE" sondrel.exe)
  else
    log "no display: scripted demonstration on Xvfb"
    with_display tests/e2e/demo.sh "$SONDREL_WIN_BUILD/bin" "$ROOT/out/demo"
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
  *) sed -n '2,16p' "$0"; exit 2 ;;
esac
