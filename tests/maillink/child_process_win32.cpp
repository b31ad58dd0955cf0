#include <windows.h>

#include "child_process.h"

namespace {

// The probe lies beside the test program.
std::string ProbePath() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path, length);
    const std::size_t slash = text.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : text.substr(0, slash + 1)) + "maillink_open_probe.exe";
}

// (Built by append: GCC 12 warns falsely about operator+ on a one-character literal here.)
std::string Quoted(const std::string &arg) {
    std::string text(1, '"');
    text.append(arg).push_back('"');
    return text;
}

}  // namespace

struct ChildProcess::Impl {
    PROCESS_INFORMATION process{};
    HANDLE toChild = nullptr;    // its standard input
    HANDLE fromChild = nullptr;  // its standard output
    bool killed = false;
};

ChildProcess::ChildProcess(const std::vector<std::string> &args) : impl_(std::make_unique<Impl>()) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    if (!::CreatePipe(&childIn, &impl_->toChild, &inheritable, 0)) return;
    if (!::CreatePipe(&impl_->fromChild, &childOut, &inheritable, 0)) {
        ::CloseHandle(childIn);
        return;
    }
    // Only the child's ends are inherited.
    ::SetHandleInformation(impl_->toChild, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(impl_->fromChild, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    const std::string program = ProbePath();
    std::string commandLine = Quoted(program);
    for (const std::string &arg : args) commandLine.append(1, ' ').append(Quoted(arg));
    if (!::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &impl_->process))
        impl_->process = PROCESS_INFORMATION{};
    ::CloseHandle(childIn);
    ::CloseHandle(childOut);
}

ChildProcess::~ChildProcess() {
    if (impl_->process.hProcess != nullptr) Finish(0);
    if (impl_->toChild != nullptr) ::CloseHandle(impl_->toChild);
    if (impl_->fromChild != nullptr) ::CloseHandle(impl_->fromChild);
}

bool ChildProcess::Started() const { return impl_->process.hProcess != nullptr; }

char ChildProcess::ReadCharacter(unsigned timeoutMs) {
    for (unsigned waited = 0; waited <= timeoutMs; waited += 5) {
        DWORD available = 0;
        if (!::PeekNamedPipe(impl_->fromChild, nullptr, 0, nullptr, &available, nullptr)) return '?';
        if (available > 0) {
            char byte = '?';
            DWORD read = 0;
            return ::ReadFile(impl_->fromChild, &byte, 1, &read, nullptr) && read == 1 ? byte : '?';
        }
        ::Sleep(5);
    }
    return '?';
}

void ChildProcess::Kill() {
    if (impl_->process.hProcess == nullptr) return;
    ::TerminateProcess(impl_->process.hProcess, 1);
    ::WaitForSingleObject(impl_->process.hProcess, INFINITE);
    impl_->killed = true;
}

int ChildProcess::Finish(unsigned timeoutMs) {
    if (impl_->process.hProcess == nullptr) return -1;
    if (impl_->toChild != nullptr) ::CloseHandle(impl_->toChild);
    impl_->toChild = nullptr;
    if (::WaitForSingleObject(impl_->process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(impl_->process.hProcess, 1);
        ::WaitForSingleObject(impl_->process.hProcess, INFINITE);
        impl_->killed = true;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(impl_->process.hProcess, &code);
    ::CloseHandle(impl_->process.hProcess);
    ::CloseHandle(impl_->process.hThread);
    impl_->process = PROCESS_INFORMATION{};
    return impl_->killed ? -1 : static_cast<int>(code);
}
