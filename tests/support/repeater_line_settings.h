// The serial line settings of the tests that open a port from a hostile state: the state an
// earlier user may leave a device in, and every setting the repeater's line must have once
// OpenSerialPort has run, as termios reads them back. Shared by the pseudo-terminal tests and the
// driver rig's guest, which runs them on real drivers.
#pragma once

#include <termios.h>

#include <vector>

namespace testsupport {

// 7 data bits, even parity, 2 stop bits, hardware and software flow control, modem lines obeyed,
// canonical mode with echo and signals, CR/LF translation both ways, reads that wait, 1200 baud.
inline void MakeHostile(termios &settings) {
    settings.c_cflag = (settings.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB | CRTSCTS;
    settings.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | PARMRK | BRKINT;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_lflag |= ICANON | ECHO | ECHONL | ISIG | IEXTEN;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 5;
    ::cfsetispeed(&settings, B1200);
    ::cfsetospeed(&settings, B1200);
}

struct LineSettingCheck {
    const char *what;
    tcflag_t value;
    tcflag_t mustBe;
};

// The repeater's line: 8N1 raw at 9600 baud, no flow control, reads that return at once.
inline std::vector<LineSettingCheck> RepeaterLineChecks(const termios &line) {
    return {
        {"8 data bits", line.c_cflag & CSIZE, CS8},
        {"no parity, 1 stop bit", line.c_cflag & (PARENB | PARODD | CSTOPB), 0},
        {"no hardware flow control", line.c_cflag & CRTSCTS, 0},
        {"receiver on, modem lines ignored", line.c_cflag & (CREAD | CLOCAL), CREAD | CLOCAL},
        {"no XON/XOFF", line.c_iflag & (IXON | IXOFF | IXANY), 0},
        {"no CR/LF mapping on input", line.c_iflag & (ICRNL | INLCR | IGNCR), 0},
        {"all 8 bits, no parity marks or checks", line.c_iflag & (ISTRIP | INPCK | PARMRK), 0},
        {"a break is no signal", line.c_iflag & BRKINT, 0},
        {"no output processing", line.c_oflag & OPOST, 0},
        {"no line editing, echo or signals", line.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0},
        {"reads return at once (VMIN)", line.c_cc[VMIN], 0},
        {"reads return at once (VTIME)", line.c_cc[VTIME], 0},
        {"9600 baud in", ::cfgetispeed(&line), B9600},
        {"9600 baud out", ::cfgetospeed(&line), B9600},
    };
}

}  // namespace testsupport
