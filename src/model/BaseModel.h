#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "foundation/DownloadableObject.h"
#include "geometry/Vector.h"
#include "model/SizeableObject.h"
#include "model/StateObject.h"

class BlueprintIcon;
class KeyDataList;
class KeyDataSublist;
class Material;
namespace platform {
class Menu;
}
class PartGroup;
class SubObjectPart;

// Command ids of the menu of every model.
namespace BaseModelMenuCommand {
constexpr uint32_t kObjectWebPage = 102;
constexpr uint32_t kRestoreOriginalSize = 210;
constexpr uint32_t kToggleOpenInBlueprint = 303;
constexpr uint32_t kReverseDirection = 1202;
// The host command that shows the object's web page (GlobalState string 3).
constexpr uint32_t kShowObjectPage = 1511;
}  // namespace BaseModelMenuCommand

// Every scene object whose shape comes from a catalogue geometry file: furniture,
// objects in or on slabs, sky models, column bases, fence posts. It owns its part tree
// (the children list), its material array, and the bookkeeping of getting its geometry:
// the content address, the unpacked local file, the reuse of a file another model of the
// same address already has, and the hand-over from a download thread to the geometry
// reader. It keeps the model-level settings that travel in plans: scale, mirror, culling
// and the blueprint display.
//
// Lifetime: a model still loading is not deleted by its owner; Release marks it and the
// model goes to the control's deleted objects when its load ends (the render thread
// frees it). The destructor ends a running load first.
class BaseModel : public SizeableObject, public DownloadableObject, public StateObject {
public:
    static constexpr size_t kPathSize = 260;

    BaseModel();
    ~BaseModel() override;

    uint64_t GetTypeMask() const override { return TypeMask::kBaseModel; }

    // Fetches the model's description file (a cabinet holding an element tree) at once and
    // loads the model from its "Model" list, whose relative addresses are joined to the
    // description's own host. True.
    virtual bool LoadDescription(const char* descriptionURL);
    // Copies the vector into the scale; Refresh; re-tests overlapping lights.
    virtual void SetScaleVector(const Vector& vector);
    // Multiplies the scale by the factor; Refresh; re-tests overlapping lights. True.
    virtual bool SetScale(double factor);
    // Recomputes what follows from position and scale; nothing for a bare model.
    virtual void Refresh();

    // Reads the keys and gets the geometry: from the "DecompressedFile" when readable,
    // else from the file of another model of the same address in the scene, else by a
    // download of the "URL" (on this thread when `synchronous`, else in the background).
    // Nothing without a "URL".
    void LoadDecompressedFile(KeyDataList& keys, bool synchronous);
    using DownloadableObject::StartDownload;
    // Takes the address and the local geometry file and reads it: at once when
    // `synchronous`, else on the model's download thread. False for a text that does not
    // fit (traced).
    bool StartDownload(const char* address, const char* localPath, bool synchronous);
    // The load's end: reads the local geometry file, counts the load as done, hides the
    // progress bar when the model holds it and sets loaded. A model released meanwhile goes
    // to the control's deleted objects.
    int OnDownloadComplete() override;

    // Reads the geometry file at `path` into the part list (see ModelGeometry.h). False for
    // a name without ".geo" (traced) and for a file that does not open.
    bool ParseGeometryFile(const char* path);
    // Reads one level of the open geometry file into `partList`, appending each part and
    // group it builds. Returns at the end token, at a level end or at the end of the file.
    bool ReadGeometryTokens(FILE* file, LinkedList& partList, PartGroup* parentGroup,
                            SubObjectPart* subObjectPart);

    // materialCount = count. The "Material" members of the list (those without
    // "removedTransactionId") are read into the materials in order, or into the material
    // of the same id when the array already existed; the texture and bump-map addresses
    // and the domain are added to each member that lacks them. Without a list or a count,
    // a model without materials gets one grey material.
    void LoadMaterials(KeyDataList* list, int count, const char* textureURL, const char* bumpMapURL,
                       const char* domain);

    // Stores the flag and passes it to every part.
    void SetOpenInBlueprint(bool flag);
    bool HasSubObject(const char* name) const;
    // Under the render lock and the part list's lock: every part passes the replacement to
    // its sub-object parts of that name (null drops their materials).
    void ReplaceSubObject(const char* name, BaseModel* subObject);
    Material* FindSubObjectMaterials(const char* name);
    // Reads this model's whole geometry file into its own part list, then moves every part
    // to the end of the sub-object part's members, which shares this model's materials
    // from then on (the caller gives its own claim up with ReleaseMaterials).
    void CopyPartsInto(SubObjectPart& part);
    // An entry of "SubObjectList": with a "SubObjectURL" the replacement is fetched in the
    // background and built into this model; without, the section is read again from this
    // model's own file.
    void LoadSubObjectEntry(KeyDataSublist& entry);
    // Reads the sections of that name from this model's own geometry file into its
    // sub-object parts.
    void ReadSubObjectSection(const char* name);
    // This model (loaded from a catalogue item dropped onto a sub-object) replaces itself
    // by a sub-object of `parent`: at once when loaded, else when its load ends. The model
    // then leaves `list` for the control's deleted objects.
    void AttachSubObject(const char* name, BaseModel* parent, LinkedList* list);
    // Hands the material array over: the model keeps no materials.
    Material* ReleaseMaterials();

