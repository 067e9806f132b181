#include "platform/FileDialog.h"

#include "Display.h"

#include <mutex>

namespace platform {

namespace {

std::mutex responderMutex;
FileDialogResponder responder;

bool HasExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

bool ShowFileDialog(const FileDialogRequest& request, std::string* chosen) {
    FileDialogResponder answer;
    {
        std::lock_guard<std::mutex> hold(responderMutex);
        answer = responder;
    }
    std::string path;
    if (!answer && display::Active()) {
        answer = [](const FileDialogRequest& r, std::string* out) {
            return display::ChooseFile(r, out);
        };
    }
    if (!answer || !answer(request, &path) || path.empty()) return false;
    if (request.kind == FileDialogKind::Save && !request.defaultExtension.empty() &&
        !HasExtension(path))
        path += "." + request.defaultExtension;
    if (chosen) *chosen = path;
    return true;
}

void SetFileDialogResponder(FileDialogResponder next) {
    std::lock_guard<std::mutex> hold(responderMutex);
    responder = std::move(next);
}

}  // namespace platform
