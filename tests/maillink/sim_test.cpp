// Real read and write mails through the library against the simulated repeater: in-process on
// POSIX, the repeater-sim program that the test driver starts under Wine.
#include <algorithm>

#include "link_fixture.h"
#include "repeater_sim.h"
#ifdef _WIN32
#include "external_simulator.h"
#endif

using namespace linktest;

namespace {

class SimulatorLink : public ::testing::Test {
protected:
    static constexpr uint8_t kCom = 2;
#ifdef _WIN32
    // The driver's simulator with a fault plan: its k-th mail meets the k-th case of
    // DeviceFaultsGiveTheirCodes (tests/wine/run-maillink-suite.sh starts it).
    static constexpr uint8_t kFaultCom = 9;
#endif

    void SetUp() override {
#ifndef _WIN32
        sim_.Start();
        sim_.Publish(ports_.Path(), kCom);
#endif
        ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
        // The settings a memory transfer uses.
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.FixedRxLength = 1;
        SmConfig.EchoTimeoutPerByte = 2000;
        SmConfig.RxTimeout = 2000;
    }
    void TearDown() override { CloseSerialPort(); }

    // Makes the next mail meet the fault.
    void ArmFault(const repeatersim::FaultPlan &plan) {
#ifdef _WIN32
        (void)plan;  // planned by the driver, mail by mail
        if (faultPortOpen_) return;
        CloseSerialPort();
        ASSERT_EQ(OpenSerialPort(kFaultCom, 9600), 1);
        faultPortOpen_ = true;
#else
        sim_.SetFault(plan);
#endif
    }

    // A read mail for 8 bytes of the memory that selector names.
    static void PutRead(uint8_t selector, uint16_t address) {
        PutMail(2, {0x3C, 0x08, selector, 0x08, static_cast<uint8_t>(address & 0xFF), static_cast<uint8_t>(address >> 8)});
        SmConfig.RxMailExpected = 1;
    }

    TempPortDir ports_;
#ifdef _WIN32
    ExternalSimulator sim_{"RELAY_WINE_SIM_MEMORY"};
    bool faultPortOpen_ = false;
#else
    repeatersim::Simulator sim_;
#endif
};

}  // namespace

TEST_F(SimulatorLink, ReadMailsFetchEightBytesOfEitherMemory) {
    const auto info = sim_.Info();
    const auto config = sim_.Config();
    const struct {
        uint8_t selector;
        uint16_t address;
    } cases[] = {{0xFF, 0x00}, {0xFF, 0x10}, {0xFF, 0x18}, {0x00, 0x00}, {0x00, 0x48}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "selector " << int{c.selector} << " address " << c.address);
        PutRead(c.selector, c.address);
        ASSERT_EQ(SmSendMail(), 0);
        const Bytes expected = c.selector == 0xFF ? Bytes(info.begin() + c.address, info.begin() + c.address + 8)
                                                  : Bytes(config.begin() + c.address, config.begin() + c.address + 8);
        EXPECT_EQ(RxBytes(6, 8), expected);
    }
#ifndef _WIN32
    EXPECT_EQ(sim_.Received().size(), 5u * 12u);
#endif
}

TEST_F(SimulatorLink, WriteMailIsStoredAndReadsBack) {
    const Bytes data{0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02, 0x03, 0x04};
    Bytes payload{0x3B, 0x08, 0x00, 0x08, 0x10, 0x00};
    payload.insert(payload.end(), data.begin(), data.end());
    PutMail(2, payload);
    SmConfig.RxMailExpected = 0;
    double elapsed = 0;
    int32_t result = -1;
    elapsed = MillisecondsOf([&] { result = SmSendMail(); });
    ASSERT_EQ(result, 0);
    EXPECT_TRUE(LastsBetween(elapsed, 200.0, 200.0)) << "the EEPROM pause of 8 x 25 ms";
    const auto config = sim_.Config();
    EXPECT_EQ(Bytes(config.begin() + 0x10, config.begin() + 0x18), data);

    PutRead(0x00, 0x10);
    ASSERT_EQ(SmSendMail(), 0);
    EXPECT_EQ(RxBytes(6, 8), data);
}

TEST_F(SimulatorLink, DeviceFaultsGiveTheirCodes) {
    const struct {
        const char *name;
        repeatersim::Fault fault;
        uint8_t value;
        uint16_t echoPerByte;
        uint16_t rxTimeout;
        int32_t expected;
    } cases[] = {
        {"bad reply checksum", repeatersim::Fault::BadChecksum, 0, 2000, 2000, 2},
        {"reply length byte 30", repeatersim::Fault::ReplyLength, 30, 2000, 2000, 3},
        {"corrupted echo", repeatersim::Fault::CorruptEcho, 5, 2000, 2000, 6},
        {"no echo", repeatersim::Fault::NoEcho, 0, 20, 2000, 6},
        {"silence instead of a reply", repeatersim::Fault::Silence, 0, 2000, 20, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ArmFault({c.fault, 0, c.value});
        SmInit();
        SmConfig.AckMode = 0;
        SmConfig.FixedRxLength = c.fault == repeatersim::Fault::ReplyLength ? 0 : 1;
        SmConfig.EchoTimeoutPerByte = c.echoPerByte;
        SmConfig.RxTimeout = c.rxTimeout;
        PutRead(0xFF, 0x00);
        EXPECT_EQ(SmSendMail(), c.expected);
    }
}
