#include "command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <initializer_list>
#include <map>

namespace {

struct CommandEntry {
    Command command;
    const char *name;
};

constexpr CommandEntry kCommands[] = {
    {Command::Ports, "ports"},          {Command::Show, "show"},
    {Command::Backup, "backup"},        {Command::Restore, "restore"},
    {Command::Set, "set"},              {Command::Diff, "diff"},
    {Command::PlanCheck, "plan check"},
    {Command::PlanApply, "plan apply"}, {Command::PlanCapture, "plan capture"},
};

// Options, and the commands each belongs to (an empty list: every command). All of them are
// known to the top level of the parser, so that they may stand before or after the command;
// which command an option belongs to is checked here, after parsing.
struct OptionRule {
    const char *name;
    bool takesValue;
    std::initializer_list<Command> commands;
};

const OptionRule kOptions[] = {
    {"--port", true, {Command::Show, Command::Backup, Command::Restore, Command::Set,
                      Command::PlanApply, Command::PlanCapture}},
    {"--json", false, {Command::Show, Command::Ports, Command::Diff}},
    {"--all", false, {Command::Ports, Command::PlanApply}},
    {"--find", false, {Command::Ports}},
    {"--dry-run", false, {Command::Set}},
    {"--force", false, {Command::Backup}},
    {"--parent-rfpi", true, {Command::Set}},
    {"--park", true, {Command::Set}},
    {"--base-rpn", true, {Command::Set}},
    {"--repeater-rpn", true, {Command::Set}},
    {"--monitor-beep", true, {Command::Set}},
    {"--ignore-hop", true, {Command::Set}},
    {"--dot", false, {Command::PlanCheck}},
    {"--repeater", true, {Command::PlanApply}},
    {"--log", true, {Command::PlanApply}},
    {"--name", true, {Command::PlanCapture}},
    {"--parent", true, {Command::PlanCapture}},
    {"--quiet", false, {}},
    {"--help", false, {}},
    {"--version", false, {}},
};

// What the parser found for one option.
struct Given {
    const OptionRule *rule = nullptr;
    CLI::Option *option = nullptr;
    std::string value;                // value options
    bool flag = false;                // flags
    bool Present() const { return option->count() > 0; }
};

bool OnOff(Command command, const std::string &option, const std::string &value) {
    if (value == "on") return true;
    if (value == "off") return false;
    throw UsageError(command, option + " takes on or off, not \"" + value + "\"");
}

// One level of commands: the words it knows, and the words that followed it.
struct Level {
    CLI::App *app = nullptr;
    std::vector<std::string> words;
};

CLI::App *AddLevel(CLI::App &parent, const std::string &name, Level &level) {
    CLI::App *app = parent.add_subcommand(name);
    app->fallthrough();  // options are the top level's
    app->allow_extras();
    app->set_help_flag();
    app->add_option("words", level.words);
    level.app = app;
    return app;
}

// The CLI11 message of a flag given a value ("json was given a disallowed flag override").
std::string FlagWithValue(const std::string &message) {
    const std::size_t end = message.find(' ');
    return "--" + message.substr(0, end) + " takes no value";
}

void CheckComplete(const Invocation &inv, const std::vector<std::string> &positional) {
    const Command c = inv.command;
    const bool needsFile = c == Command::Backup || c == Command::Restore ||
                           c == Command::PlanCheck || c == Command::PlanApply ||
                           c == Command::PlanCapture;
    const std::size_t wanted = c == Command::Diff ? 2 : needsFile ? 1 : 0;
    if (positional.size() > wanted)
        throw UsageError(c, std::string("unexpected argument \"") + positional[wanted] + "\"");
    if (c == Command::Diff && positional.size() < wanted)
        throw UsageError(c, "diff compares two images: give A and B, each a backup FILE or a port");
    if (needsFile && positional.empty()) {
        const bool plan = c != Command::Backup && c != Command::Restore;
        throw UsageError(c, plan ? "the plan FILE is missing" : "the backup FILE is missing");
    }
    const bool needsPort = c != Command::Ports && c != Command::PlanCheck && c != Command::Diff;
    if (needsPort && inv.port.empty()) throw UsageError(c, "--port is missing");
    if (inv.ports.size() > 1 && c != Command::PlanApply)
        throw UsageError(c, "--port is given more than once");
    if (inv.ports.size() > 1 && !inv.all)
        throw UsageError(c, "several --port (stations) need --all");
    if (c == Command::Set && !inv.edits.Any())
        throw UsageError(c, "set needs at least one field to change");
    if (c == Command::Ports && inv.json && !inv.find)
        throw UsageError(c, "--json does not apply to ports without --find");
    if (c == Command::Ports && inv.all && inv.find)
        throw UsageError(c, "--all and --find cannot be combined");
    if (c == Command::PlanApply && inv.all == !inv.repeater.empty())
        throw UsageError(c, "plan apply needs either --repeater NAME or --all");
    if (c == Command::PlanCapture && inv.name.empty()) throw UsageError(c, "--name is missing");
    if (c == Command::PlanCapture && inv.parent.empty())
        throw UsageError(c, "--parent is missing");
}

void ApplyOption(Invocation &inv, const std::string &o, const std::string &v) {
    const Command c = inv.command;
    if (o == "--port") inv.port = v;
    else if (o == "--json") inv.json = true;
    else if (o == "--all") inv.all = true;
    else if (o == "--find") inv.find = true;
    else if (o == "--dry-run") inv.dryRun = true;
    else if (o == "--force") inv.force = true;
    else if (o == "--quiet") inv.quiet = true;
    else if (o == "--dot") inv.dot = true;
    else if (o == "--repeater") inv.repeater = v;
    else if (o == "--log") inv.log = v;
    else if (o == "--name") inv.name = v;
    else if (o == "--parent") inv.parent = v;
    else if (o == "--parent-rfpi") inv.edits.parentRfpi = v;
    else if (o == "--park") inv.edits.park = v;
    else if (o == "--base-rpn") inv.edits.baseRpn = v;
    else if (o == "--repeater-rpn") inv.edits.repeaterRpn = v;
    else if (o == "--monitor-beep") inv.edits.monitorBeep = OnOff(c, o, v);
    else if (o == "--ignore-hop") inv.edits.ignoreHop = OnOff(c, o, v);
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
    CLI::App app("relaycfg", "relaycfg");
    app.set_help_flag();  // the help texts are relaycfg's own (help_text.cpp)
    app.allow_extras();

    std::vector<Given> given(std::size(kOptions));
    for (std::size_t i = 0; i < given.size(); ++i) {
        const OptionRule &rule = kOptions[i];
        given[i].rule = &rule;
        const std::string names = rule.name == std::string("--help") ? "--help,-h" : rule.name;
        if (rule.takesValue) {
            // A missing value is reported in relaycfg's words (below, from CLI11's error).
            given[i].option = app.add_option(names, given[i].value)
                                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        } else {
            given[i].option = app.add_flag(names, given[i].flag)->disable_flag_override();
        }
    }

    Level ports, show, backup, restore, set, diff, plan, check, apply, capture;
    const std::pair<Command, Level *> leaves[] = {
        {Command::Ports, &ports}, {Command::Show, &show},       {Command::Backup, &backup},
        {Command::Restore, &restore}, {Command::Set, &set},     {Command::Diff, &diff},
        {Command::PlanCheck, &check}, {Command::PlanApply, &apply}, {Command::PlanCapture, &capture},
    };
    AddLevel(app, "ports", ports);
    AddLevel(app, "show", show);
    AddLevel(app, "backup", backup);
    AddLevel(app, "restore", restore);
    AddLevel(app, "set", set);
    AddLevel(app, "diff", diff);
    CLI::App *planApp = AddLevel(app, "plan", plan);
    AddLevel(*planApp, "check", check);
    AddLevel(*planApp, "apply", apply);
    AddLevel(*planApp, "capture", capture);
    // One command per line: once it is known, a later word such as "show" or "help" is an
    // argument (a FILE may have any name), not a second command.
    app.require_subcommand(0, 1);
    planApp->require_subcommand(0, 1);
    // `help [COMMAND]`.
    CLI::App *helpApp = app.add_subcommand("help");
    helpApp->prefix_command();
    helpApp->set_help_flag();

    // CLI11 takes the arguments in reverse order.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::ArgumentMismatch &e) {
        const std::string message = e.what();
        if (message.find("flag override") != std::string::npos)
            throw UsageError(Command::None, FlagWithValue(message));
        if (message.find(" missing") != std::string::npos)  // "--port: 1 required TEXT missing"
            throw UsageError(Command::None, message.substr(0, message.find(':')) + " needs a value");
        throw UsageError(Command::None, message);
    } catch (const CLI::ParseError &e) {
        throw UsageError(Command::None, e.what());
    }

