#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "InstallerFixture.h"
#include "component/TestComponent.h"
#include "foundation/Cabinet.h"
#include "foundation/Registry.h"
#include "installer/BaseInstaller.h"
#include "installer/KVRInstaller.h"
#include "installer/KVRPatchrunner.h"
#include "platform/Automation.h"
#include "platform/Files.h"
#include "platform/PropertyBag.h"
#include "platform/RegistryStore.h"
#include "support/LocalHttpServer.h"

namespace {

using platform::RegistryRoot;

// A content server with the product's files: every library is the test component under
// the library's name, the host program a small script.
class InstallerNetTest : public InstallerFixture {
protected:
    void SetUp() override {
        server_.Server().Get(R"(/(.+))",
                             [this](const httplib::Request& req, httplib::Response& res) {
                                 std::lock_guard<std::mutex> guard(mutex_);
                                 const std::string name = req.matches[1];
                                 ++hits_[name];
                                 auto it = files_.find(name);
                                 if (it == files_.end()) {
                                     res.status = 404;
                                     return;
                                 }
                                 res.set_content(it->second, "application/octet-stream");
                             });
        server_.Server().Post(R"(/(.+))",
                              [this](const httplib::Request& req, httplib::Response& res) {
                                  std::lock_guard<std::mutex> guard(mutex_);
                                  posts_.push_back(req.target + "\n" + req.body);
                                  res.set_content("ok", "text/plain");
                              });
        ASSERT_TRUE(server_.Start());
        for (const auto& [name, bytes] : Cabinets()) Serve(name, bytes);
        Serve("Update.txt", "echo updated\n");
        Serve("versionInfo.txt",
              "dim DuzazododizaVersion = \"2,0,0,5\"\n"
              "dim GearscoutVersion = \"2,0,0,5\"\n"
              "dim UpdaterVersion = \"2,0,0,5\"\n"
              "dim PagepaneVersion = \"2,0,0,5\"\n"
              "dim SplashScreenVersion = \"2,0,0,5\"\n"
              "dim HostVersion = \"1,0,0,27\"\n"
              "dim InstallerVersion = \"2,0,0,5\"\n");
    }

    // The product's cabinets, packed once for every test.
    static const std::map<std::string, std::string>& Cabinets() {
        static const std::map<std::string, std::string> cabinets = [] {
            TempFolder folder;
            auto pack = [&](const std::string& member, const std::string& bytes) {
                const std::string file = folder.Path() + member;
                Write(file, bytes);
                const char* files[] = {file.c_str()};
                EXPECT_TRUE(CreateCabinet(1, files, (file + ".cab").c_str()));
                return Read(file + ".cab");
            };
            std::map<std::string, std::string> packed;
            const std::string library = Read(KIVORA_TEST_COMPONENT);
            for (const char* lib :
                 {"Roomwright", "Gearscout", "Patchrunner", "Pagepane", "Introcard", "Installer"})
                packed[std::string(lib) + ".dl_"] = pack("lib" + std::string(lib) + ".so", library);
            packed["Kivora.ex_"] = pack("Kivora", "#!/bin/sh\n");
            return packed;
        }();
        return cabinets;
    }
    void Serve(const std::string& name, const std::string& bytes) {
        std::lock_guard<std::mutex> guard(mutex_);
        files_[name] = bytes;
    }
    int Hits(const std::string& name) {
        std::lock_guard<std::mutex> guard(mutex_);
        return hits_[name];
    }
    void ResetHits() {
        std::lock_guard<std::mutex> guard(mutex_);
        hits_.clear();
    }
    std::string Domain() const { return "http://" + server_.Address() + "/"; }

    template <class T>
    platform::RefPtr<T> Make() {
        platform::RefPtr<T> object;
        auto factory = std::is_same_v<T, IKVRInstaller> ? KVRInstaller::MakeFactory()
                                                        : KVRPatchrunner::MakeFactory();
        EXPECT_EQ(factory->CreateInstance(T::kIid, object.OutParam()), platform::S_OK);
        return object;
    }
    template <class T>
    platform::RefPtr<T> MakeWithDomain(const std::string& domain) {
        auto object = Make<T>();
        platform::ScopedBstr text(domain.c_str());
        EXPECT_EQ(object->SetDomain(text.Get()), platform::S_OK);
        return object;
    }

