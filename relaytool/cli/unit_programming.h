// The write of `set`, shared with `plan apply`: a Load, the edits through the window's rules and
// its Save preparation, then the automatic backup, the write and the read-back compare.
#pragma once

#include "backup_file.h"
#include "command_line.h"
#include "repeater_session.h"

struct EditedImage {
    RepeaterMemory device;  // as loaded
    Image image{};          // what would be written
};

// Loads the unit and applies the edits; an exit code other than kExitOk when the load failed or
// the edits were refused (the message has been printed).
int EditLoadedImage(RepeaterSession &session, const FieldEdits &edits, EditedImage &edited);
// The same for a unit that session has loaded already (InfoBlock and ConfigImage hold it).
int EditImage(RepeaterSession &session, const FieldEdits &edits, EditedImage &edited);

// The automatic backup of the loaded memory, then the write and its verification.
int WriteEditedImage(RepeaterSession &session, const EditedImage &edited);
