#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "control/BaseControl.h"
#include "foundation/IKVRInstaller.h"
#include "foundation/Transaction.h"
#include "support/TestControl.h"

using namespace std::chrono_literals;
using platform::HRESULT;

namespace {

class BaseControlTest : public ::testing::Test {
protected:
    ScopedProgramFolder programFolder;
    TestControl control;
};

// True when another thread can take the lock at once (and gives it back).
bool FreeForAnotherThread(platform::RecursiveLock& lock) {
    bool took = false;
    std::thread([&] {
        took = lock.TryLock();
        if (took) lock.Unlock();
    }).join();
    return took;
}

TEST_F(BaseControlTest, FullReleaseAndReacquireRestoreTheHolds) {
    platform::RecursiveLock& lock = control.RenderLock();
    EXPECT_EQ(control.ReleaseRenderLockFully(), 0);
    control.ReacquireRenderLock(0);
    control.ReacquireRenderLock(-3);
    EXPECT_FALSE(lock.IsHeld());

    control.LockRender();
    control.LockRender();
    control.currentContextCode = 11;
    // Another thread holding nothing gives up nothing.
    int otherAnswer = -1;
    std::thread([&] { otherAnswer = control.ReleaseRenderLockFully(); }).join();
    EXPECT_EQ(otherAnswer, 0);
    EXPECT_EQ(lock.CountForCurrentThread(), 2);

    EXPECT_EQ(control.ReleaseRenderLockFully(), 2);
    EXPECT_EQ(control.currentContextCode, 0);
    EXPECT_TRUE(FreeForAnotherThread(lock));
    control.ReacquireRenderLock(2);
    EXPECT_EQ(lock.CountForCurrentThread(), 2);
    control.UnlockRender();
    control.UnlockRender();
    EXPECT_FALSE(lock.IsHeld());
}

TEST_F(BaseControlTest, StopRenderThreadFromAHolderDoesNotDeadlock) {
    int passes = 0;
    ASSERT_TRUE(control.StartRenderThread([&] {
        for (;;) {
            control.LockRender();
            const bool quit = control.IsQuitRequested();
            ++passes;
            control.UnlockRender();
            if (quit) return;
            std::this_thread::sleep_for(1ms);
        }
    }));
    EXPECT_FALSE(control.StartRenderThread([] {}));
    control.LockRender();
    control.LockRender();
    EXPECT_TRUE(control.StopRenderThread());
    EXPECT_EQ(control.RenderLock().CountForCurrentThread(), 2);
    EXPECT_GE(passes, 1);
    control.UnlockRender();
    control.UnlockRender();
    // Stopping again, or with no thread, returns at once.
    EXPECT_TRUE(control.StopRenderThread());
}

TEST_F(BaseControlTest, MessageBoxesGiveUpTheRenderLockWhileOpen) {
    std::vector<platform::MessageBoxRequest> shown;
    bool lockFreeDuringBox = false;
    platform::SetMessageBoxResponder([&](const platform::MessageBoxRequest& r) {
        shown.push_back(r);
        lockFreeDuringBox = FreeForAnotherThread(control.RenderLock());
        return platform::MessageAnswer::Ok;
    });
    control.LockRender();
    control.LockRender();
    control.ShowResourceMessageModal(260);
    EXPECT_TRUE(lockFreeDuringBox);
    EXPECT_EQ(control.RenderLock().CountForCurrentThread(), 2);
    lockFreeDuringBox = false;
    control.ShowResourceMessage(276, "Duplication Failed");
    EXPECT_TRUE(lockFreeDuringBox);
    EXPECT_EQ(control.RenderLock().CountForCurrentThread(), 2);
    control.UnlockRender();
    control.UnlockRender();
    platform::SetMessageBoxResponder(nullptr);

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "There is currently no image to resize");
    EXPECT_EQ(shown[0].caption, "Message");
    EXPECT_EQ(shown[0].buttons, platform::MessageButtons::Ok);
    EXPECT_EQ(shown[1].text, "Couldn't duplicate one or more selected objects");
    EXPECT_EQ(shown[1].caption, "Duplication Failed");
    EXPECT_EQ(shown[1].icon, platform::MessageIcon::Information);
    EXPECT_TRUE(shown[1].systemModal);
    EXPECT_EQ(shown[1].owner, nullptr);
}

