// The texts of `relaycfg --help` and `relaycfg COMMAND --help`.
#pragma once

#include <string>

#include "command_line.h"

// The overview: commands, common options, exit codes. Command::None gives it too.
std::string HelpText(Command command);

// One line pointing at the help, printed after a usage error.
std::string UsageHint(Command command);
