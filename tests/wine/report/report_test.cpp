// The report methods of the real Tavri.dll (usage, plan_limit, plan_name),
// called by name through IDispatch against the report server stand-in on the
// port the plug-in is built for. report.sh runs every test in its own process
// with the server its suite needs; the stored credentials pick the account
// (and so the report) the server answers with.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "com_call.h"
#include "frmsett.h"
#include "handles.h"
#include "server_env.h"
#include "tag_session.h"
#include "win_ui.h"

using namespace fetchtest;
using tagtest::narrow;
using tagtest::widen;

namespace {

constexpr const char* kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; .NET CLR 1.1.4322)";
// The stored credentials that pick an account of accounts.txt.
constexpr const char* kOddUser = "J\xC3\xB6rg & Co=1%+x";          // UTF-8, as typed
constexpr const char* kOddPassword = "p&w= %+ \xC3\xA9";
constexpr const char* kOddUserAnsi = "J\xF6rg & Co=1%+x";          // what reaches the server
constexpr const char* kOddPasswordAnsi = "p&w= %+ \xE9";

struct Account {
    const char* user;
    const char* body;  // inline body in the accounts file's escapes
};
const Account kAccounts[] = {
    {"figures", "plan_name=Basic 10GB Upgrade\\r\\nusage=1234MB\\r\\nplan_limit=3000MB\\r\\n"},
    {"blanks", "usage= 1234 MB\\r\\nplan_limit= 3000 MB\\r\\n"},
    {"large", "@large.bin"},
    {"nousage", "plan_name=Basic Upgrade\\r\\nplan_limit=3000MB\\r\\n"},
    {"nomarker", "usage=1234"},
    {"letters", "usage=lotsMB\\r\\nplan_limit=lotsMB\\r\\n"},
    {"bfirst", "usage=B1234MB\\r\\n"},
    {"toolarge", "usage=99999999999MB\\r\\n"},
    {"noupgrade", "plan_name=Basic 10GB\\r\\n"},
};

// 100 KiB whose keys all lie past the first 300 chunks of 256 bytes.
std::string largeReport() {
    std::string body;
    for (int n = 0; body.size() < 100 * 1024 - 80; ++n) body += "line " + std::to_string(n) + " ........................\r\n";
    return body + "plan_name=Big Plan Upgrade\r\nusage=4321MB\r\nplan_limit=9000MB\r\n";
}

