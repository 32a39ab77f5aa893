# Sourced by every script that runs Wine, so the prefix, the quiet defaults and the way Wine's
# own processes are started are set in one place:
#   source scripts/wine-env.sh
#   wine_environment PREFIX   exports WINEPREFIX, WINEDEBUG (-all unless set) and
#                             WINEDLLOVERRIDES (no Mono or Gecko installer prompts)
#   start_wine_services       a persistent wineserver for the prefix, and Wine's own services
#                             started now, detached from the caller's output (a service started by
#                             a test program would inherit its pipes and keep CTest waiting)
#   "$wine" PROGRAM ...       the 64-bit Wine loader
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=wine

wine_environment() {
    export WINEPREFIX="$1"
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
}

start_wine_services() {
    wineserver --persistent
    "$wine" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}
