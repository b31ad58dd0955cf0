// Block transfers between the repeater's memory and InfoBlock / ConfigImage, in mails of at most
// eight data bytes. Each transfer opens the port of PortSettings, runs the mails and closes the
// port again before it returns (a failed open is not closed).
//
// Result codes: 0 success, 1 to 7 the mail layer's error codes, 8 the port could not be opened.
#pragma once

#include <cstdint>
#include <string>

// Identification memory (selector 0xFF) into InfoBlock[address ...].
int8_t ReadInfoBlock(uint16_t address, uint8_t count);
// Configuration memory (selector 0x00) into ConfigImage[address ...].
int8_t ReadConfigImage(uint16_t address, uint8_t count);
// ConfigImage[address ...] into the configuration memory; no reply, an EEPROM pause per mail.
int8_t WriteConfigImage(uint16_t address, uint8_t count);

// The text behind "An error occured while ...: ": a fixed text for 1 to 8, else the code itself
// in decimal ("0", "9", "-56").
std::string TransferErrorText(int8_t code);
