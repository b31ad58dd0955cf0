// The exception display's caption and text rules.
#include "display_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(ExceptionDisplay, TitleIsTheFileNameUpToItsFirstDot) {
    const std::pair<const char *, const char *> cases[] = {
        {"/usr/bin/relaytool", "relaytool"},  // the first letter stays as it is
        {"relaytool", "relaytool"},
        {"C:\\Tools\\RELAYTOOL.EXE", "Relaytool"},
        {"C:relaytool.exe", "relaytool"},
        {"/opt/x.y/RelayTool.v2.exe", "Relaytool"},
        {"/home/u/mY.tool", "my"},
        {"/bin/.hidden", ""},
        {"", ""},
    };
    for (const auto &[path, title] : cases) EXPECT_EQ(ApplicationTitleFor(path), title) << path;
}

TEST(ExceptionDisplay, FullStopAppendedOnlyAfterCharactersAboveIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"Unable to write to /x/relaytool.ini", "Unable to write to /x/relaytool.ini."},
        {"Done.", "Done."},
        {"Really?", "Really?."},     // "?" is above "."
        {"Ends in /", "Ends in /."},  // 0x2F
        {"Ends in -", "Ends in -"},   // 0x2D
        {"Ends in !", "Ends in !"},   // 0x21
        {"trailing blank ", "trailing blank "},
        {"caf\xE9", "caf\xE9."},      // a byte above 0x7F counts as above, unsigned
        {"\xC3\xA9", "\xC3\xA9."},
    };
    for (const auto &[message, shown] : cases) EXPECT_EQ(WithClosingFullStop(message), shown) << message;
}

}  // namespace
