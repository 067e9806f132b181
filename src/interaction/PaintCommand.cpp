#include "interaction/PaintCommand.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "interaction/ColorCommand.h"
#include "interaction/MaterialCommand.h"

PaintCommand::PaintCommand(const char* altText) {
    const std::string text = altText ? altText : "";
    const size_t color = text.find("color");
    color_ = std::make_unique<ColorCommand>(color == std::string::npos ? "" : text.c_str() + color);
    const size_t http = text.find("http");
    if (http == std::string::npos) return;
    std::string address = text.substr(http);
    address = address.substr(0, address.find(';'));
    SetCompressed(true);
    DownloadNow(address.c_str());
}

PaintCommand::~PaintCommand() {
    CancelDownload();
}

int PaintCommand::OnDownloadComplete() {
    FILE* file = decompressedFile[0] ? std::fopen(decompressedFile, "rb") : nullptr;
    if (!file) {
        TraceWrite("Paint material could not be opened.");
        return 1;
    }
    KeyDataList description;
    if (!description.ReadBinary(file)) TraceWrite("Paint material read in part.");
    std::fclose(file);
    const KeyDataList* item = description.GetSublist("Material");
    if (item && !item->IsEmpty()) {
        material_ =
            std::make_unique<MaterialCommand>(description.TakeSublist("Material"), hostPart);
        material_->SetPaint(true);
    }
    return 1;
}

void PaintCommand::Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) {
    if (!material_) return;
    material_->Begin(keyState, point, effect);
    color_->Begin(keyState, point, effect);
}

void PaintCommand::DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) {
    if (!material_) return;
    material_->DragOver(keyState, point, effect);
    color_->DragOver(keyState, point, effect);
}

void PaintCommand::Cancel() {
    if (!material_) return;
    material_->Cancel();
    color_->Cancel();
}

void PaintCommand::Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) {
    if (!material_) return;
    material_->Drop(keyState, point, effect);
    color_->Drop(keyState, point, effect);
}
