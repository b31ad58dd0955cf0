// CRC-32 as IEEE 802.3, zlib and gzip compute it (reflected polynomial 0xEDB88320, initial value
// and final XOR 0xFFFFFFFF). Our own few lines, so relaycfg needs no compression library.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC of size bytes; crc continues an earlier result (0 to start).
uint32_t Crc32(const uint8_t *bytes, std::size_t size, uint32_t crc = 0);