TEST_F(BaseControlTest, ResourceStringsAreCopiesOfTheirOwn) {
    const std::string a = control.LoadResourceString(293);
    const std::string b = control.LoadResourceString(294);
    EXPECT_EQ(a, "Save file before loading new scene?");
    EXPECT_EQ(b.rfind("A plan merge cannot be undone.", 0), 0u);
    EXPECT_EQ(control.LoadResourceString(1), "");

    char small[5];
    EXPECT_EQ(control.LoadResourceStringTo(293, small, sizeof small), 4u);
    EXPECT_STREQ(small, "Save");
    char missing[8] = "x";
    EXPECT_EQ(control.LoadResourceStringTo(1, missing, sizeof missing), 0u);
    EXPECT_STREQ(missing, "");
}

TEST_F(BaseControlTest, ConstructionPublishesTheControlAndSetsItsDefaults) {
    EXPECT_EQ(theControl(), &control);
    EXPECT_EQ(control.globalState.GetInteger(2), 150);
    EXPECT_EQ(control.globalState.GetInteger(3), 21);
    EXPECT_NE(control.GetTessellator(), nullptr);
    EXPECT_NE(control.GetQuadric(), nullptr);
    EXPECT_NE(control.GetWindowList(), nullptr);
    EXPECT_TRUE(control.statusBar.IsSetUp());
    EXPECT_FALSE(control.IsRunning());
    // Scheme 1's first colour and scheme 5's last.
    EXPECT_FLOAT_EQ(control.blueprintColors[8][2], 162 / 255.0f);
    EXPECT_FLOAT_EQ(control.blueprintColors[47][0], 1.0f);
    EXPECT_FLOAT_EQ(control.blueprintColors[47][3], 1.0f);
}

TEST(BaseControlLifeTest, ASecondControlIsRefusedByTheFactory) {
    ScopedProgramFolder folder;
    auto make = [] { return static_cast<BaseControl*>(new TestControl); };
    BaseControl* first = nullptr;
    ASSERT_EQ(BaseControl::CreateProcessControl(make, &first), platform::S_OK);
    ASSERT_NE(first, nullptr);

    BaseControl* second = reinterpret_cast<BaseControl*>(1);
    EXPECT_EQ(BaseControl::CreateProcessControl(make, &second), platform::E_FAIL);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(theControl(), first);

    // Two made at once: one wins, the other is undone.
    delete first;
    EXPECT_EQ(theControl(), nullptr);
    BaseControl* made[2] = {};
    HRESULT results[2] = {};
    std::thread a([&] { results[0] = BaseControl::CreateProcessControl(make, &made[0]); });
    std::thread b([&] { results[1] = BaseControl::CreateProcessControl(make, &made[1]); });
    a.join();
    b.join();
    EXPECT_EQ(platform::Succeeded(results[0]) + platform::Succeeded(results[1]), 1);
    BaseControl* winner = made[0] ? made[0] : made[1];
    EXPECT_EQ(theControl(), winner);
    delete winner;
}

TEST(BaseControlLifeTest, WorkersAreCancelledAndJoinedBeforeTheControlGoes) {
    ScopedProgramFolder folder;
    std::atomic<int> finished{0};
    auto* control = new TestControl;
    for (int i = 0; i < 3; ++i) {
        control->StartWorker([&, control](const std::atomic<bool>& cancel) {
            while (!cancel) std::this_thread::sleep_for(1ms);
            // Still safe to use the control, its lock and its lists.
            control->LockRender();
            control->BeginUndoGroup();
            control->EndUndoGroup();
            control->UnlockRender();
            ++finished;
        });
    }
    // The destroying thread holds the render lock, as the window's teardown does.
    control->LockRender();
    delete control;
    EXPECT_EQ(finished, 3);
}

