// The simulator's thread: reads what the host writes, lets each byte "arrive" at its time on
// the line, and writes the device's bytes when they are due. It sleeps in ppoll() until the next
// scheduled event, new input or a wake-up from another thread: no busy loop.
#include "repeater_sim.h"

#include "device_model.h"
#include "memory_file.h"
#include "pty_pair.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace repeatersim {

namespace {

// The line as a repeater's port runs it: 9600 baud, receiver on, modem lines ignored. Set on the
// pair's slave, whose reads return at once; or on an attached device itself, whose reads then
// need a minimum of one byte: non-blocking, an empty line reads as EAGAIN and 0 means the line
// hung up, as on a pair's master. Throws std::runtime_error.
void SetRepeaterLine(ptypair::PtyPair &line) {
    const bool attached = line.slave < 0;
    const int fd = attached ? line.master : line.slave;
    termios tio{};
    bool done = ::tcgetattr(fd, &tio) == 0;
    if (done) {
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = attached ? 1 : 0;
        tio.c_cc[VTIME] = 0;
        ::cfsetispeed(&tio, B9600);
        ::cfsetospeed(&tio, B9600);
        done = ::tcsetattr(fd, TCSANOW, &tio) == 0;
    }
    if (!done) {
        const int err = errno;
        ptypair::ClosePtyPair(line);
        throw std::runtime_error(std::string("pseudo-terminal: line settings: ") +
                                 std::strerror(err));
    }
}

// An existing terminal as the device's end of the line: the descriptor stands where a pair's
// master would, and there is no slave of our own.
ptypair::PtyPair AttachLine(const std::string &path) {
    ptypair::PtyPair line;
    line.master = ptypair::OpenRawTerminal(path);
    if (line.master < 0)
        throw std::runtime_error("cannot attach to " + path + ": " + std::strerror(errno));
    line.slavePath = path;
    return line;
}

}  // namespace

using detail::Clock;
using detail::LineEvent;
using detail::Time;

struct Simulator::Impl {
    explicit Impl(Options o) : options(std::move(o)), memoryFile(options.memoryFile) {
        device.info = SampleInfoBlock();
        device.config = SampleConfigImage();
        if (options.unplugged) device.Unplug();
        device.SetTiming(options.pace, std::chrono::milliseconds(options.echoLatencyMs),
                         std::chrono::milliseconds(options.eepromBusyMs));
    }

    const Options options;
    std::string memoryFile;  // where the memories are saved: the option's, or the last PlugIn's
    mutable std::mutex mu;
    std::condition_variable lineClosed;
    detail::DeviceModel device;
    ptypair::PtyPair line;
    std::string devicePath;  // kept after the line is closed
    std::vector<std::filesystem::path> links;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread thread;
    bool serving = false;         // the thread is in its loop
    bool stopRequested = false;
    bool hangUpRequested = false;
    bool hungUp = false;
    std::deque<std::pair<Time, uint8_t>> inbound;  // read, not yet arrived
    std::multimap<Time, LineEvent> outbound;       // due at the host; equal times keep order

    void Run();
    bool ReadHost();                    // false when the line is dead
    bool WriteDue(Time now, bool &blocked);  // false when the line was closed
    void CloseLine();
    void Wake() const;
    void SaveIfConfigured();
    void RemoveLinks();
    void Apply(const detail::MemoryText &memory);
};

// A memory the text names is replaced whole; bytes it does not give read 0.
void Simulator::Impl::Apply(const detail::MemoryText &memory) {
    if (memory.info) {
        device.info.fill(0);
        std::copy_n(memory.info->begin(), std::min(memory.info->size(), kInfoSize),
                    device.info.begin());
    }
    if (memory.config) {
        device.config.assign(kConfigSize, 0);
        std::copy_n(memory.config->begin(), std::min(memory.config->size(), kConfigSize),
                    device.config.begin());
    }
}

void Simulator::Impl::Wake() const {
    if (wakeWrite < 0) return;
    const char one = 1;
    [[maybe_unused]] ssize_t ignored = ::write(wakeWrite, &one, 1);  // full pipe: already awake
}

