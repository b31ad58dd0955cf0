// plan apply --all with several --port: one station per port, each run by a worker process of
// its own (station_worker.h), all fed from one queue of the plan's entries (station_queue.h).
// The operator connects units in any order; each station takes the next entry for its unit,
// programs it with the same backup, write and verify as `set`, says on one line what happened
// (port first) and waits for the unit to go. The log is this process's alone.
//
// The run ends when every entry is written (or found held), at q or the end of the input, or at
// a stop signal; a stop never cuts a write short: each station finishes the unit it is writing,
// then stops. A second stop signal ends the writes at once, naming each backup and its restore
// command. A worker that dies puts its entry back in the queue; the other stations go on.
//
// Exit code: 130 after a stop signal; else 6 when the log could not be written; else 0 when every
// entry was written or held; else the first failed unit's (3 transfer, 4 unsupported, 5 verify,
// 6 file, 7 refused); else 1 when a station's worker was lost; else 8 (stopped with entries not
// done).
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "console.h"
#include "plan_rules.h"

int ApplyPlanAtStations(const std::vector<const PlannedUnit *> &units,
                        const std::vector<std::string> &portLabels, const Invocation &invocation,
                        Console io);
