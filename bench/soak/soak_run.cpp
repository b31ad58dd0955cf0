// The soak run: thousands of Load and Save cycles against the simulated repeater (unpaced), each
// with a random fault at a random mail, through the memory layer's Load and Save sequences.
//
//   soak_run [--cycles N] [--workers W] [--seed S] [--slow-permille P] [--clean-permille C]
//
// The library keeps one port per process, so W worker processes run side by side, each with its
// own simulated repeater. Every cycle checks the result against the fault, that the port was
// released, the window's image after a Load (a failed one leaves it as it was) and exactly what
// the repeater holds after a Save; every cycle also checks that no descriptor stays open, and
// resident memory must not grow. Prints failures by cause; exit code 1 on any broken rule.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "soak_worker.h"

namespace {

struct Options {
    SoakOptions soak;
    unsigned workers = 4;
};

[[noreturn]] void Usage(const std::string &why) {
    std::fprintf(stderr,
                 "soak_run: %s\nusage: soak_run [--cycles N] [--workers W] [--seed S] "
                 "[--slow-permille P] [--clean-permille C]\n",
                 why.c_str());
    std::exit(2);
}

Options Parse(int argc, char **argv) {
    Options o;
    o.soak.cycles = 3000;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) Usage("missing value after " + arg);
        const unsigned long value = std::strtoul(argv[++i], nullptr, 10);
        if (arg == "--cycles") o.soak.cycles = static_cast<unsigned>(value);
        else if (arg == "--workers") o.workers = static_cast<unsigned>(value);
        else if (arg == "--seed") o.soak.seed = static_cast<uint32_t>(value);
        else if (arg == "--slow-permille") o.soak.slowPermille = static_cast<unsigned>(value);
        else if (arg == "--clean-permille") o.soak.cleanPermille = static_cast<unsigned>(value);
        else Usage("unknown option " + arg);
    }
    if (o.workers == 0 || o.soak.cycles < o.workers) Usage("need at least one cycle per worker");
    if (o.soak.slowPermille + o.soak.cleanPermille > 1000) Usage("more than 1000 per mille");
    return o;
}

