#include "soak_worker.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "fault_cases.h"
#include "image_rules.h"
#include "load_save.h"
#include "maillink.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "port_settings.h"
#include "process_usage.h"
#include "workflow_state.h"

namespace {

using Bytes = std::vector<uint8_t>;
using repeatersim::Fault;

constexpr unsigned kPort = 1;
constexpr std::size_t kImage = kImageMails * kChunkBytes;
constexpr unsigned kRssSampleCycles = 25;
constexpr unsigned kProgressCycles = 100;
constexpr unsigned kUnpluggedPermille = 10;
constexpr std::chrono::milliseconds kMessageBoxTime{300};

constexpr Fault kSlowFaults[] = {Fault::NoEcho, Fault::Silence, Fault::HangUp};
constexpr Fault kFastFaults[] = {Fault::CorruptEcho, Fault::BadChecksum, Fault::ReplyLength,
                                 Fault::WrongDeviceType};

Bytes ImageNow() { return {ConfigImage, ConfigImage + kImage}; }

// Faults that damage a byte on the line: the retry of the mail must mend them.
bool IsDamageFault(Fault f) {
    return f == Fault::CorruptEcho || f == Fault::BadChecksum || f == Fault::ReplyLength;
}

class Worker {
public:
    Worker(const SoakOptions &options, unsigned index)
        : options_(options), index_(index), random_(options.seed * 7919u + index) {
        char pattern[] = "/tmp/relay-soak-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
        ports_ = pattern;
        ::setenv("MAILLINK_DEVICE_DIR", ports_.c_str(), 1);
        PortSettings.PortNumber = kPort;
        PortSettings.BaudRate = 9600;
        StartSimulator();
        model_ = sim_.Config();
        SetTransferProgressHook([this](const TransferProgress &p) {
            if (p.finished) stats_.mailsRetried += p.mailsRetried;
        });
    }
    ~Worker() {
        SetTransferProgressHook({});
        sim_.Stop();
        std::error_code ignored;
        std::filesystem::remove_all(ports_, ignored);
    }

    SoakStats Run() {
        const auto start = std::chrono::steady_clock::now();
        stats_.fdBaseline = OpenDescriptorCount();
        const unsigned warmUp = std::min(50u, options_.cycles / 10);
        for (unsigned cycle = 0; cycle < options_.cycles; ++cycle) {
            if (cycle == warmUp) stats_.rssBaselineKib = stats_.rssMaxKib = ResidentKib();
            Cycle();
            ++stats_.cycles;
            const long fds = OpenDescriptorCount();
            if (fds != stats_.fdBaseline)
                Violation("cycle %u: %ld descriptors open, %ld at the start", cycle, fds, stats_.fdBaseline);
            if (cycle > warmUp && cycle % kRssSampleCycles == 0)
                stats_.rssMaxKib = std::max(stats_.rssMaxKib, ResidentKib());
            if ((cycle + 1) % kProgressCycles == 0)
                std::fprintf(stderr, "soak: worker %u: %u of %u cycles, %llu broken rules\n", index_,
                             cycle + 1, options_.cycles, static_cast<unsigned long long>(stats_.violations));
        }
        stats_.fdEnd = OpenDescriptorCount();
        stats_.rssEndKib = ResidentKib();
        stats_.rssMaxKib = std::max(stats_.rssMaxKib, stats_.rssEndKib);
        if (stats_.rssBaselineKib > 0 && stats_.rssMaxKib - stats_.rssBaselineKib > options_.rssGrowthLimitKib)
            Violation("resident memory grew from %ld KiB to %ld KiB", stats_.rssBaselineKib, stats_.rssMaxKib);
        stats_.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return stats_;
    }

private:
    unsigned Uniform(unsigned below) { return std::uniform_int_distribution<unsigned>(0, below - 1)(random_); }

    void StartSimulator() {
        sim_.Start();
        sim_.Publish(ports_, kPort);
    }

    __attribute__((format(printf, 2, 3))) void Violation(const char *format, ...) {
        ++stats_.violations;
        char text[sizeof stats_.firstViolation];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        std::fprintf(stderr, "soak: worker %u, cycle %llu: %s\n", index_,
                     static_cast<unsigned long long>(stats_.cycles), text);
        if (stats_.firstViolation[0] == '\0') std::snprintf(stats_.firstViolation, sizeof text, "%s", text);
    }

