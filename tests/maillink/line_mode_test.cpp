// The port mode text as the platform reads it, which baud rates a POSIX line can run at, and how
// the waits judge a line's pace.
#include <gtest/gtest.h>

#include "line_mode.h"
#include "posix_waits.h"

using maillink::posix::LineMode;
using maillink::posix::ParseModeText;
using maillink::posix::SpeedForBaud;
using maillink::posix::StopBits;

TEST(ModeText, WellFormedTextsAreRead) {
    const struct {
        const char *text;
        unsigned port;
        uint32_t baud;
        char parity;
        unsigned dataBits;
        StopBits stop;
        unsigned bitsPerCharacter;  // on the line: start, data, parity and stop bits
    } cases[] = {
        {"COM3:9600,n,8,1", 3, 9600, 'n', 8, StopBits::One, 10},
        {"COM1:115200,N,8,1", 1, 115200, 'n', 8, StopBits::One, 10},
        {"com9:300,e,7,2", 9, 300, 'e', 7, StopBits::Two, 11},
        {"COM5:1200,o,5,1.5", 5, 1200, 'o', 5, StopBits::OneAndHalf, 9},
        {"COM2: 4800 , m , 6 , 1 ", 2, 4800, 'm', 6, StopBits::One, 9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        LineMode mode;
        ASSERT_TRUE(ParseModeText(c.text, mode));
        EXPECT_EQ(mode.portNumber, c.port);
        EXPECT_EQ(mode.baudRate, c.baud);
        EXPECT_EQ(mode.parity, c.parity);
        EXPECT_EQ(mode.dataBits, c.dataBits);
        EXPECT_EQ(mode.stopBits, c.stop);
        EXPECT_EQ(maillink::posix::BitsPerCharacter(mode), c.bitsPerCharacter);
    }
}

TEST(ModeText, MalformedTextsAreRefusedAndLeaveTheModeAlone) {
    const char *const texts[] = {
        "",       "COM",  "COM0:9600,n,8,1", "COMx:9600,n,8,1", "COM10:9600,n,8,1", "LPT1:9600,n,8,1",
        "COM3",   "COM3:", "COM3:9600",      "COM3:9600,n,8",   "COM3:0,n,8,1",     "COM3:99999999999,n,8,1",
        "COM3:9600,x,8,1", "COM3:9600,n,9,1", "COM3:9600,n,4,1", "COM3:9600,n,8,3", "COM3:9600,n,8,1,",
        "COM3:9600,n,8,1 x", "COM3:-9600,n,8,1", "COM3 9600,n,8,1",
    };
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        LineMode mode;
        mode.portNumber = 77;
        EXPECT_FALSE(ParseModeText(text, mode));
        EXPECT_EQ(mode.portNumber, 77u);
    }
    LineMode mode;
    EXPECT_FALSE(ParseModeText(nullptr, mode));
}

TEST(BaudRates, StandardRatesMapAndOthersDoNot) {
    const struct {
        uint32_t rate;
        bool known;
        speed_t speed;
    } cases[] = {
        {50, true, B50},         {1200, true, B1200}, {9600, true, B9600}, {19200, true, B19200},
        {38400, true, B38400},   {115200, true, B115200}, {0, false, 0},   {9601, false, 0},
        {14400, false, 0},       {0xFFFFFFFF, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        speed_t speed = 0;
        EXPECT_EQ(SpeedForBaud(c.rate, speed), c.known);
        if (c.known) {
            EXPECT_EQ(speed, c.speed);
        }
    }
}

// A line keeps pace when the first input after a write came no sooner than the line can carry
// it: a serial line's echo (byte by byte, through a UART's FIFO, or late through a USB adapter's
// latency timer) does; a pseudo-terminal's echo and answer, there at once, do not.
TEST(LinePace, KeptOnlyWhenBytesComeNoFasterThanTheRate) {
    const long long byte = maillink::posix::ByteNanoseconds(10, 9600);
    ASSERT_EQ(byte, 1'041'666);
    const struct {
        const char *name;
        long long sinceWrite;
        int waiting;
        bool keepsPace;
    } cases[] = {
        {"first echo byte after a byte time", 1'100'000, 1, true},
        {"a FIFO of eight after eight byte times", 8'400'000, 8, true},
        {"16 bytes after a 16 ms latency timer", 17'000'000, 16, true},
        {"one byte sooner than a byte time", 100'000, 1, false},
        {"echo and reply at once", 200'000, 25, false},
        {"nothing waiting", 5'000'000, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(maillink::posix::KeepsPace(c.sinceWrite, c.waiting, byte), c.keepsPace);
    }
    EXPECT_FALSE(maillink::posix::KeepsPace(1'000'000'000, 1, 0)) << "no rate, no pace";
}
