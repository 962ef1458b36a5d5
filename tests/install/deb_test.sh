#!/usr/bin/env bash
# deb_test.sh BUILD VERSION LIBDIR
# Builds the Debian package of BUILD with cpack into a temporary folder and
# checks its fields (name, version, maintainer, Qt 6 runtime dependencies) and
# that its contents hold the programs, the libraries with their SONAME links,
# the headers, the CMake packages, the desktop entry and the icon, all under
# /usr, and that its programs run.
set -euo pipefail
build=$1
version=$2
libdir=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack -G DEB"; }
debs=("$work"/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single .deb"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kl-suite ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
echo "Depends: $depends"
# The names alone, one a line: "libc6 (>= 2.34), libqt6core6 (>= 6.4.0)" -> libc6, libqt6core6.
names=$(tr ',' '\n' <<<"$depends" | awk '{ print $1 }')
for package in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  grep -qxF "$package" <<<"$names" || fail "Depends lacks $package"
done
grep -qxF kl-suite <<<"$names" && fail "the package depends on itself"

dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' >"$work/contents"
expected=(
  /usr/bin/kl_s /usr/bin/kl_sim /usr/bin/kl_poll /usr/bin/kl_tdf
  /usr/include/kcmb/kcmb.h /usr/include/kcmb/term_data_file.h /usr/include/kcmb/platform/handle.h
  /usr/include/qrvx/qrvx.h /usr/include/kl_ctrl/rangebar.h
  /usr/share/applications/kl_s.desktop
  /usr/share/icons/hicolor/48x48/apps/kl_s.png /usr/share/icons/hicolor/256x256/apps/kl_s.png
)
for library in kcmb qrvx kl_ctrl; do
  expected+=("/usr/$libdir/lib$library.so" "/usr/$libdir/cmake/$library/${library}Config.cmake")
  grep -qE "^/usr/$libdir/lib$library\.so\.[0-9]+$" "$work/contents" || fail "no SONAME link of lib$library"
done
for path in "${expected[@]}"; do
  grep -qxF "$path" "$work/contents" || fail "$path is not in the package"
done
grep -v -E '^/usr(/|$)|^/?$' "$work/contents" && fail "files outside /usr"

# The stripped programs of the package run from where it is unpacked: they
# find the package's libraries through their own search path.
unset LD_LIBRARY_PATH
dpkg-deb -x "$deb" "$work/root"
for program in kl_s kl_sim kl_poll kl_tdf; do
  if ldd "$work/root/usr/bin/$program" | grep -q 'not found'; then
    ldd "$work/root/usr/bin/$program" >&2
    fail "$program of the package: a library is not found"
  fi
done
"$work/root/usr/bin/kl_poll" --help >/dev/null || fail "kl_poll of the package does not run"
echo "$(basename "$deb"): $(wc -l <"$work/contents") entries"
