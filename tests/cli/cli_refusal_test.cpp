// What relaycfg refuses before anything reaches the line or a file of the user's is replaced: an
// existing FILE for a backup (unless --force), a plan log that cannot be opened, a FILE that is a
// device, a plan too large or nested too deeply; and the automatic backup's exclusive names.
#include <unistd.h>

#include "backup_folder.h"
#include "cli_fixture.h"
#include "exit_codes.h"
#include "test_files.h"

namespace {

const char kPlan[] =
    "[base]\nname = \"Base\"\nrfpi = \"02 5A 3C 81 43\"\n"
    "[[repeater]]\nname = \"Hall A\"\nparent = \"Base\"\nrpn = 5\n";

using CliRefusal = CliTest;

TEST_F(CliRefusal, NothingIsSentAndNoFileReplaced) {
    const std::string earlier = files_.File("earlier.txt");
    const std::string earlierText = "relaycfg-backup 1\n# another unit's backup\n";
    WriteFile(earlier, earlierText);
    const std::string plan = files_.File("site.toml");
    WriteFile(plan, kPlan);
    const std::string big = files_.File("big.toml");
    WriteFile(big, kPlan + std::string(64 * 1024, '#'));
    // 30,000 levels, under 64 KiB: the TOML reader would run out of stack on it.
    std::string header = "[";
    for (int i = 0; i < 30000; ++i) header += "a.";
    const std::string deep = files_.File("deep.toml");
    WriteFile(deep, std::string(kPlan) + header + "a]\n");

    struct Case {
        const char *name;
        std::vector<std::string> args;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"backup onto an existing file", {"backup", "--port", "COM1", earlier}, kExitFile,
         "relaycfg: " + earlier + " exists already; give --force to replace it.\n"
                                  "Nothing was read or written.\n"},
        {"a plan log that cannot be opened",
         {"plan", "apply", plan, "--port", "COM1", "--repeater", "Hall A", "--log",
          files_.File("no/such/folder/site.csv")},
         kExitFile, "Cannot write the log: " + files_.File("no/such/folder/site.csv") + ": "},
        {"a device as the backup FILE", {"restore", "--port", "COM1", "/dev/null"}, kExitFile,
         "Cannot read the backup: /dev/null: not a regular file\n"},
        {"a device as the plan", {"plan", "apply", "/dev/null", "--port", "COM1", "--all"}, kExitFile,
         "Cannot read the plan: /dev/null: not a regular file\n"},
        {"a plan larger than 64 KiB", {"plan", "apply", big, "--port", "COM1", "--all"}, kExitFile,
         big + ":1:1: the plan is larger than 64 KiB"},
        {"a table header 30,000 levels deep", {"plan", "check", deep}, kExitFile,
         deep + ":8:18: keys or tables nested more than 8 levels deep"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        sim_.SetFault({});  // restarts the mail count
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.code, c.code);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(sim_.MailCount(), 0u) << "nothing reaches the line";
    }
    EXPECT_EQ(ReadFileOrEmpty(earlier), earlierText);
    EXPECT_TRUE(AutomaticBackups().empty());
    EXPECT_FALSE(std::filesystem::exists(files_.File("no")));

    // --force replaces it.
    const CliRun forced = Run({"backup", "--port", "COM1", earlier, "--force", "--quiet"});
    ASSERT_EQ(forced.code, kExitOk) << forced.err;
    EXPECT_TRUE(ParseBackup(ReadFileOrEmpty(earlier)).ok);
}

TEST_F(CliRefusal, AnAutomaticBackupTakesANewNameAndFollowsNoLink) {
    RepeaterMemory memory;
    memory.info[18] = 'a';
    const std::time_t when = 1700000000;
    std::string first, second, error;
    ASSERT_TRUE(SaveAutomaticBackup(memory, "COM1", "COM1", when, first, error)) << error;
    // The next name is taken by a link to nowhere: an exclusive create neither writes through it
    // nor replaces it.
    const std::string taken = first.substr(0, first.size() - 4) + "-2.txt";
    const std::string target = files_.File("not-to-be-made.txt");
    ASSERT_EQ(::symlink(target.c_str(), taken.c_str()), 0);
    memory.image[0] = 0x42;
    ASSERT_TRUE(SaveAutomaticBackup(memory, "COM1", "COM1", when, second, error)) << error;
    EXPECT_EQ(second, first.substr(0, first.size() - 4) + "-3.txt");
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(ParseBackup(ReadFileOrEmpty(first)).memory.image[0], 0x00) << "the first stays as it was";
    EXPECT_EQ(ParseBackup(ReadFileOrEmpty(second)).memory.image[0], 0x42);
}

}  // namespace