TEST(BaseControlLifeTest, UpdateScriptRunsOnceWhenTheControlGoes) {
    ScopedProgramFolder folder;
    {
        // Without the script nothing happens.
        TestControl control;
    }
    std::filesystem::create_directories(folder.ProgramFolder());
    const std::string marker = folder.ProgramFolder() + "ran.txt";
    std::ofstream(folder.ProgramFolder() + "Update.bat") << "echo ran >> '" << marker << "'\n";
    {
        TestControl control;
        // A refused second control does not run it.
        BaseControl* second = nullptr;
        BaseControl::CreateProcessControl([] { return new TestControl; }, &second);
        std::this_thread::sleep_for(100ms);
        EXPECT_FALSE(std::filesystem::exists(marker));
    }
    std::string text;
    for (int i = 0; i < 500 && text.empty(); ++i) {
        std::this_thread::sleep_for(10ms);
        std::stringstream s;
        s << std::ifstream(marker).rdbuf();
        text = s.str();
    }
    std::this_thread::sleep_for(100ms);
    std::stringstream s;
    s << std::ifstream(marker).rdbuf();
    EXPECT_EQ(s.str(), "ran\n");
}

// An installer component that counts its calls.
struct FakeInstaller : IKVRInstaller {
    static inline int live = 0;
    static inline int uninstalls = 0;
    static inline HRESULT result = platform::S_OK;
    FakeInstaller() { ++live; }
    ~FakeInstaller() { --live; }
    HRESULT QueryInterface(const platform::Guid& iid, void** out) override {
        if (iid != IKVRInstaller::kIid && iid != platform::IUnknown::kIid) {
            *out = nullptr;
            return platform::E_NOINTERFACE;
        }
        AddRef();
        *out = static_cast<IKVRInstaller*>(this);
        return platform::S_OK;
    }
    uint32_t AddRef() override { return refs.Increment(); }
    uint32_t Release() override {
        const uint32_t left = refs.Decrement();
        if (left == 0) delete this;
        return left;
    }
    HRESULT InstallAllComponents() override { return platform::S_OK; }
    HRESULT UninstallAllComponents() override {
        ++uninstalls;
        return result;
    }
    HRESULT UpdateAllComponents() override { return platform::S_OK; }
    HRESULT get_InstallationIsComplete(int32_t* c) override {
        *c = 1;
        return platform::S_OK;
    }
    HRESULT SetDomain(platform::BSTR) override { return platform::S_OK; }
    HRESULT QuietlyUninstallAllComponents() override { return platform::S_OK; }
    platform::RefCount refs;
};

TEST_F(BaseControlTest, UninstallCreatesTheInstallerByItsClassAndReleasesIt) {
    control.Uninstall();  // no installer registered: nothing happens
    EXPECT_EQ(FakeInstaller::uninstalls, 0);

    auto factory = platform::MakeClassFactory([](const platform::Guid& iid, void** out) {
        auto* installer = new FakeInstaller;
        const HRESULT hr = installer->QueryInterface(iid, out);
        installer->Release();
        return hr;
    });
    ASSERT_EQ(platform::RegisterClassFactory(kKVRInstallerClassId, factory.Get()), platform::S_OK);
    control.Uninstall();
    FakeInstaller::result = platform::E_FAIL;
    control.Uninstall();
    FakeInstaller::result = platform::S_OK;
    EXPECT_EQ(FakeInstaller::uninstalls, 2);
    EXPECT_EQ(FakeInstaller::live, 0);
    platform::RevokeClassFactory(kKVRInstallerClassId);
}

// Replays check that they run under the render lock.
struct LockCheckingRecord : BaseTransaction {
    explicit LockCheckingRecord(std::vector<std::string>& log) : log(log) {}
    int GetTransactionType() const override { return kObjectTransactionType; }
    void Apply(bool undo) override {
        const bool locked = theControl()->RenderLock().IsHeldByCurrentThread();
        log.push_back(std::string(undo ? "undo" : "redo") + (locked ? " locked" : " unlocked"));
    }
    std::vector<std::string>& log;
};

TEST_F(BaseControlTest, UndoAndRedoReplayUnderTheRenderLock) {
    std::vector<std::string> log;
    control.BeginUndoGroup();
    control.PushTransaction(new LockCheckingRecord(log));
    control.EndUndoGroup();
    EXPECT_TRUE(control.Undo());
    EXPECT_TRUE(control.Redo());
    EXPECT_TRUE(control.Redo());  // nothing left: still true
    EXPECT_EQ(log, (std::vector<std::string>{"undo locked", "redo locked"}));
    EXPECT_FALSE(control.RenderLock().IsHeld());
}

}  // namespace
