// The worker of one station of plan apply (relaycfg --station-worker PORT, started by the run,
// never by hand): it waits for a unit on its port, reports it, programs it as it is told and
// waits until it is gone, over and over, in the line protocol of station_protocol.h. It asks for
// the identification block about once a second and prints nothing of its own.
#pragma once

#include <string>

// Runs until it is told to stop or its input ends; the exit code (130 after a stop signal
// that arrived during a write).
int RunStationWorker(const std::string &port);
