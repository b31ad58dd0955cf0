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
    "  5  verify mismatch: the image read back differs from the one written; diff: the\n"
    "     two images differ\n"
    "  6  file error: a FILE is unreadable, damaged, foreign or no regular file, exists\n"
    "     already (backup without --force) or cannot be written; a plan log cannot be\n"
    "     opened; a plan is not TOML, larger than 64 KiB or nested too deeply\n"
    "  7  refused: an edit or the resulting image breaks the configuration rules, or a plan\n"
    "     breaks a plan rule\n"
    "  8  plan apply stopped (q, or the end of its input) with units not done (at\n"
    "     several stations: when no unit failed, else the first failed unit's code, or 1\n"
    "     when a station's worker was lost)\n"
    "  130  stopped by Ctrl-C (or SIGTERM, SIGHUP) during a write: after the write and its\n"
    "       check (the first Ctrl-C), or at once (a second one); at several stations at\n"
    "       any Ctrl-C\n";

std::string PortOption() { return std::string("  --port PORT   ") + PortOptionHelp() + "\n"; }

const char kCommonOptions[] =
    "  --quiet       no progress on standard error\n"
    "  --help, -h    this help\n";

std::string BackupFolder() {
    return std::string("Before it writes, relaycfg saves the repeater's current memory to\n  ") +
           AutomaticBackupFolderHelp() +
           "\nand a failed write names that file and the restore command that puts it back.\n"
           "Ctrl-C during a write (two to three seconds) lets the write and its check finish,\n"
           "then stops (exit 130) naming the backup and the restore command; a second Ctrl-C\n"
           "stops at once and names them too. Outside a write Ctrl-C stops at once.\n";
}

std::string Overview() {
    return std::string(
               "Usage: relaycfg COMMAND [OPTIONS]\n"
               "Reads, backs up, restores and changes the configuration of a repeater on a\n"
               "serial port, with the same rules as the Relaytool window.\n"
               "\n"
               "Commands:\n"
               "  ports   [--all | --find]    list the COM ports that can be opened now;\n"
               "                              --find: which one holds the repeater\n"
               "  show    --port PORT [--json]  print the configuration\n"
               "  backup  --port PORT FILE [--force]  save identification block and image to FILE\n"
               "  restore --port PORT FILE    write FILE's image back, then verify it\n"
               "  set     --port PORT EDITS   change fields, write, then verify\n"
               "  diff    A B [--json]        compare two images, each a backup FILE or a PORT\n"
               "  plan    check|apply|capture FILE  a site's repeaters from one plan\n"
               "\n"
               "Options:\n") +
           PortOption() + kCommonOptions + "  --version     the program's version\n" +
           "\n"
           "Progress goes to standard error; standard output carries only the result.\n"
           "`relaycfg COMMAND --help` describes one command. `relaycfg plan apply FILE --all`\n"
           "with --port given several times programs a site's units at one station per port,\n"
           "in any order, with a log and a summary.\n"
           "\n" +
           BackupFolder() + "\n" + kExitCodes;
}

std::string PortsHelp() {
    return std::string(
               "Usage: relaycfg ports [--all | --find [--json]]\n"
               "Lists the COM ports (COM1 to COM9) that can be opened now, one a line:\n"
               "  COMn DEVICE [(via ENTRY)]\n"
               "DEVICE is the device the port resolves to; ENTRY the port-directory link that\n"
               "binds it, when there is one. Ports held by another program are left out; the\n"
               "system console is listed as such, and never opened or asked.\n"
               "\n"
               "  --all         also list ports that resolve to a device but cannot be opened,\n"
               "                with the reason\n"
               "  --find        ask every port for its identification block and say what\n"
               "                answers: a supported repeater, another device (with its\n"
               "                device type), no answer (with the transfer's message), or in\n"
               "                use (the system console is never asked). The repeater comes\n"
               "                first; with --quiet only its port is\n"
               "                printed: --port \"$(relaycfg ports --find --quiet)\". Exit 0 with\n"
               "                exactly one repeater, 4 with none, 2 with several.\n"
               "  --json        with --find: one JSON object\n") +
           kCommonOptions + "\n" + kExitCodes;
}

std::string ShowHelp() {
    return std::string(
               "Usage: relaycfg show --port PORT [--json]\n"
               "Reads the identification block and the configuration image and prints what the\n"
               "window shows: parent RFPI, PARK (PLI, eleven digits, check character), base RPN,\n"
               "repeater RPN, monitor beep, ignore HOP control and the repeater's own RFPI.\n"
               "\n") +
           PortOption() +
           "  --json        one JSON object instead of the text form (with \"retries\": the mails\n"
           "                sent a second time after a damaged byte)\n" +
           kCommonOptions + "\n" + kExitCodes;
}

