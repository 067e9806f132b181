#include "model/BaseModel.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "control/BaseControl.h"
#include "foundation/KeyDataList.h"
#include "foundation/ServerCommandFile.h"
#include "foundation/Trace.h"
#include "model/ModelGeometry.h"
#include "model/Part.h"
#include "platform/Files.h"
#include "render/Material.h"

namespace {

bool IsEmptyText(const char* text) {
    return !text || !*text;
}

// Copies a text that must fit whole; false (traced) when it does not.
bool CopyWhole(char* target, size_t size, const char* text, const char* what) {
    if (!text) text = "";
    if (std::strlen(text) >= size) {
        theTrace().WriteFormat("%s too long", what);
        return false;
    }
    std::memmove(target, text, std::strlen(text) + 1);
    return true;
}

bool EqualsNoCase(const char* text, const char* word) {
    return text && strcasecmp(text, word) == 0;
}

bool CanOpenForReading(const char* path) {
    return access(path, R_OK) == 0;
}

template <typename F>
void ForEachPart(LinkedList& parts, F&& f) {
    LinkedListIterator it(parts);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next())
        if (auto* part = dynamic_cast<BasePart*>(node))
            if (f(*part)) break;
    it.UnlockList();
}

// Every sub-object part of the tree, depth first.
template <typename F>
void ForEachSubObjectPart(LinkedList& parts, F&& f) {
    ForEachPart(parts, [&](BasePart& part) {
        if (auto* group = dynamic_cast<PartGroup*>(&part)) {
            if (auto* sub = dynamic_cast<SubObjectPart*>(group)) f(*sub);
            ForEachSubObjectPart(group->GetMembers(), f);
        }
        return false;
    });
}

}  // namespace

BaseModel::BaseModel() {
    lengthLabel = "Depth";
    widthLabel = "Width";
}

BaseModel::~BaseModel() {
    // A load still running reads into this model: it ends first.
    CancelDownload();
    delete blueprintIcon;
    blueprintIcon = nullptr;
    ReleaseSubObjectMaterials();
    outlinePoints.clear();
    GeometryReader::BeginGLWork();
    children.DeleteAll();
    GeometryReader::EndGLWork();
    delete[] materials;
    materials = nullptr;
    materialCount = 0;
    materialArrayLength = 0;
    TraceWrite("~BM");
}

void BaseModel::ReleaseSubObjectMaterials() {
    for (;;) {
        Material* held = nullptr;
        std::string name;
        ForEachSubObjectPart(children, [&](SubObjectPart& part) {
            if (!held && part.GetSubObjectMaterials()) {
                held = part.GetSubObjectMaterials();
                name = part.GetName();
            }
        });
        if (!held) return;
        // Every part of that name shares the array; all of them let it go, then it goes.
        ReplaceSubObject(name.c_str(), nullptr);
        ForEachSubObjectPart(children, [&](SubObjectPart& part) {
            if (part.GetSubObjectMaterials() == held) part.SetSubObjectMaterials(nullptr, 0);
        });
        delete[] held;
    }
}

bool BaseModel::LoadDescription(const char* descriptionURL) {
    ServerCommandFile description;
    description.DownloadNow(descriptionURL);
    KeyDataList* tree = description.GetKeyData();
    KeyDataList* keys = tree ? tree->GetSublist("Model") : nullptr;
    if (keys && !keys->IsEmpty()) {
        const std::string host = description.GetHostPart();
        if (keys->FindByName("TextureURLwithoutDomain") ||
            keys->FindByName("MaterialURLwithoutDomain") ||
            keys->FindByName("BumpMapURLwithoutDomain") || keys->FindByName("URLwithoutDomain"))
            keys->AddString("Domain", host);
        if (const char* relative = keys->GetString("URLwithoutDomain"))
            keys->AddString("URL", "http://" + host + "/" + relative);
        LoadDecompressedFile(*keys, true);
    }
    return true;
}

