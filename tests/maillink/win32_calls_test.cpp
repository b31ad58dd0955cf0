// The Win32 calls behind the port and mail functions, seen through maillink.dll's import table:
// which calls, in which order, with which arguments (the device control block's flag word
// rewritten, the time-outs, the purge flags), the pauses of each wait, and what the library does
// when a call fails.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link_fixture.h"
#include "win32_call_log.h"

using namespace linktest;

namespace {

using Lines = std::vector<std::string>;

const Bytes kReadMail{0x3C, 0x08, 0x00, 0x08, 0x00, 0x00};

class Win32Calls : public LinkTest {
protected:
    // The calls after the last one that delivered data (the end of an echo or a reply).
    Lines AfterLastData() const {
        const std::vector<Win32Call> calls = log_.Calls();
        std::size_t start = 0;
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i].name == "ReadFile" && calls[i].args.find("-> data") != std::string::npos) start = i + 1;
        Lines lines;
        for (std::size_t i = start; i < calls.size(); ++i) lines.push_back(calls[i].name + "(" + calls[i].args + ")");
        return lines;
    }

    static Lines Repeat(const Lines &pattern, unsigned times) {
        Lines lines;
        for (unsigned i = 0; i < times; ++i) lines.insert(lines.end(), pattern.begin(), pattern.end());
        return lines;
    }

    CallLog log_;
};

}  // namespace

TEST_F(Win32Calls, OpenMakesTheListedCallsInOrder) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    EXPECT_EQ(log_.Summary(), (Lines{
                                  "BuildCommDCBA(COM3:9600,n,8,1)",
                                  // GENERIC_READ | GENERIC_WRITE, not shared, OPEN_EXISTING, normal
                                  "CreateFileA(COM3, C0000000, 0, null, 3, 80, null)",
                                  "SetupComm(1024, 0)",
                                  "SetCommState(9600)",
                                  "SetCommTimeouts()",
                                  "Sleep(20)",
                                  "PurgeComm(15)",
                                  "ClearCommError(errors, null)",
                              }));
    const std::vector<Win32Call> calls = log_.Calls();
    ASSERT_EQ(calls.size(), 8u);
    const COMMTIMEOUTS &timeouts = calls[4].timeouts;
    EXPECT_EQ(timeouts.ReadIntervalTimeout, MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    const DCB &dcb = calls[3].dcb;
    EXPECT_EQ(dcb.DCBlength, sizeof(DCB));
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, ONESTOPBIT);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fOutX | dcb.fInX | dcb.fOutxCtsFlow | dcb.fOutxDsrFlow | dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fParity | dcb.fErrorChar | dcb.fNull | dcb.fAbortOnError, 0u);
}

// Whatever flag word the mode text gave, SetCommState gets it masked with 0xFFFF8091 and ORed
// with 0x91: bits 15 to 31 as they were, bits 0, 4 and 7 set, the rest clear.
TEST_F(Win32Calls, FlagWordIsMaskedAndSet) {
    const struct {
        DWORD built;
        DWORD applied;
    } cases[] = {
        {0x00000000, 0x00000091}, {0xFFFFFFFF, 0xFFFF8091}, {0x00007F6E, 0x00000091},
        {0xABCD0000, 0xABCD0091}, {0x00008000, 0x00008091}, {0x00000011, 0x00000091},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.built);
        log_.Clear();
        log_.AfterBuildCommDcb([&c](DCB &dcb) {
            std::memcpy(reinterpret_cast<char *>(&dcb) + 8, &c.built, sizeof c.built);
        });
        log_.Fail("SetCommState", ERROR_INVALID_PARAMETER);  // the line keeps sane settings
        EXPECT_EQ(OpenSerialPort(kCom, 19200), 0);
        bool seen = false;
        for (const Win32Call &call : log_.Calls()) {
            if (call.name != "SetCommState") continue;
            seen = true;
            EXPECT_EQ(call.flags, c.applied);
            EXPECT_EQ(call.dcb.BaudRate, 19200u);
        }
        EXPECT_TRUE(seen);
    }
}

