// The host's end of a simulated line for tests: the pseudo-terminal's slave opened raw and
// non-blocking, with reads that end by a deadline so no test can hang. Also builds frames.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <numeric>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

#include "pty_pair.h"

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;
using TestClock = std::chrono::steady_clock;

class HostLine {
public:
    explicit HostLine(const std::string &path) : fd_(ptypair::OpenRawTerminal(path)) {
        if (fd_ < 0) throw std::runtime_error("cannot open " + path);
    }
    ~HostLine() { ::close(fd_); }
    HostLine(const HostLine &) = delete;
    HostLine &operator=(const HostLine &) = delete;

    int Fd() const { return fd_; }

    void Write(const Bytes &bytes) {
        if (::write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("short write to the line");
    }

    // Up to n bytes, waiting at most `within` for them all.
    Bytes Read(std::size_t n, milliseconds within = milliseconds(2000)) {
        Bytes got;
        const auto deadline = TestClock::now() + within;
        while (got.size() < n) {
            const auto left =
                std::chrono::duration_cast<milliseconds>(deadline - TestClock::now()).count();
            if (left <= 0 || !WaitReadable(static_cast<int>(left))) break;
            uint8_t b[64];
            const ssize_t r = ::read(fd_, b, std::min(sizeof b, n - got.size()));
            if (r <= 0) break;
            got.insert(got.end(), b, b + r);
        }
        return got;
    }

    // Everything that arrives until the line has been quiet for `quiet`.
    Bytes ReadUntilQuiet(milliseconds quiet = milliseconds(120)) {
        Bytes got;
        while (WaitReadable(static_cast<int>(quiet.count()))) {
            uint8_t b[64];
            const ssize_t r = ::read(fd_, b, sizeof b);
            if (r <= 0) break;
            got.insert(got.end(), b, b + r);
        }
        return got;
    }

private:
    bool WaitReadable(int ms) {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0 && (p.revents & POLLIN);
    }

    int fd_ = -1;
};

inline uint8_t PayloadSum(const Bytes &payload) {
    return static_cast<uint8_t>(std::accumulate(payload.begin(), payload.end(), 0u));
}

inline Bytes Frame(const Bytes &payload, uint8_t start = 0x4D, uint8_t type = 0x02) {
    Bytes f{0xFF, 0xFF, start, type, static_cast<uint8_t>(payload.size())};
    f.insert(f.end(), payload.begin(), payload.end());
    f.push_back(PayloadSum(payload));
    return f;
}

inline Bytes ReadMail(uint8_t selector, uint16_t address, uint8_t start = 0x4D) {
    return Frame({0x3C, 0x08, selector, 0x08, static_cast<uint8_t>(address & 0xFF),
                  static_cast<uint8_t>(address >> 8)},
                 start);
}

// Always 14 payload bytes, as the host sends them; n says how many of the 8 data bytes count.
inline Bytes WriteMail(uint16_t address, const Bytes &data8, uint8_t n = 8, uint8_t start = 0x4D) {
    Bytes payload{0x3B, 0x08, 0x00, n, static_cast<uint8_t>(address & 0xFF),
                  static_cast<uint8_t>(address >> 8)};
    payload.insert(payload.end(), data8.begin(), data8.end());
    payload.resize(14, 0);
    return Frame(payload, start);
}

// The 13-byte reply to a read mail as the wire format describes it: 4D 02 08, a status byte,
// the eight memory bytes, the sum of the nine data bytes. The status byte is taken from `got`.
inline Bytes ExpectedReadReply(const Bytes &memory, uint16_t address, uint8_t status) {
    Bytes data{status};
    for (unsigned i = 0; i < 8; ++i) {
        const unsigned a = address + i;
        data.push_back(a < memory.size() ? memory[a] : 0);
    }
    Bytes reply{0x4D, 0x02, 0x08};
    reply.insert(reply.end(), data.begin(), data.end());
    reply.push_back(PayloadSum(data));
    return reply;
}
