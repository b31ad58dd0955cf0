// Maillink's platform interface over the scripted line of fake_line.h: no device, no waiting.
#include <algorithm>
#include <cstring>
#include <deque>

#include "fake_line.h"
#include "platform.h"

namespace fakeline {
namespace {

constexpr uint32_t kHandle = 7;

struct Line {
    const uint8_t *script = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    bool openSucceeds = true;
    uint32_t writeLimit = 0;
    bool open = false;
    std::deque<uint8_t> arrived;     // waiting to be read
    std::deque<uint8_t> toEcho;      // written, not yet echoed
    unsigned idleReads = 0;          // reads left that find nothing
    Counters count;
    std::vector<WriteCall> writes;
    std::vector<uint8_t> delivered;
};

Line g_line;

uint8_t ScriptByte() { return g_line.pos < g_line.size ? g_line.script[g_line.pos++] : 0; }

// Runs script ops until a byte has arrived, an idle read is due, or the script is used up.
void Advance() {
    Line &l = g_line;
    while (l.arrived.empty() && l.idleReads == 0 && l.pos < l.size) {
        const uint8_t op = l.script[l.pos++];
        if (op < 0x40) {
            l.idleReads = op + 1u;
        } else if (op < 0x80) {
            unsigned n = (op & 0x3Fu) + 1;
            if (l.toEcho.empty()) l.idleReads = 1;
            while (n-- > 0 && !l.toEcho.empty()) {
                l.arrived.push_back(l.toEcho.front());
                l.toEcho.pop_front();
            }
        } else if (op < 0xC0) {
            for (unsigned n = (op & 0x3Fu) + 1; n > 0 && l.pos < l.size; --n)
                l.arrived.push_back(l.script[l.pos++]);
        } else if (op < 0xE0) {
            const uint8_t length = ScriptByte();
            l.arrived.push_back(0x4D);
            l.arrived.push_back(0x02);
            l.arrived.push_back(length);
            uint8_t sum = 0;
            for (unsigned i = 0; i <= length; ++i) {
                const uint8_t b = ScriptByte();
                sum = static_cast<uint8_t>(sum + b);
                l.arrived.push_back(b);
            }
            l.arrived.push_back((op & 1) != 0 ? sum : ScriptByte());
        } else {
            l.arrived.push_back(0x61);
        }
    }
}

}  // namespace

void Reset(const uint8_t *script, std::size_t size, bool openSucceeds, uint32_t writeLimit) {
    g_line = Line{};
    g_line.script = script;
    g_line.size = size;
    g_line.openSucceeds = openSucceeds;
    g_line.writeLimit = writeLimit;
}

Counters &Count() { return g_line.count; }
const std::vector<WriteCall> &WriteCalls() { return g_line.writes; }
const std::vector<uint8_t> &Delivered() { return g_line.delivered; }

}  // namespace fakeline

namespace maillink::platform {

using fakeline::g_line;

uint32_t OpenPort(const char *modeText, uint32_t baudRate) {
    ++g_line.count.opens;
    g_line.count.lastModeText = modeText;
    g_line.count.lastBaudRate = baudRate;
    if (!g_line.openSucceeds) return kNoPort;
    g_line.open = true;
    return fakeline::kHandle;
}

void PurgeAndClose(uint32_t port) {
    if (port != fakeline::kHandle || !g_line.open) __builtin_trap();  // closing what is not open
    ++g_line.count.closes;
    g_line.open = false;
    g_line.arrived.clear();
    g_line.toEcho.clear();
}

uint32_t Write(uint32_t port, const uint8_t *data, uint32_t len) {
    if (port != fakeline::kHandle || !g_line.open) __builtin_trap();
    const uint32_t handed = std::min(len, g_line.writeLimit);
    g_line.writes.push_back({{data, data + handed}, g_line.delivered.size()});
    g_line.toEcho.insert(g_line.toEcho.end(), data, data + handed);
    return handed;
}

uint8_t Read(uint32_t port, uint8_t *buffer, uint8_t count) {
    if (port != fakeline::kHandle || !g_line.open) __builtin_trap();
    fakeline::Advance();
    if (g_line.idleReads > 0 && g_line.arrived.empty()) {
        --g_line.idleReads;
        return 0;
    }
    uint8_t n = 0;
    while (n < count && !g_line.arrived.empty()) {
        buffer[n++] = g_line.arrived.front();
        g_line.delivered.push_back(g_line.arrived.front());
        g_line.arrived.pop_front();
    }
    return n;
}

void Sleep(uint16_t milliseconds) { g_line.count.sleeps.push_back(milliseconds); }

// One idle poll a call, as on Windows: the counters then count polls.
uint32_t WaitIdlePolls(uint32_t, IdlePoll poll, uint32_t, uint32_t) {
    switch (poll) {
    case IdlePoll::EchoYield: ++g_line.count.echoYields; break;
    case IdlePoll::OneMillisecond: ++g_line.count.pauses1ms; break;
    case IdlePoll::FiveMilliseconds: ++g_line.count.pauses5ms; break;
    }
    return 1;
}

char *LastErrorText(char *buffer, uint8_t size) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return buffer;
}

}  // namespace maillink::platform
