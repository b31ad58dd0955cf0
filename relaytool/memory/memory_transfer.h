// Block transfers between the repeater's memory and InfoBlock / ConfigImage, in mails of at most
// eight data bytes. Each transfer opens the port of PortSettings, runs the mails and closes the
// port again before it returns (a failed open is not closed).
//
// Result codes: 0 success, 1 to 7 the mail layer's error codes, 8 the port could not be opened.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Identification memory (selector 0xFF) into InfoBlock[address ...].
int8_t ReadInfoBlock(uint16_t address, uint8_t count);
// Configuration memory (selector 0x00) into ConfigImage[address ...].
int8_t ReadConfigImage(uint16_t address, uint8_t count);
// ConfigImage[address ...] into the configuration memory; no reply, an EEPROM pause per mail.
int8_t WriteConfigImage(uint16_t address, uint8_t count);

// Progress of a transfer, for front ends that show it (a mail counter).
enum class TransferArea { InfoBlockRead, ConfigImageRead, ConfigImageWrite };

struct TransferProgress {
    TransferArea area = TransferArea::InfoBlockRead;
    unsigned mailsDone = 0;   // mails that succeeded so far
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

// The text behind "An error occured while ...: ": a fixed text for 1 to 8, else the code itself
// in decimal ("0", "9", "-56").
std::string TransferErrorText(int8_t code);
