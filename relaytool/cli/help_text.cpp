#include "help_text.h"

#include "backup_folder.h"
#include "port_target.h"

namespace {

const char kExitCodes[] =
    "Exit codes:\n"
    "  0  success\n"
    "  1  unexpected internal error\n"
    "  2  usage error: unknown command or option, missing or malformed argument\n"
    "  3  transfer failure: the port could not be opened or a mail failed\n"
    "  4  unsupported repeater device (nothing was read from or written to its image)\n"
    "  5  verify mismatch: the image read back differs from the one written\n"
    "  6  file error: a backup file is unreadable, damaged or foreign, or cannot be written\n"
    "  7  refused: an edit or the resulting image breaks the configuration rules\n";

std::string PortOption() { return std::string("  --port PORT   ") + PortOptionHelp() + "\n"; }

const char kCommonOptions[] =
    "  --quiet       no progress on standard error\n"
    "  --help, -h    this help\n";

std::string BackupFolder() {
    return std::string("Before it writes, relaycfg saves the repeater's current memory to\n  ") +
           AutomaticBackupFolderHelp() +
           "\nand a failed write names that file and the restore command that puts it back.\n";
}

std::string Overview() {
    return std::string(
               "Usage: relaycfg COMMAND [OPTIONS]\n"
               "Reads, backs up, restores and changes the configuration of a repeater on a\n"
               "serial port, with the same rules as the Relaytool window.\n"
               "\n"
               "Commands:\n"
               "  ports                       list the COM ports that can be opened now\n"
               "  show    --port PORT [--json]  print the configuration\n"
               "  backup  --port PORT FILE    save identification block and image to FILE\n"
               "  restore --port PORT FILE    write FILE's image back, then verify it\n"
               "  set     --port PORT EDITS   change fields, write, then verify\n"
               "\n"
               "Options:\n") +
           PortOption() + kCommonOptions + "  --version     the program's version\n" +
           "\n"
           "Progress goes to standard error; standard output carries only the result.\n"
           "`relaycfg COMMAND --help` describes one command.\n"
           "\n" +
           BackupFolder() + "\n" + kExitCodes;
}

std::string PortsHelp() {
    return std::string(
               "Usage: relaycfg ports [--all]\n"
               "Lists the COM ports (COM1 to COM9) that can be opened now, one a line:\n"
               "  COMn DEVICE [(via ENTRY)]\n"
               "DEVICE is the device the port resolves to; ENTRY the port-directory link that\n"
               "binds it, when there is one. Ports held by another program are left out.\n"
               "\n"
               "  --all         also list ports that resolve to a device but cannot be opened,\n"
               "                with the reason\n") +
           kCommonOptions + "\n" + kExitCodes;
}

std::string ShowHelp() {
    return std::string(
               "Usage: relaycfg show --port PORT [--json]\n"
               "Reads the identification block and the configuration image and prints what the\n"
               "window shows: parent RFPI, PARK (PLI, eleven digits, check character), base RPN,\n"
               "repeater RPN, monitor beep, ignore HOP control and the repeater's own RFPI.\n"
               "\n") +
           PortOption() + "  --json        one JSON object instead of the text form\n" +
           kCommonOptions + "\n" + kExitCodes;
}

std::string BackupHelp() {
    return std::string(
               "Usage: relaycfg backup --port PORT FILE\n"
               "Reads the identification block (32 bytes) and the configuration image (80 bytes)\n"
               "and writes them to FILE (replacing it) as text: lines \"info AA: XX ...\" and\n"
               "\"image AA: XX ...\" of eight hex bytes at hex address AA, the fields of each line\n"
               "named after a \"#\", and \"crc32: XXXXXXXX\", the CRC-32 (IEEE 802.3, as zlib and\n"
               "gzip compute it) of the 32 info bytes followed by the 80 image bytes.\n"
               "\n") +
           PortOption() + kCommonOptions + "\n" + kExitCodes;
}

std::string RestoreHelp() {
    return std::string(
               "Usage: relaycfg restore --port PORT FILE\n"
               "Checks FILE (format, every line, checksum, a supported repeater's backup) before\n"
               "anything is sent, reads the repeater (refusing an unsupported device), saves its\n"
               "current memory, writes FILE's 80-byte image, reads it back and compares. Every\n"
               "byte that differs is named.\n"
               "\n") +
           PortOption() + kCommonOptions + "\n" + BackupFolder() + "\n" + kExitCodes;
}

std::string SetHelp() {
    return std::string(
               "Usage: relaycfg set --port PORT EDITS [--dry-run]\n"
               "Loads the repeater, applies the edits exactly as the window's fields do (in the\n"
               "order listed here, each followed by a display refresh), prepares the image as the\n"
               "window's Save does, writes it and reads it back to verify.\n"
               "\n"
               "Edits (at least one):\n"
               "  --parent-rfpi \"XX XX XX XX XX\"  the parent's RFPI, five hex pairs (blanks,\n"
               "                                  colons or nothing between them)\n"
               "  --park DDDDDDDDDDD   the eleven shown octal PARK digits (the twelfth is kept)\n"
               "  --base-rpn N         the parent's RPN, decimal (three bits for ARI class A)\n"
               "  --repeater-rpn N     the repeater's own RPN, decimal\n"
               "  --monitor-beep on|off\n"
               "  --ignore-hop on|off  the \"Ignore HOP control\" switch\n"
               "\n"
               "Options:\n") +
           PortOption() +
           "  --dry-run     print the resulting configuration, the bytes that change and the\n"
           "                whole image, and write nothing\n" +
           kCommonOptions + "\n" + BackupFolder() + "\n" + kExitCodes;
}

}  // namespace

std::string HelpText(Command command) {
    switch (command) {
    case Command::Ports: return PortsHelp();
    case Command::Show: return ShowHelp();
    case Command::Backup: return BackupHelp();
    case Command::Restore: return RestoreHelp();
    case Command::Set: return SetHelp();
    case Command::None: break;
    }
    return Overview();
}

std::string UsageHint(Command command) {
    if (command == Command::None) return "Try `relaycfg --help`.\n";
    return std::string("Try `relaycfg ") + CommandName(command) + " --help`.\n";
}
