#include "control/PlanFiles.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "building/Roof.h"
#include "building/RoofGroup.h"
#include "building/Terrain.h"
#include "building/Column.h"
#include "building/Fence.h"
#include "building/Stairs.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/Duzazododiza.h"
#include "control/RenderLockScope.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "interaction/Dimension.h"
#include "interaction/MouseHandler.h"
#include "interaction/Text.h"
#include "interaction/TraceImageModel.h"
#include "model/Group.h"
#include "model/Model.h"
#include "model/ObjectTypes.h"
#include "model/PickableObject.h"
#include "slabs/Counter.h"
#include "slabs/Floor.h"
#include "platform/FileDialog.h"
#include "platform/Files.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "platform/Thread.h"
#include "render/LightSource.h"
#include "render/Sky.h"
#include "render/Window.h"

namespace {

constexpr uint32_t kSaveChangesQuestion = 293;
constexpr uint32_t kMergeQuestion = 294;
constexpr uint32_t kSaveFailedMessage = 295;
constexpr const char* kDamagedPlanText =
    "The plan file could not be opened: it is damaged or is not a plan file.";
constexpr const char* kInformationName = "ObjectInformation";
// What saves of earlier versions left beside a plan when they were killed part-way.
constexpr const char* kOldPartialSuffix = ".saving";
// Plan streams go to the file in pieces of this size.
constexpr size_t kStreamBufferSize = 1 << 20;

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Whether a key holds "URL", "Url" or "url".
bool NamesAnAddress(const std::string& key) {
    for (size_t i = 0; i + 3 <= key.size(); ++i) {
        const char u = key[i];
        if (u != 'U' && u != 'u') continue;
        const char r = key[i + 1];
        const char l = key[i + 2];
        if ((u == 'U' && ((r == 'R' && l == 'L') || (r == 'r' && l == 'l'))) ||
            (u == 'u' && r == 'r' && l == 'l'))
            return true;
    }
    return false;
}

bool NameIs(const BaseKeyDataElement& member, const char* name) {
    return strcasecmp(member.GetName(), name) == 0;
}

// Copies `text` into a buffer of `size` characters; false, nothing changed, when it
// does not fit.
bool CopyPath(char* buffer, size_t size, const std::string& text) {
    if (text.size() >= size) {
        TraceWrite("Plan path too long");
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

// The number after "SceneState" when it is one digit, else -1.
int SceneStateNumber(const char* name) {
    constexpr size_t prefix = sizeof "SceneState" - 1;
    if (strncasecmp(name, "SceneState", prefix) != 0) return -1;
    const char* digits = name + prefix;
    if (!std::isdigit(static_cast<unsigned char>(digits[0])) || digits[1] != '\0') return -1;
    return digits[0] - '0';
}

// A trace image needs its picture: a local file must exist; a web address is fetched
// by the image itself.
bool TraceImageFileExists(const char* url) {
    if (!url || !*url) return false;
    if (std::strstr(url, "://")) return true;
    return access(url, R_OK) == 0;
}

MouseHandler* ActiveHandler(const BaseControl& control) {
    return control.activeWindow ? control.activeWindow->GetCurrentMode() : nullptr;
}

// From the loading thread too: the mode and the shared busy flag belong to the render
// lock, under which the render pass clears the flag once the load is done.
void SetBusy(BaseControl& control, bool busy) {
    RenderLockScope hold(control);
    if (MouseHandler* handler = ActiveHandler(control)) handler->SetBusyCursor(busy);
}

// Writes the object's element, with its object information, to the stream.
void WriteSerializable(SerializableObject& object, FILE* file) {
    object.WriteKeyData();
    object.AttachObjectInformation(file);
}

}  // namespace

// ---- Stream and helpers ----------------------------------------------------------

bool ReadPlanStream(FILE* file, KeyDataList& out) {
    if (!PRECONDITION(file != nullptr, "No plan stream")) return false;
    if (!out.ReadBinary(file)) return false;
    // A whole stream stops at its closing byte, not at the end of the file.
    if (std::feof(file) || std::ferror(file)) return false;
    if (std::fseek(file, -1, SEEK_CUR) != 0) return false;
    return std::fgetc(file) == kPlanStreamEnd;
}

PlanContents CountPlanContents(const KeyDataList& plan) {
    PlanContents contents;
    for (const BaseKeyDataElement* m = plan.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) continue;
        const std::string& name = m->Name();
        if (name == "Group") contents.hasGroup = true;
        if (name == "LightSource" || Contains(name, "State") || Contains(name, "Dome") ||
            Contains(name, "Terrain"))
            continue;
        ++contents.counted;
    }
    return contents;
}

std::string PlanExtension(const char* path) {
    if (!path) return {};
    const char* dot = std::strrchr(path, '.');
    return dot ? std::string(dot + 1) : std::string();
}

void UpdateRecentFiles(std::vector<std::string>& entries, const char* path) {
    entries.resize(kRecentFileCount);
    if (!path) return;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (!entries[i].empty() && strcasecmp(entries[i].c_str(), path) == 0) {
            entries.erase(entries.begin() + static_cast<long>(i));
            entries.emplace_back();
            break;
        }
    }
    if (!Contains(Lower(path), ".kvp")) return;
    if (std::strlen(path) >= BaseControl::kPathSize) {
        TraceWrite("Recent file path too long");
        return;
    }
    entries.insert(entries.begin(), path);
    entries.resize(kRecentFileCount);
}

