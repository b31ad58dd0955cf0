#include "sim_control.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace repeatersim {

std::string RunControlCommand(Simulator &sim, const std::string &line) {
    std::istringstream words(line);
    std::string command, file, extra;
    words >> command >> file >> extra;
    if (command.empty()) return "";
    if (command == "unplug" && file.empty()) {
        sim.Unplug();
        return "unplugged";
    }
    if (command == "plug" && extra.empty()) {
        if (file.empty()) {
            sim.PlugIn(SampleInfoBlock(), SampleConfigImage());
            return "plugged in (the sample repeater)";
        }
        sim.PlugIn(file);
        return "plugged in (" + file + ")";
    }
    throw std::invalid_argument("control: \"" + line + "\" is no command (unplug, plug [FILE])");
}

struct ControlFifo::Impl {
    std::string path;
    std::function<void(const std::string &)> onLine;
    bool made = false;
    int fd = -1;
    int wake[2] = {-1, -1};
    std::thread thread;

    ~Impl() {
        for (int f : {fd, wake[0], wake[1]})
            if (f >= 0) ::close(f);
        if (made) ::unlink(path.c_str());
    }

    [[noreturn]] void Fail(const std::string &what) const {
        throw std::runtime_error("control FIFO " + path + ": " + what + ": " +
                                 std::strerror(errno));
    }

    void Run() {
        std::string pending;
        for (;;) {
            pollfd fds[2] = {{fd, POLLIN, 0}, {wake[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR) return;
            if (fds[1].revents != 0) return;
            char buffer[512];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0) continue;
            pending.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                onLine(pending.substr(0, end));
                pending.erase(0, end + 1);
            }
        }
    }
};

ControlFifo::ControlFifo(const std::string &path, std::function<void(const std::string &)> onLine)
    : impl_(std::make_unique<Impl>()) {
    Impl &c = *impl_;
    c.path = path;
    c.onLine = std::move(onLine);
    if (::mkfifo(path.c_str(), 0600) == 0)
        c.made = true;
    else if (errno != EEXIST)
        c.Fail("cannot make it");
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) c.Fail("cannot see it");
    if (!S_ISFIFO(st.st_mode)) {
        errno = EEXIST;
        c.Fail("it is no FIFO");
    }
    // Read and write: the FIFO never reads as ended while no script has it open.
    c.fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (c.fd < 0) c.Fail("cannot open it");
    if (::pipe2(c.wake, O_CLOEXEC) != 0) c.Fail("wake-up pipe");
    c.thread = std::thread([&c] { c.Run(); });
}

ControlFifo::~ControlFifo() {
    const char one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(impl_->wake[1], &one, 1);
    impl_->thread.join();
}

}  // namespace repeatersim
