#!/bin/sh
# Assembles the driver rig's guest: an initramfs (newc cpio, uncompressed: the kernel unpacks it
# faster than it would inflate it under emulation) holding busybox, the kernel modules of the
# USB host controller and the USB-serial adapter with everything they depend on (from the
# kernel's own modules.dep, so any kernel version serves), the programs under test with the
# shared libraries that ldd names and the dynamic loader, and /init.
#
#   make_guest.sh KERNEL_VERSION INIT OUTPUT PROGRAM...
#
# The programs go to /bin, their libraries to /lib (the guest sets LD_LIBRARY_PATH=/lib), the
# loader to the path the programs name, the modules to /modules in load order (/modules/order).
set -eu

if [ $# -lt 4 ]; then
    echo "usage: $0 KERNEL_VERSION INIT OUTPUT PROGRAM..." >&2
    exit 2
fi
version=$1 init=$2 output=$3
shift 3
modules=/lib/modules/$version

fail() {
    echo "make_guest: $*" >&2
    exit 1
}

root=$(mktemp -d "${TMPDIR:-/tmp}/drivers-guest-XXXXXX")
trap 'rm -rf "$root"' EXIT
chmod 755 "$root"  # the guest's /: a plain user must reach /dev too
mkdir -p "$root/bin" "$root/lib" "$root/modules" "$root/dev" "$root/proc" "$root/sys" \
         "$root/tmp" "$root/root"

# A program and the shared libraries it needs (ldd lists the loader by its absolute path).
copy_program() {
    cp "$1" "$root/bin/"
    ldd "$1" 2>/dev/null | while read -r first arrow path rest; do
        case "$first $arrow $path" in
            *"=> /"*) cp -L "$path" "$root/lib/" ;;
            /*) mkdir -p "$root$(dirname "$first")"; cp -L "$first" "$root$first" ;;
        esac
    done
}

busybox=$(command -v busybox) || fail "busybox is missing (Debian package busybox-static)"
copy_program "$busybox"
for program in "$@"; do
    [ -x "$program" ] || fail "$program is not a program"
    copy_program "$program"
done

# Modules: each one's dependencies first, in the reverse of the order modules.dep lists them
# (the order modprobe loads them in), each once. A module built into the kernel needs nothing.
[ -r "$modules/modules.dep" ] || fail "$modules/modules.dep is missing (Debian package linux-image-amd64)"
order=$root/modules/order
: > "$order"
add_module() {  # a path relative to $modules
    name=$(basename "$1")
    name=${name%.xz}
    name=${name%.zst}
    grep -qx "$name" "$order" && return 0
    case "$1" in
        *.ko.xz) xz -dc "$modules/$1" > "$root/modules/$name" ;;
        *.ko.zst) zstd -qdc "$modules/$1" > "$root/modules/$name" ;;
        *) cp "$modules/$1" "$root/modules/$name" ;;
    esac
    echo "$name" >> "$order"
}
for wanted in xhci-pci ftdi_sio; do
    line=$(grep -E "(^|/)$wanted\.ko(\.xz|\.zst)?:" "$modules/modules.dep" || true)
    if [ -z "$line" ]; then
        grep -qE "(^|/)$wanted\.ko$" "$modules/modules.builtin" 2>/dev/null && continue
        fail "kernel $version has no module $wanted"
    fi
    deps=""
    for dep in ${line#*:}; do deps="$dep $deps"; done
    for dep in $deps; do add_module "$dep"; done
    add_module "${line%%:*}"
done

cp "$init" "$root/init"
chmod 755 "$root/init"
(cd "$root" && find . | cpio -o -H newc -R 0:0 --quiet) > "$output"
