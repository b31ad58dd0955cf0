// The fault matrix: every fault of the simulated repeater at every mail of a Load and of a Save,
// and what each case must leave behind.
//
// A Load and a Save both send 14 mails: 4 reads of the identification block (mails 1 to 4), then
// 10 image mails (5 to 14): reads for a Load, writes of one 8-byte chunk each for a Save. A Save
// that wrote everything then reads the image back (mails 15 to 24).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "load_save.h"
#include "repeater_sim.h"

enum class Sequence { Load, Save };

constexpr unsigned kInfoMails = 4;
constexpr unsigned kImageMails = 10;
constexpr unsigned kSequenceMails = kInfoMails + kImageMails;
constexpr unsigned kChunkBytes = 8;

struct FaultCase {
    Sequence sequence = Sequence::Load;
    repeatersim::Fault fault = repeatersim::Fault::None;
    unsigned mail = 1;  // 1-based, as the simulator counts
    uint8_t value = 0;  // the fault's parameter (echo byte index, length byte, device type)
};

// Every fault at every mail position of both sequences.
std::vector<FaultCase> AllFaultCases();
// Every fault at every mail of a Save's read-back (mails 15 to 24).
std::vector<FaultCase> ReadBackFaultCases();

// "Save_NoEcho_mail07": a name for test lists and filters.
std::string CaseName(const FaultCase &c);

struct ExpectedOutcome {
    WorkflowResult result;
    unsigned mailsSent = 0;  // complete frames the device saw: none after a failing mail
    unsigned mailsRetried = 0;  // a mail damaged on the line is sent once more
    // Save: the image chunks the device holds new afterwards, counted from the first; the rest
    // keep their old bytes, except that `lostChunk` (when not negative) stayed old although the
    // sequence went on past it (the read-back then names a byte of that chunk).
    unsigned chunksWritten = 0;
    int lostChunk = -1;
    // The least time the case takes: the budget that a missing answer uses up.
    std::chrono::milliseconds atLeast{0};
    // When not 0: the failing mail's waits end sooner than this, the budget they would sleep
    // out. A line that has gone is not waited for.
    std::chrono::milliseconds within{0};
};

ExpectedOutcome Expect(const FaultCase &c);
