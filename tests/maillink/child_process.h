// A second process for the tests that need one: the open probe, with its standard input and
// output on pipes, so that a test can hold it at a point (it reports on its output and waits for
// its input to end), kill it, and take its exit code.
#pragma once

#include <memory>
#include <string>
#include <vector>

class ChildProcess {
public:
    // Starts the open probe (beside the test program) with these arguments.
    explicit ChildProcess(const std::vector<std::string> &args);
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool Started() const;
    // The first character the child writes to its output, within timeoutMs; '?' when none came.
    char ReadCharacter(unsigned timeoutMs = 5000);
    // Kills the child at once.
    void Kill();
    // Ends the child's input and waits for its exit code; -1 when it was killed or did not end
    // within timeoutMs (it is killed then).
    int Finish(unsigned timeoutMs = 5000);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Runs the probe with these arguments to its end; its exit code, -1 when killed or stuck.
inline int RunProbe(const std::vector<std::string> &args) {
    ChildProcess child(args);
    if (!child.Started()) return -2;
    return child.Finish();
}
