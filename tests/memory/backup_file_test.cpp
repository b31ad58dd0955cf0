// The backup file on its own: the checksum, the round trip, and what a restore must refuse.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "backup_file.h"

namespace {

RepeaterMemory RandomMemory(std::mt19937 &random) {
    RepeaterMemory memory;
    for (uint8_t &b : memory.info) b = static_cast<uint8_t>(random());
    for (uint8_t &b : memory.image) b = static_cast<uint8_t>(random());
    memory.info[18] = 'a';
    return memory;
}

std::string Replace(std::string text, const std::string &from, const std::string &to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

TEST(BackupFile, Crc32MatchesTheStandardCheckValues) {
    const std::string check = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t *>(check.data()), check.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32(nullptr, 0), 0u);
    // Continuing over a split gives the CRC of the whole.
    const auto *bytes = reinterpret_cast<const uint8_t *>(check.data());
    EXPECT_EQ(Crc32(bytes + 4, 5, Crc32(bytes, 4)), 0xCBF43926u);
}

TEST(BackupFile, WhatIsWrittenReadsBackTheSame) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        const RepeaterMemory memory = RandomMemory(random);
        const BackupReading reading = ParseBackup(FormatBackup(memory, "COM4", "2025-01-31"));
        ASSERT_TRUE(reading.ok) << reading.error;
        EXPECT_EQ(reading.memory.info, memory.info);
        EXPECT_EQ(reading.memory.image, memory.image);
        EXPECT_EQ(reading.port, "COM4");
    }
}

TEST(BackupFile, NamesTheFieldsBesideTheirBytes) {
    RepeaterMemory memory;
    memory.info[18] = 'a';
    memory.image[67] = 0xA8;
    const std::string text = FormatBackup(memory, "COM1", "now");
    EXPECT_NE(text.find("info 10: 00 00 61 00 00 00 00 00  # 12 device type"), std::string::npos);
    EXPECT_NE(text.find("image 40: 00 00 00 A8 00 00 00 00  # 43 always A8, 44-47 parent RFPI\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("image 10: 00 00 00 00 00 00 00 00  # 11 monitor beep (bit 7), 16-17 "
                        "cleared before every save\n"),
              std::string::npos);
}

TEST(BackupFile, ToleratesWhatEditorsDoToText) {
    std::mt19937 random(11);
    const RepeaterMemory memory = RandomMemory(random);
    std::string text = FormatBackup(memory, "COM2", "then");
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    // Windows line ends, lower-case hex, extra blanks and comments, lines in another order, a
    // byte order mark.
    std::string lower = crlf;
    for (char &c : lower)
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
    const std::size_t info = lower.find("info 00:");
    const std::size_t infoEnd = lower.find("\r\n", info) + 2;
    std::string moved = lower;
    moved.erase(info, infoEnd - info);
    moved += "   " + lower.substr(info, infoEnd - info - 2) + "   # moved\r\n\r\n";
    // A byte order mark, as an editor that marks UTF-8 text may save it.
    const std::string marked = "\xEF\xBB\xBF" + crlf;
    for (const std::string &variant : {crlf, lower, moved, marked}) {
        const BackupReading reading = ParseBackup(variant);
        ASSERT_TRUE(reading.ok) << reading.error;
        EXPECT_EQ(reading.memory.image, memory.image);
    }
}

TEST(BackupFile, RefusesDamagedAndForeignFiles) {
    RepeaterMemory memory;
    memory.info[18] = 'a';
    memory.image[5] = 0x82;
    const std::string good = FormatBackup(memory, "COM1", "now");
    RepeaterMemory other = memory;
    other.info[18] = 'b';

    struct Case {
        const char *name;
        std::string text;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", "", "the file is empty"},
        {"comments only", "# nothing\n\n", "the file is empty"},
        {"foreign", "[Com settings]\nPort=1\n", "line 1: not a relaycfg backup file"},
        {"newer format", Replace(good, "relaycfg-backup 1", "relaycfg-backup 2"),
         "backup format version 2 is not supported"},
        {"changed byte", Replace(good, "image 00: 00 00 00 00 00 82", "image 00: 00 00 00 00 00 02"),
         "checksum mismatch"},
        {"changed checksum", Replace(good, "crc32: ", "crc32: 0"), "eight hex digits"},
        {"no checksum", Replace(good, "crc32: ", "# crc32: "), "the crc32 line is missing"},
        {"two checksums", good + good.substr(good.find("crc32: ")), "a second crc32 line"},
        {"missing line", Replace(good, "image 38:", "# image 38:"), "the line image 38 is missing"},
        {"missing info", Replace(good, "info 08:", "# info 08:"), "the line info 08 is missing"},
        {"twice", good + "image 00: 00 00 00 00 00 82 00 00\n", "image 00 twice"},
        {"short line", Replace(good, "image 08: 00 00", "image 08: 00"), "must hold eight bytes"},
        {"bad address", Replace(good, "image 08:", "image 09:"), "no image line has the address 09:"},
        {"beyond the image", good + "image 50: 00 00 00 00 00 00 00 00\n", "address 50:"},
        {"not hex", Replace(good, "image 08: 00", "image 08: 0G"), "\"0G\" is not a hex byte"},
        {"unknown line", Replace(good, "port: ", "baud: 9600\nport: "), "unexpected \"baud:\""},
        {"unsupported device", FormatBackup(other, "COM1", "now"),
         "not the backup of a supported repeater (device type 62)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const BackupReading reading = ParseBackup(c.text);
        EXPECT_FALSE(reading.ok);
        EXPECT_NE(reading.error.find(c.reason), std::string::npos) << reading.error;
    }
}

}  // namespace