std::vector<std::string> ReadRecentFiles() {
    std::vector<std::string> entries(kRecentFileCount);
    for (int i = 0; i < kRecentFileCount; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "recent file %d", i);
        char value[BaseControl::kPathSize] = {};
        if (RegistryGetString(kRecentFilesKey, name, value, sizeof value)) entries[i] = value;
    }
    return entries;
}

void WriteRecentFiles(const std::vector<std::string>& entries) {
    RegistryDeleteKey(kRecentFilesKey);
    for (int i = 0; i < kRecentFileCount && i < static_cast<int>(entries.size()); ++i) {
        if (entries[i].empty()) continue;
        char name[32];
        std::snprintf(name, sizeof name, "recent file %d", i);
        RegistrySetString(kRecentFilesKey, name, entries[i].c_str());
    }
}

void BuildRecentFilesMenu(const std::vector<std::string>& entries, platform::Menu& menu) {
    menu.Clear();
    for (int i = 0; i < kRecentFileCount && i < static_cast<int>(entries.size()); ++i) {
        if (entries[i].empty()) continue;
        char title[BaseControl::kPathSize];
        BaseControl::FileTitle(entries[i].c_str(), title, sizeof title);
        menu.AppendItem(kFirstRecentFileCommand + static_cast<uint32_t>(i), title);
    }
}

// ---- Saving ----------------------------------------------------------------------

namespace {

// Writes the whole stream; false when the file refused a write.
bool WriteSceneStream(BaseControl& control, FILE* file) {
    {
        LinkedListIterator it(control.scene);
        it.LockList();
        theTrace().Write("WSGF:2");
        for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
            auto* object = dynamic_cast<SerializableObject*>(node);
            if (!POSTCONDITION(object != nullptr, "dynamic cast failed")) continue;
            WriteSerializable(*object, file);
        }
        it.UnlockList();
    }
    theTrace().Write("WSGF:3");
    WriteSerializable(control.floorState, file);
    Window* main = control.mainWindow;
    if (PRECONDITION(main != nullptr, "WSGF mw->view null")) {
        WriteSerializable(main->camera, file);
        WriteSerializable(main->viewFlags, file);
    }
    WriteSerializable(control.globalState, file);
    WriteSerializable(control.fogState, file);
    for (int i = 0; i < BaseControl::kSceneStates; ++i) {
        control.sceneStates[i].number = i;
        WriteSerializable(control.sceneStates[i], file);
    }
    theTrace().Write("WSGF 3.1");
    if (control.sky) WriteSerializable(*control.sky, file);
    theTrace().Write("WSGF 3.11");
    if (control.terrain) WriteSerializable(*control.terrain, file);
    theTrace().Write("WSGF 3.12");
    if (main && main->traceImage) WriteSerializable(*main->traceImage, file);
    theTrace().Write("WSGF 3.13");
    std::fputc(kPlanStreamEnd, file);
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    return flushed;
}

// Writes the stream to `streamPath`; on any failure nothing is left there.
bool WriteStreamFile(BaseControl& control, const std::string& streamPath, int* error) {
    FILE* file = std::fopen(streamPath.c_str(), "wb");
    if (!file) {
        *error = errno;
        return false;
    }
    std::setvbuf(file, nullptr, _IOFBF, kStreamBufferSize);
    const bool written = WriteSceneStream(control, file);
    *error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    platform::DeleteFile(streamPath.c_str());
    return false;
}