void BaseModel::SetScaleVector(const Vector& vector) {
    scale.Set(vector);
    Refresh();
    FlagOverlappingLights();
}

bool BaseModel::SetScale(double factor) {
    scale.Scale(factor);
    Refresh();
    FlagOverlappingLights();
    return true;
}

void BaseModel::Refresh() {}

void BaseModel::LoadDecompressedFile(KeyDataList& keys, bool synchronous) {
    const char* address = keys.GetString("URL");
    if (IsEmptyText(address)) return;
    char target[kPathSize];
    if (!CopyWhole(target, sizeof target, address, "Model address")) return;
    ReadKeyData(keys);
    TraceWrite("lm");

    BaseControl* control = theControl();
    char local[kPathSize] = {};
    const char* given = keys.GetString("DecompressedFile");
    if (control && control->globalState.GetBoolean(19)) {
        local[0] = 0;
    } else if (given) {
        if (!CopyWhole(local, sizeof local, given, "Model file")) local[0] = 0;
    } else if (control) {
        // Another model of this address may already have the file.
        control->LockRender();
        LinkedListIterator it(control->scene);
        it.LockList();
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* model = dynamic_cast<BaseModel*>(node);
            if (!model || model == this || !model->HasType(TypeBit::kModel)) continue;
            if (strcasecmp(model->GetURL(), target) != 0) continue;
            if (!CopyWhole(local, sizeof local, model->GetDecompressedFile(), "Model file"))
                continue;
            control->IncrementLoadProgress();
            control->globalState.SetDouble(16, 100.0);
            break;
        }
        it.UnlockList();
        control->UnlockRender();
    }
    if (local[0] && !CanOpenForReading(local)) local[0] = 0;

    TraceWrite("2");
    if (!local[0]) {
        SetCompressed(true);
        if (synchronous)
            DownloadNow(target);
        else
            DownloadableObject::StartDownload(target);
    } else {
        StartDownload(target, local, synchronous);
    }
    TraceWrite("elm");
}

bool BaseModel::StartDownload(const char* address, const char* localPath, bool synchronous) {
    char newURL[kPathSize];
    char newFile[kPathSize];
    if (!CopyWhole(newURL, sizeof newURL, address, "Model address") ||
        !CopyWhole(newFile, sizeof newFile, localPath, "Model file"))
        return false;
    WaitForDownload();
    std::memcpy(url, newURL, sizeof url);
    std::snprintf(hostPart, sizeof hostPart, "%s", HostPartOf(url).c_str());
    std::memcpy(decompressedFile, newFile, sizeof decompressedFile);
    if (synchronous)
        OnDownloadComplete();
    else
        StartDownloadThread([this] { OnDownloadComplete(); });
    return true;
}

int BaseModel::OnDownloadComplete() {
    const bool replaced = subObjectParent && subObjectName[0];
    if (replaced)
        ReplaceBySubObject();
    else
        ParseGeometryFile(decompressedFile);
    if (BaseControl* control = theControl()) {
        control->IncrementLoadProgress();
        control->ShowMainProgress(false, ProgressOwnerId());
    }
    loaded = 1;
    // A placeholder that gave itself up for a sub-object goes with its load.
    if (deleteWhenLoaded || (replaced && subObjectList)) DeleteWhenIdle();
    return 1;
}

void BaseModel::DeleteWhenIdle() {
    BaseControl* control = theControl();
    if (!PRECONDITION(control != nullptr, "A released model has no control to free it")) return;
    if (handedOver.exchange(true)) return;
    // Never deleted from its own load: the render thread frees it once the load is over.
    control->LockRender();
    if (LinkedList* list = GetOwner()) list->Remove(this);
    control->deletedObjects.Append(this);
    control->UnlockRender();
}

void BaseModel::ReleaseModel() {
    if (loaded) {
        delete this;
        return;
    }
    deleteWhenLoaded = 1;
    // The load may have ended between the test and the mark; only one of the two
    // hands the model over.
    if (loaded) DeleteWhenIdle();
}

