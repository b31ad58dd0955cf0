// The atomic file writer that the settings file and relaycfg share.
#include "atomic_file.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

namespace {

using testsupport::TempFolder;

unsigned ModeOf(const std::string &path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

TEST(AtomicFile, WritesWholeFilesAndKeepsWhatLiesThere) {
    struct Case {
        const char *name;
        std::function<void(const TempFolder &)> prepare;  // makes "target" (and what it needs)
        AtomicWrite how;
        bool ok;
        const char *content;  // of "real" when a link points there, else of "target" afterwards
        unsigned mode;        // of the written file; 0: not checked
    };
    const auto existing = [](unsigned mode) {
        return [mode](const TempFolder &f) {
            WriteFile(f.File("target"), "old");
            ::chmod(f.File("target").c_str(), mode);
        };
    };
    const Case cases[] = {
        {"new file, private", [](const TempFolder &) {}, {0600}, true, "new", 0600},
        {"existing file keeps its permissions", existing(0640), {0600}, true, "new", 0640},
        {"read-only file is never replaced", existing(0444), {}, false, "old", 0444},
        {"a link is written through",
         [](const TempFolder &f) {
             WriteFile(f.File("real"), "old");
             ::symlink(f.File("real").c_str(), f.File("target").c_str());
         },
         {}, true, "new", 0},
        {"a folder is no file", [](const TempFolder &f) { std::filesystem::create_directory(f.File("target")); }, {},
         false, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        c.prepare(folder);
        const std::string target = folder.File("target");
        const WriteResult result = WriteFileAtomically(target, "new", c.how);
        EXPECT_EQ(result.ok, c.ok) << result.error;
        EXPECT_EQ(result.error.empty(), c.ok);
        const bool link = std::filesystem::is_symlink(target);
        EXPECT_EQ(ReadFileOrEmpty(link ? folder.File("real") : target), c.content);
        if (c.mode != 0) {
            EXPECT_EQ(ModeOf(target), c.mode);
        }
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator(folder.Path())) ++entries;
        EXPECT_EQ(entries, link ? 2u : 1u) << "no temporary file left behind";
    }
}

TEST(AtomicFile, ReadsWholeRegularFilesOnly) {
    const TempFolder folder;
    std::string content, error;
    EXPECT_EQ(ReadWholeFile(folder.File("missing"), content, error), FileRead::Missing);
    WriteFile(folder.File("file"), std::string(5000, 'x'));
    EXPECT_EQ(ReadWholeFile(folder.File("file"), content, error), FileRead::Read);
    EXPECT_EQ(content.size(), 5000u);
    EXPECT_EQ(ReadWholeFile(folder.File("file"), content, error, 4096), FileRead::Failed);
    ASSERT_EQ(::mkfifo(folder.File("pipe").c_str(), 0600), 0);
    EXPECT_EQ(ReadWholeFile(folder.File("pipe"), content, error), FileRead::Failed) << "and does not block";
    EXPECT_EQ(ReadWholeFile(folder.Path(), content, error), FileRead::Failed);
}

}  // namespace