// Writes the stream in place of the file at `path` in one step (synced before it
// replaces the old file, which stays whole until then).
bool ReplaceWithStream(BaseControl& control, const std::string& path, int* error) {
    platform::FileReplacement replacement;
    std::string why;
    if (!replacement.Begin(path, &why)) {
        *error = errno;
        TraceWrite(why.c_str());
        return false;
    }
    const int fd = ::dup(replacement.Descriptor());
    FILE* file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!file) {
        *error = errno;
        if (fd >= 0) ::close(fd);
        return false;
    }
    std::setvbuf(file, nullptr, _IOFBF, kStreamBufferSize);
    const bool written = WriteSceneStream(control, file);
    *error = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) return false;
    if (!replacement.Commit(&why)) {
        *error = errno;
        TraceWrite(why.c_str());
        return false;
    }
    return true;
}

// Removes what a save of the same plan that was killed part-way left beside it: the
// stream file, the hidden file that was to replace the plan, and the partial files of
// earlier versions.
void RemoveSaveLeftovers(const std::string& target, const std::string& streamPath) {
    platform::RemoveStaleReplacements(target);
    const std::string partial = target + kOldPartialSuffix;
    platform::DeleteFile(partial.c_str());
    if (streamPath != target) platform::DeleteFile(streamPath.c_str());
}

}  // namespace

bool BaseControl::WriteSceneGraphFile(char* path, size_t size, bool autoRecovery) {
    MouseHandler* handler = ActiveHandler(*this);
    if (!PRECONDITION(handler != nullptr, "Null window or handler")) return false;
    if (!PRECONDITION(path && *path && size > 0, "No plan path to write")) return false;
    handler->SetBusyCursor(true);
    theTrace().Write("WSGF:0");
    const intptr_t owner = reinterpret_cast<intptr_t>(this);
    LockRender();
    theTrace().Write("WSGF:1");
    if (!autoRecovery) {
        SetStatusText((std::string("Saving ") + path).c_str());
        ShowMainProgress(true, owner);
    }

    // A "kvp" plan is a cabinet made from a "kvu" stream of the same name; a "kvu" path
    // is packed into the "kvp" file beside it; any other path gets the plain stream.
    const std::string given = path;
    const std::string extension = PlanExtension(path);
    const size_t dot = given.rfind('.');
    std::string streamPath = given;
    std::string cabinetPath;
    if (strcasecmp(extension.c_str(), "kvp") == 0) {
        streamPath = given.substr(0, dot + 1) + "kvu";
        cabinetPath = given;
    } else if (strcasecmp(extension.c_str(), "kvu") == 0) {
        cabinetPath = given.substr(0, dot + 1) + "kvp";
    }
    RemoveSaveLeftovers(cabinetPath.empty() ? given : cabinetPath, streamPath);

    int error = 0;
    bool saved = cabinetPath.empty() ? ReplaceWithStream(*this, given, &error)
                                     : WriteStreamFile(*this, streamPath, &error);
    if (!saved) {
        POSTCONDITION(false, "File write failed in WriteSceneGraphFile");
        theTrace().WriteFormat("ERROR : %d", error);
    }
    theTrace().Write("WSGF 3.2");
    if (saved && !cabinetPath.empty()) {
        // The old plan stays whole until the new cabinet replaces it.
        const char* files[] = {streamPath.c_str()};
        saved = CreateCabinet(1, files, cabinetPath.c_str());
        if (!saved) TraceWrite("The plan cabinet could not be made");
        platform::DeleteFile(streamPath.c_str());
        if (saved && cabinetPath != given) CopyPath(path, size, cabinetPath);
    }

    if (saved && !autoRecovery) SetPlanName(path);
    UnlockRender();
    if (!saved && !autoRecovery) ShowResourceMessage(kSaveFailedMessage, "Save failed");
    theTrace().Write("WSGF:4");
    if (!autoRecovery) ShowMainProgress(false, owner);
    handler->SetBusyCursor(false);
    return saved;
}

bool BaseControl::WriteAutoRecoveryFile() {
    if (!globalState.GetBoolean(0)) return false;
    char path[kPathSize];
    if (!CopyPath(path, sizeof path, platform::TemporaryFolder() + kAutoRecoveryName)) return false;
    return WriteSceneGraphFile(path, sizeof path, true);
}

