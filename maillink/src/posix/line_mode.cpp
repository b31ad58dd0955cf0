// Reading the port mode text and mapping baud rates to termios speeds.
#include "line_mode.h"

namespace maillink::posix {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void SkipBlanks(const char *&p) {
    while (*p == ' ' || *p == '\t') ++p;
}

bool Expect(const char *&p, char wanted) {
    SkipBlanks(p);
    if (*p != wanted) return false;
    ++p;
    SkipBlanks(p);
    return true;
}

bool ReadNumber(const char *&p, uint32_t &value) {
    if (*p < '0' || *p > '9') return false;
    uint64_t v = 0;
    while (*p >= '0' && *p <= '9') {
        v = v * 10 + static_cast<unsigned>(*p - '0');
        if (v > 0xFFFFFFFFu) return false;
        ++p;
    }
    value = static_cast<uint32_t>(v);
    return true;
}

struct RateSpeed {
    uint32_t rate;
    speed_t speed;
};

constexpr RateSpeed kRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},
#ifdef B57600
    {57600, B57600},
#endif
#ifdef B115200
    {115200, B115200},
#endif
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

}  // namespace

bool ParseModeText(const char *text, LineMode &mode) {
    if (text == nullptr) return false;
    const char *p = text;
    if (Lower(p[0]) != 'c' || Lower(p[1]) != 'o' || Lower(p[2]) != 'm') return false;
    p += 3;
    if (*p < '1' || *p > '9') return false;
    LineMode parsed;
    parsed.portNumber = static_cast<unsigned>(*p - '0');
    ++p;
    if (!Expect(p, ':')) return false;
    if (!ReadNumber(p, parsed.baudRate) || parsed.baudRate == 0) return false;

    if (!Expect(p, ',')) return false;
    parsed.parity = Lower(*p);
    if (parsed.parity != 'n' && parsed.parity != 'e' && parsed.parity != 'o' && parsed.parity != 'm' &&
        parsed.parity != 's')
        return false;
    ++p;

    if (!Expect(p, ',')) return false;
    if (*p < '5' || *p > '8') return false;
    parsed.dataBits = static_cast<unsigned>(*p - '0');
    ++p;

    if (!Expect(p, ',')) return false;
    if (p[0] == '1' && p[1] == '.' && p[2] == '5') {
        parsed.stopBits = StopBits::OneAndHalf;
        p += 3;
    } else if (*p == '1') {
        parsed.stopBits = StopBits::One;
        ++p;
    } else if (*p == '2') {
        parsed.stopBits = StopBits::Two;
        ++p;
    } else {
        return false;
    }
    SkipBlanks(p);
    if (*p != '\0') return false;
    mode = parsed;
    return true;
}

unsigned BitsPerCharacter(const LineMode &mode) {
    const unsigned parity = mode.parity == 'n' ? 0 : 1;
    const unsigned stop = mode.stopBits == StopBits::One ? 1 : 2;
    return 1 + mode.dataBits + parity + stop;
}

bool SpeedForBaud(uint32_t baudRate, speed_t &speed) {
    for (const RateSpeed &entry : kRates) {
        if (entry.rate == baudRate) {
            speed = entry.speed;
            return true;
        }
    }
    return false;
}

}  // namespace maillink::posix
