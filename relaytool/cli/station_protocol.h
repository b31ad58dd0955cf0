// The lines between plan apply and the workers of its stations (one process per port, as
// Maillink holds one port per process). One message a line, words separated by one blank; a
// text field comes last and runs to the line's end, with backslash, CR and LF escaped.
//
// A worker reports (on its standard output):
//   unit N INFO IMAGE        a supported repeater is connected, loaded: 32 and 80 bytes in hex;
//                            N counts the worker's units, so that an answer meant for one unit
//                            (crossing its going on the way) is never taken for the next
//   other TYPE               another device answers (its device-type byte, hex); said once
//   port TEXT                the port cannot be opened, and why; said once until that changes
//   backup PATH              the automatic backup is saved: the write begins now
//   written RETRIES RFPI     written and verified; the RFPI the unit transmits, as read back
//   failed CODE RETRIES TEXT programming failed (exit code, the first message line)
//   gone                     the unit that was reported is gone
// and is told (on its standard input), after unit N's report, one of:
//   program N RFPI RPN BEEP HOP  program it: parent RFPI (hex), repeater RPN, beep and HOP
//                                switches as on, off or - (left as the unit has them)
//   leave N                      take nothing: wait until it is gone
//   wait N                       no entry is free now: keep it, a program order may follow
// and at any time: stop (finish the unit being written, then end). The end of its input is
// a stop too.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "backup_file.h"
#include "command_line.h"

struct WorkerReport {
    enum class Kind { Unit, Other, Port, Backup, Written, Failed, Gone };
    WorkerReport() = default;
    explicit WorkerReport(Kind k, std::string t = {}, unsigned r = 0, int c = 0)
        : kind(k), code(c), retries(r), text(std::move(t)) {}

    Kind kind = Kind::Gone;
    unsigned unit = 0;        // Unit: its number
    RepeaterMemory memory;    // Unit
    unsigned deviceType = 0;  // Other
    int code = 0;             // Failed
    unsigned retries = 0;     // Written, Failed
    std::string text;         // Port, Backup (the path), Written (the RFPI), Failed
};

struct StationOrder {
    enum class Kind { Program, Leave, Wait, Stop };
    explicit StationOrder(Kind k = Kind::Stop, unsigned u = 0, FieldEdits e = {})
        : kind(k), unit(u), edits(std::move(e)) {}

    Kind kind = Kind::Stop;
    unsigned unit = 0;  // the unit it answers (all but Stop)
    FieldEdits edits;   // Program: parentRfpi, repeaterRpn, monitorBeep, ignoreHop
};

// The line without its line end, and back; nullopt for a line that is no message.
std::string FormatReport(const WorkerReport &report);
std::optional<WorkerReport> ParseReport(const std::string &line);
std::string FormatOrder(const StationOrder &order);
std::optional<StationOrder> ParseOrder(const std::string &line);
