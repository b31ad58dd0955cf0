// Standard input on Windows: FlushConsoleInputBuffer drops the keys a console holds unread.
#include <windows.h>

#include "plan_prompt.h"

namespace {

HANDLE Input() { return ::GetStdHandle(STD_INPUT_HANDLE); }

}  // namespace

bool StandardInputIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(Input(), &mode) != 0;
}

void FlushTerminalInput() { ::FlushConsoleInputBuffer(Input()); }

// A console in its line mode gives a line at a time, with CR LF (the CR is trimmed with the
// answer); a pipe that has closed reports ERROR_BROKEN_PIPE, which is its end.
std::size_t ReadStandardInput(char *buffer, std::size_t size) {
    DWORD got = 0;
    if (!::ReadFile(Input(), buffer, static_cast<DWORD>(size), &got, nullptr)) return 0;
    return got;
}