    // Words that no level took: unknown options first, then an unknown command.
    std::vector<std::string> stray = app.remaining();
    for (const std::string &word : stray)
        if (word.size() > 1 && word[0] == '-' && word != "--")
            throw UsageError(Command::None, "unknown option " + word.substr(0, word.find('=')));

    Invocation inv;
    std::vector<std::string> positional;
    int commands = 0;
    for (const auto &[command, level] : leaves) {
        if (!level->app->parsed()) continue;
        if (++commands > 1) {
            throw UsageError(inv.command, std::string("unexpected argument \"") +
                                              level->app->get_name() + "\"");
        }
        inv.command = command;
        positional = level->words;
        for (const std::string &word : level->app->remaining())
            if (word != "--") positional.push_back(word);
    }

    auto present = [&](const char *name) {
        for (const Given &g : given)
            if (g.rule->name == std::string(name)) return g.Present();
        return false;
    };
    if (plan.app->parsed() && inv.command == Command::None && !plan.words.empty())
        throw UsageError(Command::None, "unknown command \"plan " + plan.words.front() + "\"");
    if (helpApp->parsed()) {
        // `help COMMAND`: the command's words are parsed as the command itself, or left over.
        inv.help = true;
        std::string named;
        for (const std::string &word : helpApp->remaining())
            named += (named.empty() ? "" : " ") + word;
        for (const std::string &word : stray)
            if (word != "--") named += (named.empty() ? "" : " ") + word;
        if (!named.empty()) {
            inv.command = CommandNamed(named);
            if (inv.command == Command::None)
                throw UsageError(Command::None, "unknown command \"" + named + "\"");
        }
    }
    // An unknown command is refused even beside --help or --version.
    if (inv.command == Command::None && !inv.help) {
        for (const std::string &word : stray)
            if (word != "--") throw UsageError(Command::None, "unknown command \"" + word + "\"");
    }
    inv.help = inv.help || present("--help");
    inv.version = present("--version");
    if (inv.help || inv.version) return inv;  // nothing else is looked at

    if (inv.command == Command::None) {
        if (plan.app->parsed()) throw UsageError(Command::None, "plan needs check, apply or capture");
        throw UsageError(Command::None, "no command given");
    }
    for (const std::string &word : stray)
        if (word != "--") positional.push_back(word);

    for (const Given &g : given) {
        if (!g.Present()) continue;
        const auto &commandsOf = g.rule->commands;
        const bool applies = commandsOf.size() == 0 ||
                             std::find(commandsOf.begin(), commandsOf.end(), inv.command) !=
                                 commandsOf.end();
        if (!applies) {
            throw UsageError(inv.command, std::string(g.rule->name) + " does not apply to " +
                                              CommandName(inv.command));
        }
        ApplyOption(inv, g.rule->name, g.value);
        if (g.rule->name == std::string("--port")) inv.ports = g.option->results();
    }
    if (!positional.empty()) inv.file = positional.front();
    if (inv.command == Command::Diff) inv.compared = positional;
    CheckComplete(inv, positional);
    return inv;
}
