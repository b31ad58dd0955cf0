// relaycfg show and relaycfg backup: a Load, then the configuration printed or saved.
#include <ctime>
#include <filesystem>
#include <system_error>

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
    io.out << (invocation.json ? ConfigurationJson(fields, session.Port().Label(), session.Retries())
                               : ConfigurationText(fields));
    return kExitOk;
}

int RunBackup(const Invocation &invocation, Console io) {
    RepeaterSession session(invocation.port, io, invocation.quiet);
    // An existing FILE may be the backup of another unit: it is left alone unless --force says
    // otherwise, and the repeater is not even read. (The write below refuses it all the same,
    // should it appear meanwhile.)
    std::error_code ec;
    if (!invocation.force && std::filesystem::exists(std::filesystem::symlink_status(invocation.file, ec))) {
        io.err << "relaycfg: " << invocation.file
               << " exists already; give --force to replace it.\nNothing was read or written.\n";
        return kExitFile;
    }
    if (const int code = session.Load(); code != kExitOk) return code;
    const std::string text =
        FormatBackup(session.Current(), session.Port().Label(), SavedAtText(std::time(nullptr)));
    std::string error;
    if (!WriteTextFile(invocation.file, text, invocation.force, error)) {
        session.Message() << "Cannot write the backup: " << error << '\n';
        return kExitFile;
    }
    io.out << "Saved " << session.Port().Label() << " to " << invocation.file << ".\n";
    return kExitOk;
}
