// The Load and Save sequences over InfoBlock and ConfigImage, without any user interface, so
// that the window and the command-line tool run exactly the same transfers. The caller sets
// PortSettings before, and shows the outcome after.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "image_layout.h"

enum class WorkflowOutcome {
    Done,               // everything transferred
    UnsupportedDevice,  // identification byte 18 is not "a": the image was neither read nor written
    TransferFailed,     // a transfer returned `code` (TransferErrorText gives its text)
    SaveNotTaken,       // the image was written, but reading it back failed (`code`) or showed
                        // another image (`mismatchOffset`)
};

struct WorkflowResult {
    WorkflowOutcome outcome = WorkflowOutcome::Done;
    int8_t code = 0;  // the failing transfer's result code; 0 otherwise
    // SaveNotTaken after a read-back that differs: the first checked byte that differs, as
    // written and as read back; -1 when none.
    int mismatchOffset = -1;
    uint8_t written = 0;
    uint8_t readBack = 0;
};

using ImageBytes = std::array<uint8_t, layout::kImageSize>;
struct RepeaterMemory;  // backup_file.h

// Reads the identification block, checks the device type and reads the image. Only a Done
// load sets DataLoaded. A load that fails puts ConfigImage back as it was before, so a partly
// read image never mixes with the old one (and can never be written to a device).
WorkflowResult LoadFromRepeater();

// Reads the identification block, checks the device type, writes the image and reads it back
// into a scratch buffer to check that the device took it: a write mail has no reply, so a device
// that ignored one would otherwise go unnoticed. ConfigImage keeps the edited image whatever
// happens, so that Save can be pressed again. The image must have been prepared
// (PrepareImageForSave) and DataLoaded checked by the caller.
WorkflowResult SaveToRepeater();
// The same, handing the image read back to the caller (as far as it was read).
WorkflowResult SaveToRepeaterWithReadBack(ImageBytes &readBack);

// What a Save keeps of the memory it is about to overwrite.
using PreviousMemoryKeeper = std::function<void(const RepeaterMemory &)>;

// SaveToRepeater, keeping first what it overwrites: after the device check (an unsupported device
// is not read), the image the device holds is read with the mails of a Load's image read, into a
// scratch buffer (ConfigImage keeps the edited image), and when the whole image came it is handed
// to keep with the identification block just read, before the first write mail. That is a safety
// net, not a condition: a read that fails, and a keep that fails or throws, are passed over, and
// the Save goes on exactly as SaveToRepeater's (every transfer starts with SmInit, so an error the
// read left in the mail layer does not block the write).
WorkflowResult SaveToRepeaterKeepingPrevious(const PreviousMemoryKeeper &keep);

// Bytes 22 and 23 are cleared before every Save and not interpreted; the device may set them
// itself, so the check after a Save does not count them as a difference.
bool IsUncheckedByte(std::size_t offset);

// The first byte below size, other than the unchecked ones, in which the two images differ;
// -1 when they agree.
int FirstCheckedDifference(const uint8_t *written, const uint8_t *readBack, std::size_t size);

// The user's text for a SaveNotTaken result; empty for every other outcome.
std::string SaveCheckMessage(const WorkflowResult &result);
