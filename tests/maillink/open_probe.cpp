// A second process for the library tests, run by them with one of these commands:
//   open_probe try <n>      OpenSerialPort(n, 9600); exit 11 if it opened, 10 if it was refused
//   open_probe hold <n>     open it, write "1" to standard output, keep it until standard input
//                           ends, then close; exit 11, or 10 if the open was refused
//   open_probe fresh        exit 0 when the library is in its loaded state (port closed,
//                           records and buffers all zero), else 1
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "maillink.h"

namespace {

constexpr int kRefused = 10;
constexpr int kOpened = 11;

bool AllZero(const void *data, std::size_t size) {
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    for (std::size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

int Fresh() {
    const bool fresh = hComPort == MAILLINK_NO_PORT && SmError == 0 && AllZero(&SmConfig, sizeof SmConfig) &&
                       AllZero(SmTxMail, sizeof SmTxMail) && AllZero(SmRxMail, sizeof SmRxMail);
    return fresh ? 0 : 1;
}

int Try(uint8_t port) {
    if (OpenSerialPort(port, 9600) != 1) {
        char text[128];
        std::fprintf(stderr, "open_probe: COM%u refused: %s\n", port, GetWin32ErrorText(text, sizeof text));
        return kRefused;
    }
    CloseSerialPort();
    return kOpened;
}

int Hold(uint8_t port) {
    if (OpenSerialPort(port, 9600) != 1) {
        std::fputs("0", stdout);
        std::fflush(stdout);
        return kRefused;
    }
    std::fputs("1", stdout);
    std::fflush(stdout);
    char byte = 0;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
    CloseSerialPort();
    return kOpened;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 2 && std::strcmp(argv[1], "fresh") == 0) return Fresh();
    if (argc == 3) {
        const uint8_t port = static_cast<uint8_t>(std::atoi(argv[2]));
        if (std::strcmp(argv[1], "try") == 0) return Try(port);
        if (std::strcmp(argv[1], "hold") == 0) return Hold(port);
    }
    std::fputs("usage: open_probe try|hold <n> | fresh\n", stderr);
    return 2;
}