std::string BackupHelp() {
    return std::string(
               "Usage: relaycfg backup --port PORT FILE [--force]\n"
               "Reads the identification block (32 bytes) and the configuration image (80 bytes)\n"
               "and writes them to a new FILE as text: lines \"info AA: XX ...\" and\n"
               "\"image AA: XX ...\" of eight hex bytes at hex address AA, the fields of each line\n"
               "named after a \"#\", and \"crc32: XXXXXXXX\", the CRC-32 (IEEE 802.3, as zlib and\n"
               "gzip compute it) of the 32 info bytes followed by the 80 image bytes. An existing\n"
               "FILE (perhaps the backup of another unit) is refused before anything is read\n"
               "(exit 6) and left as it is.\n"
               "\n") +
           PortOption() + "  --force       replace an existing FILE\n" + kCommonOptions + "\n" +
           kExitCodes;
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
               "  --base-rpn N         the parent's RPN, decimal\n"
               "  --repeater-rpn N     the repeater's own RPN, decimal\n"
               "                       (an RPN beyond the parent's ARI class, above 7 for class\n"
               "                       A, is refused: exit 7)\n"
               "  --monitor-beep on|off\n"
               "  --ignore-hop on|off  the \"Ignore HOP control\" switch\n"
               "\n"
               "Options:\n") +
           PortOption() +
           "  --dry-run     print the resulting configuration, the bytes that change and the\n"
           "                whole image, and write nothing\n" +
           kCommonOptions + "\n" + BackupFolder() + "\n" + kExitCodes;
}

std::string DiffHelp() {
    return std::string(
               "Usage: relaycfg diff FILE|PORT FILE|PORT [--json]\n"
               "Compares two configuration images, A and B, each a backup FILE or the unit on a\n"
               "PORT, and prints both configurations side by side as the window shows them\n"
               "(parent RFPI, PARK, base RPN, repeater RPN, the switches, the repeater's RFPI),\n"
               "then every byte in which the images differ, named as `set` names its changes:\n"
               "  byte 2 (0x02, repeater RPN): A 05, B 02\n"
               "Bytes 22 and 23, which the repeater may set itself, are told in a note on\n"
               "standard error and do not count; the identification blocks are not compared.\n"
               "Exit 0 when the images are alike, 5 when they differ.\n"
               "\n") +
           PortOperandHelp() +
           "Files are read and checked first (one that cannot be read or is refused: exit 6),\n"
           "then the units on the ports, as `show` reads them.\n"
           "\n"
           "  --json        one JSON object instead of the text form: \"alike\", \"a\" and \"b\"\n"
           "                (each its \"port\" or \"file\" and the fields of show --json),\n"
           "                \"differences\" and \"not_counted\" (each {\"byte\", \"name\", \"a\",\n"
           "                \"b\"}) and \"retries\"\n" +
           kCommonOptions + "\n" + kExitCodes;
}

const char kPlanFile[] =
    "A plan is TOML: a [base] table (name, rfpi such as \"02 5A 3C 81 43\"), an optional\n"
    "[site] table (name), and one [[repeater]] table per unit: name, parent (the base or\n"
    "another repeater, by name), rpn, and optionally monitor_beep and ignore_hop_control\n"
    "(true or false; absent: left as the unit has it). Each repeater is given what its\n"
    "parent transmits as its parent RFPI. Every rpn fits the base's ARI class (0 to 7 for\n"
    "class A, else 0 to 255), and the base's RPN and all rpn values differ.\n";

std::string PlanCheckHelp() {
    return std::string(
               "Usage: relaycfg plan check FILE [--dot]\n"
               "Checks the plan and prints the tree, parents first: for each repeater its\n"
               "parent, the parent RFPI it will be given, its PARK (PLI, digits, check), its RPN\n"
               "and the RFPI it will transmit. Every broken rule is reported as FILE:LINE: text\n"
               "(exit 7); a file that cannot be read, is not TOML, is larger than 64 KiB or nests\n"
               "keys or tables more than 8 levels deep gives exit 6.\n"
               "\n") +
           kPlanFile +
           "\n"
           "  --dot         the tree as Graphviz DOT (relaycfg plan check FILE --dot | dot -Tsvg)\n" +
           kCommonOptions + "\n" + kExitCodes;
}

