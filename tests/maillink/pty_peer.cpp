#include "pty_peer.h"

#include <chrono>

namespace {

bool FrameComplete(const std::vector<uint8_t> &message) {
    return message.size() >= 5 && message.size() == message[4] + 6u;
}

}  // namespace

PtyPeer::PtyPeer() {
    OpenPlatformLine();
    thread_ = std::thread([this] { Serve(); });
}

PtyPeer::~PtyPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    CloseLine();
    ClosePlatformLine();
}

void PtyPeer::OnMessage(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

void PtyPeer::Send(const std::vector<uint8_t> &bytes) { WriteAll(bytes); }

void PtyPeer::HangUp() {
    hangUpRequested_ = true;
    // The serving thread closes the line; wait until it has.
    for (int i = 0; i < 400 && hangUpRequested_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

std::vector<uint8_t> PtyPeer::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool PtyPeer::WaitForReceived(std::size_t count, unsigned timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return received_.size() >= count; });
}

bool PtyPeer::WaitForMessages(std::size_t count, unsigned timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return messages_ >= count; });
}

std::shared_ptr<LineEnd> PtyPeer::Line() const {
    std::lock_guard<std::mutex> lock(lineMutex_);
    return line_;
}

void PtyPeer::SetLine(std::shared_ptr<LineEnd> line) {
    std::lock_guard<std::mutex> writing(writeMutex_);
    std::lock_guard<std::mutex> lock(lineMutex_);
    line_ = std::move(line);
}

void PtyPeer::WriteAll(const std::vector<uint8_t> &bytes) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (const std::shared_ptr<LineEnd> line = Line()) line->Write(bytes.data(), bytes.size());
}

void PtyPeer::CloseLine() { SetLine(nullptr); }

void PtyPeer::HangUpLine() {
    if (const std::shared_ptr<LineEnd> line = Line()) {
        std::lock_guard<std::mutex> lock(writeMutex_);
        line->HangUp();
    }
    CloseLine();
}

void PtyPeer::Serve() {
    while (!stop_) {
        if (hangUpRequested_) {
            HangUpLine();
            hangUpRequested_ = false;
        }
        const std::shared_ptr<LineEnd> line = Line();
        if (!line) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        uint8_t chunk[256];
        const long n = line->Read(chunk, sizeof chunk, 5);
        if (n > 0) HandleBytes(chunk, static_cast<std::size_t>(n));
        if (n < 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void PtyPeer::HandleBytes(const uint8_t *data, std::size_t length) {
    for (std::size_t i = 0; i < length && Line(); ++i) {
        const uint8_t byte = data[i];
        std::vector<uint8_t> message;
        Handler handler;
        std::size_t position = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            received_.push_back(byte);
            position = message_.size();
            message_.push_back(byte);
            // A frame starts with FF FF; anything else is a message of its own.
            const bool framing = (message_.size() == 1 && byte == 0xFF) || (message_.size() == 2 && byte == 0xFF) ||
                                 message_.size() > 2;
            if (!framing || FrameComplete(message_)) {
                message.swap(message_);
                handler = handler_;
            }
        }
        changed_.notify_all();

        if (echo_) {
            if (position == 0 && echoDelayMs_ > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(echoDelayMs_.load()));
            const uint8_t echoed = static_cast<int>(position) == corruptAt_ ? static_cast<uint8_t>(~byte) : byte;
            WriteAll({echoed});
        }
        if (message.empty()) continue;

        Answer answer = handler ? handler(message) : Answer{};
        if (answer.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
        if (!answer.bytes.empty()) WriteAll(answer.bytes);
        if (answer.hangUp) HangUpLine();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++messages_;
        }
        changed_.notify_all();
    }
}
