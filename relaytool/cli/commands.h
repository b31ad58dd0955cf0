// The commands of relaycfg. Each returns its exit code (exit_codes.h).
#pragma once

#include <ostream>
#include <string>

#include "backup_file.h"
#include "command_line.h"
#include "console.h"

int RunPorts(const Invocation &invocation, Console io);
int RunShow(const Invocation &invocation, Console io);
int RunBackup(const Invocation &invocation, Console io);
int RunRestore(const Invocation &invocation, Console io);
int RunSet(const Invocation &invocation, Console io);
int RunDiff(const Invocation &invocation, Console io);
int RunPortsFind(const Invocation &invocation, Console io);
int RunPlanCheck(const Invocation &invocation, Console io);
int RunPlanApply(const Invocation &invocation, Console io);
int RunPlanCapture(const Invocation &invocation, Console io);

// Reads and checks the backup FILE at path (restore, diff); false after telling err why it was
// refused (the caller says what it therefore did not do).
bool ReadBackupFile(const std::string &path, std::ostream &err, BackupReading &backup);