    FaultCase PickFault(Sequence sequence) {
        FaultCase c;
        c.sequence = sequence;
        // A Save's faults may also hit the read-back of what it wrote.
        c.mail = 1 + Uniform(sequence == Sequence::Save ? kSequenceMails + kImageMails : kSequenceMails);
        const unsigned roll = Uniform(1000);
        if (roll < options_.cleanPermille) return c;
        if (roll < options_.cleanPermille + options_.slowPermille) {
            c.fault = kSlowFaults[Uniform(3)];
        } else {
            c.fault = kFastFaults[Uniform(4)];
        }
        const bool writeMail = sequence == Sequence::Save && c.mail > kInfoMails && c.mail <= kSequenceMails;
        switch (c.fault) {
        case Fault::CorruptEcho: c.value = static_cast<uint8_t>(Uniform(writeMail ? 20 : 12)); break;
        case Fault::ReplyLength: c.value = static_cast<uint8_t>(15 + Uniform(241)); break;
        case Fault::WrongDeviceType: {
            const auto type = static_cast<uint8_t>(Uniform(256));
            c.value = type == 'a' ? 0 : type;
            break;
        }
        default: break;
        }
        return c;
    }

    // What a technician does between Load and Save: edits through the image rules, and a few
    // bytes of the image that no field shows change as another repeater's would.
    bool PrepareEditedImage() {
        RefreshImageForDisplay(ConfigImage);
        ApplyRepeaterRpnText(ConfigImage, std::to_string(Uniform(256)));
        ApplyBaseRpnText(ConfigImage, std::to_string(Uniform(256)));
        ApplyMonitorBeep(ConfigImage, Uniform(2) == 1);
        for (unsigned n = Uniform(6); n > 0; --n) ConfigImage[24 + Uniform(43)] = static_cast<uint8_t>(Uniform(256));
        const DisplayFields shown = RefreshImageForDisplay(ConfigImage);
        return PrepareImageForSave(ConfigImage, Uniform(2) == 1, shown.repeaterRpn, shown.baseRpn).ok;
    }

    void Cycle() {
        const bool save = DataLoaded && Uniform(2) == 1;
        if (save && !PrepareEditedImage()) {
            ++stats_.savesRefused;  // equal RPN texts: nothing is written
            return;
        }
        // Now and then the adapter is not plugged in at all: the port cannot be opened.
        const bool unplugged = Uniform(1000) < kUnpluggedPermille;
        const FaultCase c = unplugged ? FaultCase{save ? Sequence::Save : Sequence::Load, Fault::None, 1, 0}
                                      : PickFault(save ? Sequence::Save : Sequence::Load);
        ExpectedOutcome expected = Expect(c);
        if (unplugged) {
            expected = {};
            expected.result = {WorkflowOutcome::TransferFailed, 8};
            std::filesystem::remove(std::filesystem::path(ports_) / ("COM" + std::to_string(kPort)));
            ++stats_.unplugged;
        } else {
            ++stats_.faults[static_cast<int>(c.fault)];
        }
        // A dropped write of a chunk that the edit left as the device holds it changes nothing:
        // the read-back finds the image whole.
        if (expected.lostChunk >= 0 && save) {
            const auto chunk = static_cast<std::size_t>(expected.lostChunk) * kChunkBytes;
            if (std::equal(ConfigImage + chunk, ConfigImage + chunk + kChunkBytes, model_.begin() + static_cast<long>(chunk)))
                expected.result = {};
        }
        ++(save ? stats_.saves : stats_.loads);

        const Bytes imageBefore = ImageNow();
        const bool loadedBefore = DataLoaded;
        sim_.SetFault({c.fault, c.mail, c.value});
        const WorkflowResult result = save ? SaveToRepeater() : LoadFromRepeater();

        if (result.outcome == WorkflowOutcome::Done) ++stats_.done;
        else if (result.outcome == WorkflowOutcome::UnsupportedDevice) ++stats_.unsupported;
        else if (result.outcome == WorkflowOutcome::SaveNotTaken) ++stats_.saveNotTaken;
        else if (result.code >= 1 && result.code <= 8) ++stats_.failedByCode[result.code];
        if (c.fault != Fault::None && result.outcome == WorkflowOutcome::Done && expected.lostChunk < 0 &&
            expected.mailsRetried == 0)
            ++stats_.faultsWithoutEffect;

        const std::string name = CaseName(c) + " (after " + previous_ + ")";
        previous_ = CaseName(c) + (result.outcome == WorkflowOutcome::Done ? " done" : " failed");
        if (result.outcome != expected.result.outcome || result.code != expected.result.code)
            Violation("%s: outcome %d code %d, expected %d and %d", name.c_str(), int(result.outcome),
                      result.code, int(expected.result.outcome), expected.result.code);
        if (hComPort != MAILLINK_NO_PORT) Violation("%s: the port was left open", name.c_str());

        if (unplugged) sim_.Publish(ports_, kPort);
        if (c.fault == Fault::HangUp) {  // the adapter was pulled: plug a new one in
            sim_.Stop();
            StartSimulator();
            ++stats_.simulatorRestarts;
        }
        if (save) CheckSave(c, result, expected, imageBefore);
        else CheckLoad(c, result, imageBefore, loadedBefore);

        // A failed transfer ends in a message box, so the next one starts well after it. That
        // time matters: a write mail whose echo came back damaged did reach the device, which is
        // then busy with its EEPROM (150 ms in the simulator) and deaf to an immediate next mail.
        if (result.outcome != WorkflowOutcome::Done)
            std::this_thread::sleep_for(kMessageBoxTime);
    }