bool writeAccounts(const std::wstring& dir) {
    std::string accounts;
    for (const Account& a : kAccounts) accounts += std::string(a.user) + "\tpw\t" + a.body + "\n";
    accounts += "J\\xF6rg & Co=1%+x\tp&w= %+ \\xE9\tusage=77MB\\r\\n\n";
    for (const auto& [name, bytes] : {std::pair{L"\\accounts.txt", accounts}, std::pair{L"\\large.bin", largeReport()}}) {
        tavri::win::UniqueFile file(CreateFileW((dir + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            return false;
    }
    return true;
}

// One plug-in object, created the way the host creates it, after the stored
// credentials were set (the component loads them when it starts).
class Plugin {
public:
    Plugin(const std::string& user, const std::string& password) {
        tagtest::storeCredentials(user, password);
        CLSID clsid{};
        if (SUCCEEDED(CLSIDFromProgID(L"TavriPlugin.plugin", &clsid)))
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object_.putVoid());
    }
    explicit operator bool() const { return static_cast<bool>(object_); }
    wintest::CallResult call(const wchar_t* method) { return wintest::call(object_.get(), method); }

    // Puts an account into the settings form the component keeps hidden, as
    // a user's edits would be, for the next report calls.
    static void useAccount(const std::string& user) {
        HWND form = FindWindowW(tavri::win::kFrmsettClassName, tavri::win::kFrmsettCaption);
        ASSERT_TRUE(form) << "no settings form";
        SendMessageW(wintest::childById(form, tavri::win::frmsett_id::kText1), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(widen(user).c_str()));
        SendMessageW(wintest::childById(form, tavri::win::frmsett_id::kText2), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(L"pw"));
    }

private:
    tavri::win::ComPtr<IDispatch> object_;
};

long integerOf(const wintest::CallResult& r) { return r.result.vt == VT_I4 ? r.result.lVal : -1; }
std::wstring textOf(const wintest::CallResult& r) {
    return r.result.vt == VT_BSTR ? wintest::text(r.result.bstrVal) : L"(not text)";
}

std::wstring artifact(const wchar_t* name) {
    const std::string dir = serverEnv("ARTIFACTS");
    return dir.empty() ? L"" : widen(dir) + L"\\" + name;
}

// plan_limit's failure path as the user meets it: the warning, then the
// settings form; finish() does what the user does with the form.
struct Prompted {
    wintest::CallResult call;
    tagtest::CredentialsPrompt prompt;
    bool finished = false;
};
Prompted planLimitWithPrompt(Plugin& plugin, const std::function<bool(HWND)>& finish) {
    Prompted p;
    wintest::Background user([&] {
        p.prompt = tagtest::answerWarning();
        if (!p.prompt.form) return;
        const std::wstring shot = artifact(L"report_settings_after_warning.bmp");
        if (!shot.empty()) wintest::saveWindowBitmap(p.prompt.form, shot);
        p.finished = finish(p.prompt.form);
    });
    p.call = plugin.call(L"plan_limit");
    EXPECT_TRUE(user.join(30000)) << "the warning or the form did not go away";
    return p;
}

void expectWarning(const tagtest::CredentialsPrompt& prompt) {
    ASSERT_TRUE(prompt.warning.hwnd) << "no warning box";
    EXPECT_EQ(prompt.warning.caption, L"Tavri Plugin");
    EXPECT_EQ(prompt.warning.text, L"username or password incorrect");
    EXPECT_EQ(prompt.warning.icon, MB_ICONWARNING);
    EXPECT_EQ(prompt.warning.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_TRUE(prompt.form) << "no settings form after the warning";
}

std::vector<LogLine> newRequests(size_t before) {
    auto log = readLog("REPORT_LOG");
    return std::vector<LogLine>(log.begin() + static_cast<long>(std::min(before, log.size())), log.end());
}

TEST(ReportMethods, FiguresComeBackAsIntegersAndThePlanNameAsText) {
    Plugin plugin("figures", "pw");
    ASSERT_TRUE(plugin);
    const auto usage = plugin.call(L"usage");
    const auto limit = plugin.call(L"plan_limit");
    const auto name = plugin.call(L"plan_name");
    ASSERT_TRUE(usage.ok() && limit.ok() && name.ok()) << wintest::hex(usage.hr);
    EXPECT_EQ(integerOf(usage), 1234);
    EXPECT_EQ(integerOf(limit), 3000);
    EXPECT_EQ(textOf(name), L"Basic 10GB Upgrade");
    EXPECT_TRUE(tagtest::visibleWindowsOfThisProcess().empty());
}

TEST(ReportMethods, BlanksAroundTheFigureAreIgnored) {
    Plugin plugin("blanks", "pw");
    EXPECT_EQ(integerOf(plugin.call(L"usage")), 1234);
    EXPECT_EQ(integerOf(plugin.call(L"plan_limit")), 3000);
}

TEST(ReportMethods, LargeReportIsJoinedWithTheKeysFarPastTheFirstChunks) {
    Plugin plugin("large", "pw");
    EXPECT_EQ(integerOf(plugin.call(L"usage")), 4321);
    EXPECT_EQ(integerOf(plugin.call(L"plan_limit")), 9000);
    EXPECT_EQ(textOf(plugin.call(L"plan_name")), L"Big Plan Upgrade");
}

TEST(ReportMethods, EachFailureCarriesItsAutomationNumberAndShowsNothing) {
    Plugin plugin("figures", "pw");
    ASSERT_TRUE(plugin.call(L"usage").ok());  // the component and its form are up
    struct Case {
        const char* account;
        const wchar_t* method;
        long error;
    };
    const Case cases[] = {
        {"nousage", L"usage", 5},        // no key
        {"nomarker", L"usage", 5},       // no "B" after the key
        {"letters", L"usage", 13},       // not a number
        {"bfirst", L"usage", 13},        // cut before the digits
        {"toolarge", L"usage", 6},       // beyond 32 bits
        {"noupgrade", L"plan_name", 5},  // no "Upgrade" after the key
        {"blanks", L"plan_name", 5},     // no plan name key
        {"nobody", L"usage", 5},         // wrong credentials: no keys at all
    };
    for (const Case& c : cases) {
        Plugin::useAccount(c.account);
        const auto r = plugin.call(c.method);
        EXPECT_EQ(r.hr, DISP_E_EXCEPTION) << c.account;
        EXPECT_EQ(r.errorNumber(), c.error) << c.account;
        EXPECT_TRUE(tagtest::visibleWindowsOfThisProcess().empty()) << c.account;
    }
}

TEST(ReportPrompt, WrongCredentialsWarnThenTheFormSavesNewOnesAndTheResultIsEmpty) {
    Plugin plugin("nobody", "wrong");
    const Prompted p = planLimitWithPrompt(plugin, [](HWND form) {
        tagtest::typeCredentials(form, "figures", "pw");
        return tagtest::pressSave(form);
    });
    expectWarning(p.prompt);
    EXPECT_EQ(p.prompt.user, "nobody") << "the form shows the stored credentials";
    EXPECT_EQ(p.prompt.password, "wrong");
    EXPECT_TRUE(p.finished);
    ASSERT_TRUE(p.call.ok()) << wintest::hex(p.call.hr);
    EXPECT_EQ(p.call.result.vt, VT_EMPTY);
    EXPECT_EQ(tagtest::storedSetting("username"), "figures");
    EXPECT_EQ(tagtest::storedSetting("password"), "pw");
}

TEST(ReportPrompt, LettersForThePlanLimitComeBackAsTextAfterTheWarning) {
    Plugin plugin("letters", "pw");
    const Prompted p = planLimitWithPrompt(plugin, tagtest::pressCloseBox);
    expectWarning(p.prompt);
    ASSERT_TRUE(p.call.ok()) << wintest::hex(p.call.hr);
    EXPECT_EQ(textOf(p.call), L"lotsM");
    EXPECT_EQ(tagtest::storedSetting("username"), "letters") << "closing the form saves nothing";
}

TEST(ReportRequests, EachCallIsOneRequestCarryingTheAgentString) {
    Plugin plugin("figures", "pw");
    const size_t before = readLog("REPORT_LOG").size();
    plugin.call(L"usage");
    plugin.call(L"plan_limit");
    plugin.call(L"plan_name");
    const auto requests = newRequests(before);
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& r : requests) {
        ASSERT_EQ(r.size(), 7u);
        EXPECT_EQ(r[2], "/mydatamonitor/usage.txt");
        EXPECT_EQ(r[3], "figures");
        EXPECT_EQ(r[4], "pw");
        EXPECT_EQ(r[5], logEscaped(kAgent));
        EXPECT_EQ(r[6], "https");
    }
}

TEST(ReportRequests, CredentialsWithQuerySyntaxBlanksAndAccentsArriveExactlyAsTyped) {
    Plugin plugin(kOddUser, kOddPassword);
    const size_t before = readLog("REPORT_LOG").size();
    EXPECT_EQ(integerOf(plugin.call(L"usage")), 77) << "the server did not recognise the account";
    const auto requests = newRequests(before);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0][3], logEscaped(kOddUserAnsi));
    EXPECT_EQ(requests[0][4], logEscaped(kOddPasswordAnsi));
}

