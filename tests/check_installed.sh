#!/usr/bin/env bash
# An installed copy, as a plug-in developer meets it: installs the build into a scratch prefix,
# compiles every installed header on its own, checks that nothing declared there is left out of
# the library's exports, builds and runs a small plug-in against it through find_package and
# through pkg-config, and starts the installed tesk-ae.
#   check_installed.sh BUILD_DIR SOURCE_DIR SHARED_LIBRARY STATIC_LIBRARY
set -euo pipefail
build=$1 source=$2 shared=$3 static=$4
cxx=${CXX:-c++}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
include=$prefix/include/TESK_Common_AE
[ -d "$include" ] || fail "no headers under $include"

# Each header alone, with nothing but the installed folder and the system's headers.
count=0
while IFS= read -r header; do
    relative=${header#"$include"/}
    printf '#include "%s"\n' "$relative" >"$scratch/one.cpp"
    "$cxx" -std=c++17 -Wall -Wextra -Werror -fsyntax-only -I"$include" "$scratch/one.cpp" ||
        fail "$relative does not compile on its own"
    count=$((count + 1))
done < <(find "$include" -name '*.h' | sort)
echo "$count installed headers compile on their own"

# Functions and data the library defines but does not export are internals; one whose name an
# installed header declares would leave a plug-in with an undefined symbol at link time.
nm -C --defined-only "$static" 2>/dev/null | awk '$2 ~ /^[TDBR]$/ { $1 = ""; $2 = ""; print }' |
    sed 's/^  //' | sort -u >"$scratch/defined"
nm -D -C --defined-only "$shared" | awk '{ $1 = ""; $2 = ""; print }' | sed 's/^  //' |
    sort -u >"$scratch/exported"
hidden=0
while IFS= read -r symbol; do
    # Implementation namespaces hold what the private Implementation/ headers declare.
    case $symbol in *"(anonymous namespace)"* | *"::platform::"* | *"::hardware::"* | *"::Implementation::"*) continue ;; esac
    name=${symbol%%(*}
    # A member of a class (or namespace) that no installed header names is an internal, whatever
    # its own name: Kernel::Resize is not Buffer::Resize.
    owner=${name%::*}
    owner=${owner##*::}
    case $owner in
    OGL_TESK_AE | TESK_AE) ;;
    *) grep -rqw --include='*.h' -- "$owner" "$include" || continue ;;
    esac
    name=${name##*::}
    if grep -rqw --include='*.h' -- "$name" "$include"; then
        echo "declared in an installed header but not exported: $symbol" >&2
        hidden=$((hidden + 1))
    fi
done < <(comm -23 "$scratch/defined" "$scratch/exported")
[ "$hidden" -eq 0 ] || fail "$hidden symbols are not exported"

# The plug-in of tests/consumer, through the CMake package and through pkg-config.
cmake -S "$source/tests/consumer" -B "$scratch/cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_COMPILER="$cxx" >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "configure"; }
cmake --build "$scratch/cmake" >"$scratch/log" 2>&1 || { cat "$scratch/log"; fail "build"; }
"$scratch/cmake/consumer" || fail "the find_package build did not run correctly"
echo "find_package: built and ran"

export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
libdir=$(pkg-config --variable=libdir TESK_Common_AE)
[ "$(realpath "$libdir")" = "$(realpath "$prefix/lib")" ] || fail "pkg-config libdir is $libdir"
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Wextra -Werror "$source/tests/consumer/main.cpp" -o "$scratch/pc" \
    $(pkg-config --cflags --libs TESK_Common_AE) -Wl,-rpath,"$libdir" ||
    fail "the pkg-config build"
"$scratch/pc" || fail "the pkg-config build did not run correctly"
echo "pkg-config: built and ran"

if [ -x "$prefix/bin/tesk-ae" ]; then
    # Captured first: grep -q would stop reading early, and under pipefail ldd's broken pipe
    # would fail the check now and then.
    linked=$(ldd "$prefix/bin/tesk-ae")
    grep -q "$prefix/bin/../lib/libTESK_Common_AE" <<<"$linked" ||
        fail "the installed tesk-ae does not find the installed library: $(grep TESK <<<"$linked")"
    "$prefix/bin/tesk-ae" --help >/dev/null || fail "the installed tesk-ae does not start"
    echo "installed tesk-ae starts"
fi
