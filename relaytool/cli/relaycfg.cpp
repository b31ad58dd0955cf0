#include "relaycfg.h"

#include <exception>

#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "help_text.h"

#ifndef RELAYCFG_VERSION
#define RELAYCFG_VERSION "unknown"
#endif

namespace {

int Dispatch(const Invocation &invocation, Console io) {
    switch (invocation.command) {
    case Command::Ports:
        return invocation.find ? RunPortsFind(invocation, io) : RunPorts(invocation, io);
    case Command::Show: return RunShow(invocation, io);
    case Command::Backup: return RunBackup(invocation, io);
    case Command::Restore: return RunRestore(invocation, io);
    case Command::Set: return RunSet(invocation, io);
    case Command::Diff: return RunDiff(invocation, io);
    case Command::PlanCheck: return RunPlanCheck(invocation, io);
    case Command::PlanApply: return RunPlanApply(invocation, io);
    case Command::PlanCapture: return RunPlanCapture(invocation, io);
    case Command::None: break;
    }
    io.err << HelpText(Command::None);
    return kExitUsage;
}

}  // namespace

int RunRelaycfg(const std::vector<std::string> &args, Console io) {
    Command command = Command::None;
    try {
        const Invocation invocation = ParseCommandLine(args);
        command = invocation.command;
        if (invocation.help) {
            io.out << HelpText(invocation.command);
            return kExitOk;
        }
        if (invocation.version) {
            io.out << "relaycfg " << RELAYCFG_VERSION << '\n';
            return kExitOk;
        }
        return Dispatch(invocation, io);
    } catch (const UsageError &e) {
        io.err << "relaycfg: " << e.what() << '\n'
               << UsageHint(e.command() != Command::None ? e.command() : command);
        return kExitUsage;
    } catch (const std::exception &e) {
        io.err << "relaycfg: " << e.what() << '\n';
        return kExitInternal;
    }
}
