# Where this machine's Wine is, for the scripts that source this file.
# VORLAN_WINE may name the loader; else wine64 on PATH, else Debian's
# /usr/lib/wine/wine64. Either function may name a program that is not there:
# the caller checks with -x.

wine_loader() {
    if [[ -n ${VORLAN_WINE:-} ]]; then
        echo "$VORLAN_WINE"
    elif command -v wine64 >/dev/null; then
        command -v wine64
    else
        echo /usr/lib/wine/wine64
    fi
}

# The server that belongs to the loader. Debian's wineserver wrapper forces
# -p0; the server itself keeps -p.
wine_server() {
    local dir
    dir=$(dirname "$(wine_loader)")
    if [[ -x $dir/wineserver64 ]]; then
        echo "$dir/wineserver64"
    elif [[ -x $dir/wineserver ]]; then
        echo "$dir/wineserver"
    else
        command -v wineserver || echo "$dir/wineserver"
    fi
}