// A refusal after the device opened closes it again (and keeps the refusal's error for the text).
TEST_F(Win32Calls, RefusedSettingsReleaseThePort) {
    const struct {
        const char *call;
        Lines tail;
    } cases[] = {
        {"SetupComm", {"SetupComm(1024, 0)", "GetLastError(87)", "CloseHandle()"}},
        {"SetCommState", {"SetCommState(9600)", "GetLastError(87)", "CloseHandle()"}},
        {"SetCommTimeouts", {"SetCommTimeouts()", "GetLastError(87)", "CloseHandle()"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        log_.Clear();
        log_.Fail(c.call, ERROR_INVALID_PARAMETER);
        EXPECT_EQ(OpenSerialPort(kCom, 9600), 0);
        log_.Fail(c.call, ERROR_SUCCESS);
        EXPECT_EQ(hComPort, MAILLINK_NO_PORT);
        const Lines summary = log_.Summary();
        ASSERT_GE(summary.size(), c.tail.size());
        EXPECT_EQ(Lines(summary.end() - static_cast<long>(c.tail.size()), summary.end()), c.tail);
        char text[200];
        EXPECT_EQ(std::string(GetWin32ErrorText(text, sizeof text)), SystemErrorText(ERROR_INVALID_PARAMETER));
        EXPECT_TRUE(DeviceIsFree(peer_));
    }
    EXPECT_EQ(OpenSerialPort(kCom, 9600), 1) << "the next open configures the port afresh";
}

TEST_F(Win32Calls, CloseAndByteOperations) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    peer_.SetEcho(false);
    log_.Clear();
    uint8_t buffer[7];
    SendSerialData(0x55);
    GetSerialData(buffer, sizeof buffer);
    Delay(3);
    CloseSerialPort();
    EXPECT_EQ(log_.Summary(), (Lines{"WriteFile(1)", "ReadFile(7 -> 0)", "Sleep(3)", "PurgeComm(15)", "CloseHandle()"}));

    log_.Clear();
    SendSerialData(0x55);
    GetSerialData(buffer, sizeof buffer);
    CloseSerialPort();
    EXPECT_TRUE(log_.Calls().empty()) << "no port: no call";
}

TEST_F(Win32Calls, SendSerialDataWithTimeoutPausesOneMillisecondAPoll) {
    peer_.SetEcho(false);
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    log_.Clear();
    EXPECT_EQ(SendSerialDataWithTimeout(0x42, 3), 0);
    Lines expected{"WriteFile(1)"};
    const Lines poll = Repeat({"ReadFile(1 -> 0)", "Sleep(1)"}, 3);
    expected.insert(expected.end(), poll.begin(), poll.end());
    Lines all;
    for (const Win32Call &call : log_.Calls()) all.push_back(call.name + "(" + call.args + ")");
    EXPECT_EQ(all, expected);
}

// The echo wait yields with Sleep(0) after each idle read, the reply wait pauses 5 ms, the
// acknowledge wait 1 ms; every budget is a count of such polls.
TEST_F(Win32Calls, MailWaitsPollAsBudgeted) {
    struct Case {
        const char *name;
        bool echo;
        uint8_t ackMode;
        uint8_t rxExpected;
        uint16_t echoPerByte;
        uint16_t rxTimeout;
        int32_t expected;
        Lines pattern;
        unsigned polls;
    };
    const Case cases[] = {
        {"echo wait", false, 0, 0, 2, 400, 6, {"ReadFile(1 -> 0)", "Sleep(0)"}, 12 * 2},
        {"reply wait", true, 0, 1, 2000, 3, 1, {"ReadFile(1 -> 0)", "Sleep(5)"}, 3},
        {"acknowledge wait", true, 1, 0, 2000, 400, 5, {"ReadFile(1 -> 0)", "Sleep(1)"}, 2000},
    };
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    std::size_t sent = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // The echo wait may give up before the last frame even reached the device: let the
        // device have it before its echo is switched, or it would echo that frame late.
        ASSERT_TRUE(peer_.WaitForMessages(sent, 2000));
        peer_.SetEcho(c.echo);
        SmInit();
        SmConfig.AckMode = c.ackMode;
        SmConfig.RxMailExpected = c.rxExpected;
        SmConfig.EchoTimeoutPerByte = c.echoPerByte;
        SmConfig.RxTimeout = c.rxTimeout;
        PutMail(2, kReadMail);
        log_.Clear();
        EXPECT_EQ(SmSendMail(), c.expected);
        ++sent;
        const Lines calls = c.echo ? AfterLastData() : [&] {
            Lines all;
            for (const Win32Call &call : log_.Calls()) all.push_back(call.name + "(" + call.args + ")");
            // The stale-input read and the frame's write come first.
            EXPECT_GE(all.size(), 2u);
            if (all.size() >= 2) {
                EXPECT_EQ(all[0], "ReadFile(1 -> 0)");
                EXPECT_EQ(all[1], "WriteFile(12)");
                all.erase(all.begin(), all.begin() + 2);
            }
            return all;
        }();
        EXPECT_EQ(calls, Repeat(c.pattern, c.polls));
    }
}

