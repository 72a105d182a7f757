#!/usr/bin/env bash
# Builds the Windows SDK the programs link, for x86_64-w64-mingw32 with Debian's mingw-w64
# (posix threads), from Debian's source packages: zlib, Qt 6.4.2 qtbase, libcurl (Schannel),
# libzip and mdbtools' libmdb without GLib; writes a CMake toolchain file into the prefix.
#
#   windows-sdk.sh [PREFIX] [STEP...]   all steps in order, or only the ones named
#   FORCE=1 windows-sdk.sh PREFIX qtbase   redo a finished step
#
# Steps: packages sources toolchain zlib qtbase curl libzip mdbtools finish pack. A finished
# step leaves PREFIX/share/winsdk/stamps/STEP.done and is skipped next time; toolchain, finish
# and pack are cheap and always run. Qt alone takes about 40 minutes on 2 cores.
#
# PREFIX defaults to build-winsdk/skyvane-winsdk (where scripts/build-windows.sh looks).
# Environment: WORK (sources, build folders, logs; default /tmp/skyvane-winsdk-work),
# JOBS (default nproc), MDBTOOLS_TARBALL (upstream mdbtools 1.0.0, used when Debian's archive
# lacks the source files; default ../shared/winsdk/mdbtools-1.0.0.tar.xz beside the clone, or
# beside the main clone when this is a git worktree).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

ALL=(packages sources toolchain zlib qtbase curl libzip mdbtools finish pack)
is_step() { [[ " ${ALL[*]} " == *" $1 "* ]]; }

PREFIX=$top/build-winsdk/skyvane-winsdk
if (($#)) && ! is_step "$1"; then PREFIX=$1; shift; fi
mkdir -p "$PREFIX" && PREFIX=$(cd "$PREFIX" && pwd)
WORK=${WORK:-/tmp/skyvane-winsdk-work}
JOBS=${JOBS:-$(nproc)}
if [[ -z ${MDBTOOLS_TARBALL:-} ]]; then
    MDBTOOLS_TARBALL=$top/../shared/winsdk/mdbtools-1.0.0.tar.xz
    # A git worktree may live elsewhere: then the copy beside its main clone.
    if [[ ! -f $MDBTOOLS_TARBALL ]] && gitdir=$(git -C "$top" rev-parse --path-format=absolute --git-common-dir 2>/dev/null); then
        MDBTOOLS_TARBALL=$(dirname "$gitdir")/../shared/winsdk/mdbtools-1.0.0.tar.xz
    fi
fi
HOST=x86_64-w64-mingw32
SRC=$WORK/src
BLD=$WORK/build
LOGS=$WORK/logs
APTDIR=$WORK/apt
STAMPS=$PREFIX/share/winsdk/stamps
NICE=(nice -n 10)

QT_VER=6.4.2
QT_DIR=$SRC/qt6-base-6.4.2+dfsg
CURL_DIR=$SRC/curl-7.88.1
LIBZIP_DIR=$SRC/libzip-1.7.3
ZLIB_DIR=$SRC/zlib-1.2.13.dfsg
MDB_DIR=$SRC/mdbtools-1.0.0

mkdir -p "$SRC" "$BLD" "$LOGS" "$STAMPS"

say() { printf '[winsdk %s] %s\n' "$(date +%H:%M:%S)" "$*"; }
die() { say "ERROR: $*"; exit 1; }

# Runs one step: skipped when its stamp exists, logged to $LOGS/STEP.log, its duration recorded.
step() {
    local name=$1; shift
    if [[ -f $STAMPS/$name.done && -z ${FORCE:-} ]]; then
        say "$name: already done ($(cat "$STAMPS/$name.done")), skipped"
        return 0
    fi
    say "$name: started, log in $LOGS/$name.log"
    local t0=$SECONDS rc
    # A subshell outside any 'if': errexit stays in force inside the step (it would not in a
    # function called from a condition).
    set +e
    ( set -e; "$@" ) > "$LOGS/$name.log" 2>&1
    rc=$?
    set -e
    if ((rc != 0)); then
        tail -n 30 "$LOGS/$name.log" >&2
        die "$name failed (exit $rc) after $((SECONDS - t0)) s; see $LOGS/$name.log"
    fi
    echo "$((SECONDS - t0)) s, $(date -u +%Y-%m-%dT%H:%MZ)" > "$STAMPS/$name.done"
    say "$name: done in $((SECONDS - t0)) s"
}

# ---------------------------------------------------------------- packages
do_packages() {
    bash "$top/scripts/windows/deps.sh" --sdk
    # The cross build uses the build machine's moc, rcc and uic: both Qt versions must match.
    dpkg-query -W -f='${Version}\n' qt6-base-dev-tools | grep -q "^$QT_VER" \
        || die "qt6-base-dev-tools is not $QT_VER"
}

# ---------------------------------------------------------------- sources (private apt config)
APT_OPTS=()
# The machine's archives and keyrings as deb-src lines, in a sources file and lists folder of
# our own passed to apt-get with -o options: /etc/apt and the machine's lists stay as they are.
apt_private() {
    rm -rf "$APTDIR/parts" && mkdir -p "$APTDIR/parts" "$APTDIR/lists/partial" "$APTDIR/cache/archives/partial"
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f $f ]] && sed -E 's/^Types:.*/Types: deb-src/' "$f" >> "$APTDIR/parts/src.sources"
    done
    : > "$APTDIR/src.list"
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f $f ]] && sed -nE 's/^deb(\s)/deb-src\1/p' "$f" >> "$APTDIR/src.list"
    done
    [[ -s $APTDIR/parts/src.sources || -s $APTDIR/src.list ]] || die "no apt sources in /etc/apt"
    APT_OPTS=(-o Dir::Etc::SourceList="$APTDIR/src.list" -o Dir::Etc::SourceParts="$APTDIR/parts"
              -o Dir::State::Lists="$APTDIR/lists" -o Dir::Cache="$APTDIR/cache")
}

