// The paths and command lines the install sequence starts programs with: whole or refused.
#include <gtest/gtest.h>

#include <string>

#include "driver/InstallCommand.h"

namespace {

struct JoinRow {
    const char* description;
    std::string folder;
    std::string name;
    int capacity;
    std::string expected; // empty: refused
};

TEST(InstallCommand, JoinFolderFile) {
    const std::string longFolder(kFolderPathCapacity - 1, 'f');
    const std::string longName(kProgramNameCapacity - 1, 'n');
    const JoinRow rows[] = {
        {"backslash added", "C:\\T\\tmp_qor", "AutoInst_a.exe", 64,
         "C:\\T\\tmp_qor\\AutoInst_a.exe"},
        {"folder already ends in one", "C:\\T\\tmp_qor\\", "install.exe", 64,
         "C:\\T\\tmp_qor\\install.exe"},
        {"exact fit", "C:", "ab", 6, "C:\\ab"},
        {"one byte short", "C:", "abc", 6, ""},
        {"longest folder and longest name", longFolder, longName, kProgramPathCapacity,
         longFolder + "\\" + longName},
    };
    for (const JoinRow& row : rows) {
        char out[kProgramPathCapacity];
        std::fill(std::begin(out), std::end(out), 'x');
        int result = JoinFolderFile(row.folder.c_str(), row.name.c_str(), out, row.capacity);
        EXPECT_EQ(row.expected.empty() ? 0 : 1, result) << row.description;
        EXPECT_EQ(row.expected, out) << row.description;
    }
}

TEST(InstallCommand, QuotesPathAndKeepsArgumentsWhole) {
    char out[kProgramPathCapacity + 16];
    ASSERT_EQ(1, QuoteCommand("C:\\Users\\Jean Dupont\\Temp\\tmp_qor\\install.exe", "-s", out,
                              sizeof out));
    EXPECT_STREQ("\"C:\\Users\\Jean Dupont\\Temp\\tmp_qor\\install.exe\" -s", out);

    ASSERT_EQ(1, QuoteCommand("C:\\T\\install.exe", "", out, sizeof out));
    EXPECT_STREQ("\"C:\\T\\install.exe\"", out) << "no trailing blank without arguments";
    ASSERT_EQ(1, QuoteCommand("C:\\T\\AutoInst_a.exe", nullptr, out, sizeof out));
    EXPECT_STREQ("\"C:\\T\\AutoInst_a.exe\"", out);
}

TEST(InstallCommand, LongestPathAndCommandLineFitOneMoreIsRefused) {
    // The longest folder path, "install.exe" and a long command line fit.
    char program[kProgramPathCapacity];
    ASSERT_EQ(1, JoinFolderFile(std::string(kFolderPathCapacity - 1, 'p').c_str(), "install.exe",
                                program, sizeof program));
    const std::string line(2000, 'a');
    char out[kProgramPathCapacity + 3 + 2001];
    ASSERT_EQ(1, QuoteCommand(program, line.c_str(), out, sizeof out));
    EXPECT_EQ('"' + std::string(program) + "\" " + line, out);

    // A buffer one byte short refuses instead of cutting the command line.
    const int needed = static_cast<int>(std::string(out).size()) + 1;
    std::fill(std::begin(out), std::end(out), 'x');
    EXPECT_EQ(0, QuoteCommand(program, line.c_str(), out, needed - 1));
    EXPECT_STREQ("", out);
}

TEST(InstallCommand, ArgumentsAfterTheProgramName) {
    const struct {
        const char* line;
        const char* arguments;
    } rows[] = {
        {"\"C:\\Jean Dupont\\setup.exe\" -s auto=1", "-s auto=1"},
        {"setup.exe\t  /x  y ", "/x  y "},
        {"setup.exe", ""},
        {"\"C:\\a b\\\"setup.exe z", "z"},
        {"\"unclosed quote -s", ""},
        {"", ""},
    };
    for (const auto& row : rows)
        EXPECT_STREQ(row.arguments, SkipProgramName(row.line)) << row.line;
}

TEST(InstallCommand, AutoOnlyInTheFirst255Characters) {
    EXPECT_EQ(1, AutoConfirms("/x auto=10"));
    EXPECT_EQ(0, AutoConfirms("AUTO=1"));
    EXPECT_EQ(0, AutoConfirms(nullptr));
    EXPECT_EQ(1, AutoConfirms((std::string(249, ' ') + "auto=1").c_str()));
    EXPECT_EQ(0, AutoConfirms((std::string(250, ' ') + "auto=1").c_str()));
    // Characters, not bytes: Cyrillic takes two bytes, a character past U+FFFF two units.
    std::string cyrillic;
    for (int i = 0; i < 249; ++i)
        cyrillic += "\u0416";
    EXPECT_EQ(1, AutoConfirms((cyrillic + "auto=1").c_str()));
    EXPECT_EQ(0, AutoConfirms((cyrillic + "\u0416auto=1").c_str()));
    EXPECT_EQ(0, AutoConfirms((std::string(246, ' ') + "\U0001F600\U0001F600auto=1").c_str()));
    EXPECT_EQ(1, AutoConfirms((std::string(247, ' ') + "\U0001F600auto=1").c_str()));
}

TEST(InstallCommand, LogPathAnywhereToABlankOrQuoted) {
    const struct {
        const char* line;
        const char* path; // "" for no log
    } rows[] = {
        {"-s log=C:\\Temp\\setup.log auto=1", "C:\\Temp\\setup.log"},
        {"log=a.log", "a.log"},
        {"auto=1\tlog=b.log\t-s", "b.log"},
        {"log=\"C:\\Mes journaux\\s.log\" -s", "C:\\Mes journaux\\s.log"},
        {"catalog=x.log", ""},          // not a word of its own
        {"LOG=x.log", ""},              // letter case counts, as for auto=1
        {"log= -s", ""},                // empty
        {"log=\"\"", ""},               // empty between quotes
        {"log=\"C:\\unclosed.log", ""}, // the end of the line is no closing quote
        {"x log", ""},                  // the line ends inside the key
        {"log=first.log log=second.log", "first.log"},
        {"", ""},
    };
    for (const auto& row : rows) {
        char path[64];
        std::fill(std::begin(path), std::end(path), 'x');
        EXPECT_EQ(row.path[0] ? 1 : 0, FindLogPath(row.line, path, sizeof path)) << row.line;
        EXPECT_STREQ(row.path, path) << row.line;
    }
    // A path that does not fit is no log: cut, it would name another file.
    char small[6];
    EXPECT_EQ(1, FindLogPath("log=a.log", small, sizeof small));
    EXPECT_EQ(0, FindLogPath("log=ab.log", small, sizeof small));
    EXPECT_STREQ("", small);
    EXPECT_EQ(0, FindLogPath(nullptr, small, sizeof small));
}

} // namespace