void BaseControl::SetPlanName(const char* path) {
    if (!path) return;
    std::vector<std::string> entries = ReadRecentFiles();
    UpdateRecentFiles(entries, path);
    WriteRecentFiles(entries);
    globalState.SetBoolean(0, false);
    char title[kPathSize];
    FileTitle(path, title, sizeof title);
    globalState.SetString(0, title);
    if (!recentFilesMenu) recentFilesMenu = std::make_unique<platform::Menu>();
    BuildRecentFilesMenu(entries, *recentFilesMenu);
}

// ---- Scene ------------------------------------------------------------------------

void BaseControl::ClearScene() {
    RenderLockScope hold(*this);
    for (SceneState& state : sceneStates) state.initialised = 0;
    theTrace().Write("INP:bcl");
    // Each object is taken out under the list's lock and deleted outside it: a model whose
    // download is still running gives up the render lock while it waits for the download,
    // and the render thread that then takes it must not find the list locked.
    while (LinkedListObject* node = scene.PopHead()) delete node;
    theTrace().Write("INP:acl");
    undoList.Clear();
    theTrace().Write("INP:actl");
    if (mainWindow) {
        // Lights are not drawn in the main view of a new plan.
        mainWindow->viewFlags.SetInt64(0, TypeBit::kLight);
        mainWindow->viewUndoStack.DeleteAll();
        mainWindow->viewRedoStack.DeleteAll();
    }
    extraList.DeleteAll();
}

int BaseControl::CountDownloads(const KeyDataList& list) {
    int count = 0;
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) {
            const auto* element = static_cast<const KeyDataElement*>(m);
            if (!element->Value().empty() && NamesAnAddress(element->Name())) ++count;
        } else if (!NameIs(*m, kInformationName)) {
            count += CountDownloads(*static_cast<const KeyDataSublist*>(m)->GetChildren());
        }
    }
    return count;
}

void BaseControl::SetFloorLevel(double level) {
    RenderLockScope hold(*this);
    floorState.SetDouble(4, level);
}

// ---- Element kinds ----------------------------------------------------------------

namespace {

// A model with an address gets its geometry (from its file when it still has one); one
// without only takes its keys.
void LoadPlanModel(Model& model, KeyDataList& keys, bool synchronous) {
    const char* address = keys.GetString("URL");
    if (address && *address)
        model.LoadDecompressedFile(keys, synchronous);
    else
        model.ReadKeyData(keys);
}

}  // namespace