    void CheckLoad(const FaultCase &c, const WorkflowResult &result, const Bytes &before, bool loadedBefore) {
        const Bytes device = sim_.Config();
        if (device != model_) Violation("%s: a Load changed the device", CaseName(c).c_str());
        if (result.outcome == WorkflowOutcome::Done) {
            if (ImageNow() != Bytes(model_.begin(), model_.begin() + kImage) || !DataLoaded)
                Violation("%s: the loaded image differs from the device", CaseName(c).c_str());
        } else if (ImageNow() != before || DataLoaded != loadedBefore) {
            Violation("%s: a failed Load changed the window's image or state", CaseName(c).c_str());
        }
    }

    // The device holds exactly what the mails that reached it wrote: the chunks before a failing
    // mail (and the failing one when only its echo was damaged), or all of them after a Save that
    // ran through, except a write mail that the device ignored without a sign on the line.
    void CheckSave(const FaultCase &c, const WorkflowResult &result, const ExpectedOutcome &expected,
                   const Bytes &image) {
        const Bytes previous(model_.begin(), model_.begin() + kImage);
        for (unsigned k = 0; k < expected.chunksWritten; ++k) {
            if (static_cast<int>(k) == expected.lostChunk) continue;
            std::copy_n(image.begin() + k * kChunkBytes, kChunkBytes, model_.begin() + k * kChunkBytes);
        }
        const Bytes device = sim_.Config();
        if (device != model_) {
            Violation("%s: the device does not hold what the mails wrote", CaseName(c).c_str());
            model_ = device;
        }
        const Bytes device80(device.begin(), device.begin() + kImage);
        if (result.outcome == WorkflowOutcome::Done && device80 != image) {
            ++stats_.silentlyLostWrites;
            Violation("%s: the Save reported success but the device holds another image", CaseName(c).c_str());
        }
        if (device80 == image) ++stats_.deviceWhole;
        else if (device80 == previous) ++stats_.deviceUnchanged;
        else {
            ++stats_.deviceMixed;
            if (IsDamageFault(c.fault)) {
                ++stats_.mixedAfterDamage;
                Violation("%s: a single damaged mail left the device with a mixed image", CaseName(c).c_str());
            }
        }
        if (ImageNow() != image) Violation("%s: a Save changed the window's image", CaseName(c).c_str());
    }

    const SoakOptions options_;
    const unsigned index_;
    std::mt19937 random_;
    std::string ports_;
    repeatersim::Simulator sim_;
    Bytes model_;  // what the device should hold
    std::string previous_ = "nothing";
    SoakStats stats_;
};

}  // namespace

void SoakStats::Add(const SoakStats &o) {
    cycles += o.cycles;
    loads += o.loads;
    saves += o.saves;
    savesRefused += o.savesRefused;
    for (int i = 0; i < kFaultKinds; ++i) faults[i] += o.faults[i];
    done += o.done;
    unsupported += o.unsupported;
    saveNotTaken += o.saveNotTaken;
    for (int i = 0; i < 9; ++i) failedByCode[i] += o.failedByCode[i];
    faultsWithoutEffect += o.faultsWithoutEffect;
    silentlyLostWrites += o.silentlyLostWrites;
    deviceWhole += o.deviceWhole;
    deviceUnchanged += o.deviceUnchanged;
    deviceMixed += o.deviceMixed;
    mixedAfterDamage += o.mixedAfterDamage;
    mailsRetried += o.mailsRetried;
    simulatorRestarts += o.simulatorRestarts;
    unplugged += o.unplugged;
    violations += o.violations;
    seconds = std::max(seconds, o.seconds);
    if (firstViolation[0] == '\0') std::copy(std::begin(o.firstViolation), std::end(o.firstViolation), firstViolation);
}

SoakStats RunSoakWorker(const SoakOptions &options, unsigned workerIndex) {
    Worker worker(options, workerIndex);
    return worker.Run();
}
