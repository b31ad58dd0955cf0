// relaycfg plan apply --all for a plan of six units against simulated repeaters paced at 9600
// baud: at one station as today (one --port, the prompt answered with Enter for each unit) and at
// three stations (three --port): the time for the six units, and the units an hour.
//
//   station_bench [--swap MS]
//
// The benchmark plays the technician: each station starts with a unit connected; when relaycfg
// says a unit is written it takes the unit away at once and connects the next one MS later
// (default 1500: the time to label a unit and pick up the next), and at one station then
// presses Enter. The time runs from relaycfg's start to its end, which comes by itself once every
// unit is written; the CPU time is relaycfg's and its workers'. Exit code 1 when a run fails or
// three stations take more than 0.4 of one station's time.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "repeater_sim.h"

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr unsigned kUnits = 6;
constexpr double kTargetRatio = 0.4;

// Six repeaters, two chains of three from the base: parents first they are Hall 1, 2, 3, Yard 1,
// 2, 3.
const char kPlan[] =
    "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 43\"\n"
    "[[repeater]]\nname = \"Hall 1\"\nparent = \"Base\"\nrpn = 0\n"
    "[[repeater]]\nname = \"Hall 2\"\nparent = \"Hall 1\"\nrpn = 1\n"
    "[[repeater]]\nname = \"Hall 3\"\nparent = \"Hall 2\"\nrpn = 2\n"
    "[[repeater]]\nname = \"Yard 1\"\nparent = \"Base\"\nrpn = 4\n"
    "[[repeater]]\nname = \"Yard 2\"\nparent = \"Yard 1\"\nrpn = 5\n"
    "[[repeater]]\nname = \"Yard 3\"\nparent = \"Yard 2\"\nrpn = 6\n";

// A unit fresh from the shelf: the sample repeater relaying a parent of no entry.
std::vector<uint8_t> FreshUnit(unsigned n) {
    std::vector<uint8_t> config = repeatersim::SampleConfigImage();
    const uint8_t rfpi[] = {0x02, 0x11, 0x22, 0x33, static_cast<uint8_t>(n)};
    std::copy(std::begin(rfpi), std::end(rfpi), config.begin() + 68);
    return config;
}

double ChildrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct RunResult {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;  // relaycfg and its workers
    unsigned written = 0;
    std::string why;
};

// relaycfg with its standard input a pipe held open (the prompt's answers; the stations run until
// every entry is written) and its standard output a pipe this program reads.
class Relaycfg {
public:
    explicit Relaycfg(const std::vector<std::string> &args) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> all{RELAYCFG_PROGRAM};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char *> argv;
        for (std::string &a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~Relaycfg() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(input_);
        ::close(output_);
    }
    bool Started() const { return pid_ > 0; }
    // The answer to the prompt that programs the connected unit.
    void Enter() { [[maybe_unused]] const ssize_t put = ::write(input_, "\n", 1); }