SerializableObject* BaseControl::LoadPlanObjects(const KeyDataSublist& element) {
    KeyDataList& keys = *element.GetChildren();
    if (keys.IsEmpty()) return nullptr;
    const char* name = element.GetName();
    RenderLockScope hold(*this);

    if (strcasecmp(name, "TraceImageModel") == 0) {
        const char* url = keys.GetString("TraceImageURL");
        auto* image = new TraceImageModel(url);
        image->ReadKeyData(keys);
        if (!TraceImageFileExists(url)) {
            platform::MessageBoxRequest box;
            char text[kPathSize + 64];
            std::snprintf(text, sizeof text, "The file at %s does not exist or has been moved",
                          url ? url : "");
            box.text = text;
            box.caption = "File not found";
            box.icon = platform::MessageIcon::Warning;
            delete image;
            ShowMessageBox(box);
            return nullptr;
        }
        Window* active = activeWindow;
        if (!PRECONDITION(active != nullptr, "No window for the trace image")) {
            delete image;
            return nullptr;
        }
        if (mergeSetAside) image->TakeFreshIdIfTaken(*mergeSetAside);
        delete active->traceImage;
        active->traceImage = image;
        return active->traceImage;
    }
    if (strcasecmp(name, "Dome") == 0) {
        // The control keeps its own sky; the plan's sky only counts toward the progress.
        globalState.SetInteger(11, globalState.GetInteger(11) + CountDownloads(keys));
        return nullptr;
    }
    if (strcasecmp(name, "Terrain") == 0) {
        if (!terrain) return nullptr;
        terrain->ReadKeyData(keys);
        return terrain;
    }
    if (strcasecmp(name, "FloorState") == 0) {
        floorState.ReadKeyData(keys);
        return &floorState;
    }
    if (strcasecmp(name, "globalState") == 0) {
        globalState.ReadKeyData(keys);
        return &globalState;
    }
    if (strcasecmp(name, "FogState") == 0) {
        fogState.ReadKeyData(keys);
        return &fogState;
    }
    if (strcasecmp(name, "ViewState") == 0) {
        if (!mainWindow) return nullptr;
        mainWindow->camera.ReadKeyData(keys);
        return &mainWindow->camera;
    }
    if (strcasecmp(name, "RenderState") == 0) {
        if (!mainWindow) return nullptr;
        mainWindow->viewFlags.ReadKeyData(keys);
        mainWindow->ResetViewOptions();
        return &mainWindow->viewFlags;
    }
    const int sceneState = SceneStateNumber(name);
    if (sceneState >= 0) {
        sceneStates[sceneState].ReadKeyData(keys);
        return &sceneStates[sceneState];
    }
    if (strcasecmp(name, "Group") == 0) {
        auto* group = new Group;
        group->ReadKeyData(keys);
        if (mergeSetAside) group->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(group);
        // A group of one member, or a nest too deep, does not stay.
        return Group::Simplify(group);
    }
    const bool isLight = strcasecmp(name, "LightSource") == 0;
    if (isLight || strcasecmp(name, "Model") == 0) {
        Model* model = isLight ? new LightSource : new Model;
        // While a plan loads behind the wait screen the geometry is read at once; an undo
        // in the running editor reads it on the model's own thread.
        LoadPlanModel(*model, keys, !IsRunning());
        if (mergeSetAside) model->TakeFreshIdIfTaken(*mergeSetAside);
        if (isLight)
            PlaceLightInScene(model);
        else
            scene.Append(model);
        return model;
    }
    if (strcasecmp(name, "Wall") == 0) {
        auto* wall = new Wall;
        wall->ReadKeyData(keys);
        if (!wall->HasWallShape()) {
            theTrace().Write("A wall element without the outline of a wall was skipped");
            delete wall;
            return nullptr;
        }
        if (mergeSetAside) wall->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(wall);
        return wall;
    }
    if (strcasecmp(name, "Stairs") == 0) {
        auto* stairs = new Stairs;
        stairs->ReadKeyData(keys);
        if (stairs->GetOutline().GetPrimaryCount() < 3) {
            theTrace().Write("A stairs element without an outline was skipped");
            delete stairs;
            return nullptr;
        }
        if (mergeSetAside) stairs->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(stairs);
        return stairs;
    }
    if (strcasecmp(name, "Column") == 0) {
        // The plan's beam part brings its material.
        auto* column = new Column(true);
        column->ReadKeyData(keys);
        if (column->GetOutline().GetPrimaryCount() < 1) {
            theTrace().Write("A column element without posts was skipped");
            delete column;
            return nullptr;
        }
        if (mergeSetAside) column->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(column);
        return column;
    }
    if (strcasecmp(name, "Fence") == 0) {
        auto* fence = new Fence;
        fence->ReadKeyData(keys);
        if (fence->GetOutline().GetPrimaryCount() < 1) {
            theTrace().Write("A fence element without posts was skipped");
            delete fence;
            return nullptr;
        }
        if (mergeSetAside) fence->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(fence);
        return fence;
    }
    if (strcasecmp(name, "Dimension") == 0 || strcasecmp(name, "Text") == 0) {
        UndoableObject* annotation = nullptr;
        if (strcasecmp(name, "Text") == 0)
            annotation = new Text(true);
        else
            annotation = new Dimension(true);
        annotation->ReadKeyData(keys);
        if (mergeSetAside) annotation->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(annotation);
        return annotation;
    }
    if (strcasecmp(name, "Floor") == 0 || strcasecmp(name, "Counter") == 0) {
        Floor* floor = strcasecmp(name, "Counter") == 0 ? new Counter : new Floor;
        floor->ReadKeyData(keys);
        if (floor->GetOutline().GetPrimaryCount() < 3) {
            theTrace().Write("A floor element without an outline was skipped");
            delete floor;
            return nullptr;
        }
        if (mergeSetAside) floor->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(floor);
        return floor;
    }
    if (strcasecmp(name, "RoofGroup") == 0) {
        auto* group = new RoofGroup;
        if (mergeSetAside) group->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(group);
        group->ReadKeyData(keys);
        return group;
    }
    if (strcasecmp(name, "Roof") == 0) {
        auto* roof = new Roof(true);
        roof->ReadKeyData(keys);
        if (roof->GetOutline().GetPrimaryCount() < 3) {
            theTrace().Write("A roof element without an outline was skipped");
            delete roof;
            return nullptr;
        }
        if (mergeSetAside) roof->TakeFreshIdIfTaken(*mergeSetAside);
        scene.Append(roof);
        return roof;
    }
    theTrace().WriteFormat("No plan object of kind %s can be made", name);
    return nullptr;
}

