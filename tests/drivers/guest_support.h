// The guest side of the driver rig: reporting steps and asking the host over the console,
// running programs with a time limit, and the small checks every step uses.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "rig_protocol.h"

namespace guest {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start);

// A step's findings: every failed check is kept; figures are what it measured.
class Step {
public:
    explicit Step(std::string name);
    // Records a failure when ok is false; returns ok.
    bool Check(bool ok, const std::string &what);
    void Figure(const std::string &text);
    bool Passed() const { return failures_.empty(); }
    // Writes "@rig step NAME pass|fail MS TEXT" to the console.
    void Report() const;

private:
    std::string name_;
    Clock::time_point start_;
    std::vector<std::string> failures_;
    std::vector<std::string> figures_;
};

// Sends "@rig ask ID REQUEST" and returns the host's answer (the text after "@host ID "), or
// an empty string when none came within the time limit.
std::string Ask(const std::string &request);
// Writes "@rig WORDS" to the console.
void Say(const std::string &words);

struct ProgramRun {
    int exitCode = -1;    // -1: killed by a signal or by the time limit
    bool timedOut = false;
    std::string out, err;
    double ms = 0;
};

// Runs a program (argv[0] a path) with its output captured; killed after limitMs.
ProgramRun Run(const std::vector<std::string> &argv, int limitMs = 30000);

// relaycfg with these arguments.
ProgramRun Relaycfg(const std::vector<std::string> &arguments, int limitMs = 30000);

// "exit N, said: ..." for a failed run's message.
std::string RunText(const ProgramRun &run);

// Asks the host whether line's simulator holds this 80-byte image; a failed check says what
// differs, prefixed by `when`.
void ExpectOnHost(Step &step, const rig::Line &line, const uint8_t *image, const std::string &when);

std::string Hex(const uint8_t *bytes, std::size_t count);
// The 80 bytes of the "image AA: ..." lines of a relaycfg backup file; false when incomplete.
bool BackupImage(const std::string &path, std::vector<uint8_t> &image);
// The arguments of the restore command that relaycfg names after a failed write ("Put it back
// with: relaycfg restore --port COM1 FILE"); empty when it names none.
std::vector<std::string> RestoreCommandIn(const std::string &text);

// Waits until path exists (a device node the kernel creates), at most limitMs.
bool WaitForPath(const std::string &path, int limitMs);

// "COM<n>"
std::string ComName(const rig::Line &line);

}  // namespace guest
