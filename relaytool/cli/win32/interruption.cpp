// The stop events on Windows: Ctrl-C, Ctrl-Break, and closing the console window (or logging off
// or shutting down) go to StopArrived while a write is shielded. The system runs the handler on a
// thread of its own. After a Ctrl-C or Ctrl-Break the handler returns and the write goes on; for
// the other events a handler that returns ends the process, so it waits instead, and relaycfg
// exits itself once the write is done (Windows waits about five seconds for that).
#include <windows.h>

#include "interruption.h"

namespace {

BOOL WINAPI OnConsoleEvent(DWORD event) {
    StopArrived();
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    for (;;) ::Sleep(INFINITE);
}

}  // namespace

void InstallStopHandlers() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

void RemoveStopHandlers(bool keepIgnoring) {
    if (!keepIgnoring) ::SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

void WriteToStandardError(const char *text, std::size_t size) {
    const HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    while (size > 0) {
        DWORD put = 0;
        if (!::WriteFile(error, text, static_cast<DWORD>(size), &put, nullptr) || put == 0) return;
        text += put;
        size -= put;
    }
}

// At once: no exit handlers, no waiting for the thread that is in the middle of a mail.
void EndProcessNow(int code) {
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    for (;;) ::Sleep(INFINITE);
}
