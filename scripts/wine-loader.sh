# Sourced: defines run_wine, which runs a Windows program with the Wine loader for $arch (win32 or
# win64). Debian's `wine` picks the 32-bit loader whenever it is installed, so 64-bit programs
# name the 64-bit loader themselves.
# shellcheck shell=sh
case "${arch:?names win32 or win64}" in
win32)
    run_wine() { wine "$@"; }
    ;;
win64)
    WINELOADER=/usr/lib/wine/wine64
    export WINELOADER
    # Debian's 64-bit loader comes without Wine's preloader, which reserves the addresses that
    # Windows fixes; with a randomised layout, now and then a start finds them taken ("failed to
    # map the shared user data") and dies before the program runs. A fixed layout never does.
    run_wine() { setarch x86_64 -R "$WINELOADER" "$@"; }
    ;;
*)
    echo "wine: unknown architecture '$arch' (win32 or win64)" >&2
    exit 64
    ;;
esac
