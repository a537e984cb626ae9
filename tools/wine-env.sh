# The one place that says how Sondrel's Windows builds run under Wine. Sourced (POSIX sh) by run.sh,
# cmake/wine-run.sh (CTest's emulator), the end-to-end scripts, tools/wine-prefix.sh and
# standin/setup-prefix.sh.
#
# In:  SONDREL_ROOT          the source tree (required)
#      SONDREL_WINE_FLAVOUR  32 (the shipped i686 build under 32-bit Wine, the default) or 64 (the
#                            x86_64 test flavour under 64-bit Wine, for machines that cannot run
#                            32-bit code)
#      SONDREL_WINEPREFIX    a prefix other than the flavour's own (optional)
# Out (exported): WINEPREFIX, WINEARCH, WINEDEBUG, WINEDLLOVERRIDES, WINESERVER, WINELOADER (64 only),
#      SONDREL_WINE and SONDREL_WINESERVER (the commands to run), SONDREL_WIN_BUILD (the flavour's
#      build folder).
#
# Debian's /usr/bin/wine always picks the 32-bit loader when wine32 is installed, so the 64-bit flavour
# names its loader and server itself; Wine's loader also reads WINESERVER to find the server.

: "${SONDREL_ROOT:?SONDREL_ROOT must name the source tree}"
SONDREL_WINE_FLAVOUR=${SONDREL_WINE_FLAVOUR:-32}
case "$SONDREL_WINE_FLAVOUR" in
32)
    SONDREL_WIN_BUILD=$SONDREL_ROOT/build/win
    WINEPREFIX=${SONDREL_WINEPREFIX:-$SONDREL_ROOT/build/wineprefix}
    WINEARCH=win32
    SONDREL_WINE=wine
    SONDREL_WINESERVER=wineserver
    unset WINELOADER WINESERVER
    ;;
64)
    SONDREL_WIN_BUILD=$SONDREL_ROOT/build/win64
    WINEPREFIX=${SONDREL_WINEPREFIX:-$SONDREL_ROOT/build/wineprefix64}
    WINEARCH=win64
    SONDREL_WINE=/usr/lib/wine/wine64
    SONDREL_WINESERVER=/usr/lib/wine/wineserver64
    WINELOADER=$SONDREL_WINE
    WINESERVER=$SONDREL_WINESERVER
    export WINELOADER WINESERVER
    ;;
*)
    echo "SONDREL_WINE_FLAVOUR must be 32 or 64, not \"$SONDREL_WINE_FLAVOUR\"" >&2
    return 2 2>/dev/null || exit 2
    ;;
esac
WINEDEBUG=${WINEDEBUG:--all}
WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export SONDREL_WINE_FLAVOUR SONDREL_WIN_BUILD WINEPREFIX WINEARCH WINEDEBUG WINEDLLOVERRIDES \
    SONDREL_WINE SONDREL_WINESERVER
