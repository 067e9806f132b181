#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "InstallerFixture.h"
#include "component/TestComponent.h"
#include "foundation/Registry.h"
#include "installer/BaseInstaller.h"
#include "installer/FilePath.h"
#include "installer/FileVersion.h"
#include "installer/KVRInstaller.h"
#include "installer/KVRPatchrunner.h"
#include "installer/VersionFetcher.h"
#include "platform/Automation.h"
#include "platform/Component.h"
#include "platform/RegistryStore.h"

namespace {

using platform::RegistryRoot;

TEST(FileVersionTest, ParsesFourNumbersKeptInEightBits) {
    struct Case {
        const char* text;
        bool ok;
        FileVersion expected;
    };
    const Case cases[] = {
        {"1,0,0,27", true, {1, 0, 0, 27}},
        {" 1, 2, 3, 4", true, {1, 2, 3, 4}},
        {"v1,x2,-3,4b", true, {1, 2, 3, 4}},
        {"256,300,1,2", true, {0, 44, 1, 2}},
        {"99999999999999999999999,1,1,1", true, {255, 1, 1, 1}},  // wraps digit by digit
        {"1,,2,3,4", true, {1, 2, 3, 4}},                         // empty pieces do not count
        {"1,2,3", false, {}},                                     // too short
        {"10,20,30,", false, {}},                                 // a piece missing
        {"", false, {}},
    };
    for (const Case& c : cases) {
        FileVersion v{9, 9, 9, 9};
        EXPECT_EQ(v.Parse(c.text), c.ok) << c.text;
        EXPECT_EQ(v, (c.ok ? c.expected : FileVersion{9, 9, 9, 9})) << c.text;
    }
    EXPECT_FALSE(FileVersion{}.Parse(nullptr));
}

TEST(FileVersionTest, ComparesInOrderAfterWrapping) {
    FileVersion low, high;
    ASSERT_TRUE(low.Parse("1,0,0,256"));  // 1.0.0.0
    ASSERT_TRUE(high.Parse("1,0,0,1"));
    EXPECT_LT(low, high);
    ASSERT_TRUE(low.Parse("1,9,9,9"));
    ASSERT_TRUE(high.Parse("2,0,0,0"));
    EXPECT_LT(low, high);
    EXPECT_FALSE(high < high);
}

TEST(FileVersionTest, ReadsTheMarkALibraryStates) {
    FileVersion v;
    ASSERT_TRUE(ReadFileVersionMark(KIVORA_TEST_COMPONENT, &v));
    EXPECT_EQ(v, (FileVersion{2, 0, 0, 5}));
    ASSERT_TRUE(ReadFileVersionMark(KIVORA_INSTALLER_LIBRARY, &v));
    EXPECT_EQ(v, (FileVersion{1, 0, 0, 22}));
}

TEST(FileVersionTest, FindsAMarkAcrossReadBlocksAndIgnoresABarePrefix) {
    TempFolder folder;
    // A bare prefix first (as the reader's own code holds it), then a mark that
    // straddles the first 1 MiB block.
    std::string bytes = "KIVORA-FILE-VERSION:";
    bytes.push_back('\0');
    bytes.resize((1 << 20) - 10, 'x');
    bytes += "KIVORA-FILE-VERSION:3,1,4,1";
    bytes.push_back('\0');
    const std::string path = folder.Path() + "lib.so";
    Write(path, bytes);
    FileVersion v;
    ASSERT_TRUE(ReadFileVersionMark(path.c_str(), &v));
    EXPECT_EQ(v, (FileVersion{3, 1, 4, 1}));

    Write(path, "no mark KIVORA-FILE-VERSION:,,,");
    EXPECT_FALSE(ReadFileVersionMark(path.c_str(), &v));
    EXPECT_FALSE(ReadFileVersionMark((folder.Path() + "missing").c_str(), &v));
}

TEST(FilePathTest, JoinsAndSplitsFolderAndName) {
    FilePath p;
    ASSERT_TRUE(p.SetFolder("http://host:8080/"));
    ASSERT_TRUE(p.SetName("/Roomwright.dl_"));
    EXPECT_EQ(p.FullName(), "http://host:8080/Roomwright.dl_");

    FilePath bare;
    ASSERT_TRUE(bare.SetFolder(""));
    ASSERT_TRUE(bare.SetName("Roomwright.dl_"));
    EXPECT_EQ(bare.FullName(), "Roomwright.dl_");

    ASSERT_TRUE(p.SetFullPath("/opt/k/lib.so"));
    EXPECT_EQ(p.Folder(), "/opt/k");
    EXPECT_EQ(p.Name(), "lib.so");
    EXPECT_FALSE(p.SetFullPath("no-separator"));

    // Over-long parts are refused and the path keeps what it had.
    EXPECT_FALSE(p.SetName(std::string(300, 'n').c_str()));
    EXPECT_FALSE(p.SetFolder(std::string(255, 'f').c_str()));
    EXPECT_EQ(p.FullName(), "/opt/k/lib.so");
}

// Reads a version list written by the test into a table of components.
class VersionListTest : public InstallerFixture {
protected:
    int ReadList(const std::string& text) {
        const std::string path = Root() + "versionInfo.txt";
        Write(path, text);
        VersionFetcher fetcher(table_, 3, ProgramFolder());
        return fetcher.ReadVersionFile(path.c_str());
    }
    Component editor_{"libRoomwright.so", "/Roomwright.dl_", "DuzazododizaVersion", "/p"};
    Component probe_{"libGearscout.so", "/Gearscout.dl_", "GearscoutVersion", "/p"};
    Component host_{"Kivora", "/Kivora.ex_", "HostVersion", "/p"};
    Component* table_[3] = {&editor_, &probe_, &host_};
};

TEST_F(VersionListTest, MatchesOnlyTheTableNamesInAnyOrderAndLayout) {
    const int matched = ReadList(
        "' generated\r\n"
        "DIM HostVersion = \"3,0,0,7\"\r\n"
        "dim OtherVersion = \"9,9,9,9\"\n"
        "junk dim\tduzazododizaversion = 1,1,0,48\n"
        "  dim   GearscoutVersion   =   \"1, 0, 0, 4\"");
    EXPECT_EQ(matched, 3);
    EXPECT_EQ(editor_.serverVersion, (FileVersion{1, 1, 0, 48}));
    EXPECT_EQ(probe_.serverVersion, (FileVersion{1, 0, 0, 4}));
    EXPECT_EQ(host_.serverVersion, (FileVersion{3, 0, 0, 7}));
}

TEST_F(VersionListTest, AMissingRecordLeavesItsComponentAtZero) {
    EXPECT_EQ(ReadList("dim HostVersion = \"3,0,0,7\"\n"), 1);
    EXPECT_TRUE(editor_.serverVersion.IsZero());
    EXPECT_EQ(host_.serverVersion, (FileVersion{3, 0, 0, 7}));
}

TEST_F(VersionListTest, StopsAtACutRecordAndAtTheEndByte) {
    EXPECT_EQ(ReadList("dim HostVersion = \"3,0,0,7\"\ndim GearscoutVersion =\n"), 1);
    EXPECT_TRUE(probe_.serverVersion.IsZero());
    EXPECT_EQ(ReadList(std::string("dim GearscoutVersion = \"1,0,0,9\"\n\xFF"
                                   "dim DuzazododizaVersion = \"1,0,0,2\"\n")),
              1);
    EXPECT_TRUE(editor_.serverVersion.IsZero());
}

TEST_F(VersionListTest, AnOverLongTokenIsRefusedNotOverrun) {
    EXPECT_EQ(ReadList("dim HostVersion = \"" + std::string(20000, '1') + "\"\n"), 0);
    EXPECT_TRUE(host_.serverVersion.IsZero());
}

TEST(DesktopEntryTest, QuotesTheProgramAndRefusesEmptyParts) {
    TempFolder folder;
    const std::string menu = folder.Path() + "menu";
    std::filesystem::create_directories(menu);
    ASSERT_TRUE(WriteDesktopEntry(menu, "Uninstall Kivora", "/opt/my \"k\" $x 100%/Kivora", "-u"));
    const std::string text = Read(menu + "/Uninstall Kivora.desktop");
    EXPECT_NE(text.find("Name=Uninstall Kivora\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Exec=\"/opt/my \\\\\"k\\\\\" \\\\$x 100%%/Kivora\" -u\n"),
              std::string::npos)
        << text;
    EXPECT_FALSE(WriteDesktopEntry(menu, "", "/opt/Kivora", ""));
    EXPECT_FALSE(WriteDesktopEntry(menu, "Kivora", "", ""));
    EXPECT_FALSE(WriteDesktopEntry(menu, "Kivora", "/opt/Kivora\nExec=evil", ""));
}

TEST(TraceLogExcerptTest, SendsShortLogsWholeAndLongOnesAsTheirEnds) {
    TempFolder folder;
    const std::string path = folder.Path() + "log.txt";
    Write(path, std::string(1279, 'a'));
    EXPECT_EQ(TraceLogExcerpt(path.c_str()), std::string(1279, 'a'));

    std::string log;
    for (int i = 0; i < 100000; ++i) log += static_cast<char>('a' + i % 26);
    Write(path, log);
    const std::string excerpt = TraceLogExcerpt(path.c_str());
    EXPECT_EQ(excerpt, log.substr(0, 256) + "\n\n\n" + log.substr(log.size() - 1025, 1024));
    EXPECT_EQ(TraceLogExcerpt((folder.Path() + "none").c_str()), "");
}

// Classes a library in the registry store serves are created from it.
class RegisteredClassTest : public InstallerFixture {};

TEST_F(RegisteredClassTest, CreatesAClassFromTheLibraryItsRegistrationNamed) {
    platform::RefPtr<ITestAnswer> answer;
    EXPECT_EQ(platform::CreateInstance(kTestComponentClassId, &answer),
              platform::CLASS_E_CLASSNOTAVAILABLE);

    RegisterableFile file;
    ASSERT_TRUE(file.File().SetFullPath(KIVORA_TEST_COMPONENT));
    ASSERT_TRUE(file.Register());
    ASSERT_EQ(platform::CreateInstance(kTestComponentClassId, &answer), platform::S_OK);
    EXPECT_EQ(answer->Answer(), 42);
    answer.Reset();

    ASSERT_TRUE(file.Unregister());
    EXPECT_EQ(platform::CreateInstance(kTestComponentClassId, &answer),
              platform::CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(RegisteredClassTest, LoadsOnlyFullPathsThatHaveAFactoryExport) {
    auto store = platform::RegistryStore::ForCurrentUser();
    const std::string key =
        "CLSID\\" + platform::FormatGuid(kTestComponentClassId) + "\\InprocServer32";
    platform::RefPtr<ITestAnswer> answer;
    ASSERT_TRUE(store->SetString(RegistryRoot::Classes, key, "", "libTestComponent.so"));
    EXPECT_EQ(platform::CreateInstance(kTestComponentClassId, &answer),
              platform::CLASS_E_CLASSNOTAVAILABLE);
    ASSERT_TRUE(store->SetString(RegistryRoot::Classes, key, "", Root() + "missing.so"));
    EXPECT_EQ(platform::CreateInstance(kTestComponentClassId, &answer), platform::E_FAIL);
    EXPECT_FALSE(answer);
}

TEST(RegisteredClassStoreTest, ALookUpMakesNoStore) {
    TempFolder folder;
    ScopedEnv env("KIVORA_REGISTRY_DIR", folder.Path() + "store/");
    platform::RefPtr<ITestAnswer> answer;
    EXPECT_EQ(platform::CreateInstance(kTestComponentClassId, &answer),
              platform::CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(std::filesystem::exists(folder.Path() + "store"));
}

// An installed product, laid out by hand, for the uninstall.
class UninstallTest : public InstallerFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(platform::RegisterClassFactory(kKVRPatchrunnerClassId,
                                                 KVRPatchrunner::MakeFactory().Get()),
                  platform::S_OK);
        const std::string folder = ProgramFolder();
        for (const char* name : {"libRoomwright.so", "Roomwright.dl_", "Kivora", "Kivora.ex_",
                                 "libInstaller.so", "versionInfo.txt", "Update.bat"})
            Write(folder + "/" + name, "x");
        Write(MenuFolder() + "/Kivora.desktop", "x");
        Write(MenuFolder() + "/Uninstall Kivora.desktop", "x");
        Write(Root() + "desktop/Kivora.desktop", "x");
        RegistrySetDouble("", "ScutsDone", 1.0);
        RegistrySetString("defaults\\wall\\", "x", "y");
        platform::RegistryStore::ForCurrentUser()->SetString(
            RegistryRoot::LocalMachine, BaseInstaller::kUninstallKey, "DisplayName", "Kivora");
    }
    void TearDown() override { platform::RevokeClassFactory(kKVRPatchrunnerClassId); }

    platform::RefPtr<IKVRInstaller> MakeInstaller() {
        platform::RefPtr<IKVRInstaller> installer;
        EXPECT_EQ(
            KVRInstaller::MakeFactory()->CreateInstance(IKVRInstaller::kIid, installer.OutParam()),
            platform::S_OK);
        return installer;
    }
};

TEST_F(UninstallTest, AnsweringNoChangesNothing) {
    answer = platform::MessageAnswer::No;
    EXPECT_EQ(MakeInstaller()->UninstallAllComponents(), platform::S_FALSE);
    EXPECT_EQ(boxes, std::vector<std::string>{"Uninstall Kivora?"});
    EXPECT_TRUE(Exists(ProgramFolder() + "/libRoomwright.so"));
    EXPECT_TRUE(Exists(MenuFolder() + "/Kivora.desktop"));
    double done = 0;
    EXPECT_TRUE(RegistryGetDouble("", "ScutsDone", &done));
}

TEST_F(UninstallTest, RemovesBothObjectsFilesEntriesAndSettings) {
    EXPECT_EQ(MakeInstaller()->UninstallAllComponents(), platform::S_OK);
    EXPECT_EQ(boxes,
              (std::vector<std::string>{"Uninstall Kivora?", "Restart To Complete Uninstall"}));
    // The updater's file goes through the updater, which the installer creates.
    EXPECT_FALSE(Exists(ProgramFolder()));
    EXPECT_FALSE(Exists(Root() + "programs/Kivora"));
    EXPECT_FALSE(Exists(MenuFolder()));
    EXPECT_FALSE(Exists(Root() + "desktop/Kivora.desktop"));
    double done = 0;
    EXPECT_FALSE(RegistryGetDouble("", "ScutsDone", &done));
    char text[16];
    EXPECT_FALSE(RegistryGetString("defaults\\wall\\", "x", text, sizeof text));
    EXPECT_FALSE(platform::RegistryStore::ForCurrentUser()->KeyExists(
        RegistryRoot::LocalMachine, BaseInstaller::kUninstallKey));
}

TEST_F(UninstallTest, OnlyTheInstallersOwnMenuEntriesGo) {
    Write(MenuFolder() + "/My notes.desktop", "mine");
    EXPECT_EQ(MakeInstaller()->UninstallAllComponents(), platform::S_OK);
    EXPECT_FALSE(Exists(MenuFolder() + "/Kivora.desktop"));
    EXPECT_FALSE(Exists(MenuFolder() + "/Uninstall Kivora.desktop"));
    EXPECT_TRUE(Exists(MenuFolder() + "/My notes.desktop"));
}

TEST_F(UninstallTest, AQuietUninstallAsksNothingAndLeavesTheMenuEntries) {
    EXPECT_EQ(MakeInstaller()->QuietlyUninstallAllComponents(), platform::S_OK);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(Exists(ProgramFolder() + "/libRoomwright.so"));
    EXPECT_FALSE(Exists(ProgramFolder() + "/Kivora.ex_"));
    EXPECT_TRUE(Exists(ProgramFolder() + "/libInstaller.so"));  // the updater's
    EXPECT_TRUE(Exists(MenuFolder() + "/Kivora.desktop"));
}

TEST_F(UninstallTest, WithoutAProgramFolderNothingNamedLikeAComponentIsTouched) {
    TempFolder cwd;
    const std::string old = std::filesystem::current_path();
    std::filesystem::current_path(cwd.Path());
    Write(cwd.Path() + "libRoomwright.so", "mine");
    Write(cwd.Path() + "Roomwright.dl_", "mine");
    {
        ScopedEnv own("KIVORA_PROGRAM_FILES", "");
        ScopedEnv data("XDG_DATA_HOME", "");
        ScopedEnv home("HOME", "");
        EXPECT_EQ(MakeInstaller()->QuietlyUninstallAllComponents(), platform::S_OK);
    }
    std::filesystem::current_path(old);
    EXPECT_EQ(Read(cwd.Path() + "libRoomwright.so"), "mine");
    EXPECT_EQ(Read(cwd.Path() + "Roomwright.dl_"), "mine");
}

TEST_F(UninstallTest, TheObjectsWriteIntoALogTheProcessAlreadyKeeps) {
    TempFolder tmp;
    ScopedEnv env("TMPDIR", tmp.Path());
    {
        Trace process;
        SetTraceWriteLog(&process);
        MakeInstaller()->QuietlyUninstallAllComponents();
        EXPECT_EQ(GetTraceWriteLog(), &process);
        process.Close();
    }
    const std::string log = Read(tmp.Path() + "Kivora_Trace.txt");
    EXPECT_NE(log.find("CompID : Installer v.1,0,0,22"), std::string::npos);
    EXPECT_NE(log.find("KVRI::eQUninst"), std::string::npos);
    EXPECT_FALSE(Exists(tmp.Path() + "Kivora_Trace.err"));
}

}  // namespace