void BaseModel::ReleaseModelWhenIdle() {
    deleteWhenLoaded = 1;
    // A load ending now sees the mark or has set loaded; the hand-over happens once.
    if (loaded) DeleteWhenIdle();
}

namespace {
// Geometry files up to this size are read into memory whole.
constexpr size_t kMaxGeometryInMemory = size_t(256) << 20;
}  // namespace

bool BaseModel::ParseGeometryFile(const char* path) {
    triangleCount = 0;
    if (!path || !std::strstr(path, ".geo")) {
        theTrace().Write("Attempting to parse non-geometry file.");
        theTrace().Write(path ? path : "");
        return false;
    }
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // A regular file is read whole with one read and parsed from memory; anything else (a
    // pipe, a file too large for that) is read through a stream.
    struct stat info {};
    std::vector<uint8_t> bytes;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
        static_cast<uint64_t>(info.st_size) <= kMaxGeometryInMemory) {
        // A file cut short while it was read gives no parts, with a trace.
        if (!platform::ReadDescriptorBytes(fd, static_cast<size_t>(info.st_size), bytes))
            theTrace().Write("Geometry file could not be read whole.");
        close(fd);
        TraceWrite("pt");
        GeometryReader reader(*this, bytes.data(), bytes.size());
        reader.ReadLevel(children, nullptr, nullptr);
        TraceWrite("ept");
        return true;
    }
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        close(fd);
        return false;
    }
    TraceWrite("pt");
    ReadGeometryTokens(file, children, nullptr, nullptr);
    TraceWrite("ept");
    POSTCONDITION(std::fclose(file) == 0, "Close file failed.");
    return true;
}

bool BaseModel::ReadGeometryTokens(FILE* file, LinkedList& partList, PartGroup* parentGroup,
                                   SubObjectPart* subObjectPart) {
    GeometryReader reader(*this, file);
    reader.ReadLevel(partList, parentGroup, subObjectPart);
    return true;
}

void BaseModel::LoadMaterials(KeyDataList* list, int count, const char* textureURL,
                              const char* bumpMapURL, const char* domainText) {
    // The count comes from outside: an array never holds more materials than the list
    // has to fill it with.
    int listed = 0;
    if (list)
        for (auto* member = list->GetFirstMember(); member; member = member->GetNextMember())
            if (!member->IsElement() && strcasecmp(member->GetName(), "Material") == 0 &&
                !static_cast<KeyDataSublist*>(member)->GetChildren()->FindByName(
                    "removedTransactionId"))
                ++listed;
    if (count > listed) {
        theTrace().WriteFormat("Material count %d refused: %d materials listed", count, listed);
        count = listed;
    }
    // Parts point into the array: an array once made stays, and bounds the count.
    if (materials) {
        const uint32_t wanted = count > 0 ? static_cast<uint32_t>(count) : materialArrayLength;
        if (wanted != materialArrayLength)
            theTrace().WriteFormat("Material count %d kept at %u", count, materialArrayLength);
        materialCount = materialArrayLength;
    } else {
        materialCount = count > 0 ? static_cast<uint32_t>(count) : 0;
    }
    if (list && !list->IsEmpty() && count > 0) {
        const bool fresh = materials == nullptr;
        if (fresh) {
            materials = new Material[materialCount];
            materialArrayLength = materialCount;
        }
        uint32_t next = 0;
        for (auto* member = list->GetFirstMember(); member; member = member->GetNextMember()) {
            if (member->IsElement() || strcasecmp(member->GetName(), "Material") != 0) continue;
            KeyDataList& keys = *static_cast<KeyDataSublist*>(member)->GetChildren();
            if (keys.FindByName("removedTransactionId")) continue;
            if (!IsEmptyText(textureURL)) keys.AddString("TextureURLwithoutDomain", textureURL);
            if (!IsEmptyText(bumpMapURL)) keys.AddString("BumpMapURLwithoutDomain", bumpMapURL);
            if ((!IsEmptyText(textureURL) || !IsEmptyText(bumpMapURL)) && domainText)
                keys.AddString("Domain", domainText);
            Material* target = nullptr;
            double id = 0.0;
            if (!fresh && keys.GetDouble("transactionObjectId", id) && id != 0.0) {
                for (uint32_t i = 0; i < materialCount && !target; ++i)
                    if (materials[i].GetObjectId() == static_cast<uint32_t>(id))
                        target = &materials[i];
            }
            // Members beyond the count have no material to go to.
            if (!target && next < materialCount) target = &materials[next];
            ++next;
            if (target) target->ReadKeyData(keys, false);
        }
        return;
    }
    if (materials) return;
    materialCount = 1;
    materialArrayLength = 1;
    materials = new Material[1];
    materials[0].SetColor(0.5, 0.5, 0.5, 1.0);
}

