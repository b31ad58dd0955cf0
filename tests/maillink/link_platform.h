// What the library tests need to know about the platform they run on, in one place, so that the
// tests themselves are the same on Linux and under Wine: the line settings the library's open
// made, whether a device is held, input waiting at the library's side, the system's error texts
// and what an idle poll of the echo wait lasts at least.
#pragma once

#include <cstdint>
#include <string>

#include "pty_peer.h"

namespace linktest {

// The settings of the library's open line, as far as the platform shows them.
struct LineSettings {
    uint32_t baudRate = 0;
    unsigned dataBits = 0;
    bool parity = true;
    unsigned stopBits = 0;           // 1 or 2
    bool raw = false;                // bytes pass unchanged: no line editing, echo or translation
    bool flowControl = true;         // any hardware or XON/XOFF flow control
    bool readsReturnAtOnce = false;  // a read returns at once with what has arrived
};

// POSIX: the device side of the peer's pseudo-terminal (the line's settings are its own).
// Windows: the library's open handle (GetCommState, GetCommTimeouts). false if unreadable.
bool ReadLineSettings(const PtyPeer &peer, LineSettings &settings);

// True when the peer's device could be opened for exclusive use now, i.e. nobody holds it.
bool DeviceIsFree(const PtyPeer &peer);

// Whether an open port keeps every further open out, in this process and in others. Empty when
// it does; else why the platform does not (the tests that show it are skipped with that reason).
std::string ExclusiveOpenGap();

// Waits until the library's side of the line holds count bytes that it has not read yet. With
// the library's port closed, Windows cannot see that side: it waits long enough for the bytes to
// have crossed the relay.
bool WaitForHostInput(const PtyPeer &peer, int count);

// The error code that OpenSerialPort leaves for a COM port that names no device, and the
// system's text for a code as GetWin32ErrorText gives it.
int NoDeviceError();
std::string SystemErrorText(int code);

// How long an idle poll of the echo wait lasts on this platform: at least leastMs, and nominalMs
// for the upper bounds of the waits. POSIX gives it a fixed length; Win32 yields with Sleep(0),
// which may return at once, after a ReadFile that under Wine is a round trip to the wineserver
// (13 to 140 us measured; 0.5 ms leaves room for a loaded machine).
struct PollLength {
    double leastMs;
    double nominalMs;
};
PollLength EchoPoll();

// Whether the library sees that a line has hung up. POSIX: poll and read report the hang-up of
// the peer's pseudo-terminal. Under Wine a read of a pseudo-terminal whose other side closed
// returns no bytes without failing, so the line reads as silent (the failed reads of a real
// unplugged adapter are shown through the call log instead).
#ifdef _WIN32
constexpr bool kHungUpLineIsSeen = false;
#else
constexpr bool kHungUpLineIsSeen = true;
#endif

// Whether a line that hung up stays gone. On POSIX the peer's pseudo-terminal is gone for good;
// under Wine the driver's relay offers a fresh line on the same COM number at once.
#ifdef _WIN32
constexpr bool kHungUpLineStaysGone = false;
#else
constexpr bool kHungUpLineStaysGone = true;
#endif

}  // namespace linktest
