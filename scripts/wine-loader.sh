# Sourced: sets wine_loader to the Wine loader for $arch (win32 or win64) and exports what that
# loader needs. Debian's `wine` picks the 32-bit loader whenever it is installed, so 64-bit
# programs name the 64-bit loader themselves.
# shellcheck shell=sh
case "${arch:?names win32 or win64}" in
win32) wine_loader=wine ;;
win64)
    wine_loader=/usr/lib/wine/wine64
    WINELOADER=$wine_loader
    export WINELOADER
    ;;
*)
    echo "wine: unknown architecture '$arch' (win32 or win64)" >&2
    exit 64
    ;;
esac