void BaseModel::SetOpenInBlueprint(bool flag) {
    openInBlueprint = flag ? 1 : 0;
    ForEachPart(children, [&](BasePart& part) {
        part.SetShowOpen(flag);
        return false;
    });
}

bool BaseModel::HasSubObject(const char* name) const {
    bool found = false;
    ForEachPart(const_cast<LinkedList&>(children), [&](BasePart& part) {
        found = part.HasSubObject(name);
        return found;
    });
    return found;
}

void BaseModel::ReplaceSubObject(const char* name, BaseModel* subObject) {
    BaseControl* control = theControl();
    if (control) control->LockRender();
    ForEachPart(children, [&](BasePart& part) {
        part.ReplaceSubObject(name, subObject);
        return false;
    });
    if (control) control->UnlockRender();
}

Material* BaseModel::FindSubObjectMaterials(const char* name) {
    Material* found = nullptr;
    ForEachPart(children, [&](BasePart& part) {
        found = part.FindSubObjectMaterials(name);
        return found != nullptr;
    });
    return found;
}

void BaseModel::CopyPartsInto(SubObjectPart& part) {
    ParseGeometryFile(decompressedFile);
    while (LinkedListObject* node = children.PopHead()) part.GetMembers().Append(node);
    part.SetSubObjectMaterials(materials, materialCount);
}

Material* BaseModel::ReleaseMaterials() {
    Material* array = materials;
    materials = nullptr;
    materialCount = 0;
    materialArrayLength = 0;
    return array;
}

double BaseModel::GetSizeX() const {
    return (box.max.x - box.min.x) * scale.x;
}

double BaseModel::GetSizeY() const {
    return (box.max.y - box.min.y) * scale.y;
}

double BaseModel::GetSizeZ() const {
    return (box.max.z - box.min.z) * scale.z;
}

int BaseModel::SetSizeX(double value) {
    return SetDimensions(value, GetSizeY(), GetSizeZ());
}

int BaseModel::SetSizeY(double value) {
    return SetDimensions(GetSizeX(), value, GetSizeZ());
}

int BaseModel::SetSizeZ(double value) {
    return SetDimensions(GetSizeX(), GetSizeY(), value);
}

int BaseModel::SetDimensions(double width, double height, double depth) {
    if (width < 0.01 || height < 0.01 || depth < 0.01) return -1;
    auto factor = [](double size, double extent, double current) {
        return extent > 0.0 ? size / extent : current;
    };
    scale.Set(factor(width, box.max.x - box.min.x, scale.x),
              factor(height, box.max.y - box.min.y, scale.y),
              factor(depth, box.max.z - box.min.z, scale.z), scale.w);
    Refresh();
    FlagOverlappingLights();
    MarkDirty();
    return 0;
}

void BaseModel::Translate(const Vector&) {}

