// The port probe on Windows: the mode text is checked by BuildCommDCBA (the block is applied to
// no port), then the device is opened with share mode 0 (exclusive) and closed at once.
#include "win32_services.h"

#include "port_settings.h"

#include <windows.h>

#include <cstring>

bool Win32Services::ProbeComPort(uint8_t n) {
    if (n == 0 || n > 9) return false;
    char mode[sizeof PortSettings.ModeTemplate];
    std::memcpy(mode, PortSettings.ModeTemplate, sizeof mode);
    mode[3] = char('0' + n);  // COM3:9600,n,8,1

    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!BuildCommDCBA(mode, &dcb)) return false;

    mode[4] = '\0';  // COM3
    const HANDLE port = CreateFileA(mode, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (port == INVALID_HANDLE_VALUE) return false;
    CloseHandle(port);
    return true;
}