fetch_src() { # fetch_src PKG[=VERSION] DIR
    local pkg=$1 dir=$2
    [[ -d $dir ]] && { echo "have $dir"; return 0; }
    (cd "$SRC" && apt-get "${APT_OPTS[@]}" source "$pkg")
    [[ -d $dir ]]
}

do_sources() {
    apt_private
    apt-get "${APT_OPTS[@]}" update
    fetch_src qt6-base=6.4.2+dfsg-10 "$QT_DIR"
    fetch_src libzip=1.7.3-1 "$LIBZIP_DIR"
    fetch_src curl "$CURL_DIR" # the newest bookworm(-security) revision of 7.88.1
    # The security update's source files may be missing from the archive: take the release.
    fetch_src zlib "$ZLIB_DIR" || fetch_src zlib=1:1.2.13.dfsg-1 "$ZLIB_DIR"
    # mdbtools: the archive lists 1.0.0+dfsg-1.1 but may lack its tarballs; then upstream's
    # 1.0.0 release, the one Debian packages (without Debian's patches).
    if [[ ! -d $MDB_DIR ]]; then
        if (cd "$SRC" && apt-get "${APT_OPTS[@]}" source mdbtools) && [[ -d $SRC/mdbtools-1.0.0+dfsg ]]; then
            mv "$SRC/mdbtools-1.0.0+dfsg" "$MDB_DIR"
        elif [[ -f $MDBTOOLS_TARBALL ]]; then
            echo "mdbtools source package unavailable; using $MDBTOOLS_TARBALL"
            mkdir -p "$MDB_DIR" && tar -C "$MDB_DIR" --strip-components=1 -xf "$MDBTOOLS_TARBALL"
        else
            die "no mdbtools source ($MDBTOOLS_TARBALL not found): set MDBTOOLS_TARBALL to upstream's 1.0.0 release"
        fi
    fi
    ls -d "$QT_DIR" "$LIBZIP_DIR" "$CURL_DIR" "$ZLIB_DIR" "$MDB_DIR"
}

