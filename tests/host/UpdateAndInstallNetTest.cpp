#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <string>

#include "ContentServer.h"
#include "foundation/Common.h"
#include "foundation/IKVRInstaller.h"
#include "foundation/Registry.h"
#include "host/Gearscout.h"
#include "host/HostFixture.h"
#include "host/HostResources.h"
#include "host/StandAloneApp.h"
#include "introcard/IKVRSplash.h"
#include "platform/RegistryStore.h"

namespace {

const char* const kInstalledFiles[] = {
    "libRoomwright.so", "libGearscout.so", "libPatchrunner.so", "libPagepane.so", "libIntrocard.so",
    "libInstaller.so",  "Kivora"};

// A new user's machine and the project's content server with the built site.
class UpdateAndInstallNetTest : public HostWorld {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        SetServerAddress(server_.Address().c_str());
        SetUserID("1001");
        RegistrySetString("", "ExeVS", kHostVersion);
    }

    // What the product's setup does: the updater fetched and registered.
    int RunSetup() {
        const std::string command =
            std::string(KIVORA_SETUP_PROGRAM) + " " + server_.Address() + " > /dev/null 2>&1";
        return std::system(command.c_str());
    }

    std::map<std::string, long long> InstalledTimes() {
        std::map<std::string, long long> times;
        for (const char* file : kInstalledFiles) {
            struct stat info {};
            if (stat((ProgramFolder() + "/" + file).c_str(), &info) == 0)
                times[file] = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
        }
        return times;
    }

    std::string RegisteredLibrary(const char* classId) {
        auto store = platform::RegistryStore::ForCurrentUser();
        return store
            ->GetString(platform::RegistryRoot::Classes,
                        std::string("CLSID\\") + classId + "\\InprocServer32", "")
            .value_or("");
    }

    ContentServer server_{KIVORA_CONTENT_SITE, Root() + "uploads"};
};

TEST_F(UpdateAndInstallNetTest, TheFirstRunInstallsEveryComponentAndRunsTheProbeOnce) {
    ASSERT_EQ(RunSetup(), 0);
    ASSERT_TRUE(UpdateAndInstall());

    const auto installed = InstalledTimes();
    EXPECT_EQ(installed.size(), std::size(kInstalledFiles));
    EXPECT_EQ(RegisteredLibrary(kEditorClassId), ProgramFolder() + "/libRoomwright.so");
    EXPECT_EQ(RegisteredLibrary(kProbeClassId), ProgramFolder() + "/libGearscout.so");
    EXPECT_EQ(RegisteredLibrary(kPagepaneClassId), ProgramFolder() + "/libPagepane.so");
    EXPECT_EQ(RegisteredLibrary(platform::FormatGuid(kClsidKVRSplash).c_str()),
              ProgramFolder() + "/libIntrocard.so");
    EXPECT_EQ(RegisteredLibrary(platform::FormatGuid(kKVRInstallerClassId).c_str()),
              ProgramFolder() + "/libInstaller.so");
    struct stat program {};
    ASSERT_EQ(stat((ProgramFolder() + "/Kivora").c_str(), &program), 0);
    EXPECT_TRUE(program.st_mode & S_IXUSR);

    // The probe measured the machine, its findings went to the server and it is done.
    EXPECT_TRUE(Gearscout::IsProbeDone());
    EXPECT_EQ(server_.UploadCount("probe"), 1);
    double depth = 0.0;
    EXPECT_TRUE(RegistryGetDouble("oglSettings\\", "depthBits", &depth));
    EXPECT_GT(depth, 0.0);

    // Plans open with the installed program; the menu has its entries.
    auto store = platform::RegistryStore::ForCurrentUser();
    EXPECT_EQ(store->GetString(platform::RegistryRoot::Classes,
                               "Duzazododiza file\\Shell\\open\\command", ""),
              ProgramFolder() + "/Kivora %1");
    EXPECT_NE(ReadText(Root() + "data/applications/kivora-plan.desktop").find("/Kivora\" %f"),
              std::string::npos);
    EXPECT_FALSE(ReadText(Root() + "data/applications/Kivora/Kivora.desktop").empty());

    // A second start finds everything current: nothing is fetched again, and the probe
    // does not run again.
    ASSERT_TRUE(UpdateAndInstall());
    EXPECT_EQ(InstalledTimes(), installed);
    EXPECT_EQ(server_.UploadCount("probe"), 1);
}

TEST_F(UpdateAndInstallNetTest, InstallingWithIAndUninstallingWithUEndTheProgram) {
    ASSERT_EQ(RunSetup(), 0);
    {
        StandAloneApp app;
        SetServerAddress(server_.Address().c_str());
        EXPECT_FALSE(app.ParseCommandLine("-i"));
    }
    EXPECT_EQ(InstalledTimes().size(), std::size(kInstalledFiles));

    // Answering No to the question keeps everything.
    answers = {platform::MessageAnswer::No};
    {
        StandAloneApp app;
        EXPECT_FALSE(app.ParseCommandLine("-u"));
    }
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Uninstall Kivora?"});
    EXPECT_EQ(InstalledTimes().size(), std::size(kInstalledFiles));

    answers = {platform::MessageAnswer::Yes};
    {
        StandAloneApp app;
        EXPECT_FALSE(app.ParseCommandLine("-u"));
    }
    EXPECT_TRUE(InstalledTimes().empty());
    EXPECT_EQ(RegisteredLibrary(kEditorClassId), "");
    auto store = platform::RegistryStore::ForCurrentUser();
    EXPECT_FALSE(store->KeyExists(platform::RegistryRoot::CurrentUser, "Software\\Kivora\\oglSettings"));
}

TEST_F(UpdateAndInstallNetTest, WithoutTheUpdaterTheStartStopsAndNothingIsInstalled) {
    EXPECT_FALSE(UpdateAndInstall());
    EXPECT_TRUE(InstalledTimes().empty());
    EXPECT_FALSE(Gearscout::IsProbeDone());
}

}  // namespace
