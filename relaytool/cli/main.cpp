// relaycfg: the command-line companion of the Relaytool window.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "plan_prompt.h"
#include "relaycfg.h"
#include "station_worker.h"
#include "worker_process.h"

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // A station of `plan apply` with several ports (started by relaycfg itself, not documented).
    if (args.size() == 2 && args[0] == kStationWorkerArgument) return RunStationWorker(args[1]);
    StandardInput input;
    const int code = RunRelaycfg(args, {std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, &input});
    std::cout.flush();
    return std::cout.fail() && code == 0 ? 1 : code;
}
