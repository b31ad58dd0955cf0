// The backup file: a repeater's identification block and configuration image as readable text,
// as relaycfg's backups and the automatic backups of relaycfg and the window hold them.
//
//   relaycfg-backup 1
//   # comments ("#" to the end of a line is a comment everywhere)
//   port: COM1
//   saved: 2025-01-31T14:05:09+0100
//   info 00: 00 00 00 00 00 00 00 00
//   ...                                  (info 00 to 18: 32 bytes)
//   image 00: 00 00 03 00 00 82 00 00    # 02 repeater RPN, 05 HOP control ...
//   ...                                  (image 00 to 48: 80 bytes)
//   crc32: 1A2B3C4D
//
// Addresses and bytes are hexadecimal, eight bytes a line. crc32 is Crc32 of the 32 info bytes
// followed by the 80 image bytes. "port" and "saved" are for the reader only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "image_layout.h"

// CRC-32 as IEEE 802.3, zlib and gzip compute it (reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF): the backup's checksum. crc continues an earlier result (0 to start).
uint32_t Crc32(const uint8_t *bytes, std::size_t size, uint32_t crc = 0);

struct RepeaterMemory {
    std::array<uint8_t, layout::kInfoBlockSize> info{};
    std::array<uint8_t, layout::kImageSize> image{};
};

// The file's text. port and savedAt are written as they are.
std::string FormatBackup(const RepeaterMemory &memory, const std::string &port,
                         const std::string &savedAt);

// The "image AA: ..." lines of the file for an image alone, with their field names.
std::string FormatImageLines(const std::array<uint8_t, layout::kImageSize> &image);

struct BackupReading {
    bool ok = false;
    RepeaterMemory memory;
    std::string port;   // as the file says, for messages
    std::string savedAt;  // the "saved" line as the file says it, for messages
    std::string error;  // why the file was refused
};

// Accepts only a complete, undamaged backup of a supported repeater (device type "a"): the
// header line, every info and image line exactly once with eight bytes, nothing unknown, and a
// matching checksum. A leading UTF-8 byte order mark is skipped.
BackupReading ParseBackup(std::string_view text);
