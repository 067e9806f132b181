#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

// The open and save file dialogs as models. Without a display every dialog is answered
// by a responder: the one set with SetFileDialogResponder, or by default a cancel.

enum class FileDialogKind { Open, Save };

// Flags of a file dialog.
inline constexpr uint32_t kFileMustExist = 1u << 0;
inline constexpr uint32_t kPathMustExist = 1u << 1;
inline constexpr uint32_t kOverwritePrompt = 1u << 2;

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    const void* owner = nullptr;   // the owner window; null for none
    std::string initialPath;       // the name the dialog starts with
    std::string filterName;        // "Kivora files"
    std::string filterPattern;     // "*.kvp"
    std::string defaultExtension;  // added to a chosen name without one (save only)
    uint32_t flags = 0;
};

// Answers the chosen path, or false for a cancel.
using FileDialogResponder = std::function<bool(const FileDialogRequest&, std::string* chosen)>;

// Shows the dialog; true with `*chosen` set to the path when the user chose one. A
// chosen save name without an extension gets the default extension.
bool ShowFileDialog(const FileDialogRequest& request, std::string* chosen);

// Sets the responder for every later dialog; null restores the default (cancel).
void SetFileDialogResponder(FileDialogResponder responder);

}  // namespace platform