    // The next line of its output within `wait`; nullopt at the time, "" + ended at its end.
    std::optional<std::string> Line(milliseconds wait, bool &ended) {
        for (;;) {
            if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            pollfd p{output_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) return std::nullopt;
            char buffer[1024];
            const ssize_t got = ::read(output_, buffer, sizeof buffer);
            if (got <= 0) {
                ended = true;
                return std::nullopt;
            }
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
    }
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    int input_ = -1, output_ = -1;
    std::string pending_;
};

RunResult RunStations(unsigned stations, const std::filesystem::path &dir, milliseconds swap) {
    RunResult result;
    const std::string ports = (dir / "ports").string();
    std::filesystem::create_directories(ports);
    ::setenv("MAILLINK_DEVICE_DIR", ports.c_str(), 1);
    std::vector<std::unique_ptr<repeatersim::Simulator>> sims;
    std::vector<std::string> args = {
        "plan",  "apply", (dir / "site.toml").string(),
        "--all", "--log", (dir / ("stations-" + std::to_string(stations) + ".csv")).string()};
    for (unsigned com = 1; com <= stations; ++com) {
        repeatersim::Options options;
        options.pace = true;
        options.unplugged = true;
        sims.push_back(std::make_unique<repeatersim::Simulator>(options));
        sims.back()->Start();
        sims.back()->Publish(ports, com);
        args.insert(args.end(), {"--port", "COM" + std::to_string(com)});
    }
    unsigned connected = 0;
    std::vector<std::optional<Clock::time_point>> plugAt(stations);
    for (unsigned s = 0; s < stations; ++s) {
        sims[s]->PlugIn(repeatersim::SampleInfoBlock(), FreshUnit(++connected));
    }

    const double cpuBefore = ChildrenCpuSeconds();
    const Clock::time_point start = Clock::now();
    Relaycfg relaycfg(args);
    if (!relaycfg.Started()) {
        result.why = "relaycfg did not start";
        return result;
    }
    // "COM2: "Hall 1" written and verified; ..." at stations, ""Hall 1" written: transmits ..." at
    // the prompt.
    const std::regex written(
        stations > 1 ? "^COM([0-9]): \"[^\"]+\" written and verified; label it and disconnect it"
                     : "^\"[^\"]+\" written: transmits ");
    if (stations == 1) relaycfg.Enter();
    const Clock::time_point deadline = start + std::chrono::seconds(180);
    bool ended = false;
    while (!ended && Clock::now() < deadline) {
        // Until the next unit is due at some station.
        Clock::time_point next = deadline;
        for (const auto &at : plugAt)
            if (at && *at < next) next = *at;
        const auto wait = std::max(milliseconds(0),
                                   std::chrono::duration_cast<milliseconds>(next - Clock::now()));
        const std::optional<std::string> line =
            relaycfg.Line(std::min(wait, milliseconds(1000)), ended);
        for (unsigned s = 0; s < stations; ++s) {
            if (!plugAt[s] || Clock::now() < *plugAt[s]) continue;
            plugAt[s].reset();
            sims[s]->PlugIn(repeatersim::SampleInfoBlock(), FreshUnit(++connected));
            if (stations == 1) relaycfg.Enter();
        }
        std::smatch m;
        if (!line || !std::regex_search(*line, m, written)) continue;
        ++result.written;
        const unsigned s = stations > 1 ? static_cast<unsigned>(std::stoi(m[1].str())) - 1 : 0;
        sims[s]->Unplug();
        if (connected < kUnits) plugAt[s] = Clock::now() + swap;
    }
    const int code = ended ? relaycfg.Wait() : -1;
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.cpuSeconds = ChildrenCpuSeconds() - cpuBefore;
    result.ok = code == 0 && result.written == kUnits;
    if (!result.ok)
        result.why = "exit code " + std::to_string(code) + ", " + std::to_string(result.written) +
                     " written";
    ::unsetenv("MAILLINK_DEVICE_DIR");
    return result;
}

}  // namespace

int main(int argc, char **argv) {
    milliseconds swap{1500};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--swap") == 0 && i + 1 < argc) {
            swap = milliseconds(std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--swap MS]\n", argv[0]);
            return 2;
        }
    }
    char pattern[] = "/tmp/station-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path dir = pattern;
    std::ofstream(dir / "site.toml") << kPlan;
    ::setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);

    std::printf(
        "plan apply --all: %u units, simulated repeaters paced at 9600 baud, the next unit\n"
        "connected %lld ms after the last one is written (one station: the prompt, Enter)\n",
        kUnits, static_cast<long long>(swap.count()));
    RunResult results[2];
    const unsigned stations[2] = {1, 3};
    bool ok = true;
    for (int i = 0; i < 2; ++i) {
        results[i] = RunStations(stations[i], dir, swap);
        const RunResult &r = results[i];
        if (!r.ok) {
            std::printf("  %u station%s: FAILED: %s\n", stations[i], stations[i] > 1 ? "s" : "",
                        r.why.c_str());
            ok = false;
            continue;
        }
        std::printf(
            "  %u station%s  %6.1f s  %5.1f s a unit  %5.0f units an hour  CPU %.2f s (%.1f %%)\n",
            stations[i], stations[i] > 1 ? "s" : " ", r.seconds, r.seconds / kUnits,
            kUnits * 3600.0 / r.seconds, r.cpuSeconds, 100.0 * r.cpuSeconds / r.seconds);
    }
    std::filesystem::remove_all(dir);
    if (!ok) return 1;
    const double ratio = results[1].seconds / results[0].seconds;
    std::printf("  three stations / one station: %.2f (target: at most %.2f): %s\n", ratio,
                kTargetRatio, ratio <= kTargetRatio ? "met" : "MISSED");
    return ratio <= kTargetRatio ? 0 : 1;
}
