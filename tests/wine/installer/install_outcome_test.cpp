// Install.exe under Wine, driven like a user: press "&Install", read the
// message it ends with, then look at what it left in the prefix.
#include <gtest/gtest.h>

#include "handles.h"
#include "installer_session.h"

namespace installer_test {
namespace {

class InstallOutcome : public ::testing::Test {
protected:
    void SetUp() override {
        clearInstallState();
        ASSERT_FALSE(pluginRegistered()) << "the prefix could not be brought to uninstalled";
        ASSERT_FALSE(fileExists(kDestination));
        ASSERT_FALSE(hostListsPlugin());
    }

    // Runs the installer from its folder (or another current directory),
    // presses "&Install" and checks that it ended with the failure message.
    void expectFailure(const std::wstring& folder, const std::wstring& currentDirectory) {
        RunningInstaller installer(folder, currentDirectory);
        ASSERT_TRUE(installer.form()) << "the installer window did not show";
        const wintest::MessageBoxView message = installer.installAndReadMessage();
        EXPECT_EQ(message.caption, kMessageCaption);
        EXPECT_EQ(message.text, kCannotContinue) << "never \"Done!\" when the install failed";
        EXPECT_EQ(message.icon, MB_ICONERROR);
        EXPECT_EQ(installer.waitForExit(), static_cast<long>(kExitFailed));
    }

