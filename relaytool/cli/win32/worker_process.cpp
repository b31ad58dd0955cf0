// A station's worker on Windows: CreateProcessW of this program with anonymous pipes for its
// standard handles, as a process without a console (DETACHED_PROCESS), so that Ctrl-C, Ctrl-Break
// and closing the console reach only the run that started it.
#include <windows.h>

#include <stdexcept>
#include <vector>

#include "system_text.h"
#include "worker_process.h"

namespace {

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }
intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<intptr_t>(handle); }

std::wstring OwnProgram() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            throw std::runtime_error("cannot find relaycfg itself: " +
                                     SystemText(::GetLastError()));
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

void Close(intptr_t &handle) {
    if (handle != -1) ::CloseHandle(AsHandle(handle));
    handle = -1;
}

// A pipe whose one end the child inherits and whose other end stays ours alone.
void MakePipe(HANDLE &read, HANDLE &write, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!::CreatePipe(&read, &write, &inherit, 0))
        throw std::runtime_error("pipe: " + SystemText(::GetLastError()));
    ::SetHandleInformation(childReads ? write : read, HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

WorkerProcess::WorkerProcess(const std::string &port) {
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    MakePipe(inRead, inWrite, true);
    try {
        MakePipe(outRead, outWrite, false);
    } catch (...) {
        ::CloseHandle(inRead);
        ::CloseHandle(inWrite);
        throw;
    }
    const std::wstring program = OwnProgram();
    // The port is COM1 to COM9 here: no character that would need quoting.
    std::wstring commandLine = L"\"" + program + L"\" ";
    for (const char c : std::string(kStationWorkerArgument) + " " + port)
        commandLine += static_cast<wchar_t>(c);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = outWrite;
    PROCESS_INFORMATION info{};
    const BOOL started =
        ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                         DETACHED_PROCESS, nullptr, nullptr, &startup, &info);
    const DWORD error = ::GetLastError();
    ::CloseHandle(inRead);
    ::CloseHandle(outWrite);
    if (!started) {
        ::CloseHandle(inWrite);
        ::CloseHandle(outRead);
        throw std::runtime_error("cannot start relaycfg as a worker: " + SystemText(error));
    }
    ::CloseHandle(info.hThread);
    process_ = FromHandle(info.hProcess);
    input_ = FromHandle(inWrite);
    output_ = FromHandle(outRead);
}

WorkerProcess::~WorkerProcess() {
    Kill();
    WaitForEnd();
    Close(input_);
    Close(output_);
    Close(process_);
}

bool WorkerProcess::Send(const std::string &line) {
    std::lock_guard lock(mutex_);
    const std::string text = line + "\n";
    DWORD done = 0;
    while (done < text.size()) {
        DWORD put = 0;
        if (!::WriteFile(AsHandle(input_), text.data() + done,
                         static_cast<DWORD>(text.size() - done), &put, nullptr) ||
            put == 0)
            return false;  // it has gone
        done += put;
    }
    return true;
}

// A pipe whose writer has gone reports ERROR_BROKEN_PIPE: its end.
std::size_t WorkerProcess::Read(char *buffer, std::size_t size) {
    DWORD got = 0;
    if (!::ReadFile(AsHandle(output_), buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
}

void WorkerProcess::Kill() {
    std::lock_guard lock(mutex_);
    if (!ended_) ::TerminateProcess(AsHandle(process_), 1);
}

std::string WorkerProcess::WaitForEnd() {
    ::WaitForSingleObject(AsHandle(process_), INFINITE);
    std::lock_guard lock(mutex_);
    if (!ended_) {
        DWORD code = 0;
        ::GetExitCodeProcess(AsHandle(process_), &code);
        ended_ = true;
        ending_ = "exit code " + std::to_string(code);
    }
    return ending_;
}
