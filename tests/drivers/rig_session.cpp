#include "rig_session.h"

#include <glob.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "qemu_guest.h"
#include "repeater_sim.h"
#include "rig_protocol.h"

extern char **environ;

namespace rig {
namespace {

using Clock = std::chrono::steady_clock;

// The guest reaches /init in about 6 s and runs its steps in about a minute here; the limits
// leave room for a slower machine and still end a stuck run long before CI's own limit.
constexpr double kReadyLimitS = 60;
constexpr double kRunLimitS = 300;
constexpr std::size_t kImageBytes = 80;
constexpr std::size_t kConsoleTailLines = 40;
constexpr int kReplugAfterPullMs = 1000;
constexpr int kReplugPatienceMs = 5000;

struct StepResult {
    std::string name;
    bool passed = false;
    long ms = 0;
    std::string text;
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Kernel {
    std::string path;
    std::string version;
};

// True when the kernel's modules (or the kernel itself) hold the USB-serial adapter's driver: a
// machine may carry a cloud kernel beside Debian's full one, and that has none.
bool HasAdapterDriver(const std::string &version) {
    for (const char *list : {"/modules.dep", "/modules.builtin"}) {
        std::ifstream file("/lib/modules/" + version + list);
        for (std::string line; std::getline(file, line);)
            if (line.find("/ftdi_sio.ko") != std::string::npos) return true;
    }
    return false;
}

// The newest /boot/vmlinuz-<version> whose modules are installed and hold the adapter's driver.
std::optional<Kernel> FindKernel() {
    glob_t found{};
    std::optional<Kernel> best;
    if (::glob("/boot/vmlinuz-*", 0, nullptr, &found) == 0) {
        for (std::size_t i = 0; i < found.gl_pathc; ++i) {
            const std::string path = found.gl_pathv[i];
            const std::string version = path.substr(std::strlen("/boot/vmlinuz-"));
            if (!HasAdapterDriver(version)) continue;
            if (!best || ::strverscmp(version.c_str(), best->version.c_str()) > 0) best = Kernel{path, version};
        }
    }
    ::globfree(&found);
    return best;
}

// Runs a program to its end; its exit status, or -1.
int RunToEnd(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<uint8_t> FromHex(const std::string &hex) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string Hex2(uint8_t b) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

class Session {
public:
    Session(QemuGuest &vm, Clock::time_point start) : vm_(vm), start_(start) {}

    void Serve();
    std::vector<StepResult> Results() const;

private:
    void AttachSimulators();
    void Take(const std::string &line);
    std::string Answer(const std::string &request);
    repeatersim::Simulator *SimulatorOf(const std::string &line);
    void PullWhenDue();

    QemuGuest &vm_;
    Clock::time_point start_;
    std::unique_ptr<repeatersim::Simulator> usb_, uart_;
    std::vector<StepResult> steps_;
    std::vector<std::string> notes_;
    std::optional<double> bootS_, readyS_;
    bool done_ = false;
    bool ended_ = false;  // QEMU closed its output
    std::string stopped_;  // why the watchdog stopped the run
    std::optional<unsigned> pullAtMail_;
    std::optional<Clock::time_point> pulledAt_;
};

void Session::AttachSimulators() {
    if (usb_ && uart_) return;
    const std::string usbPty = vm_.PtyOf(std::string(kUsbChardev));
    const std::string uartPty = vm_.PtyOf(std::string(kUartChardev));
    if (usbPty.empty() || uartPty.empty()) return;
    // Both lines run at real 9600-baud byte times; the adapter's pseudo-terminal must be open
    // before the guest loads ftdi_sio, or QEMU does not attach the adapter.
    for (auto [sim, pty] : {std::pair{&usb_, usbPty}, std::pair{&uart_, uartPty}}) {
        repeatersim::Options options;
        options.pace = true;
        options.attachDevice = pty;
        *sim = std::make_unique<repeatersim::Simulator>(options);
        (*sim)->Start();
    }
}

repeatersim::Simulator *Session::SimulatorOf(const std::string &line) {
    if (line == kUsbLine.name) return usb_.get();
    if (line == kUartLine.name) return uart_.get();
    return nullptr;
}

std::string Session::Answer(const std::string &request) {
    std::istringstream words(request);
    std::string verb, line;
    words >> verb >> line;
    repeatersim::Simulator *sim = SimulatorOf(line);
    if (verb == "expect" && sim) {
        std::string hex;
        words >> hex;
        const std::vector<uint8_t> expected = FromHex(hex);
        const std::vector<uint8_t> held = sim->Config();
        if (expected.size() != kImageBytes) return "got no whole image to compare";
        std::string differences;
        unsigned count = 0;
        for (std::size_t i = 0; i < kImageBytes; ++i) {
            if (held[i] == expected[i]) continue;
            if (count++ < 4)
                differences += " byte " + std::to_string(i) + " holds " + Hex2(held[i]) + ", expected " +
                               Hex2(expected[i]) + ";";
        }
        if (count == 0) return "ok";
        return "differs in " + std::to_string(count) + " bytes:" + differences;
    }
    if (verb == "unplug" && line == kUsbLine.name && sim) {
        unsigned mails = 0;
        words >> mails;
        pullAtMail_ = sim->MailCount() + mails;
        pulledAt_.reset();
        return "armed";
    }
    if (verb == "replug" && line == kUsbLine.name) {
        if (!pulledAt_) return "never-pulled";
        std::string said;
        const std::string add = "device_add usb-serial,chardev=" + std::string(kUsbChardev) + ",id=" +
                                std::string(kUsbDeviceId);
        // QEMU lets go of the pulled adapter's line a little after device_del, and a device_add
        // that comes too soon after it can make QEMU crash at the next device_del (seen: a
        // segfault). A command that fails at once asks for the adapter back that soon; it is put
        // back no sooner than a second after the pull, and tried again while its line is in use.
        std::this_thread::sleep_until(*pulledAt_ + std::chrono::milliseconds(kReplugAfterPullMs));
        const auto patience = Clock::now() + std::chrono::milliseconds(kReplugPatienceMs);
        while (vm_.Monitor(add, said) && said.find("is in use") != std::string::npos && Clock::now() < patience)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!said.empty()) return "device_add failed: " + said;
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - *pulledAt_).count();
        return "back " + std::to_string(static_cast<long>(ms));
    }
    if (verb == "console-clean") {
        // A mail frame starts with the preamble FF FF and the start byte 4D (or 41).
        const std::string &bytes = vm_.ConsoleBytes();
        for (const char start : {'\x4D', '\x41'})
            if (bytes.find(std::string("\xFF\xFF") + start) != std::string::npos) return "mail";
        return "ok";
    }
    return "unknown request";
}

void Session::Take(const std::string &text) {
    const auto at = text.find(kGuestPrefix);
    if (at == std::string::npos) return;
    std::istringstream words(text.substr(at + kGuestPrefix.size()));
    std::string verb;
    words >> verb;
    if (verb == "boot") {
        bootS_ = SecondsSince(start_);
    } else if (verb == "ready") {
        readyS_ = SecondsSince(start_);
    } else if (verb == "done") {
        done_ = true;
    } else if (verb == "step") {
        StepResult step;
        std::string outcome;
        words >> step.name >> outcome >> step.ms;
        step.passed = outcome == "pass";
        std::getline(words >> std::ws, step.text);
        steps_.push_back(step);
    } else if (verb == "ask") {
        std::string id, request;
        words >> id;
        std::getline(words >> std::ws, request);
        vm_.Send(std::string(kHostPrefix) + id + " " + Answer(request));
    } else {
        notes_.push_back(text.substr(at));
    }
}

void Session::PullWhenDue() {
    if (!pullAtMail_ || !usb_ || usb_->MailCount() < *pullAtMail_) return;
    pullAtMail_.reset();
    std::string said;
    if (vm_.Monitor("device_del " + std::string(kUsbDeviceId), said) && said.empty()) pulledAt_ = Clock::now();
    else notes_.push_back("device_del failed: " + said);
}

void Session::Serve() {
    std::vector<std::string> lines;
    while (!ended_) {
        const double elapsed = SecondsSince(start_);
        if ((!readyS_ && elapsed > kReadyLimitS) || elapsed > kRunLimitS) {
            stopped_ = readyS_ ? "the guest did not finish within " + std::to_string(int(kRunLimitS)) + " s"
                               : "the guest did not come up within " + std::to_string(int(kReadyLimitS)) + " s";
            vm_.Kill();
            break;
        }
        lines.clear();
        ended_ = !vm_.ReadLines(pullAtMail_ ? 1 : 50, lines);
        AttachSimulators();
        for (const std::string &line : lines) Take(line);
        PullWhenDue();
    }
    vm_.Wait();
}

std::vector<StepResult> Session::Results() const {
    std::vector<StepResult> results;
    char figure[128];
    std::snprintf(figure, sizeof figure, "/init after %.1f s, both lines present after %.1f s",
                  bootS_.value_or(-1), readyS_.value_or(-1));
    results.push_back({"boot", readyS_.has_value(), long(1000 * readyS_.value_or(0)),
                       readyS_ ? figure : (stopped_.empty() ? "the guest never came up" : stopped_)});
    std::string notes;
    for (const std::string &note : notes_) notes += "; " + note;
    std::snprintf(figure, sizeof figure, "every step ran; the whole run took %.1f s", SecondsSince(start_));
    results.push_back({"finish", done_, long(1000 * SecondsSince(start_)),
                       (done_ ? std::string(figure) : stopped_.empty() ? "the guest ended early" : stopped_) + notes});
    results.insert(results.end(), steps_.begin(), steps_.end());
    return results;
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The last lines of the console, with the bytes a terminal would not show replaced.
std::string ConsoleTail(const std::string &workDir) {
    std::string text = ReadFile(workDir + "/console.log");
    for (char &c : text)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\n') || static_cast<unsigned char>(c) >= 0x7F) c = '.';
    std::size_t from = text.size();
    for (std::size_t lines = 0; from > 0 && lines <= kConsoleTailLines;)
        if (text[--from] == '\n') ++lines;
    return text.substr(from);
}

}  // namespace

int RunRig(const RigPaths &paths, const std::string &workDir) {
    std::filesystem::create_directories(workDir);
    for (const char *stale : {"results.txt", "console.log", "skipped.txt"}) std::filesystem::remove(workDir + "/" + stale);
    const std::optional<Kernel> kernel = FindKernel();
    std::string why;
    if (!kernel) why = "no /boot/vmlinuz-* with the ftdi_sio module (Debian package linux-image-amd64)";
    else if (::access(kernel->path.c_str(), R_OK) != 0) why = kernel->path + " is readable by root only: run the rig as root";
    if (!why.empty()) {
        WriteFile(workDir + "/skipped.txt", why + "\n");
        std::cout << "drivers rig skipped: " << why << '\n';
        return kSkipped;
    }

    const std::string initramfs = workDir + "/guest.cpio";
    const auto start = Clock::now();
    std::vector<StepResult> results;
    if (RunToEnd({paths.makeGuest, kernel->version, paths.guestInit, initramfs, paths.guestProgram,
                  paths.relaycfg}) != 0) {
        results.push_back({"boot", false, 0, "make_guest.sh could not assemble the guest"});
    } else {
        std::cout << "kernel " << kernel->path << ", guest assembled in " << SecondsSince(start) << " s\n";
        QemuGuest vm({kernel->path, initramfs});
        Session session(vm, Clock::now());
        session.Serve();
        results = session.Results();
        WriteFile(workDir + "/console.log", vm.ConsoleBytes());
    }

    std::string text;
    for (const StepResult &r : results) {
        text += r.name + (r.passed ? " pass " : " fail ") + std::to_string(r.ms) + " " + r.text + "\n";
        std::printf("%-24s %s %7.1f s  %s\n", r.name.c_str(), r.passed ? "pass" : "FAIL", r.ms / 1000.0,
                    r.text.c_str());
    }
    WriteFile(workDir + "/results.txt", text);
    return 0;
}

int ReportStep(const std::string &workDir, const std::string &step) {
    const std::string skipped = ReadFile(workDir + "/skipped.txt");
    if (!skipped.empty()) {
        std::cout << "skipped: " << skipped;
        return kSkipped;
    }
    std::istringstream results(ReadFile(workDir + "/results.txt"));
    for (std::string line; std::getline(results, line);) {
        std::istringstream words(line);
        std::string name, outcome, ms, text;
        words >> name >> outcome >> ms;
        std::getline(words >> std::ws, text);
        if (name != step) continue;
        std::cout << step << ": " << outcome << " in " << ms << " ms" << (text.empty() ? "" : ": " + text) << '\n';
        if (outcome == "pass") return 0;
        std::cout << "--- the guest's console, last lines ---\n" << ConsoleTail(workDir);
        return 1;
    }
    std::cout << step << ": the guest never reported this step\n--- the guest's console, last lines ---\n"
              << ConsoleTail(workDir);
    return 1;
}

}  // namespace rig