# ---------------------------------------------------------------- toolchain file
# Copies FILE to TARGET only when the content differs: a new time stamp on toolchain.cmake
# would make every build folder that uses it (Qt's too) configure itself again.
install_if_changed() {
    local from=$1 to=$2 mode=$3
    if ! cmp -s "$from" "$to"; then install -m "$mode" "$from" "$to"; echo "wrote $to"; fi
}

do_toolchain() {
    mkdir -p "$PREFIX/share/winsdk" "$PREFIX/bin"
    install_if_changed "$top/scripts/windows/toolchain.cmake" "$PREFIX/toolchain.cmake" 644
    install_if_changed "$top/scripts/windows/wine-run.sh" "$PREFIX/share/winsdk/wine-run.sh" 755
    # The compiler's runtime DLLs (posix thread model): every C++ DLL and program needs them.
    local gccdir; gccdir=$(dirname "$($HOST-g++-posix -print-libgcc-file-name)")
    local dll
    for dll in "$gccdir/libstdc++-6.dll" "$gccdir/libgcc_s_seh-1.dll" \
               "/usr/$HOST/lib/libwinpthread-1.dll"; do
        # Stripped copies stay (finish strips them); only a missing one is copied.
        [[ -f $PREFIX/bin/$(basename "$dll") ]] || install -m644 "$dll" "$PREFIX/bin/"
    done
}

# ---------------------------------------------------------------- zlib
# Debian's zlib source has no win32/ makefiles and zlib's CMake names things libzlib1.dll and
# libzlib.dll.a while its zlib.pc says -lz: compile it directly with the usual mingw names.
do_zlib() {
    rm -rf "$BLD/zlib" && mkdir -p "$BLD/zlib" && cd "$BLD/zlib"
    local objs=() f
    for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast \
             inflate inftrees trees uncompr zutil; do
        "${NICE[@]}" $HOST-gcc-posix -O2 -I"$ZLIB_DIR" -c "$ZLIB_DIR/$f.c" -o $f.o
        objs+=($f.o)
    done
    $HOST-gcc-posix -shared -o zlib1.dll "${objs[@]}" -Wl,--out-implib,libz.dll.a -s
    $HOST-ar rcs libz.a "${objs[@]}"
    mkdir -p "$PREFIX"/{bin,lib/pkgconfig,include}
    install -m644 zlib1.dll "$PREFIX/bin/"
    install -m644 libz.dll.a libz.a "$PREFIX/lib/"
    install -m644 "$ZLIB_DIR/zlib.h" "$ZLIB_DIR/zconf.h" "$PREFIX/include/"
    cat > "$PREFIX/lib/pkgconfig/zlib.pc" <<PC
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: zlib
Description: zlib compression library
Version: 1.2.13
Libs: -L\${libdir} -lz
Cflags: -I\${includedir}
PC
}

