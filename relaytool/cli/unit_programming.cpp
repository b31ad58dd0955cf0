#include "unit_programming.h"

#include <algorithm>

#include "exit_codes.h"
#include "field_edits.h"
#include "memory_buffers.h"

int EditLoadedImage(RepeaterSession &session, const FieldEdits &edits, EditedImage &edited) {
    if (const int code = session.Load(); code != kExitOk) return code;
    return EditImage(session, edits, edited);
}

int EditImage(RepeaterSession &session, const FieldEdits &edits, EditedImage &edited) {
    edited.device = session.Current();

    DisplayFields shown;
    RuleResult result = ApplyFieldEdits(ConfigImage, edits, shown);
    if (result.ok) result = CheckRpnClass(ConfigImage, edits);
    if (result.ok) result = PrepareForWrite(ConfigImage, edits, shown);
    if (!result.ok) {
        session.Message() << result.message << "\nNothing was written.\n";
        return kExitRefused;
    }
    std::copy_n(ConfigImage, edited.image.size(), edited.image.begin());
    return kExitOk;
}

int WriteEditedImage(RepeaterSession &session, const EditedImage &edited) {
    if (const int code = session.BackUp(edited.device); code != kExitOk) return code;
    return session.WriteAndVerify(edited.image);
}