    // Deletes a loaded model; marks a loading one for deletion when its load ends.
    void ReleaseModel();
    // For a model that leaves the scene from its own menu: the render thread frees it,
    // at once when loaded, else once its load ends. Never deleted on the caller's stack.
    void ReleaseModelWhenIdle();
    // Whether the model carries lock codes that keep materials off it.
    virtual bool HasLockCodes() const { return false; }

    // Sizes: the box's extent on each axis times the scale.
    double GetSizeX() const override;
    double GetSizeY() const override;
    double GetSizeZ() const override;
    int SetSizeX(double value) override;
    int SetSizeY(double value) override;
    int SetSizeZ(double value) override;
    // -1, nothing changed, when any size is below 0.01; else the scale that gives these
    // sizes (an axis on which the box has no extent keeps its scale). 0.
    int SetDimensions(double width, double height, double depth) override;

    // Draws the part tree with the model's scale, mirror and culling settings, the sky's
    // turn and the blueprint icon; see BaseModelDraw.cpp.
    void Render() override;
    bool HasTransparentPart() const override { return hasTransparentParts != 0; }
    int GetPolygonCount() const override { return static_cast<int>(triangleCount); }

    // The status line: depth, height and width of the loaded model and its title.
    virtual void UpdateTitle();
    // The status text UpdateTitle shows.
    std::string TitleText() const;
    // One step of resizing by dragging on screen (start, previous and current are window
    // points). While axisChoice is 0 the axis is chosen from the first drag of more than
    // 10 pixels (1 width, 3 depth or, when `vertical`, height); each step then scales that
    // axis by 1% per pixel moved, at most 10 pixels a step.
    void DragResize(const Vector& start, Vector& previous, const Vector& current, int& axisChoice,
                    bool vertical);
    // The same with the projection of window points onto the drag plane (through `point`
    // with `normal`) given.
    using PlaneProjection =
        std::function<Vector(double x, double y, const Vector& point, const Vector& normal)>;
    void DragResize(const Vector& start, Vector& previous, const Vector& current, int& axisChoice,
                    bool vertical, const PlaneProjection& project);
    // The model element of the bill of materials.
    void WriteModelXml(std::string& buffer, double height);
    // "Reverse Object Direction", "Restore Original Size" and, in the blueprint view,
    // "Show As Closed" / "Show As Open".
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;
    // Whether all three scale factors lie within 0.1% of 1.
    bool HasOriginalSize() const;
    // A bare model has no position of its own.
    void Translate(const Vector& offset) override;

    // The element "Model" of the plan.
    void WriteKeyData() override;
    bool ReadKeyData(KeyDataList& keys) override;

    void ApplyState() override {}
    BaseParameterState* GetState() override { return nullptr; }
    uint64_t GetStateTypeMask() const override { return GetTypeMask(); }

    LinkedList& GetParts() { return children; }
    const std::vector<Vector>& GetOutlinePoints() const { return outlinePoints; }
    void SetOutlinePoints(std::vector<Vector> points) { outlinePoints = std::move(points); }
    const char* GetBlueprintIconURL() const { return blueprintIconURL; }
    bool IsLoaded() const { return loaded != 0; }
    const char* GetDomain() const { return domain; }

    // Model data kept with the renderable part.
    uint32_t materialCount = 0;
    // Owned (new[]); parts point into it.
    Material* materials = nullptr;
    uint8_t simulatePowerOfTwo = 0;
    uint8_t hasClearPart = 0;
    uint8_t hasTransparentParts = 0;

    uint8_t openInBlueprint = 0;
    std::atomic<uint8_t> deleteWhenLoaded{0};
    uint32_t triangleCount = 0;
    // x = width, y = height, z = depth.
    Vector scale{1.0, 1.0, 1.0};
    uint8_t resized = 0;
    uint8_t animating = 0;
    uint8_t reverseDirection = 0;
    std::atomic<uint8_t> loaded{0};
    // A pending replacement of this model by a sub-object of another model.
    char subObjectName[kPathSize] = {};
    BaseModel* subObjectParent = nullptr;
    LinkedList* subObjectList = nullptr;
    uint8_t noBackFaceCulling = 0;

protected:
    // Draws the blueprint icon in the blueprint view (made on first use from the icon's
    // address); the icon object draws itself.
    virtual void DrawBlueprintIcon();
    // Frees the materials that replacements brought to sub-object parts.
    void ReleaseSubObjectMaterials();
    // A loaded or released model that finished loading leaves for the deleted objects.
    void DeleteWhenIdle();
    // The pending replacement by a sub-object of another model (see AttachSubObject).
    void ReplaceBySubObject();

    // Read and written as "TextureURLwithoutDomain" ... relative to this domain.
    char domain[kPathSize] = {};
    // The blueprint icon's picture address; empty without an icon.
    char blueprintIconURL[kPathSize] = {};
    std::vector<Vector> outlinePoints;
    // Owned; made on the first blueprint drawing of a model with an icon address.
    BlueprintIcon* blueprintIcon = nullptr;

private:
    uint32_t materialArrayLength = 0;
    // Set once the model went to the deleted objects.
    std::atomic<bool> handedOver{false};
};
