// A station's worker: relaycfg started again in its worker mode for one port, its standard input
// and output (standard error too) on pipes. It gets no stop signal from the terminal or the
// console (its own process group on POSIX, no console on Windows): the run that started it
// decides when it stops. The platform's part: posix/worker_process.cpp, win32/worker_process.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

// How relaycfg is started as a worker: relaycfg --station-worker PORT.
inline constexpr const char *kStationWorkerArgument = "--station-worker";

class WorkerProcess {
public:
    // Starts the worker for port; throws std::runtime_error with the reason.
    explicit WorkerProcess(const std::string &port);
    // Ends it at once if it still runs, and waits for its end.
    ~WorkerProcess();
    WorkerProcess(const WorkerProcess &) = delete;
    WorkerProcess &operator=(const WorkerProcess &) = delete;

    // A line to its input; false when it cannot take it (it has gone).
    bool Send(const std::string &line);
    // What it wrote: waits for at least one byte; 0 once its output has ended.
    std::size_t Read(char *buffer, std::size_t size);
    // Ends it at once (SIGKILL, TerminateProcess).
    void Kill();
    // Waits until it has ended: "exit code 3", "killed by signal 9".
    std::string WaitForEnd();

private:
    std::mutex mutex_;       // Send, Kill and the end of WaitForEnd come from different threads
    bool ended_ = false;     // reaped: its id may belong to another process now
    intptr_t process_ = -1;  // the process id (POSIX) or its HANDLE (Windows)
    intptr_t input_ = -1;    // our end of its standard input
    intptr_t output_ = -1;   // our end of its standard output
    std::string ending_;     // WaitForEnd's answer, once known
};