# ---------------------------------------------------------------- Qt
QT_FEATURES=(
    -DFEATURE_sql=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF
    -DFEATURE_openssl=OFF -DINPUT_openssl=no -DFEATURE_schannel=ON
    -DFEATURE_system_zlib=ON -DFEATURE_zstd=OFF -DFEATURE_brotli=OFF -DFEATURE_glib=OFF
    -DFEATURE_icu=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_direct2d=OFF
    -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
    -DFEATURE_system_png=OFF -DFEATURE_gssapi=OFF -DFEATURE_libproxy=OFF
)
# Debian's +dfsg tarball drops src/3rdparty/wintab (its licence forbids changes), but the
# 'windows' platform plugin includes <wintab.h> whenever tablet events are on. Turning tablet
# events off would change QtGui's API; instead only the plugin is built without Wintab (the old
# Wacom API). Pen input through Windows Ink stays. Idempotent.
patch_qt_wintab() {
    local d=$QT_DIR/src/plugins/platforms/windows
    [[ -f $QT_DIR/src/3rdparty/wintab/wintab.h ]] && return 0
    grep -q QT_NO_WINTAB "$d/CMakeLists.txt" && return 0
    perl -0pi -e 's/(qt_internal_extend_target\(QWindowsIntegrationPlugin CONDITION QT_FEATURE_tabletevent)\n/$1 AND NOT QT_NO_WINTAB\n/' "$d/CMakeLists.txt"
    perl -0pi -e 's/^/# The +dfsg source has no src\/3rdparty\/wintab\nset(QT_NO_WINTAB ON)\n/' "$d/CMakeLists.txt"
    printf '%s\n' 'target_compile_definitions(QWindowsIntegrationPlugin PRIVATE QT_NO_WINTAB)' >> "$d/CMakeLists.txt"
    perl -pi -e 's/^#if QT_CONFIG\(tabletevent\)$/#if QT_CONFIG(tabletevent) && !defined(QT_NO_WINTAB)/' "$d/qwindowscontext.cpp"
    perl -0pi -e 's/#if QT_CONFIG\(tabletevent\)\n(#\s*include "qwindowstabletsupport.h")/#if QT_CONFIG(tabletevent) && !defined(QT_NO_WINTAB)\n$1/' "$d/qwindowspointerhandler.cpp"
    grep -q 'AND NOT QT_NO_WINTAB' "$d/CMakeLists.txt"
    grep -q 'QT_NO_WINTAB' "$d/qwindowspointerhandler.cpp"
}

# Qt 6.4 compiles QtGui's DirectWrite font database only when direct2d is on too, but the
# 'windows' plugin uses it whenever directwrite3 is on: with direct2d off qwindows.dll fails to
# link. The plugin asks for both, like QtGui. Idempotent.
patch_qt_dwrite() {
    perl -pi -e 's/^#if QT_CONFIG\(directwrite3\)$/#if QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)/' \
        "$QT_DIR/src/plugins/platforms/windows/qwindowsintegration.cpp"
}

do_qtbase() {
    patch_qt_wintab
    patch_qt_dwrite
    mkdir -p "$BLD/qtbase" && cd "$BLD/qtbase"
    "${NICE[@]}" cmake -G Ninja -S "$QT_DIR" -B . \
        -DCMAKE_TOOLCHAIN_FILE="$PREFIX/toolchain.cmake" \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DQT_BUILD_MANUAL_TESTS=OFF -DCMAKE_CROSSCOMPILING_EMULATOR= \
        "${QT_FEATURES[@]}"
    "${NICE[@]}" cmake --build . --parallel "$JOBS"
    cmake --install .
}

# ---------------------------------------------------------------- curl
do_curl() {
    rm -rf "$BLD/curl" && mkdir -p "$BLD/curl" && cd "$BLD/curl"
    "${NICE[@]}" cmake -G Ninja -S "$CURL_DIR" -B . \
        -DCMAKE_TOOLCHAIN_FILE="$PREFIX/toolchain.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_WINDOWS_SSPI=ON \
        -DCURL_ZLIB=ON -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF -DUSE_LIBIDN2=OFF \
        -DUSE_WIN32_IDN=OFF -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_GSSAPI=OFF \
        -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DENABLE_UNICODE=OFF
    "${NICE[@]}" cmake --build . --parallel "$JOBS"
    cmake --install .
    grep -q -- '-lcurl' "$PREFIX/lib/pkgconfig/libcurl.pc"
}