    const std::string buildPlugin = readFileBytes(wintest::besideMe(L"Tavri.dll"));
};

TEST_F(InstallOutcome, CleanInstallCopiesImportsRegistersAndTheHostFindsThePlugin) {
    TempFolder release;
    layOutRelease(release);
    RunningInstaller installer(release.path(), release.path());
    ASSERT_TRUE(installer.form());
    const wintest::MessageBoxView message = installer.installAndReadMessage();
    EXPECT_EQ(message.caption, kMessageCaption);
    EXPECT_EQ(message.text, kDone);
    EXPECT_EQ(message.icon, MB_ICONINFORMATION);
    EXPECT_EQ(message.buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_EQ(installer.waitForExit(), static_cast<long>(kExitInstalled));

    EXPECT_EQ(readFileBytes(kDestination), buildPlugin);
    EXPECT_TRUE(hostListsPlugin());
    ASSERT_TRUE(pluginRegistered());
    std::wstring server = registeredServerPath();
    for (auto& c : server) if (c == L'/') c = L'\\';
    EXPECT_EQ(CompareStringOrdinal(server.c_str(), -1, kDestination.c_str(), -1, TRUE), CSTR_EQUAL)
        << "registered from the plug-in folder, not from the release folder";

    std::string listing;
    EXPECT_EQ(runCapturingOutput(L"\"" + wintest::besideMe(L"plughost.exe") + L"\" --list",
                                 &listing),
              0);
    EXPECT_NE(listing.find("Tavri"), std::string::npos) << listing;
    EXPECT_NE(listing.find("(!XTAVRI)"), std::string::npos) << listing;
}

TEST_F(InstallOutcome, AnOlderPluginFileIsReplaced) {
    ASSERT_TRUE(writeFileBytes(kDestination, "an older Tavri.dll"));
    TempFolder release;
    layOutRelease(release);
    RunningInstaller installer(release.path(), release.path());
    ASSERT_TRUE(installer.form());
    EXPECT_EQ(installer.installAndReadMessage().text, kDone);
    EXPECT_EQ(installer.waitForExit(), static_cast<long>(kExitInstalled));
    EXPECT_EQ(readFileBytes(kDestination), buildPlugin);
    EXPECT_TRUE(pluginRegistered());
}

// The copy fails: nothing after it runs (no registry import, no registration).
TEST_F(InstallOutcome, CopyFailuresStopBeforeTheRegistryAndTheRegistration) {
    {
        SCOPED_TRACE("the host's plug-in folder is missing");
        PluginFolderMovedAway away;
        ASSERT_TRUE(away.moved());
        TempFolder release;
        layOutRelease(release);
        expectFailure(release.path(), release.path());
        EXPECT_FALSE(fileExists(kDestination));
    }
    EXPECT_FALSE(hostListsPlugin());
    EXPECT_FALSE(pluginRegistered());
    {
        SCOPED_TRACE("Tavri.dll is not beside the installer");
        TempFolder release;
        layOutRelease(release, {.plugin = false});
        expectFailure(release.path(), release.path());
        EXPECT_FALSE(fileExists(kDestination));
    }
    EXPECT_FALSE(hostListsPlugin());
    EXPECT_FALSE(pluginRegistered());
}

TEST_F(InstallOutcome, HostRunningWithThePluginLoadedStopsTheInstall) {
    TempFolder release;
    layOutRelease(release);
    {
        RunningInstaller first(release.path(), release.path());
        ASSERT_TRUE(first.form());
        ASSERT_EQ(first.installAndReadMessage().text, kDone);
        first.waitForExit();
    }
    RunningHost host;
    ASSERT_TRUE(host.waitUntilLoaded(kDestination, 30000)) << "the host did not load the plug-in";
    // Whatever the install imports or registers now would show up again.
    unregisterAndUnlist();
    expectFailure(release.path(), release.path());
    EXPECT_TRUE(host.running());
    EXPECT_FALSE(hostListsPlugin()) << "the registry import ran after the failed copy";
    EXPECT_FALSE(pluginRegistered()) << "the registration ran after the failed copy";
}

TEST_F(InstallOutcome, PluginFileHeldOpenWithoutSharingStopsTheInstall) {
    ASSERT_TRUE(writeFileBytes(kDestination, "the plug-in the host has loaded"));
    // Held as the host holds a loaded plug-in: nobody may write it meanwhile.
    tavri::win::UniqueFile held(CreateFileW(kDestination.c_str(), GENERIC_READ, 0, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    TempFolder release;
    layOutRelease(release);
    expectFailure(release.path(), release.path());
    held.reset();
    EXPECT_EQ(readFileBytes(kDestination), "the plug-in the host has loaded");
    EXPECT_FALSE(hostListsPlugin());
    EXPECT_FALSE(pluginRegistered());
}

TEST_F(InstallOutcome, MissingRegistryFileFailsAfterTheCopyAndRegistersNothing) {
    TempFolder release;
    layOutRelease(release, {.registryFile = false});
    expectFailure(release.path(), release.path());
    EXPECT_EQ(readFileBytes(kDestination), buildPlugin) << "the copy is not undone";
    EXPECT_FALSE(hostListsPlugin());
    EXPECT_FALSE(pluginRegistered());
}

TEST_F(InstallOutcome, FailedRegistrationEndsInTheFailureMessage) {
    TempFolder release;
    layOutRelease(release, {.plugin = false});
    ASSERT_TRUE(writeFileBytes(release.file(L"Tavri.dll"), "not a DLL: a damaged download\r\n"));
    expectFailure(release.path(), release.path());
    EXPECT_EQ(readFileBytes(kDestination), "not a DLL: a damaged download\r\n");
    EXPECT_TRUE(hostListsPlugin()) << "the registry import ran before the registration";
    EXPECT_FALSE(pluginRegistered());
}

// The plug-in file comes from the installer's own folder; the registry file
// from the current directory.
TEST_F(InstallOutcome, StartedFromAnotherCurrentDirectory) {
    TempFolder release;
    layOutRelease(release, {.registryFile = false});
    {
        SCOPED_TRACE("no install.reg in the current directory");
        TempFolder elsewhere;
        expectFailure(release.path(), elsewhere.path());
        EXPECT_EQ(readFileBytes(kDestination), buildPlugin);
        EXPECT_FALSE(hostListsPlugin());
        EXPECT_FALSE(pluginRegistered());
    }
    clearInstallState();
    {
        SCOPED_TRACE("install.reg in the current directory, Tavri.dll only beside the installer");
        TempFolder elsewhere;
        elsewhere.addFromBuild(L"install.reg");
        RunningInstaller installer(release.path(), elsewhere.path());
        ASSERT_TRUE(installer.form());
        EXPECT_EQ(installer.installAndReadMessage().text, kDone);
        EXPECT_EQ(installer.waitForExit(), static_cast<long>(kExitInstalled));
        EXPECT_EQ(readFileBytes(kDestination), buildPlugin);
        EXPECT_TRUE(hostListsPlugin());
        EXPECT_TRUE(pluginRegistered());
    }
}

TEST_F(InstallOutcome, CancelAndTheCloseBoxEndTheProgramWithNothingDone) {
    TempFolder release;
    layOutRelease(release);
    {
        RunningInstaller installer(release.path(), release.path());
        ASSERT_TRUE(installer.form());
        wintest::clickButton(installer.cancelButton());
        EXPECT_EQ(installer.waitForExit(), static_cast<long>(kExitClosed));
    }
    {
        RunningInstaller installer(release.path(), release.path());
        ASSERT_TRUE(installer.form());
        PostMessageW(installer.form(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_EQ(installer.waitForExit(), static_cast<long>(kExitClosed));
    }
    EXPECT_FALSE(fileExists(kDestination));
    EXPECT_FALSE(hostListsPlugin());
    EXPECT_FALSE(pluginRegistered());
}

}  // namespace
}  // namespace installer_test
