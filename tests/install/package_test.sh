#!/bin/sh
# Makes the Debian packages with cpack and checks them as dpkg and lintian see them: a package
# per shared library named after its soname, what each depends on, where the files go.
#   package_test.sh BUILD_DIR
set -eu
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/ui_package_test.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) \
  || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb() { ls "$work"/"$1"_"$version"_*.deb 2>/dev/null | head -1; }
depends() { dpkg-deb -f "$(deb "$1")" Depends; }
contents() { dpkg-deb -c "$(deb "$1")" | awk '{print $6}'; }
for p in libcorvane-om0 libcorvane-svc-core0 libcorvane-svc-x0 libcorvane-ui0 corvane-ui-data \
         corvane-ui libcorvane-ui-dev; do
  [ -n "$(deb $p)" ] || fail "no package $p"
  contents $p | grep -q "^\./usr/share/doc/$p/copyright$" || fail "$p has no copyright"
  contents $p | grep -q "^\./usr/share/doc/$p/changelog.gz$" || fail "$p has no changelog"
done
# Each library package holds its library, under its soname, and knows what it needs.
for lib in om svc-core svc-x ui; do
  contents libcorvane-${lib}0 | grep -q "/libcorvane-$lib\.so\.0$" || fail "libcorvane-${lib}0 lacks its library"
  dpkg-deb -I "$(deb libcorvane-${lib}0)" shlibs | grep -q "^libcorvane-$lib 0 libcorvane-${lib}0" \
    || fail "libcorvane-${lib}0 has no shlibs"
done
depends libcorvane-ui0 | grep -q "libxm4" || fail "libcorvane-ui0 does not depend on Motif: $(depends libcorvane-ui0)"
for needed in libcorvane-om0 libcorvane-svc-x0 corvane-ui-data; do
  depends libcorvane-ui0 | grep -q "$needed (= $version)" || fail "libcorvane-ui0 does not depend on $needed"
done
depends corvane-ui | grep -q "libcorvane-ui0 (= $version)" || fail "uirun's package does not need the library"
depends corvane-ui | grep -q "libxtst6" || fail "uirun's package does not need XTest"
depends libcorvane-ui-dev | grep -q "libmotif-dev" || fail "the development package does not need Motif's"
contents corvane-ui | grep -q "^\./usr/bin/uirun$" || fail "no uirun"
contents corvane-ui | grep -q "^\./usr/share/man/man1/uirun.1.gz$" || fail "no manual page"
contents corvane-ui-data | grep -q "^\./usr/share/corvane-ui/kit/00-core.yaml$" || fail "no templates"
contents libcorvane-ui-dev | grep -q "^\./usr/include/corvane/ui/core.h$" || fail "no headers"
contents libcorvane-ui-dev | grep -q "/cmake/CorvaneUI/CorvaneUIConfigVersion.cmake$" || fail "no CMake package"
contents libcorvane-ui-dev | grep -q "/pkgconfig/corvane-ui.pc$" || fail "no pkg-config file"
# No search paths of the build's own in what the system installs.
mkdir "$work/root"
dpkg-deb -x "$(deb corvane-ui)" "$work/root"
if readelf -d "$work/root/usr/bin/uirun" | grep -Eq "RPATH|RUNPATH"; then fail "uirun keeps a search path"; fi
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "$work"/*.deb >"$work/lintian.log" 2>&1 || true
  if grep -E "^[EW]: " "$work/lintian.log"; then fail "lintian finds fault"; fi
fi
echo "package_test: $(ls "$work"/*.deb | wc -l) packages made and checked"