// Suites below run against a server that gives no report at all.
void expectNoReport(const wintest::CallResult& r, ULONGLONG ms, ULONGLONG boundMs) {
    EXPECT_EQ(r.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(r.errorNumber(), 5);
    EXPECT_LE(ms, boundMs);
}

wintest::CallResult timedCall(Plugin& plugin, const wchar_t* method, ULONGLONG* ms) {
    const ULONGLONG start = GetTickCount64();
    wintest::CallResult r = plugin.call(method);
    *ms = GetTickCount64() - start;
    return r;
}

TEST(ReportServerDown, UsageAndPlanNameFailAndPlanLimitWarns) {
    Plugin plugin("figures", "pw");
    ULONGLONG ms = 0;
    const auto usage = timedCall(plugin, L"usage", &ms);
    expectNoReport(usage, ms, 5000);
    const auto name = timedCall(plugin, L"plan_name", &ms);
    expectNoReport(name, ms, 5000);
    const Prompted p = planLimitWithPrompt(plugin, tagtest::pressCloseBox);
    expectWarning(p.prompt);
    EXPECT_TRUE(p.call.ok());
    EXPECT_EQ(p.call.result.vt, VT_EMPTY);
}

TEST(ReportServerStalled, TheCallReturnsWithinTheBound) {
    Plugin plugin("figures", "pw");
    ULONGLONG ms = 0;
    const auto usage = timedCall(plugin, L"usage", &ms);
    expectNoReport(usage, ms, 21000);
}

TEST(ReportBadCertificate, NoReportAndNoRequestOverTheUntrustedLink) {
    Plugin plugin("figures", "pw");
    ULONGLONG ms = 0;
    const auto usage = timedCall(plugin, L"usage", &ms);
    expectNoReport(usage, ms, 5000);
    EXPECT_TRUE(readLog("REPORT_LOG").empty());
}

TEST(ReportRedirectToHttp, NoReportAndTheCredentialsNeverTravelInClear) {
    Plugin plugin("figures", "pw");
    ULONGLONG ms = 0;
    const auto usage = timedCall(plugin, L"usage", &ms);
    expectNoReport(usage, ms, 5000);
    EXPECT_EQ(readLog("REPORT_LOG").size(), 1u) << "the https request that was redirected";
    EXPECT_TRUE(readLog("PLAIN_LOG").empty()) << "a request went out over plain http";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // report_test.exe --write-accounts DIR: the accounts file and bodies the server serves.
    if (argc == 3 && std::wstring(argv[1]) == L"--write-accounts") return writeAccounts(argv[2]) ? 0 : 1;
    testing::InitGoogleTest(&argc, argv);
    if (FAILED(CoInitialize(nullptr))) return 1;
    const int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
}
