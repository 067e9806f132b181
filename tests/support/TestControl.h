#pragma once

#include <string>
#include <vector>

#include "control/BaseControl.h"
#include "support/TempFolder.h"

// A control with the window side answered by nothing, for tests of the central object.
class TestControl : public BaseControl {
public:
    void ShowMainProgress(bool, intptr_t) override {}
    void SetStatusText(const char*) override {}
    void SetProgressDetail(double, intptr_t) override {}
    void PostHostMessage(uint32_t command) override { hostMessages.push_back(command); }
    void QueryUserStatus() override {}

    std::vector<uint32_t> hostMessages;
};

// Points the program folder at a temporary folder of its own for a test, so that no
// update script of a real installation runs; `ProgramFolder()` ends with '/'.
class ScopedProgramFolder {
public:
    ScopedProgramFolder() : env_("KIVORA_PROGRAM_FILES", folder_.Path()) {}
    std::string ProgramFolder() const { return folder_.Path() + "Kivora/Duzazododiza/"; }

private:
    TempFolder folder_;
    ScopedEnv env_;
};
