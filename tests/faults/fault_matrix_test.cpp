// Every fault of the simulated repeater at every mail of a Load and of a Save, through the Load
// and Save sequences that the front ends use. Each case checks the result, the mails the device
// saw and the retries, that the port was released, the image rule of a Load (a failed Load leaves
// the image as it was) and what the repeater holds after a Save.
//
// The same cases run on a line of matrix_line.h: all of them on virtual time, a few on the
// simulator's pseudo-terminal in real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "fault_cases.h"
#include "image_rules.h"
#include "load_save.h"
#include "matrix_line.h"
#include "memory_buffers.h"
#include "memory_transfer.h"
#include "workflow_state.h"

// Names a case in test output instead of dumping its bytes.
void PrintTo(const FaultCase &c, std::ostream *os) { *os << CaseName(c); }

namespace {

using Bytes = std::vector<uint8_t>;
using repeatersim::Fault;

constexpr std::size_t kImage = kImageMails * kChunkBytes;

Bytes Pattern(uint8_t seed, std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + 11 * i);
    return bytes;
}

Bytes ImageNow() { return {ConfigImage, ConfigImage + kImage}; }

class FaultMatrix : public testing::TestWithParam<FaultCase> {
protected:
    void SetUp() override {
        line_ = MakeMatrixLine();
        std::fill(std::begin(InfoBlock), std::end(InfoBlock), uint8_t{0});
        std::fill(std::begin(ConfigImage), std::end(ConfigImage), uint8_t{0});
        ParkLastDigit = '\0';
        deviceBefore_ = Pattern(0x31, repeatersim::kConfigSize);
        line_->SetDeviceConfig(deviceBefore_);
    }
    void TearDown() override { line_.reset(); }

    // took: the whole sequence; tookAtEnd: from the last mail that went through (or the start of
    // the last transfer) to the end, the time the failing mail's waits took.
    WorkflowResult Run(const FaultCase &c, std::chrono::milliseconds &took, std::chrono::milliseconds &tookAtEnd) {
        line_->SetFault({c.fault, c.mail, c.value});
        retried_ = 0;
        const auto start = line_->Now();
        auto lastProgress = start;
        SetTransferProgressHook([this, &lastProgress](const TransferProgress &p) {
            if (p.finished) retried_ += p.mailsRetried;
            else lastProgress = line_->Now();
        });
        line_->BeforeRun();
        const WorkflowResult result =
            c.sequence == Sequence::Load ? LoadFromRepeater() : SaveToRepeater();
        took = std::chrono::duration_cast<std::chrono::milliseconds>(line_->Now() - start);
        tookAtEnd = std::chrono::duration_cast<std::chrono::milliseconds>(line_->Now() - lastProgress);
        SetTransferProgressHook({});
        return result;
    }

    std::unique_ptr<MatrixLine> line_;
    Bytes deviceBefore_;
    unsigned retried_ = 0;  // mails sent a second time, over all transfers of the case
};

TEST_P(FaultMatrix, ResultPortAndData) {
    const FaultCase c = GetParam();
    const ExpectedOutcome expected = Expect(c);

    // A Load starts from an image shown earlier, with or without a good Load behind it; a Save
    // writes a fresh image prepared as the window prepares it.
    const bool loadedBefore = c.mail % 2 == 0;
    DataLoaded = loadedBefore;
    const Bytes image = Pattern(c.sequence == Sequence::Load ? 0x9C : 0xC5, kImage);
    std::copy(image.begin(), image.end(), ConfigImage);
    if (c.sequence == Sequence::Save) {
        ASSERT_TRUE(PrepareImageForSave(ConfigImage, c.mail % 3 == 0, "1", "2").ok);
    }
    const Bytes imageBefore = ImageNow();

    std::chrono::milliseconds took{}, tookAtEnd{};
    const WorkflowResult result = Run(c, took, tookAtEnd);

    EXPECT_EQ(result.outcome, expected.result.outcome);
    EXPECT_EQ(result.code, expected.result.code)
        << "got \"" << TransferErrorText(result.code) << "\"";
    if (expected.lostChunk >= 0) {
        EXPECT_EQ(result.mismatchOffset / static_cast<int>(kChunkBytes), expected.lostChunk)
            << "the read-back names a byte of another chunk";
    }
    EXPECT_EQ(line_->MailCount(), expected.mailsSent) << "mails after the failing one, or too few";
    EXPECT_EQ(retried_, expected.mailsRetried);
    EXPECT_GE(took, expected.atLeast) << "the wait ended before its budget";
    if (line_->ExactTime() && expected.atLeast.count() > 0) {
        EXPECT_LT(tookAtEnd, 2 * expected.atLeast) << "a silent line was waited out twice";
    }
    if (expected.within.count() > 0) {
        EXPECT_LT(tookAtEnd, expected.within) << "a line that is gone was waited for";
    }
    line_->ExpectReleased(c.fault == Fault::HangUp);
    EXPECT_TRUE(std::all_of(ConfigImage + kImage, std::end(ConfigImage),
                            [](uint8_t b) { return b == 0; }))
        << "bytes beyond the image changed";

    const Bytes device = line_->DeviceConfig();
    if (c.sequence == Sequence::Load) {
        if (result.outcome == WorkflowOutcome::Done) {
            EXPECT_EQ(ImageNow(), Bytes(deviceBefore_.begin(), deviceBefore_.begin() + kImage));
            EXPECT_TRUE(DataLoaded);
        } else {
            EXPECT_EQ(ImageNow(), imageBefore) << "a failed Load must leave the image as it was";
            EXPECT_EQ(DataLoaded, loadedBefore);
        }
        EXPECT_EQ(device, deviceBefore_) << "a Load wrote to the device";
        return;
    }

    // Save: chunk k new for k below chunksWritten (but not the lost one), old from there on.
    Bytes expectedDevice = deviceBefore_;
    for (unsigned k = 0; k < expected.chunksWritten; ++k) {
        if (static_cast<int>(k) == expected.lostChunk) continue;
        std::copy_n(imageBefore.begin() + k * kChunkBytes, kChunkBytes,
                    expectedDevice.begin() + k * kChunkBytes);
    }
    for (std::size_t i = 0; i < device.size(); ++i)
        ASSERT_EQ(device[i], expectedDevice[i]) << "device byte " << i << " (chunk " << i / 8 << ")";
    EXPECT_EQ(ImageNow(), imageBefore) << "a Save changed the window's image";
}

INSTANTIATE_TEST_SUITE_P(AllMails, FaultMatrix, testing::ValuesIn(MatrixCases()),
                         [](const testing::TestParamInfo<FaultCase> &info) {
                             return CaseName(info.param);
                         });

// The table itself: every fault at every mail of both sequences, exactly once.
TEST(FaultMatrixTable, CoversEveryFaultAtEveryMailOnce) {
    std::set<std::string> names;
    for (const FaultCase &c : AllFaultCases()) {
        EXPECT_GE(c.mail, 1u);
        EXPECT_LE(c.mail, kSequenceMails);
        names.insert(CaseName(c));
    }
    EXPECT_EQ(names.size(), 2u * 7u * kSequenceMails);
    EXPECT_EQ(AllFaultCases().size(), names.size());
}

}  // namespace
