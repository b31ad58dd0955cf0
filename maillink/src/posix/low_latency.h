// Low-latency mode of a serial device for as long as the library holds it: a USB-serial adapter
// then hands small amounts of input on after 1 ms instead of its latency timer's 16 ms, which a
// mail's echo and reply each wait for once. Linux only (TIOCGSERIAL); elsewhere nothing changes.
#pragma once

namespace maillink::posix {

struct SerialFlags {
    bool changed = false;  // low-latency mode was set and the earlier flags are to be put back
    int flags = 0;         // the device's flags before
};

// Sets ASYNC_LOW_LATENCY where the device supports TIOCGSERIAL and returns the flags it had. A
// device that refuses (a pseudo-terminal answers ENOTTY) is left as it is, and errno with it.
SerialFlags EnterLowLatency(int fd);

// Puts the earlier flags back; a device that is gone by now is let be.
void RestoreSerialFlags(int fd, const SerialFlags &saved);

}  // namespace maillink::posix
