// The host stand-in with the real plug-in: discovery through install.reg,
// the handshake and publications, a command that opens the about box, and
// plain chat lines.
#include <gtest/gtest.h>

#include <string>

#include "com_test_support.h"
#include "win_ui.h"

namespace {

struct HostRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string readAll(const std::wstring& path) {
    std::string text;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(f);
    return text;
}

HANDLE inheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
}

// Runs plughost with the given arguments and standard input; bounded wait.
HostRun plughost(const std::wstring& args, const std::string& input = "") {
    static int runs = 0;
    const std::wstring stem = wintest::besideMe(L"plughost_test.") + std::to_wstring(++runs);
    const std::wstring outPath = stem + L".out", errPath = stem + L".err";
    HANDLE out = inheritableFile(outPath), err = inheritableFile(errPath);
    HostRun run;
    if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot make the output files of plughost";
        return run;
    }
    HANDLE readIn = nullptr, writeIn = nullptr;
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    CreatePipe(&readIn, &writeIn, &sa, 0);
    SetHandleInformation(writeIn, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = readIn;
    si.hStdOutput = out;
    si.hStdError = err;
    std::wstring line = L"\"" + wintest::besideMe(L"plughost.exe") + L"\" " + args;
    PROCESS_INFORMATION pi{};
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
        DWORD written = 0;
        WriteFile(writeIn, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        CloseHandle(writeIn);
        writeIn = nullptr;
        if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        run.exitCode = static_cast<int>(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    if (writeIn) CloseHandle(writeIn);
    CloseHandle(readIn);
    CloseHandle(out);
    CloseHandle(err);
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    return run;
}

class Plughost : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_EQ(0, comtest::regsvr32());
        ASSERT_EQ(0, wintest::runProcess(L"regedit /s \"" + wintest::besideMe(L"install.reg") + L"\""));
    }
};

TEST_F(Plughost, InstallRegListsThePlugInUnderItsNameWithItsProgId) {
    EXPECT_EQ(L"TavriPlugin.plugin",
              wintest::readString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Messenger Plus! 2\\Plugins", L"Tavri"));
}

TEST_F(Plughost, ListShowsTheNameTheTwoCommandsAndTheTag) {
    const HostRun run = plughost(L"--list");
    ASSERT_EQ(0, run.exitCode) << run.err;
    for (const char* expected :
         {"plug-in Tavri (TavriPlugin.plugin)\n",
          "  command /xtavrisett  \"Settings\"  help: No help available for this command.\n",
          "  command /xtavriabout  \"About\"  help: No help available for this command.\n",
          "  tag (!XTAVRI)  \"Show Stats\"\n"})
        EXPECT_NE(std::string::npos, run.out.find(expected)) << expected << "in:\n" << run.out;
}

TEST_F(Plughost, AboutCommandTypedInCapitalsShowsTheAboutBox) {
    wintest::MessageBoxView box;
    wintest::Background dismisser([&] { box = wintest::dismissMessageBox(L"Tavri Plugin", 30000); });
    const HostRun run = plughost(L"/XTAVRIABOUT");
    ASSERT_TRUE(dismisser.join());
    EXPECT_EQ(0, run.exitCode) << run.err;
    ASSERT_TRUE(box.hwnd) << "no about box";
    EXPECT_NE(std::wstring::npos, box.text.find(L"\r\n"));  // two lines; the icon is checked in-process
    EXPECT_EQ("", run.out) << "the command's result is empty, so nothing is printed";
}

TEST_F(Plughost, PlainLinesFromStandardInputPassUnchanged) {
    const HostRun run = plughost(L"", "hello there\r\n/notacommand with words\nxtavriabout\n");
    EXPECT_EQ(0, run.exitCode) << run.err;
    EXPECT_EQ("hello there\n/notacommand with words\nxtavriabout\n", run.out);
}

TEST_F(Plughost, WithoutAnyListedPlugInItFails) {
    const std::wstring key = L"SOFTWARE\\Messenger Plus! 2\\Plugins";
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Tavri"));
    const HostRun run = plughost(L"--list");
    ASSERT_EQ(0, wintest::runProcess(L"regedit /s \"" + wintest::besideMe(L"install.reg") + L"\""));
    EXPECT_NE(0, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("no plug-in")) << run.err;
}

}  // namespace
