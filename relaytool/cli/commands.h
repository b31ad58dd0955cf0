// The commands of relaycfg. Each returns its exit code (exit_codes.h).
#pragma once

#include "command_line.h"
#include "console.h"

int RunPorts(const Invocation &invocation, Console io);
int RunShow(const Invocation &invocation, Console io);
int RunBackup(const Invocation &invocation, Console io);
int RunRestore(const Invocation &invocation, Console io);
int RunSet(const Invocation &invocation, Console io);
int RunPortsFind(const Invocation &invocation, Console io);
int RunPlanCheck(const Invocation &invocation, Console io);
int RunPlanApply(const Invocation &invocation, Console io);
int RunPlanCapture(const Invocation &invocation, Console io);
