#pragma once

#include <GL/gl.h>

#include <cstddef>
#include <cstdint>

#include "model/Model.h"

class Part;

// A scanned or drawn plan shown as a half-transparent picture under the design, so that
// walls can be drawn over it. A view window holds at most one, outside the scene list;
// undo records find the main window's image by its transaction id.
//
// The picture lies in the plane y = 0 of the model, w units along x and h along z for a
// picture of w x h pixels, centred on the position (2 units above the ground at first,
// turned half round). Its one material is the model's material 0: white at half alpha
// with the picture as its texture, so the texture turns and scaling travel with the
// model's keys. Dragging a reference length in the scaling mode sets its scale.
class TraceImageModel : public Model {
public:
    static constexpr size_t kURLSize = 260;
    static constexpr uint32_t kScaleCommand = 209;
    static constexpr int kScalingMode = 29;
    // Height the picture is drawn at in the blueprint view, and while the view shows
    // the plan's underside.
    static constexpr double kBlueprintHeight = 500.0;
    static constexpr double kLowHeight = 0.25;
    // Largest picture side accepted from a file.
    static constexpr int32_t kMaxSide = 16384;

    // The image at `url` (null counts as empty; an address of kURLSize characters or
    // more is refused with a trace and leaves it empty). With a control the picture is
    // loaded at once; an address without a scheme names a local file.
    explicit TraceImageModel(const char* url);
    ~TraceImageModel() override;

    const char* GetImageURL() const { return imageURL; }
    // True while the image has no address.
    bool HasNoImage() const { return imageURL[0] == 0; }
    // The picture's size in pixels; 0 until a usable picture loaded.
    int32_t GetImageWidth() const { return imageWidth; }
    int32_t GetImageHeight() const { return imageHeight; }
    Material& GetImageMaterial();
    Part* GetImagePart() const { return imagePart; }

    uint64_t GetTypeMask() const override { return TypeMask::kTraceImageModel; }
    // "Hide", "Lock", "Scale Trace Image...", then the model's own entries.
    void BuildPropertyMenu(platform::Menu& menu) override;
    // 209 starts the scaling mode; 104 deletes the image from every window that shows
    // it (one undo step); 500..504 turn the image and its texture together.
    bool ProcessPropertyMenu(uint32_t id) override;
    // The element "TraceImageModel": the model's keys, "Position", "RotationMatrix",
    // "Locked" and "TraceImageURL".
    void WriteKeyData() override;
    // Takes the keys that are present; an unusable id or an over-long address is
    // ignored with a trace.
    bool ReadKeyData(KeyDataList& keys) override;
    // Draws the picture unless it has not loaded, the view is an elevation, or hidden
    // trace images are asked for (global boolean 17).
    void Render() override;

    // The texture coordinates of the picture's corners, in the order of the corners
    // (0, 0, 0), (0, 0, h), (w, 0, h), (w, 0, 0); false without a usable picture.
    bool GetCornerCoordinates(double st[4][2]) const;

protected:
    Model* NewOfSameKind() const override { return new TraceImageModel(imageURL); }

private:
    // Copies `url` into imageURL; false, with a trace and nothing changed, when too long.
    bool StoreURL(const char* url);
    // Loads the picture and takes its size (checked before use).
    void LoadPicture();
    // Compiles the picture's display list with the current context; false without a
    // usable picture.
    bool BuildDisplayList();
    // Takes the image out of every window that shows it and deletes it, as one undo step.
    void DeleteFromWindows();

    char imageURL[kURLSize] = {};
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    // The texture's stored side the picture was put into.
    int32_t textureSide = 0;
    // In the model's part list, which owns it.
    Part* imagePart = nullptr;
};
