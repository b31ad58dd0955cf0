// The Win32 calls that maillink.dll makes, as it makes them: while a CallLog lives, the
// library's import table points the communications, file, wait and error-text functions at
// recorders that note each call with its arguments and then make the real call (or, when a test
// says so, fail it). So a test sees exactly which calls the library makes, in which order.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct Win32Call {
    std::string name;   // "SetCommState"
    std::string args;   // the arguments that matter, e.g. "COM3" or "15"
    DWORD flags = 0;    // SetCommState: the flag word of the device control block
    DCB dcb{};          // SetCommState: the whole block
    COMMTIMEOUTS timeouts{};
};

class CallLog {
public:
    CallLog();   // hooks maillink.dll's imports; throws std::runtime_error when it cannot
    ~CallLog();  // puts them back
    CallLog(const CallLog &) = delete;
    CallLog &operator=(const CallLog &) = delete;

    std::vector<Win32Call> Calls() const;
    // The calls as "Name(args)", runs of equal calls as "Name(args) x N".
    std::vector<std::string> Summary() const;
    void Clear();

    // The named function fails (returns FALSE, last error set to error) instead of running;
    // ERROR_SUCCESS lets it run again. One CallLog at a time.
    void Fail(const std::string &name, DWORD error);
    // Changes the block that BuildCommDCBA fills in, after it ran.
    void AfterBuildCommDcb(std::function<void(DCB &)> change);
};
