#!/usr/bin/env bash
# install_test.sh BUILD CONSUMER_SOURCE LIBDIR CXX_COMPILER CXX_FLAGS
# Installs the build into a temporary prefix, moves the prefix elsewhere (an
# installed tree must not depend on where it was put), then:
#  - checks the layout: programs, libraries with their SONAMEs, headers,
#    CMake packages, desktop entry, icons; no file points into the build tree;
#  - builds the project CONSUMER_SOURCE against it with find_package, with
#    the build's compiler and flags (a sanitizer build's libraries need an
#    instrumented program);
#  - runs the installed kl_sim, the consumer's readWords against it, and the
#    installed kl_poll and kl_tdf, all without LD_LIBRARY_PATH.
set -euo pipefail
build=$1
consumer=$2
libdir=$3
cxx_compiler=$4
cxx_flags=$5
unset LD_LIBRARY_PATH

work=$(mktemp -d)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/stage" >"$work/install.log" || { cat "$work/install.log"; fail "cmake --install"; }
mv "$work/stage" "$work/prefix"
prefix=$work/prefix

for program in kl_s kl_sim kl_poll kl_tdf; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program missing"
done
for library in kcmb qrvx kl_ctrl; do
  real=$(readlink -f "$prefix/$libdir/lib$library.so")
  [ -f "$real" ] || fail "$libdir/lib$library.so does not lead to a library"
  soname=$(readelf -d "$real" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [[ $soname =~ ^lib$library\.so\.[0-9]+$ ]] || fail "lib$library: SONAME '$soname'"
  [ -e "$prefix/$libdir/$soname" ] || fail "$libdir/$soname missing"
  [ -f "$prefix/$libdir/cmake/$library/${library}Config.cmake" ] || fail "CMake package $library missing"
  [ -f "$prefix/$libdir/cmake/$library/${library}ConfigVersion.cmake" ] || fail "version file of $library missing"
done
for header in kcmb/kcmb.h kcmb/platform/handle.h qrvx/qrvx.h kl_ctrl/rangebar.h; do
  [ -f "$prefix/include/$header" ] || fail "include/$header missing"
done
desktop-file-validate "$prefix/share/applications/kl_s.desktop" || fail "desktop entry"
for size in 16 32 48 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/kl_s.png
  [ -f "$png" ] || fail "icon $size missing"
  # PNG signature, then the IHDR chunk: width and height, 4 bytes each.
  head=($(od -An -tu1 -N24 "$png"))
  [ "${head[*]:0:4}" = "137 80 78 71" ] || fail "icon $size is no PNG"
  width=$(( head[16] << 24 | head[17] << 16 | head[18] << 8 | head[19] ))
  height=$(( head[20] << 24 | head[21] << 16 | head[22] << 8 | head[23] ))
  [ "$width" -eq "$size" ] && [ "$height" -eq "$size" ] || fail "icon $size is ${width}x$height"
done

# Every installed program and library finds what it links against from the
# moved prefix, and none keeps a search path into the build tree.
while IFS= read -r -d '' file; do
  readelf -h "$file" >/dev/null 2>&1 || continue
  if readelf -d "$file" | grep -E 'R(UN)?PATH' | grep -qF "$(cd "$build" && pwd)"; then
    fail "$file searches the build tree"
  fi
  if ldd "$file" | grep -q 'not found'; then
    ldd "$file" >&2
    fail "$file: a library is not found"
  fi
done < <(find "$prefix/bin" "$prefix/$libdir" -maxdepth 1 -type f -print0)
grep -rqF "$(cd "$build" && pwd)" "$prefix/$libdir/cmake" && fail "a CMake package names the build tree"

cmake -S "$consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx_compiler" -DCMAKE_CXX_FLAGS="$cxx_flags" \
  >"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; fail "configuring the consumer"; }
cmake --build "$work/consumer" >>"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; fail "building the consumer"; }

export KL_DEVICE_DIR=$work/devices
mkdir "$KL_DEVICE_DIR"
"$prefix/bin/kl_sim" --dir "$KL_DEVICE_DIR" --com 1 --device type=3,temp=640,noise=0,drift=0:120 \
  >"$work/sim.log" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  [ -e "$KL_DEVICE_DIR/COM1" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$work/sim.log"; fail "kl_sim ended"; }
  sleep 0.1
done
[ -e "$KL_DEVICE_DIR/COM1" ] || fail "kl_sim published no COM1"

"$work/consumer/read_device" COM1 | tee "$work/read.txt" || fail "read_device"
grep -qx 'readWords 0 .*' "$work/read.txt" || fail "readWords did not succeed"
grep -qx 'words 640 640 640 640 [0-9]*' "$work/read.txt" || fail "readWords gave other words than the device holds"
grep -qx 'code 7: ..*' "$work/read.txt" || fail "KCGetErrorTxt(7) gave no text"
grep -qx 'libqrvx.so loaded' "$work/read.txt" || fail "libkcmb did not find libqrvx.so"
"$work/consumer/use_qrvx" || fail "use_qrvx"
mkdir -m 700 "$work/runtime"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime "$work/consumer/use_rangebar" || fail "use_rangebar"

"$prefix/bin/kl_poll" COM1 --count 3 --period 50 --tdf "$work/run.tdf" || fail "installed kl_poll"
"$prefix/bin/kl_tdf" csv "$work/run.tdf" -o "$work/run.csv" || fail "installed kl_tdf"
[ "$(wc -l <"$work/run.csv")" -eq 4 ] || fail "kl_tdf csv: not a header and 3 readings"
echo "installed tree works"