// ---- Loading ----------------------------------------------------------------------

namespace {

void ReportDamagedPlan(BaseControl& control, const char* path) {
    theTrace().WriteFormat("Plan not opened: %s", path);
    platform::MessageBoxRequest box;
    box.text = kDamagedPlanText;
    box.caption = "Open failed";
    box.icon = platform::MessageIcon::Warning;
    control.ShowMessageBox(box);
}

// The scene set aside for a merge comes back after the merged objects. These hold their
// links by pointer now, so list ids that they share with the set-aside objects are
// replaced by fresh ones.
void ReturnSetAside(LinkedList& setAside, LinkedList& scene) {
    for (LinkedListObject* node = scene.GetHead(); node; node = node->GetNext())
        if (setAside.FindByID(node->GetID())) node->SetID(LinkedListObject::GetNextNodeId() + 1);
    while (LinkedListObject* node = setAside.PopHead()) scene.Append(node);
}

}  // namespace

SerializableObject* BaseControl::LoadPlanFile(const char* path, bool checkMerge) {
    if (!PRECONDITION(path && *path, "LoadPlanFile without a path")) {
        loadFinished = true;
        return nullptr;
    }
    const std::string planPath = path;
    const intptr_t owner = reinterpret_cast<intptr_t>(this) + 1;
    struct stat info {};
    if (stat(path, &info) == 0) SetProgressDetail(static_cast<double>(info.st_size), owner);

    const bool merging = loadKind == kLoadMerge;
    LinkedList setAside;
    if (merging) {
        RenderLockScope hold(*this);
        while (LinkedListObject* node = scene.PopHead()) setAside.Append(node);
        mergeSetAside = &setAside;
    } else {
        loadKind = kLoadOpen;
    }
    globalState.SetInteger(10, 0);
    globalState.SetInteger(11, 0);
    SetStatusText(("Opening " + planPath).c_str());
    ShowMainProgress(true, owner);
    SetBusy(*this, true);

    // Whatever happens below, a merge puts the set-aside scene back after the loaded
    // objects and the load ends in the same way.
    SerializableObject* result = nullptr;
    char extracted[kCabinetPathSize] = {};
    auto finish = [&](bool damaged) {
        if (merging) {
            RenderLockScope hold(*this);
            ReturnSetAside(setAside, scene);
            mergeSetAside = nullptr;
        }
        if (damaged) {
            ShowMainProgress(false, owner);
            // A failed open must not leave the scene's name on the file: a later save
            // would write the (empty) scene over it.
            if (!checkMerge && !merging && strcasecmp(planName, planPath.c_str()) == 0) {
                planName[0] = 0;
                globalState.SetString(0, "Untitled");
            }
            if (merging) loadKind = kLoadOpen;
        }
        loadFinished = true;
        if (extracted[0]) {
            platform::DeleteFile(extracted);
        } else if (!damaged) {
            POSTCONDITION(false, "Decompressed filename is invalid");
        }
        if (!result) SetFloorLevel(1.0);
        SetBusy(*this, false);
        return result;
    };

    if (!DecompressCabinet(path, platform::TemporaryFolder().c_str(), extracted,
                           sizeof extracted)) {
        extracted[0] = 0;
        theTrace().Write("Decompression failed during file load");
        ReportDamagedPlan(*this, path);
        return finish(true);
    }
    FILE* stream = std::fopen(extracted, "rb");
    KeyDataList plan;
    const bool whole = stream && ReadPlanStream(stream, plan);
    if (stream) std::fclose(stream);
    if (!whole) {
        // Nothing of a damaged plan is loaded.
        ReportDamagedPlan(*this, path);
        return finish(true);
    }
    if (!checkMerge) {
        SetFloorLevel(1.0);
        // Saved-view windows are closed here once they are part of the editor.
    }
    globalState.SetInteger(10, CountDownloads(plan));

    bool mergeMode = false;
    if (checkMerge) {
        const PlanContents contents = CountPlanContents(plan);
        if (contents.counted > 1) {
            bool sceneHasObjects = false;
            {
                LinkedListIterator it(scene);
                it.LockList();
                for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
                    auto* pickable = dynamic_cast<PickableObject*>(node);
                    if (!pickable || !pickable->HasType(TypeBit::kLight)) sceneHasObjects = true;
                }
                it.UnlockList();
            }
            if (sceneHasObjects) {
                if (strcasecmp(planPath.c_str(), planName) == 0 && !globalState.GetBoolean(0)) {
                    ShowMainProgress(false, owner);
                    return finish(false);
                }
                platform::MessageBoxRequest box;
                box.text = LoadResourceString(kSaveChangesQuestion);
                box.caption = "Confirm";
                box.buttons = platform::MessageButtons::YesNoCancel;
                const platform::MessageAnswer answer = ShowMessageBox(box);
                if (answer == platform::MessageAnswer::Cancel) {
                    ShowMainProgress(false, owner);
                    return finish(false);
                }
                if (answer == platform::MessageAnswer::Yes) {
                    if (std::strstr(planName, "Temporary Internet"))
                        SavePlanAs();
                    else
                        SavePlan();
                }
            }
            globalState.SetBoolean(0, false);
            // Saved-view windows are closed here once they are part of the editor.
            RenderLockScope hold(*this);
            SetFloorLevel(1.0);
            CopyPath(planName, sizeof planName, planPath);
            if (activeWindow) {
                activeWindow->SetMouseMode(kDefaultMouseMode);
                activeWindow->Activate();
            }
            ClearScene();
            if (terrain) terrain->Reset(false);
            BeginBusyDisplay();
            if (mainWindow) mainWindow->DeleteTraceImage();
        } else if (contents.counted == 1 && contents.hasGroup) {
            mergeMode = true;
        }
    }

    auto loading = [this] { return loadKind == kLoadOpen || loadKind == kLoadMerge; };
    BaseKeyDataElement* next = nullptr;
    for (BaseKeyDataElement* m = plan.GetFirstMember(); m && loading(); m = next) {
        next = m->GetNextMember();
        if (m->IsElement() || NameIs(*m, "Roof")) continue;
        const std::string& name = m->Name();
        if (merging && NameIs(*m, "Terrain")) continue;
        if (mergeMode && (NameIs(*m, "LightSource") || Contains(name, "State") ||
                          Contains(name, "Dome") || NameIs(*m, "Terrain")))
            continue;
        SerializableObject* made = LoadPlanObjects(*static_cast<const KeyDataSublist*>(m));
        if (mergeMode) result = made;
        // Not needed again: freed while its memory is still at hand.
        plan.DeleteNode(m);
    }
    // Roofs rest on the walls and floors made above.
    for (const BaseKeyDataElement* m = plan.GetFirstMember(); m && loading();
         m = m->GetNextMember()) {
        if (!m->IsElement() && NameIs(*m, "Roof"))
            LoadPlanObjects(*static_cast<const KeyDataSublist*>(m));
    }
    plan.DeleteAll();

    if (loading()) {
        loadKind = kLoadOpen;
        SetPlanName(planPath.c_str());
        SetStatusText("Building scene...");
        return finish(false);
    }
    ShowMainProgress(false, owner);
    const uint8_t cancelled = loadKind;
    result = nullptr;
    if (merging) {
        RenderLockScope hold(*this);
        ReturnSetAside(setAside, scene);
        mergeSetAside = nullptr;
    }
    if (cancelled == kLoadCancelByUser) {
        OpenNewPlan();
    } else if (cancelled == kLoadCancelByClose) {
        RenderLockScope hold(*this);
        ClearScene();
    }
    loadKind = kLoadOpen;
    SignalPlanLoadDone();
    loadFinished = true;
    if (extracted[0]) platform::DeleteFile(extracted);
    SetFloorLevel(1.0);
    SetBusy(*this, false);
    return nullptr;
}

