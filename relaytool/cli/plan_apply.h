// plan apply: units of a sound plan programmed one after the other through one port, each with
// the same backup, write and verify as `set` and a line in the plan log. The log is opened before
// the first unit: a run that could not record what it does programs nothing. With --all each
// unit is asked for first (plan_prompt.h); q or the end of the input stops the run with
// kExitIncomplete, Ctrl-C during a write with kExitInterrupted once that write is done.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "console.h"
#include "plan_rules.h"

// What the plan gives a unit, as the edits of `set`.
FieldEdits PlannedEdits(const PlannedUnit &unit);

// The first message line among what a unit's programming printed, progress lines and notes left
// out: the failure's text for the log ("exit code N" when it printed none).
std::string FailureText(const std::string &recorded, int code);

int ApplyPlanUnits(const std::vector<const PlannedUnit *> &units, const std::string &portLabel,
                   const Invocation &invocation, Console io);
