// The serial port of the library: one process-wide port, opened, used and closed through the
// exported functions below. The operating-system work is done by the platform backend.
#include "mail_budget.h"
#include "maillink.h"
#include "platform.h"

extern "C" {

uint32_t hComPort = MAILLINK_NO_PORT;

uint8_t OpenSerialPort(uint8_t port, uint32_t baudRate) {
    // An open port stays as it is, whatever this call names.
    if (hComPort != maillink::platform::kNoPort) return 1;
    if (port == 0 || port > 9) return 0;

    char modeText[] = "COMx:9600,n,8,1";
    modeText[3] = static_cast<char>('0' + port);

    // The backend either hands back a fully configured port or releases the device again, so a
    // failed open never leaves a half-configured port behind that later opens would accept.
    hComPort = maillink::platform::OpenPort(modeText, baudRate);
    return hComPort != maillink::platform::kNoPort ? 1 : 0;
}

void CloseSerialPort(void) {
    if (hComPort == maillink::platform::kNoPort) return;
    maillink::platform::PurgeAndClose(hComPort);
    hComPort = maillink::platform::kNoPort;
}

void SendSerialData(uint8_t value) {
    if (hComPort == maillink::platform::kNoPort) return;
    maillink::platform::Write(hComPort, &value, 1);
}

uint8_t GetSerialData(uint8_t *buffer, uint8_t count) {
    if (hComPort == maillink::platform::kNoPort || buffer == nullptr || count == 0) return 0;
    return maillink::platform::Read(hComPort, buffer, count);
}

uint8_t SendSerialDataWithTimeout(uint8_t value, uint16_t idlePolls) {
    SendSerialData(value);
    uint32_t budget = maillink::PollBudget(idlePolls);
    uint8_t received = 0;
    while (GetSerialData(&received, 1) == 0) {
        if (!maillink::SpendIdlePolls(hComPort, maillink::platform::IdlePoll::OneMillisecond, budget, 1)) return 0;
    }
    return received == value ? 1 : 0;
}

void Delay(uint16_t milliseconds) {
    maillink::platform::Sleep(milliseconds);
}

char *GetWin32ErrorText(char *buffer, uint8_t size) {
    if (buffer == nullptr) return buffer;
    return maillink::platform::LastErrorText(buffer, size);
}

}  // extern "C"
