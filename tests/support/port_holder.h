// A second process that opens a device and holds an exclusive flock on it until the object goes:
// another program holding the port, as the port list and relaycfg must report it.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace testsupport {

class PortHolder {
public:
    explicit PortHolder(const std::string &devicePath) {
        int ready[2];
        int release[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) return;
        if (::pipe2(release, O_CLOEXEC) != 0) {
            ::close(ready[0]);
            ::close(ready[1]);
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            // The child: only async-signal-safe calls from here on.
            ::close(ready[0]);
            ::close(release[1]);
            const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            const char answer = (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) ? '1' : '0';
            if (::write(ready[1], &answer, 1) != 1) ::_exit(1);
            char ignored;
            while (::read(release[0], &ignored, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release[0]);
        release_ = release[1];
        char answer = '0';
        if (pid_ > 0 && ::read(ready[0], &answer, 1) == 1) holding_ = answer == '1';
        ::close(ready[0]);
    }
    ~PortHolder() {
        if (release_ >= 0) ::close(release_);  // lets the child end
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    PortHolder(const PortHolder &) = delete;
    PortHolder &operator=(const PortHolder &) = delete;

    bool Holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool holding_ = false;
};

}  // namespace testsupport
