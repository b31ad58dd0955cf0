// Stopping relaycfg while it writes a unit's image.
//
// Outside a write, Ctrl-C (SIGINT), SIGTERM and SIGHUP end relaycfg at once, as any program:
// nothing is on its way that a stop could cut in half. While a WriteShield stands (the image
// write and the read-back that checks it, two to three seconds), the first of them lets the write
// finish: a line says so at once, and the command ends with kExitInterrupted after its usual
// report. A second one ends relaycfg at once with the message prepared for that (the backup and
// the command that restores it) and, for plan apply, the unit's line in the plan log. On Windows
// the same holds for Ctrl-C, Ctrl-Break and closing the console window (win32/interruption.cpp;
// posix/interruption.cpp installs the signal handlers).
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

class AppendFile;

struct StopTexts {
    std::string port;          // "COM1", for "finishing the write of COM1, about 2 s"
    bool lineOpen = false;     // a progress line may be open on standard error: start a new one
    std::string stopped;       // the message of a stop at once
    AppendFile *log = nullptr; // where a stop at once leaves a line, if anywhere
    std::string logLine;       // that line up to its last field, the retry count
};

class WriteShield {
public:
    // Takes over the stop signals until destroyed.
    explicit WriteShield(StopTexts texts);
    // Hands them back: to their usual action, or (once a stop was asked for) to a handler that
    // ignores them for the few moments until the command has reported and ends.
    ~WriteShield();
    WriteShield(const WriteShield &) = delete;
    WriteShield &operator=(const WriteShield &) = delete;

    // How long the write and its check still take, and the mails retried so far.
    void Update(std::chrono::milliseconds left, unsigned retries);
    // Whether a stop was asked for while the shield stood.
    bool StopAsked() const;
};

// A run that handles its stops itself (plan apply with several stations, which lets every
// station finish its write and then stops them): while a StopCounter stands, a stop only counts,
// and the run asks Count() and acts. It takes over the stop signals until destroyed and then
// hands them back as WriteShield does.
class StopCounter {
public:
    StopCounter();
    ~StopCounter();
    StopCounter(const StopCounter &) = delete;
    StopCounter &operator=(const StopCounter &) = delete;

    unsigned Count() const;
};

// The line the first stop during a write prints at once, with the write's time left:
// "Stopping: finishing the write of COM1, about 2 s (a second Ctrl-C stops at once, leaving the
// unit half-written)" and its line end. (A station run prints it for each station that writes.)
std::string FinishingWriteLine(const std::string &port, std::chrono::milliseconds left);

// The shared part of the platforms' handlers: a stop has arrived. Async-signal-safe. It returns
// after the first stop and ends the process on the second (while a StopCounter stands it only
// counts).
void StopArrived();

// ---- The platform's part ----------------------------------------------------------------------

// Installs the handlers that call StopArrived; ignores broken pipes meanwhile, so that a closed
// terminal or pipe cannot end the write either.
void InstallStopHandlers();
// Undoes InstallStopHandlers; with keepIgnoring the handlers stay (StopArrived ignores every stop
// once no shield stands).
void RemoveStopHandlers(bool keepIgnoring);
// Writes to standard error, and ends the process at once; both async-signal-safe.
void WriteToStandardError(const char *text, std::size_t size);
[[noreturn]] void EndProcessNow(int code);
