#!/usr/bin/env bash
# Builds the Linux packages (a .deb and a .tar.gz named with the version) in
# the build folder (default build/) and checks that the .deb holds the
# headers, the module, the tools, the default environment and the SDK files.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-${BUILD_DIR:-build}}
[ -f "$BUILD_DIR/CMakeCache.txt" ] || scripts/build.sh
log=$(mktemp)
trap 'rm -f "$log"' EXIT
cmake --build "$BUILD_DIR" -j2 >"$log" 2>&1 || { tail -40 "$log" >&2; echo "package: build failed" >&2; exit 1; }
(cd "$BUILD_DIR" && cpack -G "DEB;TGZ") >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt")
deb=$(ls "$BUILD_DIR"/envsys_"$version"_*.deb)
tgz=$(ls "$BUILD_DIR"/envsys-"$version"-Linux-*.tar.gz)
contents=$(dpkg-deb -c "$deb")
for f in usr/include/envsys/EnvironmentSystemInterface.h usr/include/envsys/HostServices.h \
         usr/include/envsys/Records.h usr/include/envsys/Exports.h usr/lib/envsys/EnvironmentSystem.so \
         usr/bin/envhost usr/bin/envcheck usr/bin/starconv usr/share/envsys/default/environment.ini \
         usr/share/envsys/default/materials.ini usr/share/envsys/default/stars.dat \
         usr/share/envsys/default/textures/ usr/lib/cmake/EnvironmentSystem/EnvironmentSystemConfig.cmake \
         usr/lib/pkgconfig/envsys-sdk.pc usr/share/doc/envsys/README.md \
         usr/share/doc/envsys/examples/minimal-host/main.cpp; do
  grep -q " \./$f\$" <<<"$contents" || { echo "package: $deb lacks $f" >&2; exit 1; }
done
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB, $(grep -c . <<<"$contents") entries), $tgz ($(du -k "$tgz" | cut -f1) KiB)"
