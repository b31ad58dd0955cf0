// Load and Save transfers against the simulated repeater on a paced 9600-baud line: wall time
// against the time the line itself needs, and the CPU the transfers burn while they wait.
//
//   transfer_bench [--runs N]
//
// Each scenario runs the transfers of a Load (identification block, then the 80-byte image) and
// of a Save (identification block, then writing the image) N times, first with the line alone,
// then with a 1 ms and a 16 ms latency on every byte the device sends (a USB adapter's latency
// timer in low-latency mode, and its default). Then a Load's first transfer on a silent line (nothing echoes or answers: a wrong port
// or an unplugged cable), timed until it gives up with "No local echo" (code 6) on the program's
// echo budget. Exit code 1 when any transfer failed or read back wrong data, or the silent line
// gave another code.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "maillink.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_settings.h"
#include "repeater_sim.h"

namespace {

using Clock = std::chrono::steady_clock;

// The line: 10 bit times a byte at 9600 baud.
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr double kOpenSettleMs = 20.0;    // each transfer's port open
constexpr double kEepromPauseMs = 200.0;  // after every write mail: 8 x 25 ms
constexpr int kReadFrameBytes = 12;       // its echo comes back while it goes out
constexpr int kReplyBytes = 13;
constexpr int kWriteFrameBytes = 20;
constexpr int kInfoMails = 4;   // 32 bytes
constexpr int kImageMails = 10;  // 80 bytes

double ReadTransferMs(int mails) {
    return kOpenSettleMs + mails * (kReadFrameBytes + kReplyBytes) * kByteMs;
}
double WriteTransferMs(int mails) {
    return kOpenSettleMs + mails * (kWriteFrameBytes * kByteMs + kEepromPauseMs);
}

struct Operation {
    const char *name;
    double wireLimitMs;
    int mails;
    bool (*run)(const std::vector<uint8_t> &deviceConfig, repeatersim::Simulator &sim);
};

bool RunLoad(const std::vector<uint8_t> &deviceConfig, repeatersim::Simulator &) {
    std::fill(std::begin(ConfigImage), std::end(ConfigImage), uint8_t{0});
    if (ReadInfoBlock(0, 32) != 0 || ReadConfigImage(0, 80) != 0) return false;
    return std::equal(ConfigImage, ConfigImage + 80, deviceConfig.begin());
}

bool RunSave(const std::vector<uint8_t> &, repeatersim::Simulator &sim) {
    for (std::size_t i = 0; i < 80; ++i) ConfigImage[i] = static_cast<uint8_t>(ConfigImage[i] + 1);
    if (ReadInfoBlock(0, 32) != 0 || WriteConfigImage(0, 80) != 0) return false;
    const std::vector<uint8_t> written = sim.Config();
    return std::equal(ConfigImage, ConfigImage + 80, written.begin());
}

#ifndef RUSAGE_THREAD
#define RUSAGE_THREAD RUSAGE_SELF  // no per-thread figure here: the process's
#endif

double CpuMs(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The times the transferring thread went to sleep and was woken again.
long WakeUps() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_nvcsw;
}

struct Totals {
    double wallMs = 0, threadCpuMs = 0, processCpuMs = 0, worstRatio = 0;
    long wakeUps = 0;
    int runs = 0, failures = 0;
};

// A private port directory with the simulator published as COM1.
class PublishedSimulator {
public:
    explicit PublishedSimulator(repeatersim::Options options) : sim_(std::move(options)) {
        char pattern[] = "/tmp/transfer-bench-XXXXXX";
        if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        ::setenv("MAILLINK_DEVICE_DIR", dir_.c_str(), 1);
        sim_.Start();
        sim_.Publish(dir_, 1);
    }
    ~PublishedSimulator() {
        sim_.Stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    repeatersim::Simulator &Sim() { return sim_; }

private:
    std::string dir_;
    repeatersim::Simulator sim_;
};

Totals RunScenario(unsigned latencyMs, const Operation &op, int runs) {
    repeatersim::Options options;
    options.pace = true;
    options.echoLatencyMs = latencyMs;
    PublishedSimulator published(options);
    repeatersim::Simulator &sim = published.Sim();
    const std::vector<uint8_t> deviceConfig = sim.Config();
    std::copy(deviceConfig.begin(), deviceConfig.begin() + 80, ConfigImage);

    const double limitMs = op.wireLimitMs;
    const double latencyLimitMs = limitMs + op.mails * latencyMs;
    Totals totals;
    for (int run = 1; run <= runs; ++run) {
        const double thread0 = CpuMs(RUSAGE_THREAD), process0 = CpuMs(RUSAGE_SELF);
        const long wakeUps0 = WakeUps();
        const auto start = Clock::now();
        const bool ok = op.run(deviceConfig, sim);
        const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const double threadMs = CpuMs(RUSAGE_THREAD) - thread0;
        const double processMs = CpuMs(RUSAGE_SELF) - process0;
        const long wakeUps = WakeUps() - wakeUps0;

        std::printf("%-5s %4u ms  run %d  wall %8.1f ms  ratio %5.3f (%5.3f with latency)  "
                    "cpu %5.2f %% (process %5.2f %%)  wake-ups %4ld  %s\n",
                    op.name, latencyMs, run, wallMs, wallMs / limitMs, wallMs / latencyLimitMs,
                    100.0 * threadMs / wallMs, 100.0 * processMs / wallMs, wakeUps, ok ? "ok" : "FAILED");
        totals.wallMs += wallMs;
        totals.threadCpuMs += threadMs;
        totals.processCpuMs += processMs;
        totals.wakeUps += wakeUps;
        totals.worstRatio = std::max(totals.worstRatio, wallMs / limitMs);
        ++totals.runs;
        if (!ok) ++totals.failures;
        if (hComPort != MAILLINK_NO_PORT) {
            std::printf("      the port was left open\n");
            ++totals.failures;
        }
    }
    return totals;
}

// A Load's first transfer where nothing answers: its wall time until the echo budget of the
// first read frame runs out, and the code it ends with.
struct SilentLine {
    double wallMs = 0;
    double cpuMs = 0;
    int8_t result = 0;
};

SilentLine RunSilentLine() {
    repeatersim::Options options;
    options.pace = true;
    PublishedSimulator published(options);
    published.Sim().SetFault({repeatersim::Fault::NoEcho, 0, 0});
    const double cpu0 = CpuMs(RUSAGE_THREAD);
    const auto start = Clock::now();
    SilentLine silent;
    silent.result = ReadInfoBlock(0, 32);
    silent.wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    silent.cpuMs = CpuMs(RUSAGE_THREAD) - cpu0;
    return silent;
}

}  // namespace

int main(int argc, char **argv) {
    int runs = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return 2;
        }
    }
    PortSettings.PortNumber = 1;
    PortSettings.BaudRate = 9600;

    const Operation operations[] = {
        {"Load", ReadTransferMs(kInfoMails) + ReadTransferMs(kImageMails), kInfoMails + kImageMails,
         RunLoad},
        {"Save", ReadTransferMs(kInfoMails) + WriteTransferMs(kImageMails), kInfoMails + kImageMails,
         RunSave},
    };
    std::printf("Wire-time limits at 9600 baud (read mail: 12 bytes out with their echo, 13 reply "
                "bytes; write mail: 20 bytes + 200 ms EEPROM pause; 20 ms settle per open):\n");
    for (const Operation &op : operations) {
        std::printf("  %-5s %8.1f ms  (%d mails)\n", op.name, op.wireLimitMs, op.mails);
    }
    std::printf("+latency: wall time against the wire limit plus the latency once per mail.\n"
                "cpu: the transferring thread's CPU time as a share of wall time; process: the "
                "whole process, the simulator's thread included; wake-ups: the times the "
                "transferring thread slept and woke.\n\n");

    struct Summary {
        const char *name;
        unsigned latencyMs;
        Totals totals;
    };
    std::vector<Summary> summaries;
    for (unsigned latencyMs : {0u, 1u, 16u}) {
        for (const Operation &op : operations) {
            summaries.push_back({op.name, latencyMs, RunScenario(latencyMs, op, runs)});
        }
    }

    const SilentLine silent = RunSilentLine();
    std::printf("silent line  ReadInfoBlock(0, 32)  wall %8.1f ms  cpu %5.2f %%  code %d  %s\n",
                silent.wallMs, 100.0 * silent.cpuMs / silent.wallMs, silent.result,
                silent.result == 6 ? "ok" : "FAILED");

    int failures = silent.result == 6 ? 0 : 1;
    std::printf("\n%-5s %-8s %10s %10s %7s %7s %10s %8s %10s %8s %s\n", "op", "latency",
                "mean wall", "limit", "ratio", "worst", "+latency", "cpu", "process", "wake-ups", "failed");
    for (const Summary &s : summaries) {
        const Operation &op = std::strcmp(s.name, "Load") == 0 ? operations[0] : operations[1];
        const double mean = s.totals.wallMs / s.totals.runs;
        const double latencyLimitMs = op.wireLimitMs + op.mails * s.latencyMs;
        std::printf("%-5s %5u ms %8.1f ms %7.1f ms %7.3f %7.3f %10.3f %6.2f %% %8.2f %% %8ld %d/%d\n",
                    s.name, s.latencyMs, mean, op.wireLimitMs, mean / op.wireLimitMs,
                    s.totals.worstRatio, mean / latencyLimitMs,
                    100.0 * s.totals.threadCpuMs / s.totals.wallMs,
                    100.0 * s.totals.processCpuMs / s.totals.wallMs, s.totals.wakeUps / s.totals.runs,
                    s.totals.failures, s.totals.runs);
        failures += s.totals.failures;
    }

    // The figures that the README's performance section keeps.
    const auto find = [&](const char *name, unsigned latencyMs) -> const Summary & {
        for (const Summary &s : summaries)
            if (s.latencyMs == latencyMs && std::strcmp(s.name, name) == 0) return s;
        return summaries.front();
    };
    const Summary &load = find("Load", 0), &save = find("Save", 0);
    const Summary &loadLate = find("Load", 16), &saveLate = find("Save", 16);
    const Summary &loadLowLatency = find("Load", 1);
    auto meanRatio = [](const Summary &s, const Operation &op) {
        return s.totals.wallMs / s.totals.runs / op.wireLimitMs;
    };
    auto cpuShare = [](const Summary &s) { return 100.0 * s.totals.threadCpuMs / s.totals.wallMs; };
    const int lateMails = (loadLate.totals.runs + saveLate.totals.runs) * (kInfoMails + kImageMails);
    std::printf("\nfigures\n");
    std::printf("  silent line, program's read-frame budget, time to code 6   %8.2f s\n",
                silent.wallMs / 1000.0);
    std::printf("  Load wall time / wire limit (paced simulator)              %8.3fx\n",
                meanRatio(load, operations[0]));
    std::printf("  Save wall time / wire limit                                %8.3fx\n",
                meanRatio(save, operations[1]));
    std::printf("  CPU time / wall time during a Load                         %8.2f %%\n", cpuShare(load));
    std::printf("  CPU during a Save                                          %8.2f %%\n", cpuShare(save));
    std::printf("  wake-ups of the transferring thread during a Load          %8ld\n",
                load.totals.wakeUps / load.totals.runs);
    std::printf("  Load with a 16 ms / a 1 ms adapter latency                 %5.0f / %.0f ms\n",
                loadLate.totals.wallMs / loadLate.totals.runs,
                loadLowLatency.totals.wallMs / loadLowLatency.totals.runs);
    // A failed transfer stops at its first failed mail: one failed mail per failed run.
    std::printf("  16 ms adapter latency: failed mails                        %8d of %d\n",
                loadLate.totals.failures + saveLate.totals.failures, lateMails);
    return failures == 0 ? 0 : 1;
}
