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
BOOL WINAPI RefuseForElevation(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                               DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
    SetLastError(740);
    return FALSE;
}

SHELLEXECUTEINFOW g_shellSeen;
std::wstring g_shellParameters;

// What the shell does once the user consented: starts the program and hands over its process.
BOOL WINAPI ConsentGiven(SHELLEXECUTEINFOW* info) {
    g_shellSeen = *info;
    g_shellParameters = info->lpParameters ? info->lpParameters : L"";
    std::wstring command = L'"' + std::wstring(info->lpFile) + L"\" " + g_shellParameters;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(info->lpFile, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return FALSE;
    CloseHandle(process.hThread);
    info->hProcess = process.hProcess;
    return TRUE;
}

BOOL WINAPI ConsentRefused(SHELLEXECUTEINFOW*) {
    SetLastError(ERROR_CANCELLED);
    return FALSE;
}

class ElevationTest : public LaunchProgramTest {
  protected:
    void SetUp() override {
        LaunchProgramTest::SetUp();
        saved_ = g_LaunchCalls;
        g_LaunchCalls.createProcess = RefuseForElevation;
    }
    void TearDown() override { g_LaunchCalls = saved_; }
    LaunchCalls saved_;
};

TEST_F(ElevationTest, StartedAgainThroughTheShellAndWaitedFor) {
    ExitWith(7);
    g_LaunchCalls.shellExecute = ConsentGiven;
    int started = 0;
    EXPECT_EQ(7ul, LaunchProgram(program_.c_str(), "-s auto=1", 1, &started));
    EXPECT_EQ(1, started);
    EXPECT_EQ(std::wstring(program_.begin(), program_.end()), g_shellSeen.lpFile);
    EXPECT_EQ(L"-s auto=1", g_shellParameters);
    EXPECT_TRUE(g_shellSeen.fMask & SEE_MASK_NOCLOSEPROCESS) << "the handle to wait on";
    EXPECT_TRUE(g_shellSeen.fMask & SEE_MASK_FLAG_NO_UI) << "no error box waits for a click";

    // The real shell, loaded when needed, gives a handle that is waited on the same way.
    g_LaunchCalls.shellExecute = saved_.shellExecute;
    ExitWith(9);
    EXPECT_EQ(9ul, LaunchProgram(program_.c_str(), nullptr, 1));
}

TEST_F(ElevationTest, ConsentRefusedIsAStartThatFailed) {
    g_LaunchCalls.shellExecute = ConsentRefused;
    LogCapture process(kLogProcess);
    int started = 1;
    EXPECT_EQ(0ul, LaunchProgram(program_.c_str(), nullptr, 0, &started));
    EXPECT_EQ(0, started);
    EXPECT_EQ(std::vector<std::string>{"Erreur ShellExecuteEx 1223"}, process.texts);
}

} // namespace
