#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "interaction/BaseCommandHandler.h"

class UndoableObject;

// Opens a plan dropped on a view: a local plan file, or one named by a web page and
// fetched from the content server. The plan loads on a worker of the control while the
// drag goes on. A plan of one group merges into the scene and follows the pointer until
// it is dropped, which records it as created; a larger plan replaces the scene (after
// the save question). One plan drop loads at a time: a second one meanwhile is ignored.
class KivoraDropCommand : public BaseCommandHandler, public BaseModelCommand {
public:
    // `name` is a path (with `localFile`) or an address, whole ("http...") or on the
    // content domain.
    KivoraDropCommand(const char* name, bool localFile);
    ~KivoraDropCommand() override;

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void Cancel() override;
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    const std::string& GetPlanURL() const { return planURL_; }
    const std::string& GetLocalPath() const { return localPath_; }
    bool IsLocalFile() const { return localFile_; }
    // Whether this command's load was started and has ended.
    bool IsLoadFinished() const;
    // The group the load merged, once it has; null before, or when the plan did not merge.
    UndoableObject* GetMergedGroup() const;
    // Whether a plan drop holds the one load (from Begin until its command and its load
    // have both ended).
    static bool IsLoadBusy();

    struct LoadState;

private:
    // Moves the merged group to the drop point of the screen point.
    void Place(platform::ScreenPoint point);
    // The command's part of the load ends; the busy flag goes with the last part.
    void End();

    bool localFile_ = false;
    std::string planURL_;
    std::string localPath_;
    std::shared_ptr<LoadState> load_;
};
