// The statistics tag when a plan limit fails: the warning and the settings
// form come up in the middle of the expansion, which then goes on with
// whatever the form left behind. A background thread plays the user.
#include <gtest/gtest.h>

#include <atomic>

#include "server_setups.h"
#include "tag_session.h"

namespace tagtest {
namespace {

constexpr const char* kInvalidLogin = "error=invalid login\r\n";

// What the user saw of one credentials prompt.
struct Seen {
    CredentialsPrompt prompt;
    bool formGone = false;
};

void expectWarning(const Seen& seen) {
    ASSERT_TRUE(seen.prompt.warning.hwnd) << "no warning was shown";
    EXPECT_EQ(seen.prompt.warning.text, kWarningText);
    EXPECT_EQ(seen.prompt.warning.icon, MB_ICONWARNING);
    ASSERT_TRUE(seen.prompt.form) << "no settings form after the warning";
    EXPECT_TRUE(seen.formGone);
}

std::string listed(const std::vector<std::string>& windows) {
    std::string text;
    for (const auto& w : windows) text += "\n  " + w;
    return text;
}

// Expands the tag while the user answers one prompt with `answer`.
TagCall expandAnswering(Plugin& plugin, Seen& seen, bool (*answer)(HWND form)) {
    TagCall call;
    const auto leftOpen = withUser(
        [&] { call = plugin.parseTag(L"(!XTAVRI)", L"keep me"); },
        [&] {
            seen.prompt = answerWarning();
            if (seen.prompt.form) seen.formGone = answer(seen.prompt.form);
        });
    EXPECT_TRUE(leftOpen.empty()) << "windows the user did not expect:" << listed(leftOpen);
    return call;
}

const auto kNoPlanLimit = serve("TagPrompt.NoPlanLimitPromptsThenEmptyCredentialsFail",
                                {"plan_name=Basic 10GB Upgrade\r\nusage=1234MB\r\n", kInvalidLogin});

TEST(TagPrompt, NoPlanLimitPromptsThenEmptyCredentialsFail) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    Seen seen;
    const TagCall call = expandAnswering(plugin, seen, [](HWND form) {
        typeCredentials(form, "new.user", "n3w");
        return pressSave(form);
    });
    expectWarning(seen);
    EXPECT_EQ(seen.prompt.user, kStoredUser) << "the form did not show the stored credentials";
    EXPECT_EQ(seen.prompt.password, kStoredPassword);

    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.errorNumber, 5);
    EXPECT_EQ(call.result, L"keep me");
    auto requests = serverRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(allCarry({requests[0]}, kStoredUser, kStoredPassword));
    // The saved form was discarded: usage reads a fresh form's empty fields.
    EXPECT_TRUE(allCarry({requests[1]}, "", ""));
    EXPECT_EQ(storedSetting("username"), "new.user");
    EXPECT_EQ(storedSetting("password"), "n3w");

    // The next expansion starts from the credentials saved in the prompt.
    Seen again;
    const TagCall next = expandAnswering(plugin, again, pressCloseBox);
    expectWarning(again);
    EXPECT_EQ(again.prompt.user, "new.user");
    EXPECT_FALSE(next.ok());
    requests = serverRequests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(allCarry({requests[2]}, "new.user", "n3w"));
    EXPECT_TRUE(allCarry({requests[3]}, "", ""));
}

const auto kFirstFails =
    serve("TagPrompt.OnlyFirstPlanLimitFailsLeavesMinusTheUsage",
          {kInvalidLogin, report("Unused", 1234, 1), report("Basic 10GB", 1, 1),
           report("Unused", 1234, 1), report("Unused", 1, 3000)});

TEST(TagPrompt, OnlyFirstPlanLimitFailsLeavesMinusTheUsage) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    Seen seen;
    const TagCall call = expandAnswering(plugin, seen, pressCloseBox);
    expectWarning(seen);
    ASSERT_TRUE(call.ok()) << wintest::hex(call.hr);
    EXPECT_TRUE(call.handled);
    EXPECT_EQ(call.result, statistics(L"Basic 10GB Upgrade", L"1234", L"3000", L"-1234"));
    const auto requests = serverRequests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(allCarry({requests[0]}, kStoredUser, kStoredPassword));
    EXPECT_TRUE(allCarry({requests.begin() + 1, requests.end()}, "", ""));
}

