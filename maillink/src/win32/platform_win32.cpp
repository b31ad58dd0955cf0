// The platform primitives on Windows: the serial port through the Win32 communications calls,
// waits by Sleep, error texts by FormatMessageA.
#include <windows.h>

#include <cstddef>
#include <cstring>

#include "../error_text.h"
#include "../platform.h"

namespace maillink::platform {
namespace {

// The flag word of the device control block (the bit fields after BaudRate): keep bits 0, 4, 7
// and 15 to 31, then set fBinary (bit 0), fDtrControl = DTR_CONTROL_ENABLE (bit 4) and
// fTXContinueOnXoff (bit 7). Everything else off: no parity check, no CTS/DSR flow control, no
// DSR sensitivity, no XON/XOFF, no error character, no null stripping, RTS_CONTROL_DISABLE, no
// abort on error.
constexpr DWORD kFlagKeepMask = 0xFFFF8091u;
constexpr DWORD kFlagSwitches = 0x91u;
constexpr std::size_t kFlagWordOffset = 8;
static_assert(sizeof(DCB) == 28, "the device control block is 28 bytes");
static_assert(offsetof(DCB, BaudRate) == 4 && offsetof(DCB, wReserved) == kFlagWordOffset + 4,
              "the flag word follows BaudRate");

constexpr DWORD kPurgeAll = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;  // 15
constexpr DWORD kInputQueue = 1024;

// The last ReadFile failed. With the port's time-outs a read of a working port returns at once,
// with or without bytes, and line errors do not abort it (fAbortOnError is off); a read that
// fails means the device has gone (an unplugged USB adapter: ERROR_BAD_COMMAND,
// ERROR_ACCESS_DENIED, ERROR_DEVICE_REMOVED, ERROR_OPERATION_ABORTED, as drivers differ), and
// nothing will arrive to wait for.
bool g_readFailed = false;

// hComPort holds the low 32 bits of the handle; kernel handles are sign-extended 32-bit values,
// so the way back sign-extends (0xFFFFFFFF becomes INVALID_HANDLE_VALUE again).
HANDLE ToHandle(uint32_t port) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(static_cast<int32_t>(port)));
}

uint32_t FromHandle(HANDLE handle) {
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

// A port refused after it opened is closed again; the refusal's error code is kept for
// GetWin32ErrorText.
uint32_t Release(HANDLE handle) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    ::SetLastError(error);
    return kNoPort;
}

}  // namespace

uint32_t OpenPort(const char *modeText, uint32_t baudRate) {
    char text[32] = {};
    if (modeText == nullptr) return kNoPort;
    for (std::size_t i = 0; i + 1 < sizeof text && modeText[i] != '\0'; ++i) text[i] = modeText[i];

    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!::BuildCommDCBA(text, &dcb)) return kNoPort;

    char *colon = std::strchr(text, ':');
    if (colon != nullptr) *colon = '\0';
    HANDLE handle = ::CreateFileA(text, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return kNoPort;

    if (!::SetupComm(handle, kInputQueue, 0)) return Release(handle);

    dcb.BaudRate = baudRate;
    DWORD flags = 0;
    unsigned char *dcbBytes = reinterpret_cast<unsigned char *>(&dcb);
    std::memcpy(&flags, dcbBytes + kFlagWordOffset, sizeof flags);
    flags = (flags & kFlagKeepMask) | kFlagSwitches;
    std::memcpy(dcbBytes + kFlagWordOffset, &flags, sizeof flags);
    if (!::SetCommState(handle, &dcb)) return Release(handle);

    // Reads return at once with what has arrived; writes have no time-out.
    COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
    if (!::SetCommTimeouts(handle, &timeouts)) return Release(handle);

    ::Sleep(20);
    ::PurgeComm(handle, kPurgeAll);
    DWORD lineErrors = 0;
    ::ClearCommError(handle, &lineErrors, nullptr);
    return FromHandle(handle);
}

void PurgeAndClose(uint32_t port) {
    if (port == kNoPort) return;
    HANDLE handle = ToHandle(port);
    ::PurgeComm(handle, kPurgeAll);
    ::CloseHandle(handle);
    g_readFailed = false;
}

uint32_t Write(uint32_t port, const uint8_t *data, uint32_t len) {
    if (port == kNoPort || data == nullptr) return 0;
    DWORD written = 0;
    if (!::WriteFile(ToHandle(port), data, len, &written, nullptr)) return written;
    return written;
}

uint8_t Read(uint32_t port, uint8_t *buffer, uint8_t count) {
    if (port == kNoPort || buffer == nullptr || count == 0) return 0;
    DWORD received = 0;
    g_readFailed = !::ReadFile(ToHandle(port), buffer, count, &received, nullptr);
    return g_readFailed ? 0 : static_cast<uint8_t>(received);
}

void Sleep(uint16_t milliseconds) {
    ::Sleep(milliseconds);
}

// On Windows an idle poll costs what the protocol's budgets were written for: one plain Sleep,
// Sleep(0) in the echo wait, Sleep(1) and Sleep(5) in the acknowledge and reply waits. After a
// read that failed the wait takes its whole budget at once instead: sleeping it out would only
// freeze the window for up to ten seconds before the same result.
uint32_t WaitIdlePolls(uint32_t, IdlePoll poll, uint32_t polls, uint32_t) {
    if (g_readFailed) return polls;
    switch (poll) {
    case IdlePoll::EchoYield: ::Sleep(0); break;
    case IdlePoll::OneMillisecond: ::Sleep(1); break;
    case IdlePoll::FiveMilliseconds: ::Sleep(5); break;
    }
    return 1;
}

char *LastErrorText(char *buffer, uint8_t size) {
    const DWORD code = ::GetLastError();  // first, before any other call can change it
    if (buffer == nullptr || size == 0) return buffer;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0, buffer, size, nullptr);
    if (length == 0) WriteErrorCode(buffer, size, static_cast<int32_t>(code));
    // A FormatMessageA that failed (text too long for the buffer) has replaced the last error
    // with its own; put the reported one back, so that asking again gives the same answer.
    ::SetLastError(code);
    return buffer;
}

}  // namespace maillink::platform
