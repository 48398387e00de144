// The statistics tag through IDispatch when every report call succeeds, and
// the tag as the host stand-in expands it in a chat line.
#include <gtest/gtest.h>

#include "server_setups.h"
#include "tag_session.h"

namespace tagtest {
namespace {

const auto kWorked =
    serve("TagExpansion.WorkedExampleGivesTheExactText", {report("Basic 10GB", 1234, 3000)});

TEST(TagExpansion, WorkedExampleGivesTheExactText) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    ASSERT_TRUE(plugin);
    const TagCall call = plugin.parseTag(L"(!XTAVRI)", L"");
    ASSERT_TRUE(call.ok()) << wintest::hex(call.hr);
    EXPECT_TRUE(call.handled);
    EXPECT_EQ(call.result,
              L"\x02Plan Name:\x0F Basic 10GB Upgrade\r\n"
              L"\x02" L"Amount Used:\x0F 1234MB\r\n"
              L"\x02Plan Limit:\x0F 3000MB\r\n"
              L"\x02" L"Amount Left:\x0F 1766 MB");

    const auto requests = serverRequests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(allCarry(requests, kStoredUser, kStoredPassword));
    for (const auto& r : requests) EXPECT_EQ(r.path, "/mydatamonitor/usage.txt");
    EXPECT_TRUE(visibleWindowsOfThisProcess().empty()) << "the expansion showed a window";
}

// Every fetch gets a report of its own; each line of the text shows which
// fetch fed it. A sixth fetch would get a report without figures.
const auto kFiveFetches = serve("TagExpansion.FiveFetchesInTheirOrder",
                                {report("Plan1", 100, 1000), report("Plan2", 200, 2000),
                                 report("Plan3", 300, 3000), report("Plan4", 400, 4000),
                                 report("Plan5", 500, 5000), "error=no further report\r\n"});

TEST(TagExpansion, FiveFetchesInTheirOrder) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    const TagCall call = plugin.parseTag(L"(!XTAVRI)");
    ASSERT_TRUE(call.ok()) << wintest::hex(call.hr);
    // plan_limit (1), usage (2) -> left 1000 - 200; plan_name (3), usage (4), plan_limit (5)
    EXPECT_EQ(call.result, statistics(L"Plan3 Upgrade", L"400", L"5000", L"800"));
    EXPECT_EQ(serverRequests().size(), 5u);
}

const auto kNegative =
    serve("TagExpansion.AmountLeftGoesNegative", {report("Basic 10GB", 3500, 3000)});

TEST(TagExpansion, AmountLeftGoesNegative) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    const TagCall call = plugin.parseTag(L"(!XTAVRI)");
    ASSERT_TRUE(call.ok()) << wintest::hex(call.hr);
    EXPECT_EQ(call.result, statistics(L"Basic 10GB Upgrade", L"3500", L"3000", L"-500"));
}

const auto kRecognition =
    serve("TagExpansion.OnlyTheWholeTagInAnyCase", {report("Basic 10GB", 1234, 3000)});

TEST(TagExpansion, OnlyTheWholeTagInAnyCase) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    for (const wchar_t* tag : {L"(!XTAVRI) ", L" (!XTAVRI)", L"XTAVRI", L"!XTAVRI", L"(XTAVRI)",
                               L"(!XTAVRI)(!XTAVRI)", L""}) {
        const TagCall call = plugin.parseTag(tag, L"keep me");
        ASSERT_TRUE(call.ok()) << '"' << narrow(tag) << "\" " << wintest::hex(call.hr);
        EXPECT_FALSE(call.handled) << '"' << narrow(tag) << '"';
        EXPECT_EQ(call.result, L"keep me") << '"' << narrow(tag) << '"';
    }
    EXPECT_TRUE(serverRequests().empty()) << "a refused tag fetched a report";

    const std::wstring expected = statistics(L"Basic 10GB Upgrade", L"1234", L"3000", L"1766");
    for (const wchar_t* tag : {L"(!xtavri)", L"(!XtAvRi)"}) {
        const TagCall call = plugin.parseTag(tag, L"keep me");
        ASSERT_TRUE(call.ok()) << narrow(tag) << ' ' << wintest::hex(call.hr);
        EXPECT_TRUE(call.handled) << narrow(tag);
        EXPECT_EQ(call.result, expected) << narrow(tag);
    }
    EXPECT_EQ(serverRequests().size(), 10u);
}

const auto kNoUsage =
    serve("TagExpansion.ReportWithoutUsageFailsWithoutText",
          {report("Basic 10GB", 1234, 3000), "plan_name=Basic 10GB Upgrade\r\nplan_limit=3000MB\r\n"});

TEST(TagExpansion, ReportWithoutUsageFailsWithoutText) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    const TagCall call = plugin.parseTag(L"(!XTAVRI)", L"keep me");
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.errorNumber, 5) << "invalid procedure call or argument";
    EXPECT_EQ(call.result, L"keep me");
    EXPECT_EQ(serverRequests().size(), 2u) << "the expansion went on after usage failed";
    EXPECT_TRUE(visibleWindowsOfThisProcess().empty()) << "a failed usage showed a window";
}

// The host stand-in: the plug-in listed by install.reg, the tag inside a
// chat line, the line printed with the tag replaced (raw formatting codes).
const auto kHost = serve("TagThroughHost.ChatLineWithTheTagExpanded", {report("Basic 10GB", 1234, 3000)});

TEST(TagThroughHost, ChatLineWithTheTagExpanded) {
    storeCredentials(kStoredUser, kStoredPassword);
    ASSERT_EQ(wintest::runProcess(L"regedit /s \"" + wintest::besideMe(L"install.reg") + L"\""), 0);

    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    wchar_t outPath[MAX_PATH] = {};
    GetTempFileNameW(folder, L"tag", 0, outPath);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    tavri::win::UniqueFile out(CreateFileW(outPath, GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                           CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    ASSERT_TRUE(out);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out.get();
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring line = L"\"" + wintest::besideMe(L"plughost.exe") + L"\" --raw \"usage: (!xtavri) ok\"";
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &si, &pi));
    tavri::win::UniqueKernelHandle process(pi.hProcess), thread(pi.hThread);
    const bool ended = WaitForSingleObject(process.get(), 60000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.get(), 1);
    ASSERT_TRUE(ended) << "plughost did not finish within 60 s";
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);
    out.reset();

    std::string printed;
    {
        tavri::win::UniqueFile in(CreateFileW(outPath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        char buffer[4096];
        DWORD got = 0;
        while (in && ReadFile(in.get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
            printed.append(buffer, got);
    }
    DeleteFileW(outPath);
    const std::string expected =
        "usage: " + narrow(statistics(L"Basic 10GB Upgrade", L"1234", L"3000", L"1766")) + " ok";
    EXPECT_NE(printed.find(expected), std::string::npos) << "plughost printed:\n" << printed;
    EXPECT_EQ(serverRequests().size(), 5u);
}

}  // namespace
}  // namespace tagtest
