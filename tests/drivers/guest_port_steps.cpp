// The guest's ports as relaycfg numbers and finds them on a real /dev, and the USB adapter
// pulled out in the middle of a Save and of a Load and put back.
#include <cstdio>
#include <cstring>
#include <sstream>

#include "guest_steps.h"
#include "memory_transfer.h"
#include "posix_services.h"

namespace guest {
namespace {

constexpr int kExitUsage = 2;
constexpr int kExitTransfer = 3;
// How long after a pull the command may take: no wait waits for a line that has gone, so the
// message comes within the silent-line time (a read frame's echo budget, 12 bytes x 2000 polls x
// 40 us = 0.96 s), here with half a second to spare for the emulation. A pull in a Save's EEPROM
// pause (200 ms, where a Save spends most of its time) makes the next write fail at once; one in
// an echo or a reply wait ends that wait at once; a retry after its short pause fails at once too.
constexpr double kAfterPullMs = 960 + 500;
// Mails before the pull: a set's Load (14 mails) and its Save's identification read (4), then
// into the write mails; a show's Load, into its identification read.
constexpr unsigned kSaveMailsBeforePull = 21;
constexpr unsigned kLoadMailsBeforePull = 6;
constexpr int kReplugLimitMs = 20000;

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool Has(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

std::string FindEntry(const std::string &com, const std::string &device, const std::string &result) {
    return "{\"port\": \"" + com + "\", \"device\": \"" + device + "\", \"result\": \"" + result + "\"";
}

// Pulls the adapter out after `mails` more mails while relaycfg runs `arguments`; returns the
// run, and in afterPullMs how long the command went on after the pull (negative when unknown).
ProgramRun RunWhilePulled(Step &step, const rig::Line &line, unsigned mails,
                          const std::vector<std::string> &arguments, double &afterPullMs) {
    afterPullMs = -1;
    const std::string armed = Ask("unplug " + std::string(line.name) + " " + std::to_string(mails));
    step.Check(armed == "armed", "the host did not arm the pull: " + armed);
    const ProgramRun run = Relaycfg(arguments, 40000);
    const auto ended = Clock::now();
    const std::string back = Ask("replug " + std::string(line.name));
    double sincePull = 0;
    if (step.Check(std::sscanf(back.c_str(), "back %lf", &sincePull) == 1,
                   "the adapter was not pulled out and put back: " + back))
        afterPullMs = sincePull - MillisecondsSince(ended);
    return run;
}

void CheckFailedInTime(Step &step, const ProgramRun &run, const char *prefix, double afterPullMs, double limitMs) {
    step.Check(!run.timedOut && run.exitCode == kExitTransfer, "not a transfer failure: " + RunText(run));
    const std::size_t at = run.err.find(prefix);
    step.Check(at != std::string::npos, "no \"" + std::string(prefix) + "\" message: " + RunText(run));
    // The transfer's own text ("No local echo.", "No response."): which wait the pull ended.
    const std::size_t from = at + std::strlen(prefix);
    const std::string said = at == std::string::npos ? "" : run.err.substr(from, run.err.find('\n', from) - from);
    char figure[160];
    std::snprintf(figure, sizeof figure, "\"%s\" %.0f ms after the pull", said.c_str(), afterPullMs);
    step.Figure(figure);
    step.Check(afterPullMs <= limitMs, std::string(figure) + ", later than the silent-line time");
}

// After the adapter is back: its device appears again and a command works.
bool AdapterBack(Step &step, const rig::Line &line) {
    return step.Check(WaitForPath(std::string(line.device), kReplugLimitMs),
                      std::string(line.device) + " did not come back");
}

}  // namespace

void ComNumbersStep() {
    Step step("com_numbers");
    const ProgramRun run = Relaycfg({"ports", "--all"});
    step.Check(run.exitCode == 0, "relaycfg ports --all: " + RunText(run));
    const std::vector<std::string> lines = Lines(run.out);
    const std::string expected[] = {"COM1 " + std::string(rig::kUsbLine.device),
                                    "COM" + std::to_string(rig::kConsoleCom) + " " + std::string(rig::kConsoleDevice),
                                    "COM3 " + std::string(rig::kUartLine.device)};
    step.Check(lines.size() == std::size(expected), "ports --all lists " + std::to_string(lines.size()) +
                                                        " ports, not 3: " + run.out);
    for (std::size_t i = 0; i < lines.size() && i < std::size(expected); ++i)
        step.Check(lines[i].rfind(expected[i], 0) == 0, "\"" + lines[i] + "\" is not " + expected[i]);
    step.Check(lines.size() > 1 && Has(lines[1], "(the system console)"), "the console is not listed as such: " + run.out);
    step.Check(!Has(run.out, "ttyS2") && !Has(run.out, "ttyS3"), "a placeholder UART is listed: " + run.out);
    // The window's port probe numbers the ports the same way and leaves the console out.
    PosixServices window;
    step.Check(!window.ProbeComPort(static_cast<uint8_t>(rig::kConsoleCom)),
               "the window's port list offers the console");
    for (const rig::Line &line : rig::kLines)
        step.Check(window.ProbeComPort(static_cast<uint8_t>(line.com)),
                   "the window's port list leaves out " + ComName(line));
    step.Report();
}

void PortsFindStep() {
    Step step("ports_find");
    const ProgramRun run = Relaycfg({"ports", "--find", "--json", "--quiet"}, 60000);
    step.Check(run.exitCode == kExitUsage, "two repeaters are not reported as several: " + RunText(run));
    for (const rig::Line &line : rig::kLines)
        step.Check(Has(run.out, FindEntry(ComName(line), std::string(line.device), "repeater")),
                   ComName(line) + " is not found as a repeater: " + run.out);
    step.Check(Has(run.out, FindEntry("COM" + std::to_string(rig::kConsoleCom), std::string(rig::kConsoleDevice),
                                      "console")),
               "the console is not listed as such: " + run.out);
    const std::string console = Ask("console-clean");
    step.Check(console == "ok", "a mail reached the system console: " + console);
    step.Figure("relaycfg ports --find " + std::to_string(static_cast<int>(run.ms)) + " ms");
    step.Report();
}

void UnplugSteps(const rig::Line &line) {
    const std::string com = ComName(line), name(line.name);
    std::vector<std::string> restore;
    {
        Step step(name + ".unplug_save");
        double afterPull = 0;
        const ProgramRun run = RunWhilePulled(step, line, kSaveMailsBeforePull,
                                              {"set", "--port", com, "--repeater-rpn", "2"}, afterPull);
        CheckFailedInTime(step, run, kWriteFailureText, afterPull, kAfterPullMs);
        step.Check(Has(run.err, "The repeater's previous image is saved in "), "no backup named: " + RunText(run));
        restore = RestoreCommandIn(run.err);
        step.Check(restore.size() == 4 && restore[0] == "restore" && restore[2] == com,
                   "no restore command named: " + RunText(run));
        step.Report();
    }
    {
        Step step(name + ".replug_restore");
        std::vector<uint8_t> backup;
        if (AdapterBack(step, line) && step.Check(!restore.empty(), "no restore command to run") &&
            step.Check(BackupImage(restore.back(), backup), "the automatic backup holds no whole image")) {
            const ProgramRun run = Relaycfg(restore);
            step.Check(run.exitCode == 0, "the named restore command: " + RunText(run));
            ExpectOnHost(step, line, backup.data(), "after the named restore");
        }
        step.Report();
    }
    {
        Step step(name + ".unplug_load");
        double afterPull = 0;
        const ProgramRun run = RunWhilePulled(step, line, kLoadMailsBeforePull, {"show", "--port", com}, afterPull);
        CheckFailedInTime(step, run, kReadFailureText, afterPull, kAfterPullMs);
        step.Report();
    }
    {
        Step step(name + ".replug_show");
        if (AdapterBack(step, line)) {
            const ProgramRun run = Relaycfg({"show", "--port", com, "--quiet"});
            step.Check(run.exitCode == 0, "show after the adapter came back: " + RunText(run));
        }
        step.Report();
    }
}

}  // namespace guest
