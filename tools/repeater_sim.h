// A simulated repeater on a pseudo-terminal, for tests, benchmarks and the demo; or on an
// existing terminal device (Options::attachDevice), such as the host side of a virtual machine's
// serial line.
//
// It plays the device end of the serial line from the wire format alone: it echoes every byte
// (the line's local echo), parses mail frames (FF FF, start byte 0x4D or 0x41, type, L, L payload
// bytes, checksum = sum of the payload), acknowledges with 0x61 in acknowledge mode (start byte
// 0x41), answers memory read mails (command 0x3C) with a 13-byte reply from the identification
// memory (selector 0xFF) or the configuration memory (selector 0x00), and applies memory write
// mails (command 0x3B). A frame with a bad checksum is ignored after its echo.
//
// The simulator runs on a thread of its own; every method may be called from any thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace repeatersim {

constexpr std::size_t kInfoSize = 32;
constexpr std::size_t kConfigSize = 256;  // the program uses the first 80 bytes

enum class Fault {
    None,
    NoEcho,           // the frame's bytes, from its preamble on, are not echoed (nor answered)
    CorruptEcho,      // one echo byte (the value'th byte of the frame, 0-based) comes back changed
    Silence,          // echo, but no acknowledge and no reply
    BadChecksum,      // the reply's checksum byte is wrong
    ReplyLength,      // the reply's length byte is `value`, and value + 5 bytes are sent
    WrongDeviceType,  // identification byte 18 reads as `value` (default 0x62) instead of its own
    HangUp,           // the line goes dead as the mail's last byte arrives, before its echo
                      // (the pseudo-terminal is closed, as by HangUp())
    IgnoreWrite,      // a write mail is echoed but not applied (busy or write-protected memory);
                      // read mails are served as usual
};

struct FaultPlan {
    Fault kind = Fault::None;
    // Which mail the fault hits: 1 for the first complete frame counted since Start() or the last
    // SetFault(), 2 for the second, ...; 0 for every mail.
    unsigned atMail = 0;
    uint8_t value = 0;
};

struct Options {
    bool pace = false;            // a 9600-baud line: each byte in or out takes 10 bit times
    unsigned echoLatencyMs = 0;   // extra delay of every byte sent to the host (USB latency timer)
    unsigned eepromBusyMs = 150;  // after a write mail, further mails are echoed but not served
    std::string memoryFile;       // loaded at Start when it exists, saved after every write mail
    // Serve the line on this terminal device (opened raw) instead of a new pseudo-terminal pair.
    // The host is at the device's far end; there is nothing for it to open here, so such a
    // simulator is not published.
    std::string attachDevice;
    bool unplugged = false;       // start with no unit on the line (Simulator::Unplug)
};

// A realistic sample repeater: device type "a" in the identification block; a class-A parent
// RFPI, RPNs and switches in the configuration image.
std::array<uint8_t, kInfoSize> SampleInfoBlock();
std::vector<uint8_t> SampleConfigImage();  // kConfigSize bytes

class Simulator {
public:
    explicit Simulator(Options options = {});
    ~Simulator();  // stops the thread, closes the pseudo-terminal, removes published links
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Creates the pseudo-terminal (raw), or opens the attached device, and starts serving.
    // Throws std::runtime_error on failure.
    void Start();
    void Stop();

    // The slave side, which the host opens; the attached device itself when attached.
    std::string DevicePath() const;
    // Publishes the device as <dir>/COM<n> (a symlink, replacing an old one).
    void Publish(const std::string &dir, unsigned comNumber);

    std::array<uint8_t, kInfoSize> Info() const;
    void SetInfo(const std::array<uint8_t, kInfoSize> &info);
    std::vector<uint8_t> Config() const;  // kConfigSize bytes
    void SetConfig(const std::vector<uint8_t> &config);

    void SetFault(FaultPlan plan);  // also restarts the mail count
    // Adds one more plan beside those already set (several faults may hit the same mail); the
    // mail count goes on.
    void AddFault(FaultPlan plan);

    // Everything the host sent since Start() or ClearReceived(), in order.
    std::vector<uint8_t> Received() const;
    void ClearReceived();
    // Complete frames seen (well-formed or not).
    unsigned MailCount() const;
    // Waits until the device has nothing left to do: what the host sent is read and served, what
    // is due at the host is sent, and an EEPROM write has finished. false if that takes longer
    // than `limit`. For tests that would otherwise sleep through the EEPROM pause.
    bool WaitIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) const;

    // Replaces the device's answer to every complete frame (after its echo) by the bytes that the
    // function returns, given the frame's bytes. An empty function restores normal service.
    // While it is set, frames are not served otherwise (no acknowledge, no memory write). It runs
    // on the simulator's thread with the simulator locked: it must not call the simulator.
    void SetResponder(std::function<std::vector<uint8_t>(const std::vector<uint8_t> &frame)> f);
    // Sends bytes to the host now (after the configured latency).
    void Inject(const std::vector<uint8_t> &bytes);

    // Closes the line as an unplugged adapter would: the pseudo-terminal's master and the
    // simulator's own slave descriptor are closed, so the host's reads see a hang-up. Nothing is
    // served afterwards. Returns when the line is closed.
    void HangUp();
    bool IsHungUp() const;

    // The unit taken off the line, as when its cable is pulled out of a USB adapter that stays
    // in the computer: the port still opens, but what the host sends is neither echoed nor
    // answered (the host's reads fail with "No local echo"), until a unit is plugged in.
    void Unplug();
    // A new unit on the line: its memories as given, the frame parser and the mail count fresh,
    // the faults kept. No memory file is saved for it.
    void PlugIn(const std::array<uint8_t, kInfoSize> &info, const std::vector<uint8_t> &config);
    // The same with the memories of a memory file (the sample repeater when it does not exist),
    // which is then saved after every write mail in place of Options::memoryFile. Throws
    // std::runtime_error on a malformed file (and nothing changes).
    void PlugIn(const std::string &memoryFile);
    // The memory file written after every write mail: Options::memoryFile, or the last PlugIn's.
    std::string MemoryFile() const;

    // Memory file form: lines "info XX XX ..." and "config XX XX ..." (16 bytes a line, in order),
    // '#' comments. Throws std::runtime_error on an unreadable or malformed file.
    void LoadMemory(const std::string &path);
    void SaveMemory(const std::string &path) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace repeatersim
