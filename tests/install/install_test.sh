#!/bin/sh
# Installs the build into a temporary prefix and uses it as a user would: builds the consumer
# example against it with find_package and with pkg-config, runs both on the test server
# (without $KLT_PATH, so the installed templates must be found from the prefix), and runs the
# installed uirun.
#   install_test.sh BUILD_DIR SOURCE_DIR DISPLAY_FILE
set -eu
build=$1 source=$2
DISPLAY=:$(cat "$3")
export DISPLAY
unset KLT_PATH
work=$(mktemp -d "${TMPDIR:-/tmp}/ui_install_test.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$work/install.log" || fail "cmake --install failed"
for f in include/corvane/ui/core.h include/corvane/om/om.h include/corvane/svc/file.h \
         share/corvane-ui/kit/00-core.yaml share/corvane-ui/runtime/nls/Corvane \
         share/corvane-ui/examples/gallery.yaml share/man/man1/uirun.1.gz bin/uirun; do
  [ -e "$prefix/$f" ] || fail "$f was not installed"
done
libdir=$(dirname "$(find "$prefix" -name 'libcorvane-ui.so.*.*' | head -1)")
[ -n "$libdir" ] || fail "no libcorvane-ui.so.VERSION installed"
soname=$(objdump -p "$libdir"/libcorvane-ui.so.*.* | awk '/SONAME/ {print $2}')
[ "$soname" = "libcorvane-ui.so.0" ] || fail "soname is '$soname'"
gzip -dc "$prefix/share/man/man1/uirun.1.gz" | grep -q '^\.SH OPTIONS' || fail "man page has no OPTIONS"

# find_package against the prefix and nothing else.
cmake -S "$source/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF >"$work/configure.log" 2>&1 \
  || { cat "$work/configure.log" >&2; fail "the consumer does not configure"; }
grep -q "CorvaneUI_DIR:PATH=$prefix/" "$work/consumer/CMakeCache.txt" \
  || fail "the package was not found in the prefix"
cmake --build "$work/consumer" >"$work/build.log" 2>&1 \
  || { cat "$work/build.log" >&2; fail "the consumer does not build"; }
out=$("$work/consumer/hello_kit") || fail "hello_kit failed: $out"
[ "$out" = "hello_kit: window shown, templates from $prefix/share/corvane-ui" ] \
  || fail "hello_kit said: $out"

# pkg-config: the same program from the compiler's command line.
flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs corvane-ui) \
  || fail "pkg-config does not know corvane-ui"
c++ -std=c++17 "$source/examples/consumer/hello_kit.cpp" -o "$work/hello_pc" $flags \
  -Wl,-rpath,"$libdir" || fail "the consumer does not build from pkg-config's flags"
out=$("$work/hello_pc") || fail "hello_kit (pkg-config) failed: $out"
[ "$out" = "hello_kit: window shown, templates from $prefix/share/corvane-ui" ] \
  || fail "hello_kit (pkg-config) said: $out"

# The installed runner finds the installed kit.
printf 'data:\n  type: UIdisplay\n' >"$work/display.yaml"
out=$("$prefix/bin/uirun" "$work/display.yaml") || fail "installed uirun failed: $out"
echo "$out" | grep -q "displayName = :" || fail "installed uirun printed: $out"
"$prefix/bin/uirun" --version | grep -q "^uirun [0-9]" || fail "uirun --version"
echo "install_test: installed into $prefix, consumer built and run both ways"
