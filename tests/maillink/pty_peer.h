// A scripted device at the far end of the library's serial line: it records every byte the
// library sends, echoes it (or not, or changed), and answers complete frames with whatever the
// test's handler returns (acknowledge bytes, replies of any shape, silence, a hang-up). The line
// itself is a LineEnd: a pseudo-terminal on POSIX, the test driver's relay under Wine.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "line_end.h"

class PtyPeer {
public:
    struct Answer {
        std::vector<uint8_t> bytes;  // sent after the echo of the message
        unsigned delayMs = 0;        // wait before sending them
        bool hangUp = false;         // then close the line, as an unplugged adapter would
    };
    // Called on the peer's thread for every complete frame (FF FF start type L payload sum) and
    // for every byte that does not start a frame.
    using Handler = std::function<Answer(const std::vector<uint8_t> &message)>;

    // Starts serving; on POSIX it opens the pseudo-terminal first. Throws std::runtime_error on
    // failure.
    PtyPeer();
    ~PtyPeer();  // stops serving and closes the line
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    // The device as the library's side names it: the pseudo-terminal's path on POSIX, "COMn"
    // under Wine (once published).
    const std::string &DevicePath() const { return devicePath_; }
    // Makes the device the library's COM<n>. POSIX: a symlink <dir>/COM<n> (several names may
    // point at one device). Wine: a connection to the driver's relay for COM<n>, which gives a
    // fresh line (dir is not used; one COM number per peer).
    void Publish(const std::string &dir, unsigned comNumber);
    // n of the last Publish, 0 before.
    unsigned ComNumber() const { return comNumber_; }
#ifndef _WIN32
    // A descriptor of the device side that the peer keeps open (its settings are the line's).
    int DeviceFd() const { return deviceFd_; }
#endif

    void SetEcho(bool on) { echo_ = on; }
    // The echo of the byte at this position of each message comes back with its bits inverted.
    void CorruptEchoAt(int position) { corruptAt_ = position; }
    // The echo of each message starts this late.
    void SetEchoDelayMs(unsigned ms) { echoDelayMs_ = ms; }
    void OnMessage(Handler handler);

    // Sends bytes to the host now.
    void Send(const std::vector<uint8_t> &bytes);
    // Closes the line now.
    void HangUp();

    std::vector<uint8_t> Received() const;
    // Waits until at least count bytes were received or timeoutMs passed; true if they were.
    bool WaitForReceived(std::size_t count, unsigned timeoutMs) const;
    // Waits until at least count messages were handled or timeoutMs passed; true if they were.
    bool WaitForMessages(std::size_t count, unsigned timeoutMs) const;

private:
    void Serve();
    void HandleBytes(const uint8_t *data, std::size_t length);
    void WriteAll(const std::vector<uint8_t> &bytes);
    std::shared_ptr<LineEnd> Line() const;
    void SetLine(std::shared_ptr<LineEnd> line);
    void CloseLine();
    void HangUpLine();
    // The platform's part: open the line (POSIX) and close the device side for good.
    void OpenPlatformLine();
    void ClosePlatformLine();

    mutable std::mutex lineMutex_;  // guards line_
    std::shared_ptr<LineEnd> line_;
    std::string devicePath_;
    unsigned comNumber_ = 0;
#ifndef _WIN32
    int deviceFd_ = -1;
#endif

    std::atomic<bool> echo_{true};
    std::atomic<int> corruptAt_{-1};
    std::atomic<unsigned> echoDelayMs_{0};
    std::atomic<bool> stop_{false};
    std::atomic<bool> hangUpRequested_{false};

    mutable std::mutex mutex_;  // guards the fields below
    mutable std::condition_variable changed_;
    Handler handler_;
    std::vector<uint8_t> received_;
    std::vector<uint8_t> message_;  // the frame being collected
    std::size_t messages_ = 0;
    std::mutex writeMutex_;  // one writer at a time on the line

    std::thread thread_;
};