void Simulator::Impl::CloseLine() {
    ptypair::ClosePtyPair(line);
    inbound.clear();
    outbound.clear();
    hungUp = true;
    lineClosed.notify_all();
}

void Simulator::Impl::SaveIfConfigured() {
    if (!device.TakeMemoryWritten() || memoryFile.empty()) return;
    try {
        detail::ReplaceFile(memoryFile, detail::FormatMemoryText(device.info, device.config));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "repeater-sim: %s\n", e.what());
    }
}

bool Simulator::Impl::ReadHost() {
    uint8_t buffer[256];
    for (;;) {
        const ssize_t n = ::read(line.master, buffer, sizeof buffer);
        if (n > 0) {
            const Time readTime = Clock::now();
            for (ssize_t i = 0; i < n; ++i)
                inbound.emplace_back(device.ArrivalTime(readTime), buffer[i]);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        return false;
    }
}

bool Simulator::Impl::WriteDue(Time now, bool &blocked) {
    blocked = false;
    std::vector<uint8_t> batch;
    for (auto it = outbound.begin(); it != outbound.end() && it->first <= now && !it->second.hangUp;
         ++it)
        batch.push_back(it->second.byte);
    if (!batch.empty()) {
        const ssize_t n = ::write(line.master, batch.data(), batch.size());
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        const std::size_t written = n > 0 ? static_cast<std::size_t>(n) : 0;
        outbound.erase(outbound.begin(), std::next(outbound.begin(), static_cast<long>(written)));
        if (written < batch.size()) {
            blocked = true;
            return true;
        }
    }
    if (!outbound.empty() && outbound.begin()->first <= now && outbound.begin()->second.hangUp)
        return false;
    return true;
}

void Simulator::Impl::Run() {
    std::unique_lock lock(mu);
    std::vector<LineEvent> produced;
    while (!stopRequested) {
        if (hangUpRequested) break;

        const Time now = Clock::now();
        produced.clear();
        while (!inbound.empty() && inbound.front().first <= now) {
            device.Receive(inbound.front().second, inbound.front().first, produced);
            inbound.pop_front();
        }
        for (const LineEvent &e : produced) outbound.emplace(e.due, e);
        SaveIfConfigured();

        bool blocked = false;
        if (!WriteDue(now, blocked)) break;

        // Sleep until the next byte arrives or falls due, or something happens.
        Time next = Time::max();
        if (!inbound.empty()) next = inbound.front().first;
        if (!blocked && !outbound.empty()) next = std::min(next, outbound.begin()->first);
        pollfd fds[2] = {{wakeRead, POLLIN, 0},
                         {line.master, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0}};
        timespec timeout{};
        timespec *timeoutPtr = nullptr;
        if (next != Time::max()) {
            const auto wait = std::max(next - Clock::now(), Clock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            timeoutPtr = &timeout;
        }
        lock.unlock();
        const int ready = ::ppoll(fds, 2, timeoutPtr, nullptr);
        lock.lock();
        if (ready < 0 && errno != EINTR) break;
        if (fds[0].revents & POLLIN) {
            char drain[64];
            while (::read(wakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
            // With the kept slave open a hang-up cannot come from the host (an attached device
            // hangs up when its far end goes); if the line reports one it is dead, and polling it
            // again would spin.
            if (!ReadHost() || (fds[1].revents & (POLLHUP | POLLERR))) break;
        }
    }
    if (!stopRequested) CloseLine();  // hang-up: requested, by fault, or the line died
    serving = false;
    lineClosed.notify_all();
}

void Simulator::Impl::RemoveLinks() {
    for (const auto &link : links) {
        std::error_code ec;
        // Only our own link: another simulator may have taken the name over since.
        if (std::filesystem::is_symlink(link, ec) &&
            std::filesystem::read_symlink(link, ec) == devicePath)
            std::filesystem::remove(link, ec);
    }
    links.clear();
}

Simulator::Simulator(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

Simulator::~Simulator() {
    Stop();
}

void Simulator::Start() {
    std::lock_guard lock(impl_->mu);
    Impl &s = *impl_;
    if (s.thread.joinable()) throw std::runtime_error("repeater simulator already started");
    if (!s.memoryFile.empty() && std::filesystem::exists(s.memoryFile))
        s.Apply(detail::ReadMemoryFile(s.memoryFile));
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) throw std::runtime_error("repeater simulator: pipe failed");
    for (int fd : pipeFds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    try {
        s.line = s.options.attachDevice.empty() ? ptypair::OpenPtyPair()
                                                : AttachLine(s.options.attachDevice);
        SetRepeaterLine(s.line);
    } catch (...) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        throw;
    }
    s.wakeRead = pipeFds[0];
    s.wakeWrite = pipeFds[1];
    s.devicePath = s.line.slavePath;
    s.device.Restart();
    s.inbound.clear();
    s.outbound.clear();
    s.stopRequested = false;
    s.hangUpRequested = false;
    s.hungUp = false;
    s.serving = true;
    s.thread = std::thread([&s] { s.Run(); });
}

bool Simulator::WaitIdle(std::chrono::milliseconds limit) const {
    const Impl &s = *impl_;
    const Time deadline = Clock::now() + limit;
    for (;;) {
        Time idleFrom;
        {
            std::lock_guard lock(s.mu);
            int unread = 0;  // written by the host, not yet read by the simulator's thread
            if (s.line.master >= 0) ::ioctl(s.line.master, FIONREAD, &unread);
            const bool quiet = s.inbound.empty() && s.outbound.empty() && unread == 0;
            idleFrom = quiet ? s.device.BusyUntil() : Clock::now() + std::chrono::milliseconds(1);
        }
        const Time now = Clock::now();
        if (idleFrom <= now) return true;
        if (now >= deadline) return false;
        std::this_thread::sleep_until(std::min(idleFrom, deadline));
    }
}

void Simulator::Stop() {
    Impl &s = *impl_;
    {
        std::lock_guard lock(s.mu);
        s.stopRequested = true;
        s.Wake();
    }
    if (s.thread.joinable()) s.thread.join();
    std::lock_guard lock(s.mu);
    ptypair::ClosePtyPair(s.line);
    for (int *fd : {&s.wakeRead, &s.wakeWrite}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    s.RemoveLinks();
    s.inbound.clear();
    s.outbound.clear();
}

std::string Simulator::DevicePath() const {
    std::lock_guard lock(impl_->mu);
    return impl_->devicePath;
}

void Simulator::Publish(const std::string &dir, unsigned comNumber) {
    namespace fs = std::filesystem;
    std::lock_guard lock(impl_->mu);
    if (impl_->devicePath.empty()) throw std::runtime_error("Publish before Start");
    fs::create_directories(dir);
    const fs::path link = fs::path(dir) / ("COM" + std::to_string(comNumber));
    // A fresh name renamed over the old entry replaces it in one step.
    const fs::path temp = link.string() + ".new" + std::to_string(::getpid());
    std::error_code ignored;
    fs::remove(temp, ignored);
    fs::create_symlink(impl_->devicePath, temp);
    if (::rename(temp.c_str(), link.c_str()) != 0) {
        const int err = errno;
        fs::remove(temp, ignored);
        throw std::runtime_error("cannot publish " + link.string() + ": " + std::strerror(err));
    }
    if (std::find(impl_->links.begin(), impl_->links.end(), link) == impl_->links.end())
        impl_->links.push_back(link);
}

std::array<uint8_t, kInfoSize> Simulator::Info() const {
    std::lock_guard lock(impl_->mu);
    return impl_->device.info;
}

void Simulator::SetInfo(const std::array<uint8_t, kInfoSize> &info) {
    std::lock_guard lock(impl_->mu);
    impl_->device.info = info;
}

std::vector<uint8_t> Simulator::Config() const {
    std::lock_guard lock(impl_->mu);
    return impl_->device.config;
}

void Simulator::SetConfig(const std::vector<uint8_t> &config) {
    if (config.size() > kConfigSize)
        throw std::invalid_argument("configuration memory holds " + std::to_string(kConfigSize) +
                                    " bytes");
    std::lock_guard lock(impl_->mu);
    impl_->Apply({std::nullopt, config});
}

void Simulator::SetFault(FaultPlan plan) {
    std::lock_guard lock(impl_->mu);
    impl_->device.SetFaults({plan});
}

void Simulator::AddFault(FaultPlan plan) {
    std::lock_guard lock(impl_->mu);
    impl_->device.AddFault(plan);
}

std::vector<uint8_t> Simulator::Received() const {
    std::lock_guard lock(impl_->mu);
    return impl_->device.Received();
}

void Simulator::ClearReceived() {
    std::lock_guard lock(impl_->mu);
    impl_->device.ClearReceived();
}

unsigned Simulator::MailCount() const {
    std::lock_guard lock(impl_->mu);
    return impl_->device.MailCount();
}

void Simulator::SetResponder(std::function<std::vector<uint8_t>(const std::vector<uint8_t> &)> f) {
    std::lock_guard lock(impl_->mu);
    impl_->device.SetResponder(std::move(f));
}

void Simulator::Inject(const std::vector<uint8_t> &bytes) {
    std::lock_guard lock(impl_->mu);
    Impl &s = *impl_;
    if (!s.serving || s.hungUp) return;
    std::vector<LineEvent> produced;
    s.device.Transmit(bytes, Clock::now(), produced);
    for (const LineEvent &e : produced) s.outbound.emplace(e.due, e);
    s.Wake();
}

void Simulator::HangUp() {
    std::unique_lock lock(impl_->mu);
    Impl &s = *impl_;
    if (!s.serving) {
        if (s.line.master >= 0) s.CloseLine();
        return;
    }
    s.hangUpRequested = true;
    s.Wake();
    s.lineClosed.wait(lock, [&s] { return !s.serving; });
}

bool Simulator::IsHungUp() const {
    std::lock_guard lock(impl_->mu);
    return impl_->hungUp;
}

void Simulator::Unplug() {
    std::lock_guard lock(impl_->mu);
    Impl &s = *impl_;
    s.SaveIfConfigured();
    s.device.Unplug();
    s.inbound.clear();  // bytes on their way into the unit that is gone
    std::erase_if(s.outbound, [](const auto &due) { return !due.second.hangUp; });
}

void Simulator::PlugIn(const std::array<uint8_t, kInfoSize> &info,
                       const std::vector<uint8_t> &config) {
    if (config.size() > kConfigSize)
        throw std::invalid_argument("configuration memory holds " + std::to_string(kConfigSize) +
                                    " bytes");
    std::lock_guard lock(impl_->mu);
    Impl &s = *impl_;
    s.SaveIfConfigured();  // the unit that was there, if any
    s.memoryFile.clear();
    s.device.info = info;
    s.Apply({std::nullopt, config});
    s.device.PlugIn();
}

void Simulator::PlugIn(const std::string &memoryFile) {
    std::optional<detail::MemoryText> memory;
    if (std::filesystem::exists(memoryFile)) memory = detail::ReadMemoryFile(memoryFile);
    std::lock_guard lock(impl_->mu);
    Impl &s = *impl_;
    s.SaveIfConfigured();
    s.device.info = SampleInfoBlock();
    s.device.config = SampleConfigImage();
    if (memory) s.Apply(*memory);
    s.memoryFile = memoryFile;
    s.device.PlugIn();
}

std::string Simulator::MemoryFile() const {
    std::lock_guard lock(impl_->mu);
    return impl_->memoryFile;
}

void Simulator::LoadMemory(const std::string &path) {
    const auto memory = detail::ReadMemoryFile(path);
    std::lock_guard lock(impl_->mu);
    impl_->Apply(memory);
}

void Simulator::SaveMemory(const std::string &path) const {
    std::string text;
    {
        std::lock_guard lock(impl_->mu);
        text = detail::FormatMemoryText(impl_->device.info, impl_->device.config);
    }
    detail::ReplaceFile(path, text);
}

}  // namespace repeatersim
