// The guest's transfers: a Load and a checked Save through the library as the program does
// them, and relaycfg's show, backup, set and restore; after each, the host checks that its
// simulator holds the image the guest expects.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

#include "guest_steps.h"
#include "image_layout.h"
#include "image_rules.h"
#include "load_save.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_settings.h"

namespace guest {
namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0;
constexpr double kOpenSettleMs = 20.0;
constexpr double kEepromPauseMs = 200.0;

// The wire-time limits at 9600 baud: a read mail is 12 bytes out (their echo comes back as they
// go) and a 13-byte reply, a write mail 20 bytes and the EEPROM pause; each transfer opens the
// port once.
double ReadsMs(int mails) { return kOpenSettleMs + mails * 25 * kByteMs; }
double WritesMs(int mails) { return kOpenSettleMs + mails * (20 * kByteMs + kEepromPauseMs); }
const double kLoadLimitMs = ReadsMs(4) + ReadsMs(10);
const double kCheckedSaveLimitMs = ReadsMs(4) + WritesMs(10) + ReadsMs(10);

// The process's CPU time and the times it slept and woke.
struct Usage {
    double cpuMs = 0;
    long wakeUps = 0;
};

Usage UsageNow() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    auto ms = [](const timeval &t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return {ms(usage.ru_utime) + ms(usage.ru_stime), usage.ru_nvcsw};
}

std::string TransferFigure(const char *what, double ms, double limitMs, const Usage &before) {
    const Usage after = UsageNow();
    char text[160];
    std::snprintf(text, sizeof text, "%s %.1f ms (wire limit %.1f ms), CPU %.2f %% of wall, %ld wake-ups", what, ms,
                  limitMs, 100.0 * (after.cpuMs - before.cpuMs) / ms, after.wakeUps - before.wakeUps);
    return text;
}


std::string OutcomeText(const WorkflowResult &result) {
    switch (result.outcome) {
    case WorkflowOutcome::Done: return "done";
    case WorkflowOutcome::UnsupportedDevice: return "unsupported device";
    case WorkflowOutcome::TransferFailed: return "transfer failed: " + TransferErrorText(result.code);
    case WorkflowOutcome::SaveNotTaken: return "not taken: " + SaveCheckMessage(result);
    }
    return "?";
}

// A relaycfg command that must succeed; false (with what it said) when it did not.
bool Succeeds(Step &step, const std::vector<std::string> &arguments, ProgramRun &run) {
    run = Relaycfg(arguments);
    step.Figure("relaycfg " + arguments.front() + " " + std::to_string(static_cast<long>(run.ms)) + " ms");
    return step.Check(run.exitCode == 0, "relaycfg " + arguments.front() + ": " + RunText(run));
}

// The library's Load of the line, its fields as the window shows them.
DisplayFields LoadFields(const rig::Line &line) {
    PortSettings.PortNumber = static_cast<uint8_t>(line.com);
    PortSettings.BaudRate = 9600;
    if (LoadFromRepeater().outcome != WorkflowOutcome::Done) return {};
    return RefreshImageForDisplay(ConfigImage);
}

// Another repeater RPN than the current one, never the base RPN (3 on the sample repeater).
std::string OtherRpn(const std::string &current) { return current == "6" ? "4" : "6"; }

}  // namespace

void LoadSaveStep(const rig::Line &line) {
    Step step(std::string(line.name) + ".load_save");
    PortSettings.PortNumber = static_cast<uint8_t>(line.com);
    PortSettings.BaudRate = 9600;
    std::fill_n(ConfigImage, layout::kImageSize, uint8_t{0});

    const Usage loadUsage = UsageNow();
    const auto start = Clock::now();
    const WorkflowResult load = LoadFromRepeater();
    step.Figure(TransferFigure("Load", MillisecondsSince(start), kLoadLimitMs, loadUsage));
    if (!step.Check(load.outcome == WorkflowOutcome::Done, "Load: " + OutcomeText(load))) {
        step.Report();
        return;
    }
    ExpectOnHost(step, line, ConfigImage, "after the Load");

    // As the window does it: the display refresh, the field's exit, the preparation of Save.
    const DisplayFields fields = RefreshImageForDisplay(ConfigImage);
    const std::string rpn = OtherRpn(fields.repeaterRpn);
    ApplyRepeaterRpnText(ConfigImage, rpn);
    RefreshImageForDisplay(ConfigImage);
    step.Check(PrepareImageForSave(ConfigImage, fields.ignoreHop, rpn, fields.baseRpn).ok, "Save refused");
    const Usage saveUsage = UsageNow();
    const auto saveStart = Clock::now();
    const WorkflowResult save = SaveToRepeater();
    step.Figure(TransferFigure("checked Save", MillisecondsSince(saveStart), kCheckedSaveLimitMs, saveUsage));
    step.Check(save.outcome == WorkflowOutcome::Done, "checked Save: " + OutcomeText(save));
    ExpectOnHost(step, line, ConfigImage, "after the Save");
    step.Report();
}

void RelaycfgSteps(const rig::Line &line) {
    const std::string com = ComName(line), name(line.name);
    const std::string backupFile = "/tmp/" + name + "-backup.txt";
    std::vector<uint8_t> backup;
    ProgramRun run;
    {
        Step step(name + ".show");
        const DisplayFields fields = LoadFields(line);
        if (Succeeds(step, {"show", "--port", com, "--json", "--quiet"}, run)) {
            step.Check(run.out.find("\"port\": \"" + com + "\"") != std::string::npos, "show names no " + com);
            step.Check(run.out.find("\"repeater_rpn\": " + fields.repeaterRpn + ",") != std::string::npos,
                       "show's repeater RPN is not the library's " + fields.repeaterRpn + ": " + run.out);
        }
        step.Report();
    }
    {
        Step step(name + ".backup");
        if (Succeeds(step, {"backup", "--port", com, "--quiet", backupFile}, run) &&
            step.Check(BackupImage(backupFile, backup), "the backup file holds no whole image"))
            ExpectOnHost(step, line, backup.data(), "the backup");
        step.Report();
    }
    {
        Step step(name + ".set");
        const std::string rpn = backup.empty() ? "6" : OtherRpn(std::to_string(backup[layout::kRepeaterRpn] & 7));
        if (Succeeds(step, {"set", "--port", com, "--repeater-rpn", rpn, "--quiet"}, run) &&
            step.Check(!backup.empty(), "no backup to compare with")) {
            std::vector<uint8_t> expected = backup;
            expected[layout::kRepeaterRpn] = static_cast<uint8_t>(std::stoi(rpn));
            expected[layout::kClearedBeforeSave1] = expected[layout::kClearedBeforeSave2] = 0;
            ExpectOnHost(step, line, expected.data(), "after set");
        }
        step.Report();
    }
    {
        Step step(name + ".restore");
        if (Succeeds(step, {"restore", "--port", com, "--quiet", backupFile}, run) &&
            step.Check(!backup.empty(), "no backup to compare with"))
            ExpectOnHost(step, line, backup.data(), "after restore");
        step.Report();
    }
}

}  // namespace guest
