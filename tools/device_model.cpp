#include "device_model.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace repeatersim::detail {

namespace {

constexpr uint8_t kPreamble = 0xFF;
constexpr uint8_t kStartMail = 0x4D;  // 'M'
constexpr uint8_t kStartAck = 0x41;   // 'A': acknowledge mode
constexpr uint8_t kAck = 0x61;        // 'a'
constexpr uint8_t kMemoryType = 0x02;
constexpr uint8_t kReadCommand = 0x3C;
constexpr uint8_t kWriteCommand = 0x3B;
constexpr uint8_t kInfoSelector = 0xFF;
constexpr uint8_t kConfigSelector = 0x00;
constexpr uint8_t kReplyStatus = 0x3C;
constexpr uint8_t kChunk = 8;
constexpr uint8_t kMaxPayload = 14;  // the longest frame on this line is 20 bytes
constexpr std::size_t kHeader = 5;   // FF FF start type L
constexpr std::size_t kMemoryPayload = 6;  // command 08 selector count address-low address-high
constexpr uint8_t kDeviceTypeOffset = 18;
constexpr uint8_t kOtherDeviceType = 'b';

uint8_t Sum(const uint8_t *bytes, std::size_t n) {
    return static_cast<uint8_t>(std::accumulate(bytes, bytes + n, 0u));
}

}  // namespace

DeviceModel::DeviceModel() : config(kConfigSize, 0) {}

void DeviceModel::SetTiming(bool pace, Nanos latency, Nanos eepromBusy) {
    pace_ = pace;
    latency_ = latency;
    eepromBusy_ = eepromBusy;
}

void DeviceModel::Restart() {
    state_ = State::Hunt;
    frame_.clear();
    received_.clear();
    mailCount_ = 0;
    lastArrival_ = Time{};
    txFree_ = Time{};
    busyUntil_ = Time{};
    memoryWritten_ = false;
}

void DeviceModel::PlugIn() {
    Restart();
    unplugged_ = false;
}

Time DeviceModel::ArrivalTime(Time readTime) {
    if (!pace_) return lastArrival_ = readTime;
    lastArrival_ = std::max(readTime, lastArrival_) + kByteTime;
    return lastArrival_;
}

void DeviceModel::SetFaults(std::vector<FaultPlan> plans) {
    std::erase_if(plans, [](const FaultPlan &p) { return p.kind == Fault::None; });
    faults_ = std::move(plans);
    mailCount_ = 0;
}

void DeviceModel::AddFault(FaultPlan plan) {
    if (plan.kind != Fault::None) faults_.push_back(plan);
}

bool DeviceModel::TakeMemoryWritten() {
    return std::exchange(memoryWritten_, false);
}

const FaultPlan *DeviceModel::Hit(Fault kind, unsigned mail) const {
    for (const FaultPlan &p : faults_)
        if (p.kind == kind && (p.atMail == 0 || p.atMail == mail)) return &p;
    return nullptr;
}

// Hunts for FF FF and a start byte, then collects type, length, payload and checksum. A longer
// run of FF counts its last two as the preamble.
DeviceModel::ParseStep DeviceModel::Parse(uint8_t byte) {
    switch (state_) {
    case State::Hunt:
        if (byte != kPreamble) return {};
        frame_.assign(1, byte);
        state_ = State::Preamble;
        return {true, 0, false};
    case State::Preamble:
        if (byte == kPreamble) {
            frame_.push_back(byte);
            state_ = State::StartByte;
            return {true, 1, false};
        }
        break;
    case State::StartByte:
        if (byte == kPreamble) return {true, 1, false};
        if (byte == kStartMail || byte == kStartAck) {
            frame_.push_back(byte);
            state_ = State::Type;
            return {true, 2, false};
        }
        break;
    case State::Type:
        frame_.push_back(byte);
        state_ = State::Length;
        return {true, 3, false};
    case State::Length:
        frame_.push_back(byte);
        if (byte > kMaxPayload) {  // no such frame on this line: hunt again
            state_ = State::Hunt;
            frame_.clear();
            return {true, 4, false};
        }
        state_ = byte == 0 ? State::Checksum : State::Payload;
        return {true, 4, false};
    case State::Payload:
        frame_.push_back(byte);
        if (frame_.size() == kHeader + frame_[4]) state_ = State::Checksum;
        return {true, frame_.size() - 1, false};
    case State::Checksum:
        frame_.push_back(byte);
        state_ = State::Hunt;
        return {true, frame_.size() - 1, true};
    }
    state_ = State::Hunt;
    frame_.clear();
    return {};
}

