// The scripted device's line on POSIX: the master side of a pseudo-terminal. The peer keeps the
// device side open too, so the line stays up between the library's opens and its settings can
// be read.
#include <cerrno>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

#include "pty_pair.h"
#include "pty_peer.h"

namespace {

class PtyMaster : public LineEnd {
public:
    explicit PtyMaster(int fd) : fd_(fd) {}
    ~PtyMaster() override { HangUp(); }

    void HangUp() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    long Read(uint8_t *buffer, std::size_t size, unsigned timeoutMs) override {
        if (fd_ < 0) return -1;
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(timeoutMs)) <= 0 || (entry.revents & POLLIN) == 0) return 0;
        const ssize_t n = ::read(fd_, buffer, size);
        return n > 0 ? static_cast<long>(n) : 0;
    }

    bool Write(const uint8_t *data, std::size_t size) override {
        std::size_t done = 0;
        while (fd_ >= 0 && done < size) {
            const ssize_t n = ::write(fd_, data + done, size - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
                return false;
            }
        }
        return done == size;
    }

private:
    int fd_;
};

}  // namespace

void PtyPeer::OpenPlatformLine() {
    const ptypair::PtyPair pair = ptypair::OpenPtyPair();
    devicePath_ = pair.slavePath;
    deviceFd_ = pair.slave;
    SetLine(std::make_shared<PtyMaster>(pair.master));
}

void PtyPeer::ClosePlatformLine() {
    if (deviceFd_ >= 0) ::close(deviceFd_);
    deviceFd_ = -1;
}

void PtyPeer::Publish(const std::string &dir, unsigned comNumber) {
    const std::string entry = dir + "/COM" + std::to_string(comNumber);
    ::unlink(entry.c_str());
    if (::symlink(devicePath_.c_str(), entry.c_str()) != 0) throw std::runtime_error("cannot publish " + entry);
    comNumber_ = comNumber;
}