std::string PlanApplyHelp() {
    return std::string(
               "Usage: relaycfg plan apply FILE --port PORT (--repeater NAME | --all) [--log LOG]\n"
               "       relaycfg plan apply FILE --all --port PORT --port PORT ... [--log LOG]\n"
               "Programs units from the plan with the same backup, write and verify as `set`;\n"
               "nothing is written unless the whole plan holds. With --all the repeaters are\n"
               "taken parents first, each after the prompt (on standard error)\n"
               "  Connect repeater \"NAME\" to PORT and press Enter (s skips, q stops)\n"
               "Enter alone programs the unit, s or skip skips it, q or quit stops; anything else\n"
               "asks again. Keys typed on the terminal before the prompt appears are discarded.\n"
               "q, or the end of the input, with units not done ends with exit 8 after the\n"
               "summary. A unit that is not a supported repeater is refused and the next one\n"
               "asked for. LOG (default: the plan's name with .log.csv) is opened before the first\n"
               "unit (if it cannot be, nothing is written: exit 6), and every unit adds one line:\n"
               "time,repeater,port,result (written, skipped, failed: TEXT),backup,rfpi (the RFPI\n"
               "the unit transmits, as read back),retries (mails sent a second time after a\n"
               "damaged byte).\n"
               "\n"
               "Stations: --all with several --port runs one station per port, each in a worker\n"
               "process of its own, and asks nothing. Connect the units in any order: a station\n"
               "asks its line for the identification block about once a second; a unit that\n"
               "already holds an entry of the plan (its repeater RPN, parent RFPI and the\n"
               "switches the plan gives) is said so and takes nothing new; any other unit gets\n"
               "the next entry that no station has written or is writing (parents first, then\n"
               "the plan's order). One line, port first, says what happened:\n"
               "  COM2: \"Hall B\" written and verified; label it and disconnect it\n"
               "or the failure with the backup and the restore command (the entry goes back to\n"
               "the queue); then the station waits until the unit is gone. Another device is\n"
               "said once. The run ends when every entry is done, at q and Enter or the end of\n"
               "the input, or at Ctrl-C: each station finishes the unit it is writing, then\n"
               "stops (a second Ctrl-C stops the writes at once). A station whose worker dies\n"
               "puts its entry back; the others go on. The log's lines name each unit's port\n"
               "(result also held: found on a unit), and a summary gives written, failed,\n"
               "already held, the time taken and units an hour. Exit 0 when every entry is\n"
               "written or held, 130 after Ctrl-C, 6 when the log cannot be written; stopped\n"
               "with entries not done: the first failed unit's code (3, 4, 5, 6, 7), else 1 when\n"
               "a worker was lost, else 8.\n"
               "\n") +
           PortOption() +
           "                given several times with --all: one station per port\n"
           "  --repeater NAME  program the connected unit as NAME\n"
           "  --all         every repeater of the plan in turn\n"
           "  --log LOG     the CSV log to append to\n" +
           kCommonOptions + "\n" + BackupFolder() + "\n" + kExitCodes;
}

std::string PlanCaptureHelp() {
    return std::string(
               "Usage: relaycfg plan capture FILE --port PORT --name NAME --parent NAME\n"
               "Reads the connected unit and appends a [[repeater]] table for it to the plan\n"
               "(its RPN and switches; NAME's parent as given), leaving every existing line as\n"
               "it was. A missing FILE is created with a [base] table named by --parent, holding\n"
               "the unit's parent RFPI. A name already in the plan is refused (exit 7).\n"
               "\n") +
           PortOption() +
           "  --name NAME   the unit's name in the plan\n"
           "  --parent NAME the unit's parent: the base or a repeater of the plan\n" +
           kCommonOptions + "\n" + kExitCodes;
}

}  // namespace

std::string HelpText(Command command) {
    switch (command) {
    case Command::Ports: return PortsHelp();
    case Command::Show: return ShowHelp();
    case Command::Backup: return BackupHelp();
    case Command::Restore: return RestoreHelp();
    case Command::Set: return SetHelp();
    case Command::Diff: return DiffHelp();
    case Command::PlanCheck: return PlanCheckHelp();
    case Command::PlanApply: return PlanApplyHelp();
    case Command::PlanCapture: return PlanCaptureHelp();
    case Command::None: break;
    }
    return Overview();
}

std::string UsageHint(Command command) {
    if (command == Command::None) return "Try `relaycfg --help`.\n";
    return std::string("Try `relaycfg ") + CommandName(command) + " --help`.\n";
}