void DeviceModel::Receive(uint8_t byte, Time arrival, std::vector<LineEvent> &out) {
    if (unplugged_) return;
    received_.push_back(byte);
    const ParseStep step = Parse(byte);
    const unsigned mail = mailCount_ + 1;  // the number this frame gets when it completes

    if (step.complete && Hit(Fault::HangUp, mail)) {  // dead before the last byte is echoed
        ++mailCount_;
        out.push_back({arrival + latency_, 0, true});
        return;
    }

    if (!step.inFrame || !Hit(Fault::NoEcho, mail)) {
        uint8_t echo = byte;
        if (step.inFrame) {
            const FaultPlan *corrupt = Hit(Fault::CorruptEcho, mail);
            if (corrupt && corrupt->value == step.index) echo ^= 0x01;
        }
        out.push_back({arrival + latency_, echo, false});
    }
    if (step.complete) OnFrame(arrival, out);
}

void DeviceModel::Transmit(const std::vector<uint8_t> &bytes, Time from,
                           std::vector<LineEvent> &out) {
    Time t = std::max(from, txFree_);
    for (uint8_t b : bytes) {
        if (pace_) t += kByteTime;
        out.push_back({t + latency_, b, false});
    }
    txFree_ = t;
}

void DeviceModel::OnFrame(Time arrival, std::vector<LineEvent> &out) {
    const unsigned mail = ++mailCount_;
    if (Hit(Fault::NoEcho, mail)) return;  // a frame the device did not hear is not answered
    if (responder_) {
        Transmit(responder_(frame_), arrival, out);
        return;
    }

    const uint8_t type = frame_[3];
    const std::vector<uint8_t> payload(frame_.begin() + kHeader, frame_.end() - 1);
    if (Sum(payload.data(), payload.size()) != frame_.back()) return;
    if (arrival < busyUntil_) return;  // still writing its EEPROM: deaf to mails
    if (Hit(Fault::Silence, mail)) return;

    std::vector<uint8_t> answer;
    if (frame_[2] == kStartAck) answer.push_back(kAck);
    if (type == kMemoryType && payload.size() >= kMemoryPayload) {
        if (payload[0] == kReadCommand) AppendReadReply(payload, mail, answer);
        else if (payload[0] == kWriteCommand && !Hit(Fault::IgnoreWrite, mail))
            ApplyWrite(payload, arrival);
    }
    Transmit(answer, arrival, out);
}

uint8_t DeviceModel::MemoryByte(uint8_t selector, uint32_t address) const {
    if (selector == kInfoSelector) return address < info.size() ? info[address] : 0;
    return address < config.size() ? config[address] : 0;
}

// Reply: 4D 02 L' status data... checksum, where the L'+1 data bytes (status included) are
// summed. Normally L' is 8: the status byte and the 8 bytes at the requested address.
void DeviceModel::AppendReadReply(const std::vector<uint8_t> &payload, unsigned mail,
                                  std::vector<uint8_t> &answer) const {
    const uint8_t selector = payload[2];
    if (selector != kInfoSelector && selector != kConfigSelector) return;
    const uint32_t address = payload[4] | (payload[5] << 8);

    uint8_t length = kChunk;
    if (const FaultPlan *f = Hit(Fault::ReplyLength, mail)) length = f->value;
    const FaultPlan *wrongType =
        selector == kInfoSelector ? Hit(Fault::WrongDeviceType, mail) : nullptr;

    std::vector<uint8_t> data{kReplyStatus};
    for (uint32_t i = 0; data.size() < std::size_t{length} + 1u; ++i) {
        const uint32_t a = (address + i) & 0xFFFF;
        uint8_t b = MemoryByte(selector, a);
        if (wrongType && a == kDeviceTypeOffset)
            b = wrongType->value ? wrongType->value : kOtherDeviceType;
        data.push_back(b);
    }
    uint8_t checksum = Sum(data.data(), data.size());
    if (Hit(Fault::BadChecksum, mail)) checksum ^= 0xFF;

    answer.insert(answer.end(), {kStartMail, kMemoryType, length});
    answer.insert(answer.end(), data.begin(), data.end());
    answer.push_back(checksum);
}

// Payload: 3B 08 00 n address-low address-high data...; n is at most 8 and the data must be
// there. Anything else is not a write this device understands.
void DeviceModel::ApplyWrite(const std::vector<uint8_t> &payload, Time arrival) {
    const uint8_t selector = payload[2];
    const uint8_t n = payload[3];
    if (selector != kConfigSelector || n > kChunk || payload.size() < kMemoryPayload + n) return;
    const uint32_t address = payload[4] | (payload[5] << 8);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t a = (address + i) & 0xFFFF;
        if (a < config.size()) config[a] = payload[kMemoryPayload + i];
    }
    busyUntil_ = arrival + eepromBusy_;
    memoryWritten_ = true;
}

}  // namespace repeatersim::detail
