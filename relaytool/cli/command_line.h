// The command line of relaycfg: which command, on which port, with which options and edits.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

enum class Command { None, Ports, Show, Backup, Restore, Set, Diff, PlanCheck, PlanApply, PlanCapture };

// The field edits of `set`, as typed; each is applied through the window's rules.
struct FieldEdits {
    std::optional<std::string> parentRfpi;   // --parent-rfpi "02 5A 3C 81 43"
    std::optional<std::string> park;         // --park 01132171005 (the eleven shown digits)
    std::optional<std::string> baseRpn;      // --base-rpn N
    std::optional<std::string> repeaterRpn;  // --repeater-rpn N
    std::optional<bool> monitorBeep;         // --monitor-beep on|off
    std::optional<bool> ignoreHop;           // --ignore-hop on|off

    bool Any() const {
        return parentRfpi || park || baseRpn || repeaterRpn || monitorBeep || ignoreHop;
    }
};

struct Invocation {
    Command command = Command::None;
    bool help = false;     // --help, -h or `help [COMMAND]`: print the help and do nothing else
    bool version = false;  // --version
    std::string port;      // --port: COMn or, on POSIX, a device path (the last one given)
    std::vector<std::string> ports;  // every --port in order: plan apply --all takes several
    std::string file;      // FILE of backup, restore and the plan commands
    std::vector<std::string> compared;  // diff: A and B, each a backup FILE or a port
    bool json = false;     // show --json, ports --find --json, diff --json
    bool dryRun = false;   // set --dry-run
    bool force = false;    // backup --force: replace an existing FILE
    bool all = false;      // ports --all, plan apply --all
    bool find = false;     // ports --find
    bool quiet = false;    // no progress on standard error
    bool dot = false;      // plan check --dot
    std::string repeater;  // plan apply --repeater NAME
    std::string log;       // plan apply --log FILE (empty: beside the plan)
    std::string name;      // plan capture --name NAME
    std::string parent;    // plan capture --parent NAME
    FieldEdits edits;
};

// A command line that cannot be run; the message says why. `command` is the command it was
// meant for (None when not known), so that its usage can be pointed at.
class UsageError : public std::runtime_error {
public:
    UsageError(Command command, const std::string &message)
        : std::runtime_error(message), command_(command) {}
    Command command() const { return command_; }

private:
    Command command_;
};

// Parses the arguments after the program name. Options may stand before or after the command
// and take their value as the next argument or after "=". Throws UsageError.
Invocation ParseCommandLine(const std::vector<std::string> &args);

// The command's name as typed ("show", "plan check"), and the reverse (None for an unknown name).
const char *CommandName(Command command);
Command CommandNamed(const std::string &name);
