#include "fault_cases.h"

#include <array>
#include <cstdio>

#include "mail_budget.h"
#include "posix_waits.h"

namespace {

using repeatersim::Fault;
using std::chrono::milliseconds;

constexpr unsigned kReadFrameBytes = 12;   // FF FF 4D 02 06 and six payload bytes, checksum
constexpr unsigned kWriteFrameBytes = 20;  // the same with eight data bytes more
constexpr uint16_t kEchoPollsPerByte = 2000;  // what the transfers set
constexpr unsigned kReplyPolls = 2000;
constexpr milliseconds kReplyPollPause{5};
constexpr unsigned kDeviceTypeMail = 3;  // identification bytes 16 to 23 hold byte 18

constexpr std::array<Fault, 7> kFaults = {Fault::NoEcho,      Fault::CorruptEcho,
                                          Fault::Silence,     Fault::BadChecksum,
                                          Fault::ReplyLength, Fault::WrongDeviceType,
                                          Fault::HangUp};

const char *FaultName(Fault f) {
    switch (f) {
    case Fault::None: return "None";
    case Fault::NoEcho: return "NoEcho";
    case Fault::CorruptEcho: return "CorruptEcho";
    case Fault::Silence: return "Silence";
    case Fault::BadChecksum: return "BadChecksum";
    case Fault::ReplyLength: return "ReplyLength";
    case Fault::WrongDeviceType: return "WrongDeviceType";
    case Fault::HangUp: return "HangUp";
    case Fault::IgnoreWrite: return "IgnoreWrite";
    }
    return "?";
}

bool IsWriteMail(Sequence s, unsigned mail) {
    return s == Sequence::Save && mail > kInfoMails && mail <= kSequenceMails;
}

bool IsReadBackMail(Sequence s, unsigned mail) { return s == Sequence::Save && mail > kSequenceMails; }

unsigned FrameBytes(Sequence s, unsigned mail) {
    return IsWriteMail(s, mail) ? kWriteFrameBytes : kReadFrameBytes;
}

// The parameter each fault gets at a mail, varied over the positions so that the matrix also
// covers several echo bytes, length bytes and device types.
uint8_t FaultValue(Sequence s, Fault f, unsigned mail) {
    switch (f) {
    case Fault::CorruptEcho:  // 7 is prime to both frame lengths: every byte index comes up
        return static_cast<uint8_t>(mail * 7 % FrameBytes(s, mail));
    case Fault::ReplyLength: {  // all beyond what a reply may declare (14)
        static constexpr uint8_t kLengths[] = {15, 20, 100, 255};
        return kLengths[mail % 4];
    }
    case Fault::WrongDeviceType: {  // 0 is the simulator's default, "b"; 0xE1 is "a" | 0x80
        static constexpr uint8_t kTypes[] = {0, 'A', 0xE1, 0x60};
        return kTypes[mail % 4];
    }
    default: return 0;
    }
}

// Idle polls of the echo wait, each at least the POSIX backend's echo quantum long.
milliseconds EchoBudgetTime(unsigned frameBytes) {
    const auto polls = maillink::EchoBudget(frameBytes, kEchoPollsPerByte);
    return std::chrono::duration_cast<milliseconds>(
        std::chrono::nanoseconds(maillink::posix::kEchoYieldNanoseconds) * polls);
}

}  // namespace

std::vector<FaultCase> ReadBackFaultCases() {
    std::vector<FaultCase> cases;
    for (Fault f : kFaults)
        for (unsigned mail = kSequenceMails + 1; mail <= kSequenceMails + kImageMails; ++mail)
            cases.push_back({Sequence::Save, f, mail, FaultValue(Sequence::Save, f, mail)});
    return cases;
}

std::vector<FaultCase> AllFaultCases() {
    std::vector<FaultCase> cases;
    for (Sequence s : {Sequence::Load, Sequence::Save})
        for (Fault f : kFaults)
            for (unsigned mail = 1; mail <= kSequenceMails; ++mail)
                cases.push_back({s, f, mail, FaultValue(s, f, mail)});
    return cases;
}

std::string CaseName(const FaultCase &c) {
    char name[64];
    std::snprintf(name, sizeof name, "%s_%s_mail%02u", c.sequence == Sequence::Load ? "Load" : "Save",
                  FaultName(c.fault), c.mail);
    return name;
}

ExpectedOutcome Expect(const FaultCase &c) {
    const bool write = IsWriteMail(c.sequence, c.mail);
    const unsigned chunk = write ? c.mail - kInfoMails - 1 : 0;
    const unsigned allChunks = c.sequence == Sequence::Save ? kImageMails : 0;
    const bool readBack = IsReadBackMail(c.sequence, c.mail);

    // The sequence stops at the failing mail; a Save has written the chunks before it. A failed
    // read-back follows a whole write: the Save is not taken, as nothing checked it.
    const auto failed = [&](int8_t code) {
        ExpectedOutcome e;
        e.result = {readBack ? WorkflowOutcome::SaveNotTaken : WorkflowOutcome::TransferFailed, code};
        e.mailsSent = c.mail;
        e.chunksWritten = readBack ? allChunks : chunk;
        return e;
    };
    ExpectedOutcome done;
    // A Save that wrote its image reads it back: ten more read mails.
    done.mailsSent = kSequenceMails + (c.sequence == Sequence::Save ? kImageMails : 0);
    done.chunksWritten = allChunks;
    ExpectedOutcome retried = done;
    retried.mailsSent = done.mailsSent + 1;
    retried.mailsRetried = 1;

    switch (c.fault) {
    case Fault::NoEcho: {  // the device heard nothing: no echo, no answer, no write
        ExpectedOutcome e = failed(6);
        e.atLeast = EchoBudgetTime(FrameBytes(c.sequence, c.mail));
        return e;
    }
    case Fault::HangUp: {  // the line dies before the frame's last byte is echoed
        // The echo wait ends at once, soon enough to look like a damaged echo: the mail is sent
        // once more after the retry's short pause, and that fails at once too. Only the pause is
        // waited, never a budget.
        ExpectedOutcome e = failed(6);
        e.mailsRetried = 1;
        e.within = EchoBudgetTime(FrameBytes(c.sequence, c.mail));
        return e;
    }
    case Fault::CorruptEcho:
        // The device heard the frame whole (a write mail did change its memory); only the copy
        // on the way back was damaged. The mail is sent once more and passes.
        return retried;
    case Fault::IgnoreWrite:  // a write dropped as silently as one the device did not serve
        if (!write) return done;
        [[fallthrough]];
    case Fault::Silence:
        if (write) {
            // A write mail awaits no answer: the device ignores it unnoticed until the Save
            // reads the image back and finds the chunk old.
            ExpectedOutcome e = done;
            e.result = {WorkflowOutcome::SaveNotTaken, 0};
            e.lostChunk = static_cast<int>(chunk);
            return e;
        } else {
            ExpectedOutcome e = failed(1);
            e.atLeast = kReplyPolls * kReplyPollPause;
            return e;
        }
    case Fault::BadChecksum:  // reply faults cannot touch a write mail, which has no reply
    case Fault::ReplyLength:
        return write ? done : retried;
    case Fault::WrongDeviceType:
        if (c.mail == kDeviceTypeMail) {
            ExpectedOutcome e;
            e.result = {WorkflowOutcome::UnsupportedDevice, 0};
            e.mailsSent = kInfoMails;
            return e;
        }
        return done;  // byte 18 is not in this reply: nothing to see
    case Fault::None: break;
    }
    return done;
}
