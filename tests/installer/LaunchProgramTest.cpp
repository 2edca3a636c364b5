// The program launcher against real processes: the probe of the end-to-end tests, copied into a
// folder whose path holds a blank, exits with the code written beside it.
#include <gtest/gtest.h>

#include <string>

#include "driver/LaunchProgram.h"
#include "tests/files/FilesTestSupport.h"

namespace {

std::string WindowsPath(std::string unixPath) {
    for (char& c : unixPath)
        if (c == '/') c = '\\';
    return "Z:" + unixPath;
}

class LaunchProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = scratch_ / "Jean Dupont";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        program_ = folder_ + "\\AutoInst_check.exe";
        ASSERT_TRUE(CopyFileA(WindowsPath(SFX_PROBE_PATH).c_str(), program_.c_str(), FALSE));
    }
    void ExitWith(unsigned long code) { PutFile(folder_ + "\\exitcode.txt", std::to_string(code)); }

    ScratchFolder scratch_;
    std::string folder_;
    std::string program_;
};

TEST_F(LaunchProgramTest, WaitGivesTheExitCodeItself) {
    // 259 is what a running process answers to an exit-code query: the wait must not take it
    // for "still running". 0 and 1 are the sequence's stop and go.
    for (unsigned long code : {0ul, 1ul, 259ul, 0xC0000005ul}) {
        ExitWith(code);
        EXPECT_EQ(code, LaunchProgram(program_.c_str(), nullptr, 1)) << code;
    }
}

TEST_F(LaunchProgramTest, WithoutWaitOneOnceStarted) {
    ExitWith(0);
    EXPECT_EQ(1ul, LaunchProgram(program_.c_str(), nullptr, 0));
}

TEST_F(LaunchProgramTest, MissingProgramReportedOnProcessChannel) {
    LogCapture process(kLogProcess);
    LogCapture all(kLogAll);
    EXPECT_EQ(0ul, LaunchProgram((folder_ + "\\absent.exe").c_str(), nullptr, 1));
    ASSERT_EQ(1u, process.texts.size());
    EXPECT_EQ("Erreur CreateProcess 2", process.texts[0]);
    EXPECT_EQ(process.texts, all.texts);
}

TEST_F(LaunchProgramTest, TooLongPathNotCutIntoAnother) {
    // Cut to fit a buffer, this path would start the program itself.
    LogCapture process(kLogProcess);
    std::string longPath = program_ + std::string(900, 'x');
    int started = 1;
    EXPECT_EQ(0ul, LaunchProgram(longPath.c_str(), nullptr, 1, &started));
    EXPECT_EQ(0, started);
    ASSERT_EQ(1u, process.texts.size());
    EXPECT_EQ(0u, process.texts[0].find("Erreur CreateProcess "));
}

// Windows refuses CreateProcess with error 740 for a program whose manifest asks for more rights;
// Wine never does, so the refusal is played here.
BOOL WINAPI RefuseForElevation(LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                               DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION) {
    SetLastError(740);
    return FALSE;
}

// The consent would be asked for a program in a folder the user's unelevated processes can
// write, which could swap it first: refused as any other start that failed.
TEST_F(LaunchProgramTest, ElevationIsNeverAskedFor) {
    LaunchCalls saved = g_LaunchCalls;
    g_LaunchCalls.createProcess = RefuseForElevation;
    LogCapture process(kLogProcess);
    int started = 1;
    EXPECT_EQ(0ul, LaunchProgram(program_.c_str(), nullptr, 1, &started));
    g_LaunchCalls = saved;
    EXPECT_EQ(0, started);
    EXPECT_EQ(std::vector<std::string>{"Erreur CreateProcess 740"}, process.texts);
}

} // namespace
