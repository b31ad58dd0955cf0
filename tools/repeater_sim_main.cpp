// repeater-sim: a simulated repeater on a pseudo-terminal, published as a COM port, or on an
// existing terminal device.
#include "repeater_sim.h"
#include "sim_command_line.h"
#include "sim_control.h"

#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    using namespace repeatersim;

    CommandLine cl;
    try {
        cl = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::invalid_argument &e) {
        std::fprintf(stderr, "repeater-sim: %s\n%s", e.what(), UsageText());
        return 2;
    }
    if (cl.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }

    // Blocked before the simulator's thread exists, so that only sigwait() below sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const std::string dir = cl.dir.empty() ? DefaultPortDirectory() : cl.dir;
    try {
        Simulator sim(cl.options);
        bool first = true;
        for (const FaultPlan &plan : cl.faults) {
            if (first) sim.SetFault(plan);
            else sim.AddFault(plan);
            first = false;
        }
        sim.Start();
        if (cl.options.attachDevice.empty()) {
            sim.Publish(dir, cl.com);
            std::printf("repeater-sim: COM%u -> %s (in %s)\n", cl.com, sim.DevicePath().c_str(),
                        std::filesystem::absolute(dir).c_str());
        } else {
            std::printf("repeater-sim: serving %s\n", sim.DevicePath().c_str());
        }
        std::fflush(stdout);

        const std::string name =
            cl.options.attachDevice.empty() ? "COM" + std::to_string(cl.com) : sim.DevicePath();
        std::unique_ptr<ControlFifo> control;
        if (!cl.control.empty()) {
            control = std::make_unique<ControlFifo>(cl.control, [&sim, &name](const std::string &line) {
                try {
                    const std::string done = RunControlCommand(sim, line);
                    if (!done.empty()) std::printf("repeater-sim: %s %s\n", name.c_str(), done.c_str());
                } catch (const std::exception &e) {
                    std::fprintf(stderr, "repeater-sim: %s\n", e.what());
                }
                std::fflush(stdout);
            });
        }

        int signal = 0;
        sigwait(&stopSignals, &signal);

        control.reset();
        sim.Stop();
        if (!sim.MemoryFile().empty()) sim.SaveMemory(sim.MemoryFile());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "repeater-sim: %s\n", e.what());
        return 1;
    }
    return 0;
}
