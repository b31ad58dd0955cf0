// relaycfg as a function, so that tests run it in-process: the arguments after the program name,
// the streams, and the exit code back.
#pragma once

#include <string>
#include <vector>

#include "console.h"

int RunRelaycfg(const std::vector<std::string> &args, Console io);
