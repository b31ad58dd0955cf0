// Standard input on POSIX systems: tcflush(TCIFLUSH) drops what a terminal holds unread.
#include <termios.h>
#include <unistd.h>

#include <cerrno>

#include "plan_prompt.h"

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

void FlushTerminalInput() { ::tcflush(STDIN_FILENO, TCIFLUSH); }

std::size_t ReadStandardInput(char *buffer, std::size_t size) {
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got > 0) return static_cast<std::size_t>(got);
        if (got < 0 && errno == EINTR) continue;
        return 0;  // the end, or an input that cannot be read (a terminal that has gone)
    }
}