void BaseModel::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Model");
    KeyDataList& keys = *element->GetChildren();
    keys.AddString("URL", url);
    keys.AddString("DecompressedFile", decompressedFile);
    keys.AddDouble("objectId", GetID());
    if (noBackFaceCulling) keys.AddString("cullBackFace", "no");
    if (simulatePowerOfTwo) keys.AddString("SimulatePowerOfTwo", "yes");
    if (blueprintIconURL[0]) keys.AddString("iconURL", blueprintIconURL);
    if (resized) keys.AddString("resize", "yes");
    scale.WriteChild(keys, "Scale");
    keys.AddDouble("reverseDirection", reverseDirection ? 1 : 0);
    box.min.WriteChild(keys, "BoundingBoxMin");
    box.max.WriteChild(keys, "BoundingBoxMax");
    keys.AddDouble("openInBP", openInBlueprint ? 1 : 0);
    KeyDataList* materialList = keys.AddSublist("MaterialList");
    for (uint32_t i = 0; materials && i < materialCount; ++i)
        materials[i].WriteKeyData(*materialList);
    keys.AddDouble("MaterialCount", materialCount);
    keys.AddDouble("transactionObjectId", GetObjectId());
    KeyDataList* subObjects = keys.AddSublist("SubObjectList");
    ForEachPart(children, [&](BasePart& part) {
        part.WriteSubObjectEntry(*subObjects);
        return false;
    });
}

bool BaseModel::ReadKeyData(KeyDataList& keys) {
    LoadInformation(keys);
    const char* texture = keys.GetString("TextureURLwithoutDomain");
    if (IsEmptyText(texture)) texture = keys.GetString("MaterialURLwithoutDomain");
    const char* bumpMap = keys.GetString("BumpMapURLwithoutDomain");

    box.max.ReadChild(keys, "BoundingBoxMax");
    box.min.ReadChild(keys, "BoundingBoxMin");
    double number = 0.0;
    if (keys.GetDouble("reverseDirection", number)) reverseDirection = number != 0.0 ? 1 : 0;

    if (const char* cull = keys.GetString("cullBackFace"); cull && EqualsNoCase(cull, "no"))
        noBackFaceCulling = 1;
    if (EqualsNoCase(keys.GetString("SimulatePowerOfTwo"), "yes")) simulatePowerOfTwo = 1;
    if (EqualsNoCase(keys.GetString("resize"), "yes")) resized = 1;

    if (keys.GetDouble("openInBP", number)) SetOpenInBlueprint(number != 0.0);
    scale.ReadChild(keys, "Scale");

    KeyDataList* materialList = keys.GetSublist("MaterialList");
    int count = static_cast<int>(materialCount);
    keys.GetInt("materialCount", count);
    if (keys.GetDouble("transactionObjectId", number) && number >= 0.0 && number <= 4294967295.0)
        SetObjectId(static_cast<TransactionId>(number));
    const char* domainText = keys.GetString("Domain");
    if (domainText && !CopyWhole(domain, sizeof domain, domainText, "Model domain")) domain[0] = 0;

    LoadMaterials(materialList, count, texture, bumpMap, domainText);

    KeyDataList* subObjects = keys.GetSublist("SubObjectList");
    for (auto* member = subObjects->GetFirstMember(); member; member = member->GetNextMember())
        if (!member->IsElement()) LoadSubObjectEntry(*static_cast<KeyDataSublist*>(member));

    if (!blueprintIconURL[0]) {
        const char* icon = keys.GetString("iconURL");
        const char* relative = keys.GetString("iconURLwithoutDomain");
        if (!IsEmptyText(icon)) {
            CopyWhole(blueprintIconURL, sizeof blueprintIconURL, icon, "Icon address");
        } else if (!IsEmptyText(relative)) {
            if (PRECONDITION(!IsEmptyText(domainText), "Null domain for bluepIcon"))
                JoinDomainPath(domainText, relative, blueprintIconURL, sizeof blueprintIconURL);
        }
    }
    return true;
}
