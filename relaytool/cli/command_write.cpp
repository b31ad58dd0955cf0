// relaycfg restore and relaycfg set: everything checked first, then a Load, the automatic backup,
// the write and its verification.
#include "backup_file.h"
#include "commands.h"
#include "configuration_report.h"
#include "exit_codes.h"
#include "field_edits.h"
#include "memory_buffers.h"
#include "repeater_session.h"
#include "text_files.h"
#include "unit_programming.h"

bool ReadBackupFile(const std::string &path, std::ostream &err, BackupReading &backup) {
    std::string text, error;
    if (!ReadTextFile(path, text, error)) {
        err << "Cannot read the backup: " << error << '\n';
        return false;
    }
    backup = ParseBackup(text);
    if (!backup.ok) err << "Refusing " << path << ": " << backup.error << '\n';
    return backup.ok;
}

int RunRestore(const Invocation &invocation, Console io) {
    RepeaterSession session(invocation.port, io, invocation.quiet);
    // The file is judged before any transfer: a damaged or foreign file sends nothing.
    BackupReading backup;
    if (!ReadBackupFile(invocation.file, io.err, backup)) {
        io.err << "Nothing was sent to the repeater.\n";
        return kExitFile;
    }

    if (const int code = session.Load(); code != kExitOk) return code;
    if (const int code = session.BackUp(session.Current()); code != kExitOk) return code;
    if (const int code = session.WriteAndVerify(backup.memory.image); code != kExitOk)
        return session.Finish(code);
    io.out << "Restored " << invocation.file << " to " << session.Port().Label() << ": "
           << backup.memory.image.size() << " bytes written and verified.\n";
    return session.Finish(kExitOk);
}

int RunSet(const Invocation &invocation, Console io) {
    RepeaterSession session(invocation.port, io, invocation.quiet);
    if (const RuleResult check = CheckFieldEdits(invocation.edits); !check.ok) {
        io.err << check.message << "\nNothing was sent to the repeater.\n";
        return kExitRefused;
    }

    EditedImage edited;
    if (const int code = EditLoadedImage(session, invocation.edits, edited); code != kExitOk)
        return code;
    const Image &image = edited.image;
    const std::string report = ConfigurationText(FieldsOf(image.data()));
    if (invocation.dryRun) {
        const std::string changes = ImageDifferences(edited.device.image.data(), image.data(),
                                                     image.size(), "is", "would become");
        io.out << report << "\nChanges:\n" << (changes.empty() ? "none\n" : changes)
               << "\nImage:\n" << FormatImageLines(image);
        session.Note("Dry run: nothing was written.");
        return kExitOk;
    }

    if (const int code = WriteEditedImage(session, edited); code != kExitOk)
        return session.Finish(code);
    const std::string changes =
        ImageDifferences(edited.device.image.data(), image.data(), image.size(), "was", "now");
    io.out << report << "\nChanges:\n" << (changes.empty() ? "none\n" : changes);
    session.Note("Written and verified.");
    return session.Finish(kExitOk);
}
