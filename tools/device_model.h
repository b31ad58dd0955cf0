// The repeater's behaviour on the line, free of any I/O: bytes from the host go in with the time
// they arrived, and what the device sends back comes out as bytes with the time they are due at
// the host. The simulator's thread owns the pseudo-terminal and the clock; this class owns the
// frame parser, the two memories, the faults and the line timing.
#pragma once

#include "repeater_sim.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace repeatersim::detail {

using Clock = std::chrono::steady_clock;
using Time = Clock::time_point;
using Nanos = std::chrono::nanoseconds;

// One byte on a 9600-baud 8N1 line: 10 bit times.
constexpr Nanos kByteTime{1'041'667};

// Something the device does to the line at `due`: send `byte`, or (hangUp) close the line.
struct LineEvent {
    Time due;
    uint8_t byte = 0;
    bool hangUp = false;
};

class DeviceModel {
public:
    using Responder = std::function<std::vector<uint8_t>(const std::vector<uint8_t> &)>;

    DeviceModel();

    void SetTiming(bool pace, Nanos latency, Nanos eepromBusy);

    // Back to the state of a freshly started device: parser hunting, no busy window, nothing
    // received, mail count 0. Memories, faults and the responder are kept.
    void Restart();

    // The time a byte that the host wrote at `readTime` has crossed the line (with pacing, bytes
    // queue behind each other one byte time apart).
    Time ArrivalTime(Time readTime);

    // One byte from the host, arrived at `arrival`. Appends what the device sends in return.
    void Receive(uint8_t byte, Time arrival, std::vector<LineEvent> &out);
    // Sends bytes on the device's transmit line, starting no earlier than `from`.
    void Transmit(const std::vector<uint8_t> &bytes, Time from, std::vector<LineEvent> &out);

    std::array<uint8_t, kInfoSize> info{};
    std::vector<uint8_t> config;  // kConfigSize bytes

    void SetFaults(std::vector<FaultPlan> plans);  // restarts the mail count
    void AddFault(FaultPlan plan);
    void SetResponder(Responder responder) { responder_ = std::move(responder); }

    const std::vector<uint8_t> &Received() const { return received_; }
    void ClearReceived() { received_.clear(); }
    unsigned MailCount() const { return mailCount_; }

    // The unit taken off the line: what the host sends is dropped unheard (no echo, no answer)
    // until PlugIn, which also restarts the device as Restart does.
    void Unplug() { unplugged_ = true; }
    void PlugIn();

    // True once after a write mail changed the configuration memory.
    bool TakeMemoryWritten();
    // The end of the EEPROM write after the last write mail (in the past when none is going on).
    Time BusyUntil() const { return busyUntil_; }

private:
    enum class State { Hunt, Preamble, StartByte, Type, Length, Payload, Checksum };
    struct ParseStep {
        bool inFrame = false;     // the byte belongs to a (possible) frame
        std::size_t index = 0;    // its position in that frame
        bool complete = false;    // it was the frame's checksum byte
    };

    ParseStep Parse(uint8_t byte);
    const FaultPlan *Hit(Fault kind, unsigned mail) const;
    void OnFrame(Time arrival, std::vector<LineEvent> &out);
    void AppendReadReply(const std::vector<uint8_t> &payload, unsigned mail,
                         std::vector<uint8_t> &answer) const;
    void ApplyWrite(const std::vector<uint8_t> &payload, Time arrival);
    uint8_t MemoryByte(uint8_t selector, uint32_t address) const;

    bool pace_ = false;
    Nanos latency_{0};
    Nanos eepromBusy_{0};

    State state_ = State::Hunt;
    std::vector<uint8_t> frame_;  // from the preamble's first byte on
    std::vector<uint8_t> received_;
    unsigned mailCount_ = 0;
    std::vector<FaultPlan> faults_;
    Responder responder_;
    Time lastArrival_{};
    Time txFree_{};     // when the device's transmitter has finished its last byte
    Time busyUntil_{};  // end of the EEPROM write after the last write mail
    bool memoryWritten_ = false;
    bool unplugged_ = false;
};

}  // namespace repeatersim::detail
