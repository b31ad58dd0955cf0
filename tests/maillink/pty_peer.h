// The device end of a pseudo-terminal, scripted by a test: it records every byte the library
// sends, echoes it (or not, or changed), and answers complete frames with whatever the test's
// handler returns (acknowledge bytes, replies of any shape, silence, a hang-up).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

    PtyPeer();   // opens the pair and starts serving; throws std::runtime_error on failure
    ~PtyPeer();  // stops serving and closes both ends
    PtyPeer(const PtyPeer &) = delete;
    PtyPeer &operator=(const PtyPeer &) = delete;

    const std::string &DevicePath() const { return devicePath_; }
    // Publishes the device as <dir>/COM<n> (a symlink).
    void Publish(const std::string &dir, unsigned comNumber) const;
    // A descriptor of the device side that the peer keeps open (its settings are the line's).
    int DeviceFd() const { return deviceFd_; }

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
    void CloseLine();

    int masterFd_ = -1;
    int deviceFd_ = -1;
    std::string devicePath_;

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
    std::mutex writeMutex_;  // one writer at a time on the master side

    std::thread thread_;
};
