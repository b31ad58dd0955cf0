// The Load and Save sequences over InfoBlock and ConfigImage, without any user interface, so
// that the window and the command-line tool run exactly the same transfers. The caller sets
// PortSettings before, and shows the outcome after.
#pragma once

#include <cstdint>

enum class WorkflowOutcome {
    Done,               // everything transferred
    UnsupportedDevice,  // identification byte 18 is not "a": the image was neither read nor written
    TransferFailed,     // a transfer returned `code` (TransferErrorText gives its text)
};

struct WorkflowResult {
    WorkflowOutcome outcome = WorkflowOutcome::Done;
    int8_t code = 0;  // the failing transfer's result code; 0 otherwise
};

// Reads the identification block, checks the device type and reads the image. Only a Done
// load sets DataLoaded. A load that fails puts ConfigImage back as it was before, so a partly
// read image never mixes with the old one (and can never be written to a device).
WorkflowResult LoadFromRepeater();

// Reads the identification block, checks the device type and writes the image. The image must
// have been prepared (PrepareImageForSave) and DataLoaded checked by the caller.
WorkflowResult SaveToRepeater();
