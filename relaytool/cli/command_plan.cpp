// relaycfg plan check, plan apply and plan capture: a site's repeaters described once in a TOML
// plan, checked, programmed unit by unit with a record of what was written (plan_apply.h), or
// captured from units that were set up by hand.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"
#include "configuration_report.h"
#include "exit_codes.h"
#include "image_layout.h"
#include "memory_buffers.h"
#include "plan_apply.h"
#include "plan_report.h"
#include "plan_rules.h"
#include "port_access.h"
#include "port_target.h"
#include "repeater_session.h"
#include "station_run.h"
#include "text_files.h"

namespace {

// Reads the plan into text and parses it; prints why it cannot be read or is no TOML.
// kExitOk when it parsed.
int ReadPlan(const std::string &file, Console io, std::string &text, PlanReading &reading) {
    std::string error;
    if (!ReadTextFile(file, text, error)) {
        io.err << "Cannot read the plan: " << error << '\n';
        return kExitFile;
    }
    reading = ParsePlan(text);
    if (!reading.isToml) {
        io.err << file << ':' << reading.error << '\n';
        return kExitFile;
    }
    return kExitOk;
}

// Reads and checks the plan; prints what is wrong as FILE:LINE: text. kExitOk when it holds.
int ReadCheckedPlan(const std::string &file, Console io, PlanReading &reading,
                    CheckedPlan &checked) {
    std::string text;
    if (const int code = ReadPlan(file, io, text, reading); code != kExitOk) return code;
    checked = CheckPlan(reading);
    for (const PlanProblem &problem : checked.problems)
        io.err << file << ':' << problem.line << ": " << problem.text << '\n';
    return checked.Holds() ? kExitOk : kExitRefused;
}

}  // namespace

int RunPlanCheck(const Invocation &invocation, Console io) {
    PlanReading reading;
    CheckedPlan checked;
    if (const int code = ReadCheckedPlan(invocation.file, io, reading, checked); code != kExitOk)
        return code;
    io.out << (invocation.dot ? PlanDot(checked) : PlanTreeText(checked));
    return kExitOk;
}

int RunPlanApply(const Invocation &invocation, Console io) {
    // A malformed --port is refused before anything, and so are two that are one device: two
    // stations would take turns at the same unit.
    std::vector<std::string> portLabels, devices;
    for (const std::string &argument : invocation.ports) {
        const PortTarget port(argument);
        std::string entry, device;
        if (!ResolveComPort(port.Number(), entry, device)) device.clear();
        for (std::size_t i = 0; i < portLabels.size(); ++i) {
            if (portLabels[i] == port.Label())
                throw UsageError(Command::PlanApply, "--port " + port.Label() + " is given twice");
            if (!device.empty() && devices[i] == device)
                throw UsageError(Command::PlanApply, "--port " + portLabels[i] + " and --port " +
                                                         port.Label() + " are one device, " + device);
        }
        portLabels.push_back(port.Label());
        devices.push_back(device);
    }
    PlanReading reading;
    CheckedPlan checked;
    if (const int code = ReadCheckedPlan(invocation.file, io, reading, checked); code != kExitOk) {
        io.err << "Nothing was written.\n";
        return code;
    }
    std::vector<const PlannedUnit *> units;
    if (invocation.all) {
        for (const PlannedUnit &unit : checked.units) units.push_back(&unit);
    } else if (const PlannedUnit *unit = checked.Unit(invocation.repeater)) {
        units.push_back(unit);
    } else {
        io.err << "relaycfg: the plan has no repeater \"" << invocation.repeater << "\"\n";
        return kExitUsage;
    }
    if (portLabels.size() > 1) return ApplyPlanAtStations(units, portLabels, invocation, io);
    return ApplyPlanUnits(units, portLabels.front(), invocation, io);
}

int RunPlanCapture(const Invocation &invocation, Console io) {
    const std::string &file = invocation.file;
    std::error_code ec;
    const bool exists = std::filesystem::exists(file, ec);
    std::string text;
    PlanReading reading;
    CheckedPlan checked;
    if (exists) {
        if (const int code = ReadPlan(file, io, text, reading); code != kExitOk) return code;
        checked = CheckPlan(reading);
        bool taken = reading.plan.baseName == invocation.name;
        for (const PlanRepeater &r : reading.plan.repeaters) taken = taken || r.name == invocation.name;
        if (taken) {
            io.err << "The plan already has a unit named \"" << invocation.name
                   << "\".\nNothing was read or written.\n";
            return kExitRefused;
        }
    }

    RepeaterSession session(invocation.port, io, invocation.quiet);
    if (const int code = session.Load(); code != kExitOk) return code;
    const DisplayFields fields = FieldsOf(ConfigImage);
    Rfpi relays{};
    std::copy_n(ConfigImage + layout::kParentRfpi, relays.size(), relays.begin());
    const unsigned rpn = ConfigImage[layout::kRepeaterRpn] & RpnMask(ConfigImage);

    std::string addition;
    if (!exists) {
        addition = "# Site plan begun by relaycfg plan capture.\n\n[base]\nname = " +
                   TomlString(invocation.parent) + "\nrfpi = \"" + RfpiText(relays) + "\"\n";
    } else if (!text.empty() && text.back() != '\n') {
        addition = "\n";  // the last line stays as it was; the table starts on a line of its own
    }
    addition += "\n[[repeater]]\nname = " + TomlString(invocation.name) +
                "\nparent = " + TomlString(invocation.parent) + "\nrpn = " + std::to_string(rpn) +
                "\nmonitor_beep = " + (fields.monitorBeep ? "true" : "false") +
                "\nignore_hop_control = " + (fields.ignoreHop ? "true" : "false") + "\n";
    std::string error;
    if (!WriteTextFile(file, text + addition, true, error)) {
        io.err << "Cannot write the plan: " << error << '\n';
        return kExitFile;
    }
    io.out << "Captured \"" << invocation.name << "\" (RPN " << rpn << ", relays "
           << RfpiText(relays) << ") into " << file << ".\n";

    // What the plan says this unit's parent transmits, if the plan knows it.
    if (exists && checked.Holds()) {
        const PlannedUnit *parent = checked.Unit(invocation.parent);
        const bool parentIsBase = invocation.parent == checked.baseName;
        if (!parentIsBase && parent == nullptr) {
            io.err << "Note: \"" << invocation.parent << "\" is not in the plan yet.\n";
        } else {
            const Rfpi expected = parentIsBase ? checked.baseRfpi : parent->transmits;
            if (expected != relays) {
                io.err << "Note: the unit relays " << RfpiText(relays) << ", but \""
                       << invocation.parent << "\" transmits " << RfpiText(expected)
                       << " in the plan; `relaycfg plan apply` would change it.\n";
            }
        }
    }
    return kExitOk;
}