TEST_F(Win32Calls, EepromWriteMailPausesInOneSleep) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    SmInit();
    SmConfig.AckMode = 0;
    PutMail(2, {0x3B, 0x08, 0x00, 0x08, 0x48, 0x00, 1, 2, 3, 4, 5, 6, 7, 8});
    log_.Clear();
    EXPECT_EQ(SmSendMail(), 0);
    EXPECT_EQ(AfterLastData(), (Lines{"Sleep(200)"}));
}

// With the echo check skipped, a write that fails still fails the mail.
TEST_F(Win32Calls, FailedWriteFailsTheMailWithoutEchoCheck) {
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    SmInit();
    SmConfig.AckMode = 0;
    SmConfig.SkipEchoCheck = 1;
    PutMail(2, kReadMail);
    log_.Fail("WriteFile", ERROR_GEN_FAILURE);
    EXPECT_EQ(SmSendMail(), 6);
}

// A read that fails (the device has gone, as an unplugged USB adapter makes it) ends a wait at
// once with its code: no pause after it, the budget taken whole; the read's error stays for the
// text. (A working port's read never fails: it returns at once, with or without bytes.)
TEST_F(Win32Calls, FailedReadEndsTheWaitAtOnce) {
    struct Case {
        const char *name;
        uint8_t skipEcho, ackMode, rxExpected;
        int32_t expected;
    };
    const Case cases[] = {
        {"echo wait", 0, 0, 0, 6},
        {"acknowledge wait", 1, 1, 0, 5},
        {"reply wait", 1, 0, 1, 1},
    };
    ASSERT_EQ(OpenSerialPort(kCom, 9600), 1);
    peer_.SetEcho(false);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SmInit();
        SmConfig.SkipEchoCheck = c.skipEcho;
        SmConfig.AckMode = c.ackMode;
        SmConfig.RxMailExpected = c.rxExpected;
        PutMail(2, kReadMail);
        log_.Clear();
        log_.Fail("ReadFile", ERROR_DEVICE_REMOVED);
        EXPECT_EQ(SmSendMail(), c.expected);
        char text[200];
        const std::string error = GetWin32ErrorText(text, sizeof text);
        log_.Fail("ReadFile", ERROR_SUCCESS);
        EXPECT_EQ(error, SystemErrorText(ERROR_DEVICE_REMOVED));
        // The stale-input read, the frame, and the wait's one read.
        EXPECT_EQ(log_.Summary(), (Lines{"ReadFile(1 -> failed)", "WriteFile(12)", "ReadFile(1 -> failed)",
                                         "GetLastError(1617)", "FormatMessageA(1000, null, 1617, 0, 200, null)"}));
    }
    log_.Clear();
    log_.Fail("ReadFile", ERROR_BAD_COMMAND);
    EXPECT_EQ(SendSerialDataWithTimeout(0x42, 2000), 0);
    log_.Fail("ReadFile", ERROR_SUCCESS);
    EXPECT_EQ(log_.Summary(), (Lines{"WriteFile(1)", "ReadFile(1 -> failed)"}));
}

TEST_F(Win32Calls, ErrorTextTakesTheLastErrorFirst) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    char text[100];
    GetWin32ErrorText(text, sizeof text);
    EXPECT_EQ(log_.Summary(), (Lines{"GetLastError(5)", "FormatMessageA(1000, null, 5, 0, 100, null)"}));
    EXPECT_EQ(std::string(text), SystemErrorText(ERROR_ACCESS_DENIED));
}
