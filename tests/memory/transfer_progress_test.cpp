// The transfers' progress reports: when the hook is called, what it is told, and that watching
// a transfer does not change what goes on the line.
#include <gtest/gtest.h>

#include <vector>

#include "memory_transfer.h"
#include "simulated_repeater_fixture.h"

namespace {

struct Seen {
    TransferArea area;
    unsigned done;
    unsigned total;
    bool finished;
    int8_t result;
    bool portOpen;  // whether the port was open while the hook ran
};

class MemoryTransferProgress : public SimulatedRepeaterTest {
protected:
    void SetUp() override {
        SimulatedRepeaterTest::SetUp();
        SetTransferProgressHook([this](const TransferProgress &p) {
            seen_.push_back({p.area, p.mailsDone, p.mailsTotal, p.finished, p.result,
                             hComPort != MAILLINK_NO_PORT});
        });
    }
    void TearDown() override {
        SetTransferProgressHook({});
        SimulatedRepeaterTest::TearDown();
    }

    std::vector<Seen> seen_;
};

struct CountCase {
    const char *name;
    int8_t (*transfer)(uint16_t, uint8_t);
    uint8_t count;
    TransferArea area;
    unsigned mails;
};

TEST_F(MemoryTransferProgress, ReportsStartEveryMailAndEnd) {
    const CountCase cases[] = {
        {"info 32", ReadInfoBlock, 32, TransferArea::InfoBlockRead, 4},
        {"image 80", ReadConfigImage, 80, TransferArea::ConfigImageRead, 10},
        {"image 13", ReadConfigImage, 13, TransferArea::ConfigImageRead, 2},
        {"write 80", WriteConfigImage, 80, TransferArea::ConfigImageWrite, 10},
    };
    for (const CountCase &c : cases) {
        SCOPED_TRACE(c.name);
        seen_.clear();
        ASSERT_EQ(c.transfer(0, c.count), 0);

        ASSERT_EQ(seen_.size(), c.mails + 2);
        for (unsigned i = 0; i <= c.mails; ++i) {
            EXPECT_EQ(seen_[i].area, c.area);
            EXPECT_EQ(seen_[i].done, i);
            EXPECT_EQ(seen_[i].total, c.mails);
            EXPECT_FALSE(seen_[i].finished);
        }
        EXPECT_FALSE(seen_.front().portOpen) << "the start is reported before the port opens";
        EXPECT_TRUE(seen_[1].portOpen);
        const Seen &last = seen_.back();
        EXPECT_TRUE(last.finished);
        EXPECT_EQ(last.done, c.mails);
        EXPECT_EQ(last.result, 0);
        EXPECT_FALSE(last.portOpen) << "the end is reported after the port closed";
    }
}

TEST_F(MemoryTransferProgress, FailuresEndWithTheResultAndTheMailsThatSucceeded) {
    FaultTwice({repeatersim::Fault::BadChecksum, 4, 0});
    EXPECT_EQ(ReadConfigImage(0, 80), 2);
    ASSERT_FALSE(seen_.empty());
    EXPECT_EQ(seen_.size(), 5u);  // start and three mails, then the end
    EXPECT_TRUE(seen_.back().finished);
    EXPECT_EQ(seen_.back().done, 3u);
    EXPECT_EQ(seen_.back().result, 2);
    EXPECT_FALSE(seen_.back().portOpen);

    seen_.clear();
    PortSettings.PortNumber = 5;  // nothing published there
    EXPECT_EQ(ReadInfoBlock(0, 32), 8);
    ASSERT_EQ(seen_.size(), 2u);
    EXPECT_FALSE(seen_[0].finished);
    EXPECT_TRUE(seen_[1].finished);
    EXPECT_EQ(seen_[1].done, 0u);
    EXPECT_EQ(seen_[1].result, 8);
}

TEST_F(MemoryTransferProgress, CountZeroReportsNothing) {
    EXPECT_EQ(WriteConfigImage(0, 0), 0);
    EXPECT_TRUE(seen_.empty());
}

TEST_F(MemoryTransferProgress, WatchedTransferSendsTheSameBytes) {
    ASSERT_EQ(ReadConfigImage(8, 24), 0);
    const std::vector<uint8_t> watched = sim_.Received();
    sim_.ClearReceived();
    SetTransferProgressHook({});
    ASSERT_EQ(ReadConfigImage(8, 24), 0);
    EXPECT_EQ(sim_.Received(), watched);
    EXPECT_EQ(watched.size(), 36u);
}

}  // namespace