bool ReadAll(int fd, void *data, std::size_t size) {
    auto *bytes = static_cast<char *>(data);
    while (size > 0) {
        const ssize_t n = ::read(fd, bytes, size);
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void Print(const SoakStats &s, const Options &o) {
    static const char *kFaultNames[] = {"none", "no echo", "corrupted echo", "silence", "bad checksum",
                                        "bad length byte", "wrong device type", "hang-up"};
    static const char *kCodeNames[] = {"", "no response (1)", "checksum (2)", "length field (3)",
                                       "acknowledge (4)", "acknowledge timeout (5)", "no local echo (6)",
                                       "tx overflow (7)", "open fail (8)"};
    std::printf("\nsoak: %llu cycles (%llu loads, %llu saves, %llu saves refused for equal RPNs) "
                "in %.0f s, %u workers, seed %u\n",
                (unsigned long long)s.cycles, (unsigned long long)s.loads, (unsigned long long)s.saves,
                (unsigned long long)s.savesRefused, s.seconds, o.workers, o.soak.seed);
    std::printf("faults injected:");
    for (int i = 0; i < SoakStats::kFaultKinds; ++i)
        std::printf("%s %s %llu", i ? "," : "", kFaultNames[i], (unsigned long long)s.faults[i]);
    std::printf("\noutcomes: done %llu, unsupported device %llu, Save not taken (read back) %llu",
                (unsigned long long)s.done, (unsigned long long)s.unsupported,
                (unsigned long long)s.saveNotTaken);
    for (int code = 1; code <= 8; ++code)
        if (s.failedByCode[code]) std::printf(", %s %llu", kCodeNames[code], (unsigned long long)s.failedByCode[code]);
    std::printf("\nfaults without effect on their sequence (reply faults on write mails, device type "
                "outside byte 18): %llu\n", (unsigned long long)s.faultsWithoutEffect);
    std::printf("device after a Save: whole new image %llu, unchanged %llu, mixed %llu (a failed Save "
                "stops part-way)\n", (unsigned long long)s.deviceWhole,
                (unsigned long long)s.deviceUnchanged, (unsigned long long)s.deviceMixed);
    std::printf("Saves that left a mixed image after a single damaged mail (corrupted echo, bad "
                "checksum, bad length byte): %llu of %llu\n", (unsigned long long)s.mixedAfterDamage,
                (unsigned long long)s.saves);
    std::printf("mails sent a second time after a damaged byte: %llu\n", (unsigned long long)s.mailsRetried);
    std::printf("Saves reported done while the device holds another image: %llu\n",
                (unsigned long long)s.silentlyLostWrites);
    std::printf("cycles with no device behind the port: %llu; simulator restarts after a hang-up: %llu\n",
                (unsigned long long)s.unplugged, (unsigned long long)s.simulatorRestarts);
    std::printf("descriptors: %ld at the start, %ld at the end (per worker); resident memory "
                "%ld KiB after warm-up, at most %ld KiB, %ld KiB at the end (worst worker)\n",
                s.fdBaseline, s.fdEnd, s.rssBaselineKib, s.rssMaxKib, s.rssEndKib);
    std::printf("broken rules: %llu%s%s\n", (unsigned long long)s.violations,
                s.violations ? "; first: " : "", s.violations ? s.firstViolation : "");
}

}  // namespace

int main(int argc, char **argv) {
    const Options o = Parse(argc, argv);
    std::printf("soak: %u cycles in %u workers, %u per mille with a slow fault (10 to 20 s each)\n",
                o.soak.cycles, o.workers, o.soak.slowPermille);
    std::fflush(stdout);

    struct Child {
        pid_t pid;
        int fd;
    };
    std::vector<Child> children;
    for (unsigned w = 0; w < o.workers; ++w) {
        int fds[2];
        if (::pipe(fds) != 0) {
            std::perror("soak_run: pipe");
            return 1;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {  // the worker: no threads were started before the fork
            ::close(fds[0]);
            SoakOptions mine = o.soak;
            mine.cycles = o.soak.cycles / o.workers + (w < o.soak.cycles % o.workers ? 1 : 0);
            SoakStats stats;
            try {
                stats = RunSoakWorker(mine, w);
            } catch (const std::exception &e) {
                stats.violations = 1;
                std::snprintf(stats.firstViolation, sizeof stats.firstViolation, "worker %u: %s", w, e.what());
            }
            const bool sent = ::write(fds[1], &stats, sizeof stats) == static_cast<ssize_t>(sizeof stats);
            ::_exit(sent ? 0 : 1);
        }
        ::close(fds[1]);
        if (pid < 0) {
            std::perror("soak_run: fork");
            return 1;
        }
        children.push_back({pid, fds[0]});
    }

    SoakStats total;
    bool lost = false;
    for (const Child &child : children) {
        SoakStats stats;
        const bool got = ReadAll(child.fd, &stats, sizeof stats);
        ::close(child.fd);
        int status = 0;
        ::waitpid(child.pid, &status, 0);
        if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::fprintf(stderr, "soak_run: worker %d ended without its figures (status %d)\n", child.pid, status);
            lost = true;
            continue;
        }
        const bool first = total.cycles == 0;
        total.Add(stats);
        if (first) {
            total.fdBaseline = stats.fdBaseline;
            total.fdEnd = stats.fdEnd;
        } else if (stats.fdEnd - stats.fdBaseline > total.fdEnd - total.fdBaseline) {
            total.fdBaseline = stats.fdBaseline;
            total.fdEnd = stats.fdEnd;
        }
        if (stats.rssMaxKib - stats.rssBaselineKib >= total.rssMaxKib - total.rssBaselineKib) {
            total.rssBaselineKib = stats.rssBaselineKib;
            total.rssMaxKib = stats.rssMaxKib;
            total.rssEndKib = stats.rssEndKib;
        }
    }
    Print(total, o);
    return lost || total.violations != 0 ? 1 : 0;
}
