#include "interaction/KivoraDropCommand.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "control/BaseControl.h"
#include "control/Duzazododiza.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "foundation/UndoableObject.h"
#include "model/MoveableObject.h"

namespace {

// The host hears that a dropped plan has been taken.
constexpr uint32_t kPlanDroppedMessage = 25348;

std::atomic<bool> planLoadBusy{false};

}  // namespace

// What the command and its load share: the load may outlive the command.
struct KivoraDropCommand::LoadState {
    std::mutex mutex;
    bool commandEnded = false;
    bool loadEnded = false;
    // The transaction id of the group the load merged, written once by the load; the
    // group itself is looked up in the scene, which may have lost it meanwhile.
    std::atomic<bool> merged{false};
    std::atomic<TransactionId> groupId{0};

    // One side has ended; the busy flag clears when both have.
    void EndPart(bool command) {
        std::lock_guard<std::mutex> hold(mutex);
        (command ? commandEnded : loadEnded) = true;
        if (commandEnded && loadEnded) planLoadBusy = false;
    }
};

KivoraDropCommand::KivoraDropCommand(const char* name, bool localFile) : localFile_(localFile) {
    const char* text = name ? name : "";
    if (std::strstr(text, "http")) {
        planURL_ = text;
    } else if (BaseControl* control = theControl()) {
        char address[BaseControl::kPathSize] = {};
        control->AttachPathToDomain(text, address, sizeof address);
        planURL_ = address;
    }
    if (localFile_) localPath_ = text;
}

KivoraDropCommand::~KivoraDropCommand() {
    End();
}

bool KivoraDropCommand::IsLoadBusy() {
    return planLoadBusy;
}

bool KivoraDropCommand::IsLoadFinished() const {
    if (!load_) return false;
    std::lock_guard<std::mutex> hold(load_->mutex);
    return load_->loadEnded;
}

UndoableObject* KivoraDropCommand::GetMergedGroup() const {
    BaseControl* control = theControl();
    if (!control || !load_ || !load_->merged) return nullptr;
    RenderLockScope hold(control);
    UndoableObject* found = FindObjectByTransactionId(control->scene, load_->groupId);
    return found && found->GetOwner() == &control->scene ? found : nullptr;
}

void KivoraDropCommand::End() {
    if (!load_) return;
    std::shared_ptr<LoadState> load = std::move(load_);
    load->EndPart(true);
}

void KivoraDropCommand::Begin(uint32_t, platform::ScreenPoint, uint32_t*) {
    BaseControl* control = theControl();
    if (!control || !control->IsRunning()) {
        TraceWrite("Plan drop ignored: the editor is not running.");
        return;
    }
    // A web plan the page asked for counts as a plan load too.
    auto* window = dynamic_cast<CDuzazododiza*>(control);
    if (load_ || (window && window->webPlanLoading) || planLoadBusy.exchange(true)) {
        TraceWrite("Plan drop ignored: another plan is loading.");
        return;
    }
    load_ = std::make_shared<LoadState>();
    control->SetRenderEnabled(true);
    std::string path = localPath_;
    if (!localFile_) {
        char cached[BaseControl::kPathSize] = {};
        if (planURL_.empty() ||
            !BaseControl::DownloadToCacheWithRetry(planURL_.c_str(), cached, sizeof cached,
                                                   nullptr)) {
            theTrace().WriteFormat("Dropped plan not fetched: %s", planURL_.c_str());
            load_->EndPart(false);
            return;
        }
        path = cached;
        localPath_ = path;
    }
    std::shared_ptr<LoadState> load = load_;
    const bool started = control->StartWorker([control, load, path](const std::atomic<bool>&) {
        SerializableObject* merged = control->LoadPlanFile(path.c_str(), true);
        if (auto* group = dynamic_cast<UndoableObject*>(merged)) {
            load->groupId = group->GetObjectId();
            load->merged = true;
        } else if (auto* window = dynamic_cast<CDuzazododiza*>(control)) {
            window->UpdateWindowTitle();
        }
        load->EndPart(false);
    });
    if (!started) {
        TraceWrite("Dropped plan not loaded: no worker.");
        load_->EndPart(false);
    }
}

void KivoraDropCommand::Place(platform::ScreenPoint point) {
    BaseControl* control = theControl();
    UndoableObject* group = GetMergedGroup();
    if (!control || !group) return;
    RenderLockScope hold(control);
    if (auto* moveable = dynamic_cast<MoveableObject*>(group)) {
        Vector at = GetDropPoint(point);
        at.w = 1.0;
        moveable->SetPosition(at);
    }
}

void KivoraDropCommand::DragOver(uint32_t, platform::ScreenPoint point, uint32_t*) {
    BaseControl* control = theControl();
    if (!control) return;
    control->globalState.SetBoolean(18, true);
    Place(point);
}

void KivoraDropCommand::Drop(uint32_t, platform::ScreenPoint point, uint32_t*) {
    BaseControl* control = theControl();
    if (!control) return;
    control->globalState.SetBoolean(18, false);
    UndoableObject* group = GetMergedGroup();
    if (!group) {
        // The scene was replaced (or the plan is not in yet): nothing to save.
        control->globalState.SetBoolean(0, false);
    } else {
        RenderLockScope hold(control);
        group->BeginTransaction(true);
        Place(point);
        group->EndUndoStep();
    }
    FreeDepthImage();
    control->PostHostMessage(kPlanDroppedMessage);
    End();
}

void KivoraDropCommand::Cancel() {
    BaseControl* control = theControl();
    if (control) control->globalState.SetBoolean(18, false);
    FreeDepthImage();
    End();
}
