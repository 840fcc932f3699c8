#!/usr/bin/env bash
# Builds the Debian packages (the `package` workflow preset), unpacks them into
# throwaway roots and uses them from there: the programs, the SANE backend
# through scanimage with the runtime package alone, a C program built with
# pkg-config and a CMake project built with find_package; then lintian, which
# must report no error.
#
#   package_test.sh <source folder>
set -euo pipefail

src=$(cd "$1" && pwd)
cmake=${CMAKE_COMMAND:-cmake}
cpack=$(dirname "$cmake")/cpack
out=$src/build/package
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
work=$(mktemp -d /tmp/ticketkit_packages_XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }
step() { echo "== $* ($SECONDS s)"; }

step "building the packages"
rm -f "$out"/*.deb
(cd "$src" && "$cmake" --workflow --preset package >"$work/build.log" 2>&1) ||
  { tail -40 "$work/build.log"; fail "the package workflow failed"; }
shopt -s nullglob
debs=("$out"/*.deb)
[ ${#debs[@]} -gt 0 ] || fail "no packages were built"
for name in libticketkit libticketkit-dev ticketkit-tools libsane-tqrmx7kp; do
  ls "$out/${name}_"*.deb >/dev/null 2>&1 || fail "package $name is missing"
done
for deb in "${debs[@]}"; do
  printf '%-48s %8d bytes\n' "$(basename "$deb")" "$(stat -c %s "$deb")"
  # Everything else loads the runtime libraries by name, which dpkg-shlibdeps cannot see.
  case $(basename "$deb") in
    libticketkit_*) ;;
    *) dpkg-deb -f "$deb" Depends | grep 'libticketkit (= ' >/dev/null ||
         fail "$(basename "$deb") does not depend on libticketkit" ;;
  esac
done

if ls "$out"/tellerdesk_*.deb >/dev/null 2>&1; then
  dpkg-deb -c "$out"/tellerdesk_*.deb | grep '/usr/share/applications/tellerdesk.desktop' >/dev/null ||
    fail "tellerdesk lacks its desktop entry"
fi

# Everything in one root; the runtime, tools and backend alone in another, as
# a user without the development package has them.
full=$work/full
users=$work/users
for deb in "${debs[@]}"; do
  dpkg-deb -x "$deb" "$full"
  case $(basename "$deb") in
    libticketkit-dev_*) ;;
    *) dpkg-deb -x "$deb" "$users" ;;
  esac
done
lib=$users/usr/lib/$arch
[ ! -e "$lib/libKestrom.so" ] || fail "the runtime package holds the development link libKestrom.so"
[ -e "$lib/libKestrom.so.0" ] || fail "the runtime package lacks libKestrom.so.0"

step "running the programs from the unpacked root"
for program in "$users"/usr/bin/*; do
  missing=$(LD_LIBRARY_PATH=$lib ldd "$program" | grep 'not found' || true)
  [ -z "$missing" ] || fail "$(basename "$program"): $missing"
done
if [ -x "$users/usr/bin/mkfirmware" ]; then
  head -c 300 /dev/urandom >"$work/image.bin"
  LD_LIBRARY_PATH=$lib "$users/usr/bin/mkfirmware" --bin "$work/image.bin" --version 123456 "$work/update.JK" ||
    fail "mkfirmware failed"
  [ -s "$work/update.JK" ] || fail "mkfirmware wrote nothing"
  rc=0; "$users/usr/bin/mkfirmware" >/dev/null 2>&1 || rc=$?
  [ "$rc" -eq 2 ] || fail "mkfirmware without arguments answered $rc, not its usage (2)"
fi

# The command line binds every library by name: with only the runtime package
# it must find the versioned files, through its RUNPATH alone.
if [ -x "$users/usr/bin/ticketkit" ]; then
  env -u LD_LIBRARY_PATH -u EMULATOR_TICKETS PIPEWELL_LIBRARY="$lib/libScannerEmulator.so.0" \
    EMULATOR_STATE_DIR="$work/state" "$users/usr/bin/ticketkit" version || fail "ticketkit version failed"
  sample=$(ls "$users"/usr/share/ticketkit/samples/tickets/barcode-*.bmp 2>/dev/null | head -n 1 || true)
  if [ -n "$sample" ]; then
    read=$(env -u LD_LIBRARY_PATH "$users/usr/bin/ticketkit" decode "$sample" --kind barcode) ||
      fail "ticketkit decode failed on $(basename "$sample")"
    echo "$read"
    grep -q ': ' <<<"$read" || fail "ticketkit decode read nothing from $(basename "$sample")"
  fi
fi

step "the SANE backend from the runtime packages alone"
if command -v scanimage >/dev/null; then
  conf=$users/etc/sane.d
  [ -f "$conf/dll.d/tqrmx7kp" ] || fail "the backend package lacks its dll.d entry"
  : >"$conf/dll.conf"
  listing=$(env -u EMULATOR_TICKETS SANE_CONFIG_DIR="$conf" LD_LIBRARY_PATH="$lib/sane" \
      PIPEWELL_LIBRARY="$lib/libScannerEmulator.so.0" EMULATOR_STATE_DIR="$work/state" scanimage -L)
  echo "$listing"
  grep -q "device \`tqrmx7kp:emulator'" <<<"$listing" || fail "scanimage does not list the backend's device"
else
  echo "scanimage not installed: skipped"
fi

step "a C program built with pkg-config"
export PKG_CONFIG_PATH=$full/usr/lib/$arch/pkgconfig
flags=$(pkg-config --cflags --libs Skewtrim Kestrom) || fail "pkg-config does not know the kit"
cc -Wall -Werror "$src/packaging/tests/consumer/kit_probe.c" $flags -o "$work/kit_probe_pc" ||
  fail "the pkg-config build failed"
LD_LIBRARY_PATH=$full/usr/lib/$arch "$work/kit_probe_pc" || fail "the pkg-config build does not run"

step "a CMake project built with find_package"
"$cmake" -S "$src/packaging/tests/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$full/usr" \
  >"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; fail "find_package(ticketkit) failed"; }
"$cmake" --build "$work/consumer" >>"$work/consumer.log" 2>&1 || { cat "$work/consumer.log"; fail "the CMake build failed"; }
LD_LIBRARY_PATH=$full/usr/lib/$arch "$work/consumer/kit_probe" || fail "the CMake build does not run"

step "lintian"
if command -v lintian >/dev/null; then
  lintian --tag-display-limit 0 "${debs[@]}" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.txt" || true
  ! grep -q '^E: ' "$work/lintian.txt" || fail "lintian reports errors"
else
  fail "lintian is not installed (scripts/install-deps)"
fi
step "done"
