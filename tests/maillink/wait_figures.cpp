// Prints how long the library's waits last on this machine and how much processor time they
// take meanwhile, against a silent or dead pseudo-terminal. Not a test: the figures of
// docs/performance.md.
//   maillink_wait_figures
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "maillink.h"
#include "posix_waits.h"
#include "pty_peer.h"
#include "temp_port_dir.h"

namespace {

struct Figure {
    double wallMs;
    double cpuMs;
    int32_t result;
};

double ThreadCpuMs() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

Figure Measure(const std::function<int32_t()> &run) {
    const double cpu0 = ThreadCpuMs();
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = run();
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return {wall, ThreadCpuMs() - cpu0, result};
}

void PutReadMail() {
    const uint8_t mail[] = {0x02, 0x06, 0x3C, 0x08, 0x00, 0x08, 0x00, 0x00};
    for (unsigned i = 0; i < sizeof mail; ++i) SmTxMail[3 + i] = mail[i];
}

void Print(const char *what, unsigned polls, const Figure &f, double scale = 1.0) {
    std::printf("%-44s %7u polls  %9.1f ms wall  %7.1f ms cpu  (%4.1f %% cpu)  code %d", what, polls,
                f.wallMs * scale, f.cpuMs * scale, 100.0 * f.cpuMs / f.wallMs, f.result);
    if (scale != 1.0) std::printf("  [scaled x%.0f]", scale);
    std::printf("\n");
}

void Prepare(uint16_t echoPerByte, uint8_t rxExpected, uint16_t rxTimeout) {
    SmInit();
    SmConfig.AckMode = 0;
    SmConfig.FixedRxLength = 1;
    SmConfig.EchoTimeoutPerByte = echoPerByte;
    SmConfig.RxMailExpected = rxExpected;
    SmConfig.RxTimeout = rxTimeout;
    PutReadMail();
}

}  // namespace

int main() {
    std::printf("echo wait idle poll: %ld us nominal\n", maillink::posix::kEchoYieldNanoseconds / 1000);
    TempPortDir ports;
    {
        PtyPeer silent;
        silent.SetEcho(false);
        silent.Publish(ports.Path(), 1);
        if (OpenSerialPort(1, 9600) != 1) return 1;
        for (int run = 0; run < 3; ++run) {
            Prepare(2000, 0, 0);
            Print("echo budget of a read frame, silence", 24000, Measure(SmSendMail));
        }
        Prepare(200, 0, 0);
        Print("echo budget with SmInit's 200 a byte, silence", 2400, Measure(SmSendMail));
        CloseSerialPort();
    }
    {
        PtyPeer echoing;
        echoing.Publish(ports.Path(), 2);
        if (OpenSerialPort(2, 9600) != 1) return 1;
        Prepare(2000, 1, 200);
        Print("reply wait RxTimeout 200, silence", 200, Measure(SmSendMail));
        Prepare(2000, 1, 200);
        Print("reply wait RxTimeout 2000, silence", 2000, Measure(SmSendMail), 10.0);
        Prepare(2000, 0, 0);
        SmConfig.AckMode = 1;
        Print("acknowledge wait, silence", 2000, Measure(SmSendMail));
        Figure sum{0, 0, 0};
        for (int i = 0; i < 100; ++i) {
            Prepare(2000, 0, 0);
            const Figure f = Measure(SmSendMail);
            sum.wallMs += f.wallMs / 100;
            sum.cpuMs += f.cpuMs / 100;
            sum.result |= f.result;
        }
        Print("one read frame with an immediate echo (mean)", 0, sum);
        CloseSerialPort();
    }
    {
        // The line goes dead once the frame is out: the echo wait runs on a hung-up line.
        PtyPeer dead;
        dead.SetEcho(false);
        dead.OnMessage([](const std::vector<uint8_t> &) {
            PtyPeer::Answer answer;
            answer.hangUp = true;
            return answer;
        });
        dead.Publish(ports.Path(), 3);
        if (OpenSerialPort(3, 9600) != 1) return 1;
        Prepare(2000, 0, 0);
        Print("echo budget of a read frame, dead line", 24000, Measure(SmSendMail));
        CloseSerialPort();
    }
    return 0;
}
