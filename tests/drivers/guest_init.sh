#!/bin/busybox sh
# /init of the driver rig's guest (make_guest.sh puts it there): mounts the kernel's file
# systems, loads the USB host controller and USB-serial modules, runs drivers_guest and powers
# the machine off, whatever happens.
/bin/busybox --install -s /bin
export PATH=/bin HOME=/root LD_LIBRARY_PATH=/lib
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp
echo "@rig boot $(cut -d' ' -f1 /proc/uptime)"
for module in $(cat /modules/order); do
    insmod "/modules/$module" || echo "@rig note insmod $module failed"
done
/bin/drivers_guest || echo "@rig note drivers_guest ended with $?"
poweroff -f