const auto kLastFails = serve("TagPrompt.OnlyLastPlanLimitFailsLeavesLineThreeEmpty",
                              {report("Basic 10GB", 1234, 3000), report("Basic 10GB", 1234, 3000),
                               report("Basic 10GB", 1234, 3000), report("Basic 10GB", 1234, 3000),
                               kInvalidLogin});

TEST(TagPrompt, OnlyLastPlanLimitFailsLeavesLineThreeEmpty) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    Seen seen;
    const TagCall call = expandAnswering(plugin, seen, pressCloseBox);
    expectWarning(seen);
    ASSERT_TRUE(call.ok()) << wintest::hex(call.hr);
    EXPECT_TRUE(call.handled);
    EXPECT_EQ(call.result, statistics(L"Basic 10GB Upgrade", L"1234", L"", L"1766"));
    const auto requests = serverRequests();
    EXPECT_EQ(requests.size(), 5u);
    EXPECT_TRUE(allCarry(requests, kStoredUser, kStoredPassword));
}

const auto kLastUnconverted =
    serve("TagPrompt.LastPlanLimitUnconvertedIsShownAsText",
          {report("Basic 10GB", 1234, 3000), report("Basic 10GB", 1234, 3000),
           report("Basic 10GB", 1234, 3000), report("Basic 10GB", 1234, 3000),
           "plan_limit=unlimitedMB\r\n"});

TEST(TagPrompt, LastPlanLimitUnconvertedIsShownAsText) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    Seen seen;
    const TagCall call = expandAnswering(plugin, seen, pressCloseBox);
    expectWarning(seen);
    ASSERT_TRUE(call.ok()) << wintest::hex(call.hr);
    // The key is gone, every "M" before the end marker stays.
    EXPECT_EQ(call.result, statistics(L"Basic 10GB Upgrade", L"1234", L"unlimitedM", L"1766"));
}

const auto kFirstUnconverted =
    serve("TagPrompt.FirstPlanLimitUnconvertedIsATypeMismatch",
          {"plan_limit=unlimitedMB\r\n", report("Basic 10GB", 1234, 3000)});

TEST(TagPrompt, FirstPlanLimitUnconvertedIsATypeMismatch) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    Seen seen;
    const TagCall call = expandAnswering(plugin, seen, pressCloseBox);
    expectWarning(seen);
    EXPECT_EQ(call.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(call.errorNumber, 13) << "type mismatch";
    EXPECT_EQ(call.result, L"keep me");
    EXPECT_EQ(serverRequests().size(), 2u);
}

// While the settings command shows the form modally, the user types entries
// without saving and a tag is expanded inside the form's message loop.
struct NestedRun {
    TagCall nested;
    std::string userAfter, passwordAfter;  // the open form's fields after the expansion
    CredentialsPrompt warning;             // when the expansion needed the form
    bool formClosed = false;
    bool nestedFinished = false;
};

NestedRun expandInsideOpenForm(Plugin& plugin, bool expectPrompt) {
    NestedRun run;
    OnOwnerThread owner;
    HRESULT command = E_FAIL;
    const auto leftOpen = withUser(
        [&] { command = plugin.parseCommand(L"/xtavrisett").hr; },
        [&] {
            const HWND form = waitForSettingsForm();
            if (!form) return;
            typeCredentials(form, "unsaved.user", "unsaved");
            owner.post([&] { run.nested = plugin.parseTag(L"(!XTAVRI)", L"keep me"); });
            if (expectPrompt) run.warning.warning = dismissOwnMessageBox();
            run.nestedFinished = owner.waitDone(30000);
            run.userAfter = formUser(form);
            run.passwordAfter = formPassword(form);
            run.formClosed = pressCloseBox(form);
        });
    EXPECT_TRUE(SUCCEEDED(command)) << wintest::hex(command);
    EXPECT_TRUE(leftOpen.empty()) << "windows the user did not expect:" << listed(leftOpen);
    return run;
}

