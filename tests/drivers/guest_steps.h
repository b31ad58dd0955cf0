// The steps the rig's guest runs, each reported on the console under its name (steps.txt lists
// them all, in order).
#pragma once

#include "guest_support.h"

namespace guest {

// On one line's device (guest_line_steps.cpp).
void LineSettingsStep(const rig::Line &line);
void LowLatencyStep(const rig::Line &line);
void ExclusiveStep(const rig::Line &line);
// The second process of ExclusiveStep: OpenSerialPort(com) as uid (when given); prints
// "opened" or "refused: <reason>".
int SecondOpen(unsigned com, const char *uid);

// Transfers through the library and through relaycfg (guest_transfer_steps.cpp).
void LoadSaveStep(const rig::Line &line);
void RelaycfgSteps(const rig::Line &line);

// The ports as relaycfg numbers and finds them, and the adapter pulled out and put back
// (guest_port_steps.cpp).
void ComNumbersStep();
void PortsFindStep();
void UnplugSteps(const rig::Line &line);

}  // namespace guest