# ---------------------------------------------------------------- libzip
do_libzip() {
    rm -rf "$BLD/libzip" && mkdir -p "$BLD/libzip" && cd "$BLD/libzip"
    "${NICE[@]}" cmake -G Ninja -S "$LIBZIP_DIR" -B . \
        -DCMAKE_TOOLCHAIN_FILE="$PREFIX/toolchain.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
        -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
        -DENABLE_BZIP2=OFF -DENABLE_LZMA=OFF -DENABLE_GNUTLS=OFF -DENABLE_OPENSSL=OFF \
        -DENABLE_MBEDTLS=OFF -DENABLE_COMMONCRYPTO=OFF -DENABLE_WINDOWS_CRYPTO=ON \
        -DBUILD_TOOLS=OFF -DBUILD_REGRESS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOC=OFF
    "${NICE[@]}" cmake --build . --parallel "$JOBS"
    cmake --install .
}

# ---------------------------------------------------------------- mdbtools (libmdb only)
do_mdbtools() {
    # Built inside a copy of the source: libmdb's makefile looks for the generated mdbtools.h
    # only under $(top_srcdir)/include, so a separate build folder fails.
    rm -rf "$BLD/mdbtools" && cp -a "$MDB_DIR" "$BLD/mdbtools" && cd "$BLD/mdbtools"
    [[ -x configure ]] || "${NICE[@]}" autoreconf -fi
    # --disable-glib: mdbtools' own small GLib stand-in (g_* functions inside libmdb).
    # LEX/YACC=no: no SQL engine, so neither bison nor flex; no man pages, no iconv.
    "${NICE[@]}" ./configure --host=$HOST --prefix="$PREFIX" \
        --disable-glib --disable-man --disable-iconv --enable-shared --disable-static \
        LEX=no YACC=no PKG_CONFIG_LIBDIR="$PREFIX/lib/pkgconfig" PKG_CONFIG_PATH=
    # libtool builds a DLL only with -no-undefined, which libmdb does not pass.
    "${NICE[@]}" make -C include -j"$JOBS"
    "${NICE[@]}" make -C src/libmdb -j"$JOBS" LDFLAGS="-no-undefined"
    make -C src/libmdb install
    make -C include install
    make install-pkgconfigDATA
}

# ---------------------------------------------------------------- lean prefix
do_finish() {
    cd "$PREFIX"
    rm -rf share/doc share/man share/aclocal doc
    find . -name '*.la' -delete
    # curl's CMake writes its .pc with absolute libdir and zlib paths, which pkg-config's
    # --define-prefix cannot move: make them relative to ${prefix} like the others.
    local pc
    for pc in lib/pkgconfig/*.pc; do
        [[ -f $pc ]] || continue
        sed -i -e "s|^libdir=$PREFIX/lib\$|libdir=\${prefix}/lib|" \
               -e "s|^includedir=$PREFIX/include\$|includedir=\${prefix}/include|" \
               -e "s| $PREFIX/lib/libz.dll.a| -lz|g" "$pc"
    done
    if grep -l "$PREFIX/lib" lib/pkgconfig/*.pc 2>/dev/null; then
        echo "absolute paths left in .pc files"; exit 1
    fi
    # Release builds carry no debug info; the runtime DLLs do (libstdc++ 24 MB, 2 MB stripped).
    find . \( -name '*.dll' -o -name '*.exe' \) -type f -exec $HOST-strip --strip-unneeded {} +
    du -sh "$PREFIX"
}

do_pack() {
    tar -C "$(dirname "$PREFIX")" -cf - "$(basename "$PREFIX")" \
        | "${NICE[@]}" xz -T"$JOBS" -6 > "$WORK/skyvane-winsdk.tar.xz"
    ls -l "$WORK/skyvane-winsdk.tar.xz"
}

STEPS=("$@"); ((${#STEPS[@]})) || STEPS=("${ALL[@]}")
for s in "${STEPS[@]}"; do is_step "$s" || die "unknown step $s (known: ${ALL[*]})"; done
for s in "${STEPS[@]}"; do
    case $s in toolchain|finish|pack) FORCE=1 step "$s" "do_$s" ;; *) step "$s" "do_$s" ;; esac
done
say "SDK in $PREFIX: steps done: ${STEPS[*]}"
