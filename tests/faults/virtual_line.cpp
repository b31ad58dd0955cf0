#include "virtual_line.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <vector>

#include "platform.h"
#include "posix_waits.h"
#include "repeater_sim.h"

namespace virtualline {
namespace {

using repeatersim::detail::LineEvent;
using namespace std::chrono_literals;

constexpr uint32_t kHandle = 3;
constexpr auto kSettle = 20ms;  // the backend's settle time after opening, before its purge

struct Line {
    repeatersim::detail::DeviceModel device;
    Time now = Time{} + 1h;
    std::multimap<Time, LineEvent> toHost;  // what the device sends, by the time it reaches us
    bool open = false;
    bool hungUp = false;
    Counts count;
};

Line &State() {
    static Line line;
    return line;
}

// Drops what has reached the host by now: the backend's purge.
void DropArrived() {
    Line &l = State();
    l.toHost.erase(l.toHost.begin(), l.toHost.upper_bound(l.now));
}

// The POSIX backend's wait: one sleep on the port for all the polls, ended early by input, charged
// as the backend charges it; on a line that has hung up it takes all the polls at once.
uint32_t WaitOnPort(std::chrono::nanoseconds poll, uint32_t polls) {
    Line &l = State();
    if (l.hungUp) return polls;
    const Time deadline = l.now + poll * polls;
    if (l.toHost.empty() || l.toHost.begin()->first >= deadline) {
        l.now = std::max(l.now, deadline);
        return polls;
    }
    const Time start = l.now;
    l.now = std::max(l.now, l.toHost.begin()->first);
    return maillink::posix::PollsBeforeInput((l.now - start).count(), poll.count(), polls);
}

}  // namespace

void Reset(bool paced) {
    Line &l = State();
    l = Line{};
    l.device.info = repeatersim::SampleInfoBlock();
    l.device.config = repeatersim::SampleConfigImage();
    l.device.SetTiming(paced, paced ? 16ms : 0ns, 150ms);
    l.device.Restart();
}

repeatersim::detail::DeviceModel &Device() { return State().device; }
Time Now() { return State().now; }
void Advance(std::chrono::nanoseconds time) { State().now += time; }
bool IsOpen() { return State().open; }
bool IsHungUp() { return State().hungUp; }
const Counts &Count() { return State().count; }

}  // namespace virtualline

namespace maillink::platform {

using virtualline::State;

uint32_t OpenPort(const char *, uint32_t) {
    auto &l = State();
    if (l.hungUp || l.open) return kNoPort;  // the adapter is gone, or the port is in use
    l.open = true;
    ++l.count.opens;
    l.now += virtualline::kSettle;
    virtualline::DropArrived();
    return virtualline::kHandle;
}

void PurgeAndClose(uint32_t port) {
    auto &l = State();
    if (port != virtualline::kHandle || !l.open) return;
    virtualline::DropArrived();
    l.open = false;
    ++l.count.closes;
}

uint32_t Write(uint32_t port, const uint8_t *data, uint32_t len) {
    auto &l = State();
    if (port != virtualline::kHandle || !l.open || l.hungUp) return 0;
    std::vector<repeatersim::detail::LineEvent> produced;
    for (uint32_t i = 0; i < len; ++i) l.device.Receive(data[i], l.device.ArrivalTime(l.now), produced);
    for (const auto &e : produced) l.toHost.emplace(e.due, e);
    return len;
}

uint8_t Read(uint32_t port, uint8_t *buffer, uint8_t count) {
    auto &l = State();
    if (port != virtualline::kHandle || !l.open || l.hungUp) return 0;
    uint8_t n = 0;
    while (n < count && !l.toHost.empty() && l.toHost.begin()->first <= l.now) {
        if (l.toHost.begin()->second.hangUp) {  // the line died: reads fail from now on
            l.hungUp = true;
            l.toHost.clear();
            return 0;
        }
        buffer[n++] = l.toHost.begin()->second.byte;
        l.toHost.erase(l.toHost.begin());
    }
    return n;
}

void Sleep(uint16_t milliseconds) { State().now += std::chrono::milliseconds(milliseconds); }

uint32_t WaitIdlePolls(uint32_t, IdlePoll poll, uint32_t polls, uint32_t) {
    return virtualline::WaitOnPort(std::chrono::nanoseconds(posix::PollNanoseconds(poll)), polls);
}

char *LastErrorText(char *buffer, uint8_t size) {
    if (buffer != nullptr && size > 0) buffer[0] = '\0';
    return buffer;
}

}  // namespace maillink::platform
