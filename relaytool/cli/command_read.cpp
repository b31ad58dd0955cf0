// relaycfg show and relaycfg backup: a Load, then the configuration printed or saved.
#include <ctime>

#include "backup_file.h"
#include "backup_folder.h"
#include "commands.h"
#include "configuration_report.h"
#include "exit_codes.h"
#include "memory_buffers.h"
#include "repeater_session.h"
#include "text_files.h"

int RunShow(const Invocation &invocation, Console io) {
    RepeaterSession session(invocation.port, io, invocation.quiet);
    if (const int code = session.Load(); code != kExitOk) return code;
    const DisplayFields fields = FieldsOf(ConfigImage);
    io.out << (invocation.json ? ConfigurationJson(fields, session.Port().Label())
                               : ConfigurationText(fields));
    return kExitOk;
}

int RunBackup(const Invocation &invocation, Console io) {
    RepeaterSession session(invocation.port, io, invocation.quiet);
    if (const int code = session.Load(); code != kExitOk) return code;
    const std::string text =
        FormatBackup(session.Current(), session.Port().Label(), SavedAtText(std::time(nullptr)));
    std::string error;
    if (!WriteTextFile(invocation.file, text, true, error)) {
        session.Message() << "Cannot write the backup: " << error << '\n';
        return kExitFile;
    }
    io.out << "Saved " << session.Port().Label() << " to " << invocation.file << ".\n";
    return kExitOk;
}
