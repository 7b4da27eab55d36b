#!/usr/bin/env bash
# Checks the SDK as a host developer gets it: installs the build folder
# (default build/) into a temporary prefix, builds a copy of the installed
# examples/minimal-host outside the source tree against that prefix alone,
# runs it and checks its day and its final report; then checks the
# pkg-config file and that the installed envhost and envcheck find the
# installed module and default environment.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${1:-${BUILD_DIR:-build}}
[ -f "$BUILD_DIR/CMakeCache.txt" ] || { echo "sdk-test: no configured build in $BUILD_DIR" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "sdk-test: $*" >&2; exit 1; }

cmake --build "$BUILD_DIR" -j2 >"$work/build.log" 2>&1 || { tail -40 "$work/build.log"; fail "build of $BUILD_DIR failed"; }
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "install failed"; }
for f in include/envsys/HostServices.h lib/envsys/EnvironmentSystem.so bin/envhost bin/envcheck bin/starconv \
         share/envsys/default/environment.ini share/envsys/default/stars.dat share/doc/envsys/README.md \
         share/doc/envsys/examples/minimal-host/main.cpp \
         lib/cmake/EnvironmentSystem/EnvironmentSystemConfig.cmake lib/pkgconfig/envsys-sdk.pc; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done

# The example as a developer copies it from the installed documentation:
# its own folder, the prefix only.
cp -r "$prefix/share/doc/envsys/examples/minimal-host" "$work/minimal-host"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
{ cmake -S "$work/minimal-host" -B "$work/minimal-host/build" "${generator[@]}" \
        -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS=-Werror &&
    cmake --build "$work/minimal-host/build" -j2; } >"$work/example.log" 2>&1 ||
  { cat "$work/example.log"; fail "minimal-host does not build against the installed SDK"; }
"$work/minimal-host/build/minimal-host" >"$work/day.txt" || { cat "$work/day.txt"; fail "minimal-host failed"; }
hours=$(grep -cE '^[0-9]{2}:00 sun ' "$work/day.txt" || true)
[ "$hours" = 24 ] || { cat "$work/day.txt"; fail "expected 24 hours, got $hours"; }
grep -q '^ENV: nothing left$' "$work/day.txt" || { cat "$work/day.txt"; fail "memory left under ENV"; }
# Noon in June at latitude 34 is bright; midnight is dark.
grep -qE '^12:00 .* light 1\.000 ' "$work/day.txt" || fail "noon is not at full light"
grep -qE '^00:00 .* light 0\.000 ' "$work/day.txt" || fail "midnight is not dark"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
cflags=$(pkg-config --cflags envsys-sdk | sed 's/ *$//')
[ "$cflags" = "-I$prefix/include" ] || fail "pkg-config --cflags: $cflags"
[ -f "$(pkg-config --variable=module envsys-sdk)" ] || fail "pkg-config module variable names no file"
[ "$(pkg-config --modversion envsys-sdk)" = "$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt")" ] ||
  fail "pkg-config version differs from the project's"

# The installed tools find the installed module and default environment.
"$prefix/bin/envhost" frame --width 64 --height 36 --out "$work/frame.png" >/dev/null || fail "installed envhost failed"
"$prefix/bin/envcheck" --root "$prefix/share/envsys/default" environment.ini >"$work/check.txt" 2>&1 ||
  { cat "$work/check.txt"; fail "envcheck finds fault with the installed default environment"; }
echo "sdk-test: installed SDK builds and runs minimal-host ($(tail -1 "$work/day.txt")); pkg-config and installed tools fine"
