# Sourced by the Windows scripts: where the SDK, the build, the layout and the wine prefix are.
# The caller sets top (the checkout's root folder) first.
SKYVANE_WINSDK=${SKYVANE_WINSDK:-$top/build-winsdk/skyvane-winsdk}
# The prebuilt SDK; CI machines have it beside the clone.
if [[ -z ${SKYVANE_WINSDK_ARCHIVE:-} ]]; then
    SKYVANE_WINSDK_ARCHIVE=$top/../shared/winsdk/skyvane-winsdk.tar.xz
    # A git worktree may live elsewhere: then the copy beside its main clone, rather than an hour
    # of building the SDK from source.
    if [[ ! -f $SKYVANE_WINSDK_ARCHIVE ]] && gitdir=$(git -C "$top" rev-parse --path-format=absolute --git-common-dir 2>/dev/null); then
        SKYVANE_WINSDK_ARCHIVE=$(dirname "$gitdir")/../shared/winsdk/skyvane-winsdk.tar.xz
    fi
fi
winbuild=$top/build-windows
windist=$top/dist/windows
# A wine prefix of our own, never the user's ~/.wine.
export WINEPREFIX=${SKYVANE_WINEPREFIX:-$winbuild/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop menu entries from shortcuts, no questions about Mono or Gecko.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-winemenubuilder.exe=d;winedbg.exe=d;mscoree,mshtml=}
wine=/usr/lib/wine/wine64 # Debian keeps the 64-bit loader off PATH
[ -x "$wine" ] || wine=wine
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=wineserver