    LocalHttpServer server_;
    std::mutex mutex_;
    std::map<std::string, std::string> files_;
    std::map<std::string, int> hits_;
    std::vector<std::string> posts_;
};

TEST_F(InstallerNetTest, InstallsRegistersAndLeavesEntriesAndTheUpdateScript) {
    auto installer = MakeWithDomain<IKVRInstaller>(Domain());
    EXPECT_EQ(Hits("versionInfo.txt"), 1);
    EXPECT_EQ(installer->InstallAllComponents(), platform::S_OK);

    const std::string folder = ProgramFolder();
    for (const char* file :
         {"libRoomwright.so", "libGearscout.so", "libPatchrunner.so", "libPagepane.so",
          "libIntrocard.so", "Kivora", "Update.bat", "versionInfo.txt", "Roomwright.dl_"})
        EXPECT_TRUE(Exists(folder + "/" + file)) << file;
    EXPECT_FALSE(Exists(folder + "/libInstaller.so"));  // the updater's file
    struct stat info {};
    ASSERT_EQ(stat((folder + "/Kivora").c_str(), &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);
    EXPECT_EQ(Read(folder + "/Update.bat"), "echo updated\n");

    // Registered: the class is made from an installed library.
    platform::RefPtr<ITestAnswer> answer;
    ASSERT_EQ(platform::CreateInstance(kTestComponentClassId, &answer), platform::S_OK);
    EXPECT_EQ(answer->Answer(), 42);

    EXPECT_NE(Read(MenuFolder() + "/Kivora.desktop").find("Exec=\"" + folder + "/Kivora\"\n"),
              std::string::npos);
    EXPECT_NE(Read(MenuFolder() + "/Uninstall Kivora.desktop")
                  .find("Exec=\"" + folder + "/Kivora\" -u\n"),
              std::string::npos);
    double done = 0;
    EXPECT_TRUE(RegistryGetDouble("", "ScutsDone", &done));
    EXPECT_EQ(done, 1.0);
    auto store = platform::RegistryStore::ForCurrentUser();
    auto command = store->GetValue(RegistryRoot::LocalMachine, BaseInstaller::kUninstallKey,
                                   "UninstallString");
    ASSERT_TRUE(command);
    const std::string expected = "\"" + folder + "/Kivora\" -u";
    EXPECT_EQ(std::string(command->data.begin(), command->data.end()),
              expected + std::string(1, '\0'));
    EXPECT_EQ(
        store->GetString(RegistryRoot::LocalMachine, BaseInstaller::kUninstallKey, "DisplayName"),
        "Kivora");
}

TEST_F(InstallerNetTest, ABadCabinetIsNotRegisteredAndTheOthersStillInstall) {
    Serve("Roomwright.dl_", "not a cabinet");
    files_.erase("Gearscout.dl_");
    auto installer = MakeWithDomain<IKVRInstaller>(Domain());
    EXPECT_EQ(installer->InstallAllComponents(), platform::S_OK);
    EXPECT_FALSE(Exists(ProgramFolder() + "/libRoomwright.so"));
    EXPECT_FALSE(Exists(ProgramFolder() + "/libGearscout.so"));
    EXPECT_TRUE(Exists(ProgramFolder() + "/libPagepane.so"));
    EXPECT_TRUE(Exists(ProgramFolder() + "/Kivora"));
}

// A component's cabinet that holds another component's library installs nothing: not
// under its own name, not under the other's.
TEST_F(InstallerNetTest, ACabinetHoldingAnotherComponentIsRefused) {
    Serve("Roomwright.dl_", Cabinets().at("Pagepane.dl_"));
    files_.erase("Pagepane.dl_");
    auto installer = MakeWithDomain<IKVRInstaller>(Domain());
    EXPECT_EQ(installer->InstallAllComponents(), platform::S_OK);
    EXPECT_FALSE(Exists(ProgramFolder() + "/libRoomwright.so"));
    EXPECT_FALSE(Exists(ProgramFolder() + "/libPagepane.so"));
    EXPECT_TRUE(Exists(ProgramFolder() + "/libGearscout.so"));
    // Nothing extracted stays behind either.
    for (const auto& entry : std::filesystem::directory_iterator(ProgramFolder()))
        EXPECT_EQ(entry.path().filename().string().find(".unpack-"), std::string::npos)
            << entry.path();
}

TEST_F(InstallerNetTest, UpdatesOnlyWhatIsOlderOrUnversioned) {
    MakeWithDomain<IKVRInstaller>(Domain())->InstallAllComponents();
    ResetHits();
    // Installed libraries state 2.0.0.5. The editor is offered newer, the probe older, the
    // updater has no record (0.0.0.0); the host's version is the one it stored.
    Serve("versionInfo.txt",
          "dim DuzazododizaVersion = \"2,0,0,6\"\n"
          "dim GearscoutVersion = \"1,9,9,9\"\n"
          "dim PagepaneVersion = \"2,0,0,5\"\n"
          "dim SplashScreenVersion = \"2,0,0,261\"\n"  // wraps to 2.0.0.5
          "dim HostVersion = \"1,0,0,27\"\n");
    RegistrySetString("", "ExeVS", "1,0,0,26");
    EXPECT_EQ(MakeWithDomain<IKVRInstaller>(Domain())->UpdateAllComponents(), platform::S_OK);
    EXPECT_EQ(Hits("Roomwright.dl_"), 1);
    EXPECT_EQ(Hits("Gearscout.dl_"), 0);
    EXPECT_EQ(Hits("Patchrunner.dl_"), 0);
    EXPECT_EQ(Hits("Pagepane.dl_"), 0);
    EXPECT_EQ(Hits("Introcard.dl_"), 0);
    EXPECT_EQ(Hits("Kivora.ex_"), 1);

    // Without "ExeVS" the host program is always fetched again.
    ResetHits();
    RegistrySetString("", "ExeVS", "1,0,0,27");
    MakeWithDomain<IKVRInstaller>(Domain())->UpdateAllComponents();
    EXPECT_EQ(Hits("Kivora.ex_"), 0);
    RegistryDeleteKey("");
    MakeWithDomain<IKVRInstaller>(Domain())->UpdateAllComponents();
    EXPECT_EQ(Hits("Kivora.ex_"), 1);
}

TEST_F(InstallerNetTest, ShortcutsAreMadeOnceOnly) {
    RegistrySetDouble("", "ScutsDone", 1.0);
    MakeWithDomain<IKVRInstaller>(Domain())->InstallAllComponents();
    EXPECT_FALSE(Exists(MenuFolder() + "/Kivora.desktop"));
    EXPECT_TRUE(Exists(ProgramFolder() + "/libRoomwright.so"));
}

TEST_F(InstallerNetTest, WithoutAUsableDomainNothingIsFetchedAndAllAnswersSucceed) {
    for (const std::string& domain : {std::string(), "http://" + std::string(300, 'h') + "/"}) {
        auto installer = Make<IKVRInstaller>();
        platform::ScopedBstr text(domain.c_str());
        EXPECT_EQ(installer->SetDomain(text.Get()), platform::S_OK);
        EXPECT_EQ(installer->InstallAllComponents(), platform::S_OK);
        EXPECT_EQ(installer->UpdateAllComponents(), platform::S_OK);
        int32_t complete = -1;
        EXPECT_EQ(installer->get_InstallationIsComplete(&complete), platform::S_OK);
        EXPECT_EQ(complete, 0);
    }
    EXPECT_EQ(Make<IKVRInstaller>()->SetDomain(nullptr), platform::S_OK);
    EXPECT_FALSE(Exists(ProgramFolder() + "/libRoomwright.so"));
    EXPECT_EQ(Hits("versionInfo.txt"), 0);
}

// A property bag holding one "Domain".
class DomainBag final : public platform::IPropertyBag {
public:
    explicit DomainBag(std::string domain) : domain_(std::move(domain)) {}
    platform::HRESULT QueryInterface(const platform::Guid&, void**) override {
        return platform::E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    platform::HRESULT Read(const char* name, platform::VARIANT* value) override {
        if (std::string(name) != "Domain") return platform::E_INVALIDARG;
        platform::SetVariantUtf8(value, domain_.c_str());
        return platform::S_OK;
    }

private:
    std::string domain_;
};

TEST_F(InstallerNetTest, TheUpdaterReplacesTheInstallerFromItsStartValues) {
    auto updater = Make<IKVRPatchrunner>();
    platform::RefPtr<platform::IPersistPropertyBag> persist;
    ASSERT_EQ(updater->QueryInterface(platform::IPersistPropertyBag::kIid, persist.OutParam()),
              platform::S_OK);
    DomainBag bag(Domain());
    EXPECT_EQ(persist->Load(&bag), platform::S_OK);
    EXPECT_EQ(Hits("versionInfo.txt"), 1);
    EXPECT_EQ(updater->UpdateAllComponents(), platform::S_OK);
    EXPECT_TRUE(Exists(ProgramFolder() + "/libInstaller.so"));
    EXPECT_FALSE(Exists(ProgramFolder() + "/libRoomwright.so"));
    // The updater's log is closed after an update: the log is marked as ended cleanly.
    EXPECT_EQ(Read(platform::TemporaryFolder() + "Kivora_Trace.txt").substr(0, 7), "NO_POST");
}

TEST_F(InstallerNetTest, AnUncleanEarlierLogIsPostedWhenTheInstallerStarts) {
    TempFolder tmp;
    ScopedEnv env("TMPDIR", tmp.Path());
    Write(tmp.Path() + "Kivora_Trace.txt", "crashed run\n");
    RegistrySetString("", "address", server_.Address().c_str());
    RegistrySetString("", "UID", "77");
    Make<IKVRInstaller>();
    std::lock_guard<std::mutex> guard(mutex_);
    ASSERT_EQ(posts_.size(), 1u);
    EXPECT_EQ(posts_[0],
              "/kvrQueryEntrance.aspx?errPost=1&userID=77&filename=Kivora_Trace.txt\n"
              "crashed run\n");
}

}  // namespace
