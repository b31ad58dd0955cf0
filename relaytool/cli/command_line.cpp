#include "command_line.h"

#include <algorithm>
#include <initializer_list>

namespace {

struct CommandEntry {
    Command command;
    const char *name;
};

constexpr CommandEntry kCommands[] = {
    {Command::Ports, "ports"},     {Command::Show, "show"}, {Command::Backup, "backup"},
    {Command::Restore, "restore"}, {Command::Set, "set"},
};

// Options that take a value, and the commands each belongs to (an empty list: every command).
struct OptionRule {
    const char *name;
    bool takesValue;
    std::initializer_list<Command> commands;
};

const OptionRule kOptions[] = {
    {"--port", true, {Command::Show, Command::Backup, Command::Restore, Command::Set}},
    {"--json", false, {Command::Show}},
    {"--all", false, {Command::Ports}},
    {"--dry-run", false, {Command::Set}},
    {"--parent-rfpi", true, {Command::Set}},
    {"--park", true, {Command::Set}},
    {"--base-rpn", true, {Command::Set}},
    {"--repeater-rpn", true, {Command::Set}},
    {"--monitor-beep", true, {Command::Set}},
    {"--ignore-hop", true, {Command::Set}},
    {"--quiet", false, {}},
    {"--help", false, {}},
    {"--version", false, {}},
};

const OptionRule *FindOption(const std::string &name) {
    for (const OptionRule &rule : kOptions)
        if (name == rule.name) return &rule;
    return nullptr;
}

bool OnOff(Command command, const std::string &option, const std::string &value) {
    if (value == "on") return true;
    if (value == "off") return false;
    throw UsageError(command, option + " takes on or off, not \"" + value + "\"");
}

struct Token {
    std::string option;  // empty for a positional argument
    std::string value;
};

// Splits the arguments into options (with their values) and positional arguments.
std::vector<Token> Tokenize(const std::vector<std::string> &args) {
    std::vector<Token> tokens;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            tokens.push_back({"", arg});
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h") {
            tokens.push_back({"--help", ""});
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionRule *rule = FindOption(name);
        if (rule == nullptr) throw UsageError(Command::None, "unknown option " + name);
        if (!rule->takesValue) {
            if (equals != std::string::npos)
                throw UsageError(Command::None, name + " takes no value");
            tokens.push_back({name, ""});
        } else if (equals != std::string::npos) {
            tokens.push_back({name, arg.substr(equals + 1)});
        } else if (i + 1 < args.size()) {
            tokens.push_back({name, args[++i]});
        } else {
            throw UsageError(Command::None, name + " needs a value");
        }
    }
    return tokens;
}

void ApplyOption(Invocation &inv, const Token &token) {
    const Command c = inv.command;
    const std::string &o = token.option;
    const std::string &v = token.value;
    if (o == "--port") inv.port = v;
    else if (o == "--json") inv.json = true;
    else if (o == "--all") inv.all = true;
    else if (o == "--dry-run") inv.dryRun = true;
    else if (o == "--quiet") inv.quiet = true;
    else if (o == "--parent-rfpi") inv.edits.parentRfpi = v;
    else if (o == "--park") inv.edits.park = v;
    else if (o == "--base-rpn") inv.edits.baseRpn = v;
    else if (o == "--repeater-rpn") inv.edits.repeaterRpn = v;
    else if (o == "--monitor-beep") inv.edits.monitorBeep = OnOff(c, o, v);
    else if (o == "--ignore-hop") inv.edits.ignoreHop = OnOff(c, o, v);
}

void CheckComplete(const Invocation &inv, const std::vector<std::string> &positional) {
    const Command c = inv.command;
    const bool needsFile = c == Command::Backup || c == Command::Restore;
    const std::size_t wanted = needsFile ? 1 : 0;
    if (positional.size() > wanted)
        throw UsageError(c, std::string("unexpected argument \"") + positional[wanted] + "\"");
    if (needsFile && positional.empty()) throw UsageError(c, "the backup FILE is missing");
    if (c != Command::Ports && inv.port.empty()) throw UsageError(c, "--port is missing");
    if (c == Command::Set && !inv.edits.Any())
        throw UsageError(c, "set needs at least one field to change");
}

}  // namespace

const char *CommandName(Command command) {
    for (const CommandEntry &entry : kCommands)
        if (entry.command == command) return entry.name;
    return "";
}

Command CommandNamed(const std::string &name) {
    for (const CommandEntry &entry : kCommands)
        if (name == entry.name) return entry.command;
    return Command::None;
}

Invocation ParseCommandLine(const std::vector<std::string> &args) {
    const std::vector<Token> tokens = Tokenize(args);
    Invocation inv;
    std::vector<std::string> positional;

    // The command is the first positional argument; `help COMMAND` asks for that command's help.
    for (const Token &token : tokens) {
        if (!token.option.empty()) continue;
        if (inv.command == Command::None && !inv.help && token.value == "help") {
            inv.help = true;
            continue;
        }
        if (inv.command == Command::None) {
            inv.command = CommandNamed(token.value);
            if (inv.command == Command::None)
                throw UsageError(Command::None, "unknown command \"" + token.value + "\"");
            continue;
        }
        positional.push_back(token.value);
    }

    for (const Token &token : tokens) {
        if (token.option == "--help") inv.help = true;
        if (token.option == "--version") inv.version = true;
    }
    if (inv.help || inv.version) return inv;  // nothing else is looked at
    if (inv.command == Command::None) throw UsageError(Command::None, "no command given");

    for (const Token &token : tokens) {
        if (token.option.empty()) continue;
        const OptionRule *rule = FindOption(token.option);
        const bool applies =
            rule->commands.size() == 0 ||
            std::find(rule->commands.begin(), rule->commands.end(), inv.command) !=
                rule->commands.end();
        if (!applies) {
            throw UsageError(inv.command, token.option + " does not apply to " +
                                              CommandName(inv.command));
        }
        ApplyOption(inv, token);
    }
    if (!positional.empty() && (inv.command == Command::Backup || inv.command == Command::Restore))
        inv.file = positional.front();
    CheckComplete(inv, positional);
    return inv;
}