bool BaseControl::StartPlanLoadThread(const char* path) {
    if (!PRECONDITION(path && *path, "No plan to load")) return false;
    const std::string copy = path;
    return StartWorker([this, copy](const std::atomic<bool>& cancel) {
        if (cancel) return;
        const std::thread::id render = RenderThreadId();
        platform::SetThreadPriority(render, platform::ThreadPriority::BelowNormal);
        platform::SetCurrentThreadPriority(platform::ThreadPriority::BelowNormal);
        LoadPlanFile(copy.c_str(), false);
        platform::SetThreadPriority(render, platform::ThreadPriority::Normal);
    });
}

// ---- Commands ---------------------------------------------------------------------

platform::HRESULT BaseControl::OpenNewPlan() {
    RenderLockScope hold(*this);
    ClearScene();
    CopyPath(planName, sizeof planName, "Untitled");
    SetPlanName("\\Untitled");
    return platform::S_OK;
}

namespace {

// Runs the file dialog with every hold of the calling thread on the render lock given
// up meanwhile.
bool AskForPlanPath(BaseControl& control, platform::FileDialogRequest request,
                    std::string* chosen) {
    request.filterName = "Kivora files";
    request.filterPattern = "*.kvp";
    const int held = control.ReleaseRenderLockFully();
    const bool ok = platform::ShowFileDialog(request, chosen);
    control.ReacquireRenderLock(held);
    return ok;
}

platform::FileDialogRequest OpenRequest(const char* start) {
    platform::FileDialogRequest request;
    request.kind = platform::FileDialogKind::Open;
    request.initialPath = start;
    request.flags = platform::kFileMustExist | platform::kPathMustExist;
    return request;
}

}  // namespace

