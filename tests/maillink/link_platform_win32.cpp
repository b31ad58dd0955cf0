#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "link_platform.h"
#include "maillink.h"

namespace linktest {

namespace {

// hComPort holds the low 32 bits of the handle; handles are sign-extended 32-bit values.
HANDLE LibraryHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int32_t>(hComPort)));
}

constexpr unsigned kRelayCrossingMs = 200;

bool RunningUnderWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

// Windows has no such device: ERROR_FILE_NOT_FOUND from CreateFileA. Wine opens a COM port whose
// pinned path leads nowhere all the same, as a device on which SetupComm then fails with
// ERROR_INVALID_FUNCTION (and the library releases it again).
int NoDeviceError() { return RunningUnderWine() ? ERROR_INVALID_FUNCTION : ERROR_FILE_NOT_FOUND; }

std::string ExclusiveOpenGap() {
    if (!RunningUnderWine()) return {};
    return "Wine checks share modes for files and directories only: a COM port opened with share "
           "mode 0 can be opened again, by this process or another (Windows refuses that)";
}

bool ReadLineSettings(const PtyPeer &, LineSettings &settings) {
    if (hComPort == MAILLINK_NO_PORT) return false;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS timeouts{};
    if (!::GetCommState(LibraryHandle(), &dcb) || !::GetCommTimeouts(LibraryHandle(), &timeouts)) return false;
    settings.baudRate = dcb.BaudRate;
    settings.dataBits = dcb.ByteSize;
    settings.parity = dcb.Parity != NOPARITY || dcb.fParity != 0;
    settings.stopBits = dcb.StopBits == TWOSTOPBITS ? 2 : dcb.StopBits == ONESTOPBIT ? 1 : 0;
    settings.raw = dcb.fBinary != 0 && dcb.fNull == 0 && dcb.fErrorChar == 0;
    settings.flowControl = dcb.fOutxCtsFlow != 0 || dcb.fOutxDsrFlow != 0 || dcb.fOutX != 0 || dcb.fInX != 0 ||
                           dcb.fRtsControl == RTS_CONTROL_HANDSHAKE || dcb.fDtrControl == DTR_CONTROL_HANDSHAKE;
    settings.readsReturnAtOnce = timeouts.ReadIntervalTimeout == MAXDWORD &&
                                 timeouts.ReadTotalTimeoutMultiplier == 0 && timeouts.ReadTotalTimeoutConstant == 0;
    return true;
}

bool DeviceIsFree(const PtyPeer &peer) {
    const std::string name = "\\\\.\\COM" + std::to_string(peer.ComNumber());
    HANDLE handle = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(handle);
    return true;
}

bool WaitForHostInput(const PtyPeer &, int count) {
    if (hComPort == MAILLINK_NO_PORT) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kRelayCrossingMs));
        return true;
    }
    for (int i = 0; i < 1000; ++i) {
        DWORD errors = 0;
        COMSTAT status{};
        if (::ClearCommError(LibraryHandle(), &errors, &status) && status.cbInQue >= static_cast<DWORD>(count))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

std::string SystemErrorText(int code) {
    char text[512] = {};
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(code), 0, text,
                                          sizeof text, nullptr);
    return length == 0 ? "Errorcode " + std::to_string(code) : std::string(text, length);
}

PollLength EchoPoll() { return {0.0, 0.5}; }

}  // namespace linktest
