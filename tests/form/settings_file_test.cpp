// The settings file: its location, the profile reading and writing rules, and the file-level
// guarantees (other lines kept byte for byte, atomic replacement, failures reported).
#include "ini_text.h"
#include "posix_services.h"
#include "settings_paths.h"
#include "settings_rules.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

TEST(SettingsPath, ExtensionReplacedOrAppended) {
    const std::pair<const char *, const char *> cases[] = {
        {"/usr/bin/relaytool", "/usr/bin/relaytool.ini"},
        {"/opt/relay.d/relaytool", "/opt/relay.d/relaytool.ini"},  // a dot in a folder is no extension
        {"/opt/relaytool.exe", "/opt/relaytool.ini"},
        {"/opt/relay.tool.bin", "/opt/relay.tool.ini"},
        {"relaytool", "relaytool.ini"},
        {"/x/.relaytool", "/x/.ini"},
    };
    for (const auto &[exe, ini] : cases) EXPECT_EQ(SettingsPathFor(exe), ini) << exe;
}

TEST(ProfileInteger, DecimalAndHexForms) {
    struct Case {
        const char *text;
        int32_t value;
    };
    const Case cases[] = {
        {"3", 3},          {"+3", 3},          {"-3", -3},          {"007", 7},
        {"257", 257},      {"-255", -255},     {"0x3", 3},          {"0X1f", 31},
        {"$10", 16},       {"x10", 16},        {"X10", 16},         {"$FFFFFFFF", -1},
        {"$7fffffff", INT32_MAX},              {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        // Not integers: the default.
        {"", 99},          {"-", 99},          {"+", 99},           {"0x", 99},
        {"$", 99},         {"$123456789", 99}, {"2147483648", 99},  {"-2147483649", 99},
        {"3 ", 99},        {"3a", 99},         {"0x3g", 99},        {"-0x3", 99},
        {"1e3", 99},       {"COM3", 99},
    };
    for (const Case &c : cases) EXPECT_EQ(ParseProfileInteger(c.text, 99), c.value) << '"' << c.text << '"';
}

TEST(ProfileText, ValuesFoundWithoutRegardToCase) {
    struct Case {
        const char *content;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"[Com settings]\nPort=3\n", "3"},
        {"[COM SETTINGS]\nport=4\n", "4"},
        {"  [ com Settings ]  \r\n  PORT  =  5  \r\n", "5"},
        {"\xEF\xBB\xBF[Com settings]\nPort=6", "6"},
        {"[Com settings]\nPort=\"7\"\n", "7"},
        {"[Com settings]\nPort=\n", ""},
        {"[Other]\nPort=1\n[Com settings]\nBaud=9600\nPort=2\n", "2"},
        {"[Com settings]\nPort=1\n[Com settings]\nPort=2\n", "1"},
        {"[Com settings]\n;Port=1\nPorts=2\n", std::nullopt},
        {"Port=1\n[Com settings]\n", std::nullopt},
        {"[Other]\nPort=1\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.content);
        EXPECT_EQ(ProfileValue(c.content, "Com settings", "Port"), c.value);
    }
}

TEST(ProfileText, WritingChangesOnlyThePortValue) {
    struct Case {
        const char *before;
        const char *after;
    };
    const Case cases[] = {
        {"", "[Com settings]\nPort=5\n"},
        {"[Com settings]\nPort=3\n", "[Com settings]\nPort=5\n"},
        {"; comment\r\n[com settings]\r\n  port = 3 \r\nBaud=9600\r\n\r\n[Other]\r\nX=1\r\n",
         "; comment\r\n[com settings]\r\n  port = 5\r\nBaud=9600\r\n\r\n[Other]\r\nX=1\r\n"},
        {"[Com settings]\nBaud=9600\n\n[Other]\nPort=1\n", "[Com settings]\nBaud=9600\nPort=5\n\n[Other]\nPort=1\n"},
        {"[Com settings]", "[Com settings]\nPort=5"},
        {"[Other]\r\nX=1", "[Other]\r\nX=1\r\n[Com settings]\r\nPort=5\r\n"},
        {"junk without section\n", "junk without section\n[Com settings]\nPort=5\n"},
        {"[Com settings]\nPort=1\n[Com settings]\nPort=2\n", "[Com settings]\nPort=5\n[Com settings]\nPort=2\n"},
        // A last line that ends in a lone CR keeps its value without a CR.
        {"[Com settings]\r\nBaud=1\r", "[Com settings]\r\nBaud=1\r\nPort=5\r\n"},
        {"[Other]\r\nX=1\r", "[Other]\r\nX=1\r\n[Com settings]\r\nPort=5\r\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.before);
        const std::string after = WithProfileValue(c.before, "Com settings", "Port", "5");
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(ProfileValue(after, "Com settings", "Port"), "5") << "read back";
    }
}

class SettingsFile : public ::testing::Test {
protected:
    std::string Path() const { return folder.File("relaytool.ini"); }
    int32_t ReadPortSetting(const std::string &path) { return ::ReadPortSetting(system, path); }
    void WritePortSetting(const std::string &path, int32_t value) { ::WritePortSetting(system, path, value); }
    testsupport::TempFolder folder;
    PosixServices system{folder.File("relaytool")};
};

TEST_F(SettingsFile, MissingFileReadsOneAndIsCreatedByAWrite) {
    EXPECT_EQ(ReadPortSetting(Path()), 1);
    EXPECT_FALSE(FileExists(Path())) << "reading creates nothing";
    WritePortSetting(Path(), -12);
    EXPECT_EQ(ReadFileOrEmpty(Path()), "[Com settings]\nPort=-12\n");
    EXPECT_EQ(ReadPortSetting(Path()), -12);
}

TEST_F(SettingsFile, OtherSectionsKeysAndLinesKeptByteForByte) {
    const std::string before = "; Relaytool settings\r\n[Display]\r\nTheme = dark \r\n\r\n[COM SETTINGS]\r\n"
                               "PORT=3\r\nSpeed=9600\r\n\r\n[Last]\r\nPort=9\r\n";
    WriteFile(Path(), before);
    ::chmod(Path().c_str(), 0640);
    EXPECT_EQ(ReadPortSetting(Path()), 3);
    WritePortSetting(Path(), 7);
    std::string expected = before;
    expected.replace(expected.find("PORT=3"), 6, "PORT=7");
    EXPECT_EQ(ReadFileOrEmpty(Path()), expected);
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "the file keeps its permissions";
    // No temporary file is left beside it.
    int files = 0;
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(folder.Path())) ++files;
    EXPECT_EQ(files, 1);
}

TEST_F(SettingsFile, SymbolicLinkStaysALink) {
    const std::string real = folder.File("real.ini");
    WriteFile(real, "[Com settings]\nPort=2\n");
    ASSERT_EQ(::symlink(real.c_str(), Path().c_str()), 0);
    WritePortSetting(Path(), 4);
    EXPECT_TRUE(std::filesystem::is_symlink(Path()));
    EXPECT_EQ(ReadFileOrEmpty(real), "[Com settings]\nPort=4\n");
}

// Places a write cannot go, for root too: inside a regular file, in a folder that does not exist,
// and a settings path that is a folder.
TEST_F(SettingsFile, UnwritableLocationRaisesUnableToWrite) {
    WriteFile(folder.File("plain"), "x");
    std::filesystem::create_directory(folder.File("dir.ini"));
    const std::string paths[] = {folder.File("plain/relaytool.ini"), folder.File("missing/relaytool.ini"),
                                 folder.File("dir.ini")};
    for (const std::string &path : paths) {
        SCOPED_TRACE(path);
        try {
            WritePortSetting(path, 3);
            ADD_FAILURE() << "no error raised";
        } catch (const std::runtime_error &error) {
            EXPECT_EQ(std::string(error.what()), "Unable to write to " + path);
        }
        EXPECT_EQ(ReadPortSetting(path), 1);
    }
    EXPECT_EQ(ReadFileOrEmpty(folder.File("plain")), "x");
}

// A settings path that is a pipe is neither waited on nor replaced.
TEST_F(SettingsFile, PipeIsNeitherReadNorReplaced) {
    ASSERT_EQ(::mkfifo(Path().c_str(), 0600), 0);
    EXPECT_EQ(ReadPortSetting(Path()), 1);
    EXPECT_THROW(WritePortSetting(Path(), 5), std::runtime_error);
    struct stat info {};
    ASSERT_EQ(::lstat(Path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

// A read-only settings file in a writable folder: the write fails (a rename would replace it).
TEST_F(SettingsFile, ReadOnlyFileIsNeverReplaced) {
    WriteFile(Path(), "[Com settings]\nPort=2\n");
    ::chmod(Path().c_str(), 0444);
    EXPECT_EQ(system.SettingsWritePath(), Path());
    try {
        WritePortSetting(Path(), 5);
        ADD_FAILURE() << "no error raised";
    } catch (const std::runtime_error &error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write to " + Path());
    }
    EXPECT_EQ(ReadFileOrEmpty(Path()), "[Com settings]\nPort=2\n");
}

TEST_F(SettingsFile, LastLineEndingInALoneCarriageReturn) {
    WriteFile(Path(), "[Com settings]\r\nPort=3\r");
    EXPECT_EQ(ReadPortSetting(Path()), 3);
    WriteFile(Path(), "[Com settings]\r");
    WritePortSetting(Path(), 6);
    EXPECT_EQ(ReadPortSetting(Path()), 6) << ReadFileOrEmpty(Path());
}

TEST_F(SettingsFile, UnreadableFileIsNeverReplaced) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their permissions say";
    WriteFile(Path(), "[Com settings]\nPort=2\n[Keep]\nA=1\n");
    ::chmod(Path().c_str(), 0200);
    EXPECT_THROW(WritePortSetting(Path(), 5), std::runtime_error);
    ::chmod(Path().c_str(), 0600);
    EXPECT_EQ(ReadFileOrEmpty(Path()), "[Com settings]\nPort=2\n[Keep]\nA=1\n");
}

// Installed system-wide, the settings file moves to the user's configuration folder; a file that
// lies beside the executable keeps its place whenever it can be written, and is read first.
TEST(SettingsLocation, PlaceChosenFromWhatLiesWhere) {
    struct Case {
        const char *name;
        bool besideExists, besideWritable, folderWritable;
        const char *userPath;
        bool userExists;
        const char *read, *write;
    };
    const char *beside = "/usr/bin/relaytool.ini";
    const char *user = "/home/u/.config/relaytool/relaytool.ini";
    const Case cases[] = {
        {"writable folder", false, true, true, user, false, beside, beside},
        {"protected folder", false, false, false, user, false, beside, user},
        {"protected folder, user file", false, false, false, user, true, user, user},
        {"protected folder, no user folder", false, false, false, "", false, beside, beside},
        {"prepared writable file in a protected folder", true, true, false, user, true, beside, beside},
        {"prepared read-only file in a protected folder", true, false, false, user, false, beside, user},
        {"... once the user file exists", true, false, false, user, true, user, user},
        {"read-only file in a writable folder: never replaced", true, false, true, user, true, beside, beside},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const SettingsPlaces places = ChooseSettingsPlaces(
            {beside, c.besideExists, c.besideWritable, c.folderWritable, c.userPath, c.userExists});
        EXPECT_EQ(places.readPath, c.read);
        EXPECT_EQ(places.writePath, c.write);
    }
}

// Sets an environment variable for the life of the object (unset when value is nullptr).
class ScopedEnv {
public:
    ScopedEnv(const char *name, const char *value) : name_(name) {
        const char *old = std::getenv(name);
        if (old) old_ = old;
        hadOld_ = old != nullptr;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_) ::setenv(name_, old_.c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char *name_;
    std::string old_;
    bool hadOld_ = false;
};

TEST(SettingsLocation, UserConfigHomeFollowsTheXdgRules) {
    struct Case {
        const char *xdg;
        const char *home;
        const char *result;
    };
    const Case cases[] = {
        {"/x/cfg", "/home/u", "/x/cfg"},
        {"relative/cfg", "/home/u", "/home/u/.config"},
        {"", "/home/u", "/home/u/.config"},
        {nullptr, "/home/u", "/home/u/.config"},
        {nullptr, nullptr, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
        ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(UserConfigHome(), c.result);
    }
}

TEST(SettingsLocation, OnlyAnExistingFolderWithoutWriteAccessIsProtected) {
    testsupport::TempFolder folder;
    WriteFile(folder.File("plain"), "x");
    EXPECT_FALSE(IsProtectedFolder(folder.Path()));
    EXPECT_FALSE(IsProtectedFolder(folder.File("missing")));
    EXPECT_FALSE(IsProtectedFolder(folder.File("plain"))) << "no folder: the write fails by itself";
    if (::geteuid() != 0) {
        std::filesystem::create_directory(folder.File("locked"));
        ::chmod(folder.File("locked").c_str(), 0555);
        EXPECT_TRUE(IsProtectedFolder(folder.File("locked")));
        ::chmod(folder.File("locked").c_str(), 0755);
    }
}

TEST(SettingsLocation, UserFolderServesWhenTheProgramsOwnCannotBeWritten) {
    // /proc/self refuses new files, to root too on ordinary systems.
    if (!IsProtectedFolder("/proc/self")) GTEST_SKIP() << "/proc/self accepts writes here";
    testsupport::TempFolder config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.Path().c_str());
    PosixServices system("/proc/self/relaytool");
    const std::string path = system.SettingsWritePath();

    EXPECT_EQ(path, config.File("relaytool/relaytool.ini"));
    EXPECT_EQ(ReadPortSetting(system, system.SettingsReadPath()), 1);
    EXPECT_FALSE(FileExists(config.File("relaytool"))) << "no folder made by a run that writes nothing";
    WritePortSetting(system, path, 6);
    EXPECT_TRUE(std::filesystem::is_directory(config.File("relaytool"))) << "made for the write";
    EXPECT_EQ(system.SettingsReadPath(), path);
    EXPECT_EQ(ReadPortSetting(system, path), 6);
}

TEST(SettingsLocation, WritableFolderKeepsTheFileBesideTheExecutable) {
    testsupport::TempFolder folder, config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.Path().c_str());
    EXPECT_EQ(PosixServices(folder.File("relaytool")).SettingsWritePath(), folder.File("relaytool.ini"));
    // A folder that exists as a file is not redirected either: writing there reports the error.
    WriteFile(folder.File("notafolder"), "");
    EXPECT_EQ(PosixServices(folder.File("notafolder/relaytool")).SettingsWritePath(),
              folder.File("notafolder/relaytool.ini"));
    EXPECT_TRUE(std::filesystem::is_empty(config.Path())) << "nothing made in the user folder";
}

// A file beside the executable in a folder the user cannot write (prepared by an administrator)
// is read, and written when the file itself can be written; a read-only one is never replaced.
TEST(SettingsLocation, FileBesideAnExecutableInAProtectedFolder) {
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into every folder";
    testsupport::TempFolder folder, config;
    ScopedEnv xdg("XDG_CONFIG_HOME", config.Path().c_str());
    const std::string beside = folder.File("relaytool.ini");
    WriteFile(beside, "[Com settings]\nPort=3\n");
    ::chmod(folder.Path().c_str(), 0555);
    PosixServices system(folder.File("relaytool"));
    EXPECT_EQ(ReadPortSetting(system, system.SettingsReadPath()), 3);
    EXPECT_EQ(system.SettingsWritePath(), beside);
    WritePortSetting(system, system.SettingsWritePath(), 4);
    EXPECT_EQ(ReadFileOrEmpty(beside), "[Com settings]\nPort=4\n") << "written in place";

    ::chmod(beside.c_str(), 0444);
    EXPECT_EQ(system.SettingsWritePath(), config.File("relaytool/relaytool.ini"));
    WritePortSetting(system, system.SettingsWritePath(), 5);
    EXPECT_EQ(ReadPortSetting(system, system.SettingsReadPath()), 5) << "the user's file from now on";
    EXPECT_EQ(ReadFileOrEmpty(beside), "[Com settings]\nPort=4\n");
    ::chmod(folder.Path().c_str(), 0755);
}

}  // namespace
