#!/usr/bin/env bash
# Builds the .deb with CPack and checks it: it holds exactly the files an
# install puts into a prefix (under /usr), its control data names the
# libraries and tools the program needs, and lintian finds no error.
# Building the package takes a while, so this runs only when asked:
# SONIVAULT_TEST_DEB=1 (or ctest -L deb with it set).
# usage: deb_package.sh BUILD_DIR
. "$(dirname "$0")/common.sh"
BUILD=$1
if [ "${SONIVAULT_TEST_DEB:-0}" != 1 ]; then
  echo "SKIP: set SONIVAULT_TEST_DEB=1 to build and check the .deb" >&2
  exit 77
fi
need_tool cpack
need_tool dpkg-deb
need_tool dpkg-shlibdeps
need_tool lintian

cpack --config "$BUILD/CPackConfig.cmake" -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1 \
  || { cat "$WORK/cpack.log"; fail "cpack"; }
deb=$(ls "$WORK"/pkg/sonivault_*.deb)

cmake --install "$BUILD" --prefix "$WORK/prefix" >/dev/null || fail "cmake --install"
installed_files "$WORK/prefix" | sed 's|^|usr/|' >"$WORK/installed.txt"
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./||' | grep -v '/$' | LC_ALL=C sort >"$WORK/packaged.txt"
diff -u "$WORK/installed.txt" "$WORK/packaged.txt" || fail "the package's files differ from an install's"

control=$(dpkg-deb -f "$deb")
depends=$(dpkg-deb -f "$deb" Depends)
for pkg in lame qt6-qpa-plugins libqt6widgets6 libqt6dbus6 libpulse0 libasound2 libavformat59 libavcodec59 \
           libburn4 libchm1; do
  grep -qE "(^|, )$pkg( |,|$)" <<<"$depends" || fail "Depends lacks $pkg: $depends"
done
grep -qx 'Section: sound' <<<"$control" || fail "section: $control"
# Programs belong to root and are executable by everyone.
dpkg-deb -c "$deb" | awk '$2 != "root/root" { print; bad=1 } END { exit bad }' || fail "files not owned by root"
dpkg-deb -c "$deb" | grep -E ' \./usr/(bin|libexec/sonivault)/[^/]+$' | grep -v '^-rwxr-xr-x' && fail "a program is not mode 755"

lintian --tag-display-limit 0 "$deb" >"$WORK/lintian.log" 2>&1 || true
if grep -q '^E: ' "$WORK/lintian.log"; then cat "$WORK/lintian.log"; fail "lintian reports errors"; fi
cat "$WORK/lintian.log"
echo "$(basename "$deb"): ok"
