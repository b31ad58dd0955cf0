// Block transfers between the repeater's memory and InfoBlock / ConfigImage, in mails of at most
// eight data bytes. Each transfer opens the port of PortSettings, runs the mails and closes the
// port again before it returns (a failed open is not closed).
//
// Result codes: 0 success, 1 to 7 the mail layer's error codes, 8 the port could not be opened.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

// Identification memory (selector 0xFF) into InfoBlock[address ...].
int8_t ReadInfoBlock(uint16_t address, uint8_t count);
// Configuration memory (selector 0x00) into ConfigImage[address ...].
int8_t ReadConfigImage(uint16_t address, uint8_t count);
// Configuration memory into buffer[address ...], a scratch copy (ConfigImage is not touched); the
// same mails as ReadConfigImage. The buffer holds at least address + count bytes.
int8_t ReadConfigImageInto(uint8_t *buffer, uint16_t address, uint8_t count);
// ConfigImage[address ...] into the configuration memory; no reply, an EEPROM pause per mail.
int8_t WriteConfigImage(uint16_t address, uint8_t count);

// A mail that fails with a damaged byte (checksum 2, length 3, acknowledge 4, or a damaged echo
// 6) is sent once more after SmInit and the transfer's settings again, a write mail after the
// EEPROM pause; a second failure ends the transfer. A silent line (1, 5, an echo that never came
// back) is not waited out twice. See memory_transfer.cpp for how the two kinds of 6 are told apart.

// Progress of a transfer, for front ends that show it (a mail counter).
enum class TransferArea { InfoBlockRead, ConfigImageRead, ConfigImageWrite };

struct TransferProgress {
    TransferArea area = TransferArea::InfoBlockRead;
    unsigned mailsDone = 0;   // mails that succeeded so far
    unsigned mailsRetried = 0;  // mails sent a second time after a damaged byte
    unsigned mailsTotal = 0;  // mails the whole transfer needs
    bool finished = false;    // the transfer has ended; its port is closed (or never opened)
    int8_t result = 0;        // the transfer's result code, once finished
};

using TransferProgressHook = std::function<void(const TransferProgress &)>;

// Installs the observer of every transfer (an empty function removes it). It is called once
// before the port is opened (mailsDone 0), after every mail that succeeded, and once when the
// transfer has ended. A transfer of count 0 reports nothing. The hook runs between mails and must
// not call the transfers or Maillink; it does not change what goes on the line.
void SetTransferProgressHook(TransferProgressHook hook);

// The clock of the transfers: it times a failed mail (to tell a damaged echo from a silent line)
// and makes the pause before a retry. Tests that run Maillink on a simulated line with virtual
// time install theirs; an empty member keeps the real one (steady clock, sleeping thread).
struct TransferClock {
    std::function<std::chrono::steady_clock::time_point()> now;
    std::function<void(std::chrono::milliseconds)> pause;
};
void SetTransferClock(TransferClock clock);

// The result code of a transfer whose port could not be opened (1 to 7 are the mail layer's).
inline constexpr int8_t kOpenFailedCode = 8;

// The text behind kReadFailureText or kWriteFailureText: a fixed text for 1 to 8, else the code
// itself in decimal ("0", "9", "-56").
std::string TransferErrorText(int8_t code);

// What every front end shows: a failed Load (and a failed read), a failed Save (its
// identification read included) and a device that is not a supported repeater.
inline constexpr const char *kReadFailureText = "An error occured while reading from target: ";
inline constexpr const char *kWriteFailureText = "An error occured while writing to target: ";
inline constexpr const char *kUnsupportedDeviceText = "Unsupported repeater device";
