#include "pty_peer.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

void SetRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
}

bool FrameComplete(const std::vector<uint8_t> &message) {
    return message.size() >= 5 && message.size() == message[4] + 6u;
}

}  // namespace

PtyPeer::PtyPeer() {
    masterFd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd_ < 0 || ::grantpt(masterFd_) != 0 || ::unlockpt(masterFd_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    const char *name = ::ptsname(masterFd_);
    if (name == nullptr) throw std::runtime_error("pseudo-terminal has no name");
    devicePath_ = name;
    // The peer keeps the device side open, so the line stays up between the library's opens.
    deviceFd_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (deviceFd_ < 0) throw std::runtime_error("cannot open the pseudo-terminal's device side");
    SetRaw(deviceFd_);
    SetRaw(masterFd_);
    thread_ = std::thread([this] { Serve(); });
}

PtyPeer::~PtyPeer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    CloseLine();
    if (deviceFd_ >= 0) ::close(deviceFd_);
}

void PtyPeer::Publish(const std::string &dir, unsigned comNumber) const {
    const std::string entry = dir + "/COM" + std::to_string(comNumber);
    ::unlink(entry.c_str());
    if (::symlink(devicePath_.c_str(), entry.c_str()) != 0) throw std::runtime_error("cannot publish " + entry);
}

void PtyPeer::OnMessage(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

void PtyPeer::Send(const std::vector<uint8_t> &bytes) { WriteAll(bytes); }

void PtyPeer::HangUp() {
    hangUpRequested_ = true;
    // The serving thread closes the line; wait until it has.
    for (int i = 0; i < 200 && hangUpRequested_; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
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

void PtyPeer::WriteAll(const std::vector<uint8_t> &bytes) {
    std::lock_guard<std::mutex> lock(writeMutex_);
    std::size_t done = 0;
    while (masterFd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::write(masterFd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            break;
        }
    }
}

void PtyPeer::CloseLine() {
    std::lock_guard<std::mutex> lock(writeMutex_);
    if (masterFd_ >= 0) ::close(masterFd_);
    masterFd_ = -1;
}

void PtyPeer::Serve() {
    while (!stop_) {
        if (hangUpRequested_) {
            CloseLine();
            hangUpRequested_ = false;
        }
        if (masterFd_ < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        pollfd entry{masterFd_, POLLIN, 0};
        if (::poll(&entry, 1, 5) <= 0 || (entry.revents & POLLIN) == 0) continue;
        uint8_t chunk[256];
        const ssize_t n = ::read(masterFd_, chunk, sizeof chunk);
        if (n > 0) HandleBytes(chunk, static_cast<std::size_t>(n));
    }
}

void PtyPeer::HandleBytes(const uint8_t *data, std::size_t length) {
    for (std::size_t i = 0; i < length && masterFd_ >= 0; ++i) {
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
        if (answer.hangUp) CloseLine();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++messages_;
        }
        changed_.notify_all();
    }
}
