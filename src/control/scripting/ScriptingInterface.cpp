#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "building/Terrain.h"
#include "control/WizardPlanBuilder.h"
#include "control/Defaults.h"
#include "control/Duzazododiza.h"
#include "control/PlanFiles.h"
#include "control/RenderLockScope.h"
#include "control/scripting/ScriptArguments.h"
#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "foundation/WizardXMLProcessor.h"
#include "interaction/MouseHandler.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "render/LightSource.h"
#include "render/ExternalRenderController.h"
#include "render/Window.h"

using platform::DISPID;
using platform::HRESULT;
using platform::S_FALSE;
using platform::S_OK;

const platform::DispatchName kDuzazododizaNames[] = {
    {"ChangeMode", 0x1},
    {"Debug", 0x2},
    {"ChangeView", 0x3},
    {"SavePlanAs", 0x4},
    {"SavePlan", 0x5},
    {"LoadPlan", 0x6},
    {"CreateGroup", 0x7},
    {"Ungroup", 0x8},
    {"SelectAll", 0x9},
    {"SetVisibleOnAll", 0xa},
    {"doubleParameter", 0xc},
    {"integerParameter", 0xd},
    {"stringParameter", 0xe},
    {"KVRMessage", 0xf},
    {"booleanParameter", 0x10},
    {"Print", 0x11},
    {"GoToView", 0x12},
    {"SetDefault", 0x13},
    {"SetToolbarDimensions", 0x14},
    {"ToggleBooleanParameter", 0x15},
    {"OpenRecentFile", 0x16},
    {"SetFloorLevel", 0x17},
    {"LoadFloorplanTraceImage", 0x18},
    {"ResetRegistryPreferences", 0x19},
    {"RefreshShadows", 0x1a},
    {"OpenNewPlan", 0x1b},
    {"URLToOpen", 0x1c},
    {"GetNewDefaultTextFont", 0x1d},
    {"ShowAntialiasedFrame", 0x1e},
    {"InsertLight", 0x1f},
    {"vectorParameter", 0x20},
    {"OpenNewViewWindow", 0x21},
    {"SetCameraAngle", 0x22},
    {"registryValue", 0x23},
    {"MoveLightOverhead", 0x24},
    {"int64Parameter", 0x25},
    {"SystemMetric", 0x26},
    {"UpdateLastRightClickedObject", 0x27},
    {"PostPlanXML", 0x28},
    {"MoveEntireFloorPlan", 0x29},
    {"FitPlanInWindow", 0x2a},
    {"AddDataToRightClickedObjectInformation", 0x2b},
    {"RightClickedObjectData", 0x2c},
    {"Duplicate", 0x2d},
    {"Cut", 0x2e},
    {"Copy", 0x2f},
    {"Paste", 0x30},
    {"ProcessKeyPress", 0x31},
    {"Uninstall", 0x32},
    {"ShowLastHiddenObject", 0x33},
    {"Undo", 0x34},
    {"Redo", 0x35},
    {"ToggleMap", 0x36},
    {"UpdatePreferences", 0x37},
    {"pkgst", 0x38},
    {"AddSun", 0x39},
    {"OpenXMLTemplate", 0x3a},
    {"LoadWebPlan", 0x3b},
    {"DeleteSelectedItems", 0x3c},
    {"SaveSceneStateAs", 0x3d},
    {"GoToSceneState", 0x3e},
    {"UndoViewChange", 0x3f},
    {"RedoViewChange", 0x40},
    {"ExportSceneImage", 0x41},
    {"MergePlan", 0x42},
    {"Clone", 0x43},
    {"SetAllDimensionFonts", 0x44},
    {"isReadyToClose", 0x45},
    {"SetDomain", 0x46},
    {"LoadLocalPlan", 0x47},
};
const size_t kDuzazododizaNameCount = std::size(kDuzazododizaNames);

namespace {

constexpr int kSelectionMode = 0;
constexpr size_t kDomainSize = 512;
constexpr size_t kTitleSize = 2048;
constexpr size_t kPlanNameInPrompt = 100;
constexpr uint32_t kSmoothingText = 253;
constexpr uint32_t kSmoothingOffText = 254;
constexpr int kCameraPresets = 6;
constexpr int32_t kNewPlanPreset = 5;
constexpr int kScreenHeightMetric = 1;

// Copies the page's text into `buffer` when it fits; over-long text is refused with a
// trace and leaves the buffer alone.
bool CopyPageText(const char16_t* text, char* buffer, size_t size, const char* what) {
    const std::string utf8 = platform::Utf8FromBstr(text);
    if (utf8.size() >= size) {
        theTrace().WriteFormat("%s is too long (%zu characters)", what, utf8.size());
        return false;
    }
    std::memcpy(buffer, utf8.c_str(), utf8.size() + 1);
    return true;
}

}  // namespace