const auto kNested = serve("TagPrompt.NestedInOpenFormReplacesUnsavedEntries",
                           {report("Basic 10GB", 1234, 3000)});

TEST(TagPrompt, NestedInOpenFormReplacesUnsavedEntries) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    const NestedRun run = expandInsideOpenForm(plugin, false);
    ASSERT_TRUE(run.nestedFinished);
    ASSERT_TRUE(run.nested.ok()) << wintest::hex(run.nested.hr);
    EXPECT_EQ(run.nested.result, statistics(L"Basic 10GB Upgrade", L"1234", L"3000", L"1766"));
    EXPECT_EQ(run.userAfter, kStoredUser);
    EXPECT_EQ(run.passwordAfter, kStoredPassword);
    EXPECT_TRUE(run.formClosed);
    const auto requests = serverRequests();
    EXPECT_EQ(requests.size(), 5u);
    EXPECT_TRUE(allCarry(requests, kStoredUser, kStoredPassword));
    EXPECT_EQ(storedSetting("username"), kStoredUser);
}

const auto kNestedFails =
    serve("TagPrompt.NestedInOpenFormFailsWhenItNeedsTheForm", {kInvalidLogin});

TEST(TagPrompt, NestedInOpenFormFailsWhenItNeedsTheForm) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    const NestedRun run = expandInsideOpenForm(plugin, true);
    EXPECT_EQ(run.warning.warning.text, kWarningText);
    ASSERT_TRUE(run.nestedFinished);
    EXPECT_FALSE(run.nested.ok()) << "showing the open form again must fail";
    EXPECT_EQ(run.nested.result, L"keep me");
    EXPECT_EQ(run.userAfter, kStoredUser);
    EXPECT_EQ(run.passwordAfter, kStoredPassword);
    EXPECT_TRUE(run.formClosed) << "the form did not survive the failed expansion";
    EXPECT_EQ(serverRequests().size(), 1u);
}

// A server that reads the request and never answers: every fetch gives up
// on its own, the first plan limit prompts, usage then fails.
constexpr DWORD kFetchBoundMs = 20000;

const auto kStalled = serve("TagStall.ExpansionEndsAgainstAStalledServer",
                            {report("Basic 10GB", 1234, 3000)}, {"--stall"});

TEST(TagStall, ExpansionEndsAgainstAStalledServer) {
    storeCredentials(kStoredUser, kStoredPassword);
    Plugin plugin;
    Seen seen;
    TagCall call;
    const ULONGLONG start = GetTickCount64();
    ULONGLONG took = 0;
    std::atomic<ULONGLONG> warnedAfter{0};
    const auto leftOpen = withUser(
        [&] {
            call = plugin.parseTag(L"(!XTAVRI)", L"keep me");
            took = GetTickCount64() - start;
        },
        [&] {
            seen.prompt = answerWarning(kFetchBoundMs + 10000);
            warnedAfter = GetTickCount64() - start;
            if (seen.prompt.form) seen.formGone = pressCloseBox(seen.prompt.form);
        });
    std::printf("stalled server: warning after %.1f s, expansion ended after %.1f s\n",
                warnedAfter / 1000.0, took / 1000.0);
    EXPECT_TRUE(leftOpen.empty()) << "windows the user did not expect:" << listed(leftOpen);
    expectWarning(seen);
    EXPECT_LE(warnedAfter.load(), kFetchBoundMs + 2000) << "the first fetch outlived its bound";
    EXPECT_FALSE(call.ok());
    EXPECT_EQ(call.result, L"keep me");
    EXPECT_LE(took, 5 * kFetchBoundMs);
    EXPECT_EQ(serverRequests().size(), 2u);
}

}  // namespace
}  // namespace tagtest
