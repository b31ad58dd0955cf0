#include "low_latency.h"

#include <cerrno>
#include <sys/ioctl.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace maillink::posix {

#if defined(__linux__)

SerialFlags EnterLowLatency(int fd) {
    SerialFlags saved;
    const int error = errno;
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        saved.flags = serial.flags;
        serial.flags |= ASYNC_LOW_LATENCY;
        // Only the flag changes: every other field goes back as the driver gave it, which a
        // plain user may do (ASYNC_LOW_LATENCY is one of the flags a user may set).
        saved.changed = serial.flags == saved.flags || ::ioctl(fd, TIOCSSERIAL, &serial) == 0;
    }
    errno = error;
    return saved;
}

void RestoreSerialFlags(int fd, const SerialFlags &saved) {
    if (!saved.changed) return;
    const int error = errno;
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0 && serial.flags != saved.flags) {
        serial.flags = saved.flags;
        ::ioctl(fd, TIOCSSERIAL, &serial);
    }
    errno = error;
}

#else

SerialFlags EnterLowLatency(int) { return {}; }
void RestoreSerialFlags(int, const SerialFlags &) {}

#endif

}  // namespace maillink::posix