platform::HRESULT BaseControl::SavePlanAs() {
    std::string name = planName;
    const size_t old = name.find("kvr");
    if (old != std::string::npos) name = name.substr(0, old) + "kvp";
    platform::FileDialogRequest request;
    request.kind = platform::FileDialogKind::Save;
    request.initialPath = name;
    request.defaultExtension = "kvp";
    request.flags = platform::kOverwritePrompt | platform::kPathMustExist;
    theTrace().Write("gsfn");
    std::string chosen;
    const bool ok = AskForPlanPath(*this, request, &chosen);
    theTrace().Write("eSPA");
    if (ok && CopyPath(planName, sizeof planName, chosen))
        WriteSceneGraphFile(planName, sizeof planName, false);
    return platform::S_OK;
}

platform::HRESULT BaseControl::SavePlan() {
    if (!planName[0] || strcasecmp(planName, "untitled") == 0) return SavePlanAs();
    WriteSceneGraphFile(planName, sizeof planName, false);
    return platform::S_OK;
}

platform::HRESULT BaseControl::LoadPlan() {
    std::string chosen;
    if (!AskForPlanPath(*this, OpenRequest(planName), &chosen)) return platform::S_OK;
    if (!CopyPath(planName, sizeof planName, chosen)) return platform::S_OK;
    ReplaceSceneWithPlan(planName);
    // Shadows are refreshed here once the shadow maps are part of the editor.
    return platform::S_OK;
}

bool BaseControl::ReplaceSceneWithPlan(const char* path) {
    BeginBusyDisplay();
    RenderLockScope hold(*this);
    if (activeWindow) {
        activeWindow->SetMouseMode(kDefaultMouseMode);
        activeWindow->Activate();
    }
    ClearScene();
    if (terrain) terrain->Reset(false);
    if (mainWindow) mainWindow->DeleteTraceImage();
    SetPlanName(path);
    return StartPlanLoadThread(path);
}

platform::HRESULT BaseControl::MergePlan() {
    std::string chosen;
    if (!AskForPlanPath(*this, OpenRequest(planName), &chosen)) return platform::S_OK;
    platform::MessageBoxRequest box;
    box.text = LoadResourceString(kMergeQuestion);
    box.caption = "Are You Sure?";
    box.buttons = platform::MessageButtons::YesNo;
    if (ShowMessageBox(box) != platform::MessageAnswer::Yes) return platform::S_OK;
    globalState.SetBoolean(0, false);
    BeginBusyDisplay();
    RenderLockScope hold(*this);
    loadKind = kLoadMerge;
    if (activeWindow) activeWindow->Activate();
    undoList.Clear();
    StartPlanLoadThread(chosen.c_str());
    return platform::S_OK;
}

// ---- The control window's part ---------------------------------------------------

bool CDuzazododiza::OpenLocalPlan(const char* name) {
    if (!name || !*name) return false;
    theTrace().WriteFormat("Open local plan %s", name);
    const std::string path = name;
    if (!CopyPath(planName, sizeof planName, path)) return false;
    // Before the control runs, the post-create step opens it.
    if (!initialised) return false;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::fclose(file);
    if (PromptSaveChanges(true) == kAnswerCancel) return false;
    const bool started = ReplaceSceneWithPlan(path.c_str());
    UpdateWindowTitle();
    return started;
}

void CDuzazododiza::SignalPlanLoadDone() {
    // The window's destruction makes the event under the lock.
    RenderLockScope hold(*this);
    if (planLoadDoneEvent) planLoadDoneEvent->Set();
}
