#pragma once

#include <cstdint>
#include <memory>

#include "foundation/DownloadableObject.h"
#include "interaction/BaseCommandHandler.h"

class ColorCommand;
class MaterialCommand;

// A paint: a material fetched from the address in a dragged image's alt text, then a
// colour on top of it. The material is fetched as the command is made (inside the drag's
// enter); a paint whose material cannot be fetched or read does nothing at all.
class PaintCommand : public BaseCommandHandler, public DownloadableObject {
public:
    // `altText` holds the material's address (up to the next ';') and the colour text
    // from "color" on.
    explicit PaintCommand(const char* altText);
    ~PaintCommand() override;

    void Begin(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void DragOver(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;
    void Cancel() override;
    void Drop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect) override;

    int OnDownloadComplete() override;

    ColorCommand* GetColorCommand() const { return color_.get(); }
    MaterialCommand* GetMaterialCommand() const { return material_.get(); }

private:
    std::unique_ptr<ColorCommand> color_;
    std::unique_ptr<MaterialCommand> material_;
};