// --- IDispatch ------------------------------------------------------------------------

HRESULT CDuzazododiza::GetTypeInfoCount(uint32_t* count) {
    if (!count) return platform::E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CDuzazododiza::GetTypeInfo(uint32_t, platform::IUnknown** info) {
    if (info) *info = nullptr;
    return platform::E_NOTIMPL;
}

HRESULT CDuzazododiza::GetIDsOfNames(const char16_t* const* names, uint32_t count, DISPID* ids) {
    return platform::LookUpDispatchNames(kDuzazododizaNames, kDuzazododizaNameCount, names, count,
                                         ids);
}

HRESULT CDuzazododiza::Invoke(DISPID member, uint16_t flags, platform::DISPPARAMS* params,
                              VARIANT* result) {
    using namespace platform;
    ScriptArguments args(params, flags);
    if (!args.IsValid()) return DISP_E_PARAMNOTFOUND;
    const bool put = (flags & DISPATCH_PROPERTYPUT) != 0;
    const bool get = !put && (flags & DISPATCH_PROPERTYGET) != 0;

    // Members without arguments.
    using Plain = HRESULT (CDuzazododiza::*)();
    static const struct {
        DISPID id;
        Plain call;
    } kPlain[] = {
        {0x4, &CDuzazododiza::SavePlanAs},
        {0x5, &CDuzazododiza::SavePlan},
        {0x6, &CDuzazododiza::LoadPlan},
        {0x7, &CDuzazododiza::CreateGroup},
        {0x8, &CDuzazododiza::Ungroup},
        {0x9, static_cast<Plain>(&CDuzazododiza::SelectAll)},
        {0x11, &CDuzazododiza::Print},
        {0x18, &CDuzazododiza::LoadFloorplanTraceImage},
        {0x19, &CDuzazododiza::ResetRegistryPreferences},
        {0x1a, &CDuzazododiza::RefreshShadows},
        {0x1b, &CDuzazododiza::OpenNewPlan},
        {0x1d, &CDuzazododiza::GetNewDefaultTextFont},
        {0x1e, &CDuzazododiza::ShowAntialiasedFrame},
        {0x1f, &CDuzazododiza::InsertLight},
        {0x21, &CDuzazododiza::OpenNewViewWindow},
        {0x24, &CDuzazododiza::MoveLightOverhead},
        {0x27, &CDuzazododiza::UpdateLastRightClickedObject},
        {0x28, &CDuzazododiza::PostPlanXML},
        {0x2a, &CDuzazododiza::FitPlanInWindow},
        {0x2d, &CDuzazododiza::Duplicate},
        {0x2e, &CDuzazododiza::Cut},
        {0x2f, &CDuzazododiza::Copy},
        {0x30, &CDuzazododiza::Paste},
        {0x32, &CDuzazododiza::Uninstall},
        {0x33, &CDuzazododiza::ShowLastHiddenObject},
        {0x34, &CDuzazododiza::Undo},
        {0x35, &CDuzazododiza::Redo},
        {0x36, &CDuzazododiza::ToggleMap},
        {0x37, &CDuzazododiza::UpdatePreferences},
        {0x39, &CDuzazododiza::AddSun},
        {0x3c, &CDuzazododiza::DeleteSelectedItems},
        {0x3f, &CDuzazododiza::UndoViewChange},
        {0x40, &CDuzazododiza::RedoViewChange},
        {0x41, &CDuzazododiza::ExportSceneImage},
        {0x42, &CDuzazododiza::MergePlan},
        {0x43, &CDuzazododiza::Clone},
        {0x44, &CDuzazododiza::SetAllDimensionFonts},
    };
    for (const auto& entry : kPlain) {
        if (entry.id != member) continue;
        if (args.Count() != 0) return DISP_E_BADPARAMCOUNT;
        return (this->*entry.call)();
    }

    // Typed parameter properties: (type, index[, element]) and the value of a put.
    auto typeAndIndex = [&](int32_t& type, int32_t& index) {
        return args.Int32(0, type) && args.Int32(1, index);
    };
    HRESULT hr = S_OK;
    int32_t a = 0, b = 0, c = 0;
    double d = 0.0;
    switch (member) {
        case 0x1:
        case 0x2:
        case 0x3:
        case 0x12: {
            if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
            const VARIANT& v = args.At(0);
            if (member == 0x1) return ChangeMode(v);
            if (member == 0x2) return Debug(v);
            if (member == 0x3) return ChangeView(v);
            return GoToView(v);
        }
        case 0xa:
            if (args.Count() != 2) return DISP_E_BADPARAMCOUNT;
            return SetVisibleOnAll(args.At(0), args.At(1));
        case 0xc:
        case 0xd:
            if (args.Count() != (put ? 3u : 2u)) return DISP_E_BADPARAMCOUNT;
            if (!typeAndIndex(a, b)) return DISP_E_TYPEMISMATCH;
            if (put) {
                if (!args.Double(2, d)) return DISP_E_TYPEMISMATCH;
                return member == 0xc ? put_doubleParameter(a, b, d) : put_integerParameter(a, b, d);
            }
            hr = member == 0xc ? get_doubleParameter(a, b, &d) : get_integerParameter(a, b, &d);
            if (result) SetVariantDouble(result, d);
            return hr;
        case 0xe:
        case 0x25: {
            if (args.Count() != (put ? 3u : 2u)) return DISP_E_BADPARAMCOUNT;
            if (!typeAndIndex(a, b)) return DISP_E_TYPEMISMATCH;
            if (put) {
                BSTR text = nullptr;
                if (!args.Text(2, text)) return DISP_E_TYPEMISMATCH;
                return member == 0xe ? put_stringParameter(a, b, text)
                                     : put_int64Parameter(a, b, text);
            }
            BSTR out = nullptr;
            hr = member == 0xe ? get_stringParameter(a, b, &out) : get_int64Parameter(a, b, &out);
            if (result) {
                ClearVariant(result);
                result->type = VariantType::Bstr;
                result->bstrValue = out;
            } else {
                FreeBstr(out);
            }
            return hr;
        }
        case 0xf:
            if (put) {
                if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
                if (!args.Double(0, d)) return DISP_E_TYPEMISMATCH;
                return put_KVRMessage(d);
            }
            if (args.Count() != 0) return DISP_E_BADPARAMCOUNT;
            hr = get_KVRMessage(&d);
            if (result) SetVariantDouble(result, d);
            return hr;
        case 0x10: {
            if (args.Count() != (put ? 3u : 2u)) return DISP_E_BADPARAMCOUNT;
            if (!typeAndIndex(a, b)) return DISP_E_TYPEMISMATCH;
            if (put) {
                if (!args.Int32(2, c) || c < INT16_MIN || c > INT16_MAX) return DISP_E_TYPEMISMATCH;
                return put_booleanParameter(a, b, static_cast<int16_t>(c));
            }
            int16_t value = 0;
            hr = get_booleanParameter(a, b, &value);
            if (result) SetVariantInt16(result, value);
            return hr;
        }
        case 0x13:
            if (args.Count() != 2) return DISP_E_BADPARAMCOUNT;
            if (!args.Int32(0, a)) return DISP_E_TYPEMISMATCH;
            return SetDefault(a, args.At(1));
        case 0x14:
        case 0x15:
            if (args.Count() != 2) return DISP_E_BADPARAMCOUNT;
            if (!typeAndIndex(a, b)) return DISP_E_TYPEMISMATCH;
            return member == 0x14 ? SetToolbarDimensions(a, b) : ToggleBooleanParameter(a, b);
        case 0x16:
        case 0x17:
        case 0x3d:
        case 0x3e:
            if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
            if (!args.Int32(0, a)) return DISP_E_TYPEMISMATCH;
            if (member == 0x16) return OpenRecentFile(a);
            if (member == 0x17) return SetFloorLevel(a);
            if (member == 0x3d) return SaveSceneStateAs(a);
            return GoToSceneState(a);
        case 0x1c:
        case 0x2c: {
            if (args.Count() != 0) return DISP_E_BADPARAMCOUNT;
            BSTR out = nullptr;
            hr = member == 0x1c ? get_URLToOpen(&out) : get_RightClickedObjectData(&out);
            if (result) {
                ClearVariant(result);
                result->type = VariantType::Bstr;
                result->bstrValue = out;
            } else {
                FreeBstr(out);
            }
            return hr;
        }
        case 0x20:
            if (args.Count() != (put ? 4u : 3u)) return DISP_E_BADPARAMCOUNT;
            if (!typeAndIndex(a, b) || !args.Int32(2, c)) return DISP_E_TYPEMISMATCH;
            if (put) {
                if (!args.Double(3, d)) return DISP_E_TYPEMISMATCH;
                return put_vectorParameter(a, b, c, d);
            }
            hr = get_vectorParameter(a, b, c, &d);
            if (result) SetVariantDouble(result, d);
            return hr;
        case 0x22:
            if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
            if (!args.Double(0, d)) return DISP_E_TYPEMISMATCH;
            return SetCameraAngle(d);
        case 0x23: {
            if (args.Count() != (put ? 2u : 1u)) return DISP_E_BADPARAMCOUNT;
            BSTR name = nullptr;
            if (!args.Text(0, name)) return DISP_E_TYPEMISMATCH;
            if (put) {
                if (!args.Int32(1, a)) return DISP_E_TYPEMISMATCH;
                return put_registryValue(name, a);
            }
            hr = get_registryValue(name, &a);
            if (result) SetVariantInt32(result, a);
            return hr;
        }
        case 0x26: {
            if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
            VARIANT out;
            hr = get_SystemMetric(args.At(0), &out);
            if (result)
                *result = out;
            else
                ClearVariant(&out);
            return hr;
        }
        case 0x29:
            if (args.Count() != 3) return DISP_E_BADPARAMCOUNT;
            if (!typeAndIndex(a, b) || !args.Int32(2, c)) return DISP_E_TYPEMISMATCH;
            return MoveEntireFloorPlan(a, b, c);
        case 0x2b: {
            if (args.Count() != 2) return DISP_E_BADPARAMCOUNT;
            BSTR key = nullptr;
            BSTR data = nullptr;
            if (!args.Text(0, key) || !args.Text(1, data)) return DISP_E_TYPEMISMATCH;
            return AddDataToRightClickedObjectInformation(key, data);
        }
        case 0x31:
            if (args.Count() != 2) return DISP_E_BADPARAMCOUNT;
            if (!typeAndIndex(a, b)) return DISP_E_TYPEMISMATCH;
            return ProcessKeyPress(a, b != 0);
        case 0x38:
            if (args.Count() != 2) return DISP_E_BADPARAMCOUNT;
            if (!args.Double(0, d) || !args.Int32(1, a)) return DISP_E_TYPEMISMATCH;
            return pkgst(d, a);
        case 0x3a:
        case 0x3b:
        case 0x46:
        case 0x47: {
            if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
            BSTR text = nullptr;
            if (!args.Text(0, text)) return DISP_E_TYPEMISMATCH;
            if (member == 0x3a) return OpenXMLTemplate(text);
            if (member == 0x3b) return LoadWebPlan(text);
            if (member == 0x46) return SetDomain(text);
            return LoadLocalPlan(text);
        }
        case 0x45:
            // The in-value is optional through script.
            if (args.Count() > 1) return DISP_E_BADPARAMCOUNT;
            a = 0;
            if (args.Count() == 1 && !args.Int32(0, a)) return DISP_E_TYPEMISMATCH;
            hr = get_isReadyToClose(&a);
            if (result) SetVariantInt32(result, a);
            return hr;
        default:
            (void)get;
            return DISP_E_MEMBERNOTFOUND;
    }
}

// --- Start values from the hosting page --------------------------------------------

HRESULT CDuzazododiza::Load(platform::IPropertyBag* bag) {
    if (!bag) return platform::E_POINTER;
    struct DepthMapParam {
        const char* name;
        int slot;
    };
    for (const DepthMapParam& param :
         {DepthMapParam{"MaxDepthMapWidth", 8}, DepthMapParam{"MaxDepthMapHeight", 9}}) {
        VARIANT value;
        if (platform::Succeeded(bag->Read(param.name, &value))) {
            int32_t size = 0;
            if (ScriptArguments::ToInt32(value, size))
                globalState.SetInteger(param.slot, size);
            else
                theTrace().WriteFormat("%s is not a number", param.name);
        }
        platform::ClearVariant(&value);
    }
    VARIANT domain;
    if (platform::Succeeded(bag->Read("Domain", &domain)) &&
        domain.type == platform::VariantType::Bstr)
        SetDomain(domain.bstrValue);
    platform::ClearVariant(&domain);

    VARIANT user;
    if (platform::Succeeded(bag->Read("userID", &user)) &&
        user.type == platform::VariantType::Bstr) {
        char id[kDomainSize];
        if (CopyPageText(user.bstrValue, id, sizeof id, "userID")) SetUserID(id);
    }
    platform::ClearVariant(&user);
    return S_OK;
}

// --- Plan and file members ------------------------------------------------------------
//
// Saving, opening and merging plans are the control's plan-file commands (PlanFiles.cpp);
// both bases declare them, so the control window names them once more here.

HRESULT CDuzazododiza::SavePlanAs() {
    return BaseControl::SavePlanAs();
}

HRESULT CDuzazododiza::SavePlan() {
    return BaseControl::SavePlan();
}

HRESULT CDuzazododiza::LoadPlan() {
    return BaseControl::LoadPlan();
}

HRESULT CDuzazododiza::MergePlan() {
    return BaseControl::MergePlan();
}

HRESULT CDuzazododiza::LoadLocalPlan(BSTR fullFilename) {
    if (platform::BstrLength(fullFilename) == 0) return S_FALSE;
    char name[kPathSize];
    if (!CopyPageText(fullFilename, name, sizeof name, "Plan file name")) return S_FALSE;
    return OpenLocalPlan(name) ? S_OK : S_FALSE;
}

HRESULT CDuzazododiza::OpenRecentFile(int32_t recentFileIndex) {
    const int64_t slot = int64_t{recentFileIndex} - kFirstRecentFileCommand;
    if (slot < 0 || slot >= kRecentFileCount) {
        theTrace().WriteFormat("No recent file %d", recentFileIndex);
        return S_OK;
    }
    const std::string path = ReadRecentFiles()[static_cast<size_t>(slot)];
    if (path.empty()) return S_OK;
    if (FILE* test = std::fopen(path.c_str(), "rb")) {
        std::fclose(test);
    } else {
        platform::MessageBoxRequest box;
        box.text = std::string("File has been moved or deleted.\n\n") + path;
        box.caption = "Invalid path";
        box.icon = platform::MessageIcon::Warning;
        ShowMessageBox(box);
        return S_OK;
    }
    // Asks about unsaved changes, then the plan replaces the scene on the plan-load
    // thread and its path moves to the top of the recent files.
    OpenLocalPlan(path.c_str());
    return S_OK;
}

HRESULT CDuzazododiza::LoadFloorplanTraceImage() {
    platform::FileDialogRequest request;
    request.kind = platform::FileDialogKind::Open;
    request.filterName = "JPG,GIF,BMP";
    request.filterPattern = "*.jpg;*.jpeg;*.gif;*.bmp";
    request.flags = platform::kPathMustExist;
    std::string chosen;
    const int held = ReleaseRenderLockFully();
    const bool ok = platform::ShowFileDialog(request, &chosen);
    ReacquireRenderLock(held);
    if (!ok) return S_OK;
    if (chosen.size() >= kPathSize) {
        theTrace().WriteFormat("Trace image path too long (%zu characters)", chosen.size());
        return S_OK;
    }
    Window* window = activeWindow;
    if (!window) return S_OK;
    globalState.SetBoolean(0, true);
    window->SetTraceImage(chosen.c_str());
    return S_OK;
}

HRESULT CDuzazododiza::OpenNewPlan() {
    BeginBusyDisplay();
    bool mapWasOpen = false;
    {
        RenderLockScope hold(*this);
        mapWasOpen = FindMapWindow() != nullptr;
        if (activeWindow) activeWindow->SetMouseMode(kSelectionMode);
        BaseControl::OpenNewPlan();
        if (mapWasOpen) ToggleMapWindow();

        if (mainWindow) {
            CloseSavedViewWindows();
            windowList->Lock();
            while (LinkedListObject* node = windowList->PopHead()) {
                if (node != mainWindow) delete node;
            }
            windowList->Append(mainWindow);
            windowList->Unlock();
            activeWindow = currentWindow = mainWindow;
            mainWindow->SetViewMode(Window::kPerspectiveView);
            mainWindow->ApplyCameraPreset(kNewPlanPreset);
            mainWindow->InitCameraPresets();
            mainWindow->ResetViewOptions();
        }
        globalState.SetVector(0, Vector(0.514, 0.776, 1.0));
        globalState.SetVector(1, Vector(0.298, 0.58, 1.0));
        floorState.SetDouble(9, 0.0);
        SetFloorLevel(1);
        if (terrain) terrain->Reset(true);
    }
    // The default lights and a fresh sky come from the content server, with the render
    // lock free while they download.
    AddDefaultLights();
    ReplaceSky(kDefaultSky);
    {
        RenderLockScope hold(*this);
        if (mainWindow) mainWindow->SetMouseMode(kSelectionMode);
        fogState.SetDefaults();
        newPlanFlag = 1;
    }
    // Nothing loads: the render loop ends the wait screen at its next pass.
    loadFinished = 1;
    if (mapWasOpen && platform::IsWindow(ControlWindow()))
        platform::PostMessage(ControlWindow(), kMsgToggleMap);
    return S_OK;
}

HRESULT CDuzazododiza::get_URLToOpen(BSTR* url) {
    if (!url) return S_OK;
    *url = urlToOpen[0] ? platform::BstrFromUtf8(urlToOpen) : nullptr;
    urlToOpen[0] = 0;
    return S_OK;
}

HRESULT CDuzazododiza::OpenXMLTemplate(BSTR fileAddress) {
    if (PromptSaveChanges(true) == kAnswerCancel) return S_OK;
    char address[kPathSize];
    if (!CopyPageText(fileAddress, address, sizeof address, "Template address")) return S_OK;
    char full[kPathSize];
    const char* source = address;
    if (std::strncmp(address, "http://", 7) != 0)
        source = AttachPathToDomain(address, full, sizeof full);
    theTrace().WriteFormat("Template %s", source);
    // The template is read first: one that cannot be read leaves the plan as it is.
    WizardXMLProcessor reader;
    reader.SetBuildOnArrival(false);
    if (!reader.DownloadNow(source) || !reader.WasRead()) {
        theTrace().WriteFormat("Template not read: %s", source);
        return S_OK;
    }
    {
        RenderLockScope hold(*this);
        if (FindMapWindow()) ToggleMapWindow();
    }
    OpenNewPlan();
    loadKind = 0;
    BeginBusyDisplay();
    {
        // Built at once, behind the wait screen.
        WizardPlanBuilder builder(*this);
        builder.Build(reader.GetTree());
    }
    newPlanFlag = 1;
    // The render loop ends the wait screen.
    loadFinished = 1;
    return S_OK;
}

HRESULT CDuzazododiza::LoadWebPlan(BSTR fileAddress) {
    char address[kPathSize];
    if (!CopyPageText(fileAddress, address, sizeof address, "Web plan address")) return S_OK;
    // The first address waits for the end of the wait screen, which opens it.
    if (bufferedFileName[0] == 0) {
        std::memcpy(bufferedFileName, address, sizeof address);
        return S_OK;
    }
    OpenBufferedFile(address);
    return S_OK;
}

HRESULT CDuzazododiza::get_isReadyToClose(int32_t* ready) {
    if (!ready) return S_OK;
    if (!initialised) {
        *ready = 0;
        return S_OK;
    }
    const bool allowCancel = *ready == kCloseWithCancel;
    *ready = PromptSaveChanges(allowCancel) == kAnswerCancel ? 0 : 1;
    return S_OK;
}

HRESULT CDuzazododiza::SetDomain(BSTR newDomain) {
    char domain[kDomainSize];
    if (!CopyPageText(newDomain, domain, sizeof domain, "Domain")) return S_OK;
    if (std::strlen(domain) >= sizeof contentDomain) {
        theTrace().WriteFormat("Domain is too long (%zu characters)", std::strlen(domain));
        return S_OK;
    }
    std::memcpy(contentDomain, domain, std::strlen(domain) + 1);
    SetServerAddress(contentDomain);
    return S_OK;
}

// --- View members ---------------------------------------------------------------------

HRESULT CDuzazododiza::ChangeMode(const VARIANT& mode) {
    int32_t n = 0;
    if (!ScriptArguments::ToInt32(mode, n)) {
        theTrace().Write("ChangeMode: the mode is not a number");
        return S_OK;
    }
    SetMouseMode(n);
    return S_OK;
}

HRESULT CDuzazododiza::ChangeView(const VARIANT& renderType) {
    int32_t n = 0;
    if (!ScriptArguments::ToInt32(renderType, n)) {
        theTrace().Write("ChangeView: the view is not a number");
        return S_OK;
    }
    SetActiveViewMode(n);
    return S_OK;
}

HRESULT CDuzazododiza::GoToView(const VARIANT& viewType) {
    int32_t n = 0;
    if (!ScriptArguments::ToInt32(viewType, n) || n < 0 || n >= kCameraPresets) {
        theTrace().Write("GoToView: no such camera preset");
        return S_OK;
    }
    RenderLockScope hold(*this);
    GoToCameraPreset(n);
    return S_OK;
}

HRESULT CDuzazododiza::ShowAntialiasedFrame() {
    Window* previous = nullptr;
    {
        RenderLockScope hold(*this);
        previous = activeWindow;
        activeWindow = mainWindow;
        SelectAll(false);
        SetStatusText(LoadResourceString(kSmoothingText).c_str());
    }
    {
        RenderLockScope hold(*this);
        // The render loop draws the smoothed frame while scene rendering is off.
        BaseControl::ShowAntialiasedFrame();
        theTrace().Write("saf");
        SetRenderEnabled(false);
        SetStatusText(LoadResourceString(kSmoothingOffText).c_str());
        activeWindow = previous;
        theTrace().Write("esaf");
    }
    return S_OK;
}

HRESULT CDuzazododiza::OpenNewViewWindow() {
    if (!OpenSavedViewWindow()) {
        theTrace().Write("OpenNewViewWindow: the view window could not be opened");
        return platform::E_FAIL;
    }
    return S_OK;
}

HRESULT CDuzazododiza::SetCameraAngle(double angle) {
    // A field of view the projection cannot use is refused.
    if (!std::isfinite(angle) || angle <= 0.0 || angle >= 180.0) {
        theTrace().WriteFormat("Field of view %f refused", angle);
        return S_OK;
    }
    RenderLockScope hold(*this);
    if (!activeWindow) return S_OK;
    activeWindow->BeginViewTransaction();
    activeWindow->fieldOfView = angle;
    activeWindow->EndViewTransaction();
    char text[64];
    std::snprintf(text, sizeof text, "Field Of View : %1.0f degrees", angle);
    if (mainWindow) ShowTimedMessage(2000, text);
    return S_OK;
}

HRESULT CDuzazododiza::FitPlanInWindow() {
    RenderLockScope hold(*this);
    if (activeWindow) activeWindow->ZoomToExtents();
    return S_OK;
}

HRESULT CDuzazododiza::ToggleMap() {
    ToggleMapWindow();
    return S_OK;
}

HRESULT CDuzazododiza::SaveSceneStateAs(int32_t index) {
    BaseControl::SaveSceneStateAs(index);
    return S_OK;
}

HRESULT CDuzazododiza::GoToSceneState(int32_t index) {
    RenderLockScope hold(*this);
    if (activeWindow) activeWindow->BeginViewTransaction();
    BaseControl::GoToSceneState(index);
    if (activeWindow) activeWindow->EndViewTransaction();
    return S_OK;
}

HRESULT CDuzazododiza::UndoViewChange() {
    if (activeWindow) activeWindow->UndoViewChange();
    return S_OK;
}

HRESULT CDuzazododiza::RedoViewChange() {
    if (activeWindow) activeWindow->RedoViewChange();
    return S_OK;
}

HRESULT CDuzazododiza::ExportSceneImage() {
    ExternalRenderController job;
    // A cancel is no failure; a picture that could not be written is.
    const bool chosen = job.ExportSceneImage(false);
    return chosen || job.bits.empty() ? S_OK : platform::E_FAIL;
}

HRESULT CDuzazododiza::Print() {
    ExternalRenderController job;
    const bool printed = job.Print();
    return printed || job.document.pages.empty() ? S_OK : platform::E_FAIL;
}

HRESULT CDuzazododiza::get_SystemMetric(const VARIANT& index, VARIANT* value) {
    if (!value) return S_OK;
    int32_t n = 0;
    ScriptArguments::ToInt32(index, n);
    const int16_t metric = static_cast<int16_t>(n & 0xFFFF);
    // Headless, the screen is the control's screen and windows have no caption bar (0
    // asks for the caption height).
    int32_t answer = 0;
    if (metric == kScreenHeightMetric) answer = GetScreenSize().height;
    platform::SetVariantInt32(value, answer);
    return S_OK;
}

// --- Settings, host and other members -------------------------------------------------

HRESULT CDuzazododiza::Debug(const VARIANT&) {
    OnAfterCreate();
    return S_OK;
}

HRESULT CDuzazododiza::ResetRegistryPreferences() {
    ResetToDefaults(*this);
    return S_OK;
}

HRESULT CDuzazododiza::RefreshShadows() {
    RenderLockScope hold(*this);
    LinkedListIterator it(scene);
    it.LockList();
    // Lights stand at the head of the scene.
    for (LinkedListObject* node = it.First(); node; node = it.Next()) {
        auto* light = dynamic_cast<LightSource*>(node);
        if (!light) break;
        if (light->state.GetBoolean(0)) light->CreateDepthMap();
    }
    it.UnlockList();
    return S_OK;
}

HRESULT CDuzazododiza::Uninstall() {
    BaseControl::Uninstall();
    return S_OK;
}

HRESULT CDuzazododiza::UpdatePreferences() {
    SaveDefaults(*this);
    return S_OK;
}

HRESULT CDuzazododiza::pkgst(double, int32_t) {
    return S_OK;
}

// --- Operations of the control window -------------------------------------------------

int CDuzazododiza::PromptSaveChanges(bool allowCancel) {
    if (!globalState.GetBoolean(0)) return 0;
    std::string name = globalState.GetString(0);
    if (name.size() > kPlanNameInPrompt) name.resize(kPlanNameInPrompt);
    platform::MessageBoxRequest box;
    box.owner = mainWindow;
    box.text = "Do you want to save the changes you made to " + name + "?";
    box.caption = "Kivora";
    box.icon = platform::MessageIcon::Warning;
    box.buttons =
        allowCancel ? platform::MessageButtons::YesNoCancel : platform::MessageButtons::YesNo;
    const platform::MessageAnswer answer = ShowMessageBox(box);
    if (answer == platform::MessageAnswer::Yes) SavePlan();
    if (answer != platform::MessageAnswer::Cancel) globalState.SetBoolean(0, false);
    switch (answer) {
        case platform::MessageAnswer::Yes:
            return kAnswerYes;
        case platform::MessageAnswer::Cancel:
            return kAnswerCancel;
        default:
            return kAnswerNo;
    }
}

platform::WindowHandle CDuzazododiza::GetTopLevelParent() const {
    platform::WindowHandle top = platform::kNoWindow;
    for (platform::WindowHandle w = platform::GetParent(controlWindow); w != platform::kNoWindow;
         w = platform::GetParent(w))
        top = w;
    POSTCONDITION(top != platform::kNoWindow, "Failed to get the uppermost parent");
    return top;
}

void CDuzazododiza::UpdateWindowTitle() {
    const platform::WindowHandle top = GetTopLevelParent();
    if (top == platform::kNoWindow) return;
    std::string title = "Kivora -- " + globalState.GetString(0);
    if (title.size() >= kTitleSize) title.resize(kTitleSize - 1);
    POSTCONDITION(platform::SetWindowText(top, title), "Failed to set the title");
}

void CDuzazododiza::CloseHostWindow() {
    const platform::WindowHandle top = GetTopLevelParent();
    if (top == platform::kNoWindow) return;
    POSTCONDITION(platform::PostMessage(top, platform::WM_CLOSE), "Failed to close the host");
}

int CDuzazododiza::IncrementHoldCount() {
    return ++holdCount;
}

int CDuzazododiza::DecrementHoldCount() {
    const int before = holdCount;
    --holdCount;
    POSTCONDITION(holdCount == before - 1, "Release Failed");
    return holdCount;
}

void CDuzazododiza::OnLButtonDown(platform::LParam lParam) {
    const int mode = activeWindow ? activeWindow->GetCurrentModeNumber() : -1;
    theTrace().WriteFormat("%d Begin LBD", mode);
    if (platform::IsWindow(controlWindow)) platform::SetFocus(controlWindow);
    {
        RenderLockScope hold(*this);
        SetRenderEnabled(true);
    }
    ForwardMouse(platform::WM_LBUTTONDOWN, lParam);
    theTrace().Write("eLBD");
}
