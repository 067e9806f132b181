#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>

#include "control/Duzazododiza.h"
#include "control/scripting/ScriptArguments.h"
#include "foundation/Trace.h"
#include "model/StateObject.h"
#include "render/Window.h"

using platform::HRESULT;
using platform::S_OK;

namespace {

constexpr int32_t kGlobalStateType = 6;
constexpr int32_t kPlanNameSlot = 0;
constexpr int32_t kOtherFloorsSlot = 6;
constexpr int kVectorElements = 4;
constexpr size_t kMaxNameLength = 511;
constexpr const char* kWebKeys = "webKeys";
constexpr int32_t kSkyDefault = 2001;
constexpr int kMinToolbarLeft = 210;
constexpr int kToolbarMargin = 10;

double& VectorElement(Vector& v, int element) {
    switch (element) {
        case 0:
            return v.x;
        case 1:
            return v.y;
        case 2:
            return v.z;
        default:
            return v.w;
    }
}

// The page's text, cut to `limit` bytes without splitting a character.
std::string PageText(const char16_t* text, size_t limit) {
    std::string utf8 = platform::Utf8FromBstr(text);
    if (utf8.size() > limit) {
        size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
        utf8.resize(cut);
    }
    return utf8;
}

}  // namespace

BaseParameterState* CDuzazododiza::GetParameterState(int32_t propertyType) {
    switch (propertyType) {
        case 0:
            return activeWindow ? &activeWindow->viewFlags : nullptr;
        case 1:
            return &wallState;
        case 2:
            return &roofState;
        case 3:
            return &floorState;
        case 4:
            return &counterState;
        case 5:
            return currentStateObject ? currentStateObject->GetState() : nullptr;
        case 6:
            return &globalState;
        case 7:
            return &fenceState;
        case 8:
            return &coveringState;
        case 9:
            return &fogState;
        case 10:
            return &baseMoldingState;
        default:
            return nullptr;
    }
}

bool CDuzazododiza::ParseUInt64(const char16_t* text, uint64_t* value) {
    if (!value) return false;
    const std::string utf8 = platform::Utf8FromBstr(text);
    if (utf8.empty()) {
        *value = 0;
        return true;
    }
    const std::optional<uint64_t> parsed = Int64FromText(utf8.c_str());
    if (!parsed) return false;
    *value = *parsed;
    return true;
}

HRESULT CDuzazododiza::get_booleanParameter(int32_t type, int32_t index, int16_t* value) {
    BaseParameterState* state = GetParameterState(type);
    if (state && value) *value = state->GetBoolean(index) ? 1 : 0;
    return S_OK;
}

HRESULT CDuzazododiza::put_booleanParameter(int32_t type, int32_t index, int16_t value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state) return S_OK;
    state->SetBoolean(index, value != 0);
    if (type == kGlobalStateType && index == kOtherFloorsSlot) {
        LockRender();
        RebuildDisplayData();
        UnlockRender();
    }
    return S_OK;
}

HRESULT CDuzazododiza::ToggleBooleanParameter(int32_t type, int32_t index) {
    int16_t value = 0;
    get_booleanParameter(type, index, &value);
    return put_booleanParameter(type, index, value ? 0 : 1);
}

HRESULT CDuzazododiza::get_doubleParameter(int32_t type, int32_t index, double* value) {
    BaseParameterState* state = GetParameterState(type);
    if (state && value) *value = state->GetDouble(index);
    return S_OK;
}

HRESULT CDuzazododiza::put_doubleParameter(int32_t type, int32_t index, double value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state) return S_OK;
    if (!std::isfinite(value)) {
        theTrace().WriteFormat("doubleParameter %d %d: not a number", type, index);
        return S_OK;
    }
    const double old = state->GetDouble(index);
    state->SetDouble(index, value);
    if (type == kGlobalStateType && (index == 4 || index == 5) && state->GetDouble(index) != old) {
        LockRender();
        RebuildDisplayData();
        UnlockRender();
    }
    return S_OK;
}

HRESULT CDuzazododiza::get_integerParameter(int32_t type, int32_t index, double* value) {
    BaseParameterState* state = GetParameterState(type);
    if (state && value) *value = state->GetInteger(index);
    return S_OK;
}

HRESULT CDuzazododiza::put_integerParameter(int32_t type, int32_t index, double value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state) return S_OK;
    const std::optional<int32_t> integer = IntegerFromNumber(value);
    if (!integer) {
        theTrace().WriteFormat("integerParameter %d %d: %g is no integer", type, index, value);
        return S_OK;
    }
    state->SetInteger(index, *integer);
    return S_OK;
}

HRESULT CDuzazododiza::get_stringParameter(int32_t type, int32_t index, BSTR* value) {
    BaseParameterState* state = GetParameterState(type);
    if (state && value) *value = platform::BstrFromUtf8(state->GetString(index));
    return S_OK;
}

HRESULT CDuzazododiza::put_stringParameter(int32_t type, int32_t index, BSTR value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state) return S_OK;
    state->SetString(index, PageText(value, BaseParameterState::kMaxStringLength).c_str());
    if (type == kGlobalStateType && index == kPlanNameSlot) theTrace().Write("End Set Filename ");
    return S_OK;
}

HRESULT CDuzazododiza::get_int64Parameter(int32_t type, int32_t index, BSTR* value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state || !value) return S_OK;
    char text[24];
    std::snprintf(text, sizeof text, "%" PRIu64, state->GetInt64(index));
    *value = platform::BstrFromUtf8(text);
    return S_OK;
}

HRESULT CDuzazododiza::put_int64Parameter(int32_t type, int32_t index, BSTR value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state) return S_OK;
    uint64_t number = 0;
    if (!ParseUInt64(value, &number)) {
        theTrace().WriteFormat("int64Parameter %d %d: not an unsigned number", type, index);
        return S_OK;
    }
    state->SetInt64(index, number);
    return S_OK;
}

HRESULT CDuzazododiza::get_vectorParameter(int32_t type, int32_t index, int32_t element,
                                           double* value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state || !value) return S_OK;
    if (element < 0 || element >= kVectorElements) {
        theTrace().WriteFormat("vectorParameter: no element %d", element);
        return S_OK;
    }
    Vector v = state->GetVector(index);
    *value = VectorElement(v, element);
    return S_OK;
}

HRESULT CDuzazododiza::put_vectorParameter(int32_t type, int32_t index, int32_t element,
                                           double value) {
    BaseParameterState* state = GetParameterState(type);
    if (!state) return S_OK;
    if (element < 0 || element >= kVectorElements || !std::isfinite(value)) {
        theTrace().WriteFormat("vectorParameter: element %d refused", element);
        return S_OK;
    }
    Vector v = state->GetVector(index);
    VectorElement(v, element) = value;
    state->SetVector(index, v);
    return S_OK;
}

HRESULT CDuzazododiza::get_registryValue(BSTR keyName, int32_t* value) {
    if (!value) return S_OK;
    const std::string name = PageText(keyName, kMaxNameLength);
    double stored = 0.0;
    RegistryReadDouble(kWebKeys, name.c_str(), &stored);
    const std::optional<int32_t> integer = IntegerFromNumber(stored);
    if (!integer)
        theTrace().WriteFormat("registryValue %s: %g is no integer", name.c_str(), stored);
    *value = integer.value_or(0);
    return S_OK;
}

HRESULT CDuzazododiza::put_registryValue(BSTR keyName, int32_t value) {
    const std::string name = PageText(keyName, kMaxNameLength);
    RegistryWriteDouble(kWebKeys, name.c_str(), value);
    return S_OK;
}

HRESULT CDuzazododiza::SetDefault(int32_t defaultType, const VARIANT& defaultValue) {
    if (defaultType != kSkyDefault) return S_OK;
    const std::string address =
        defaultValue.type == platform::VariantType::Bstr
            ? PageText(defaultValue.bstrValue, BaseParameterState::kMaxStringLength)
            : std::string();
    if (address.empty()) {
        theTrace().Write("SetDefault: no sky address");
        return S_OK;
    }
    globalState.SetBoolean(0, true);
    ReplaceSky(address.c_str());
    return S_OK;
}

HRESULT CDuzazododiza::SetToolbarDimensions(int32_t width, int32_t height) {
    if (width < 0 || height < 0) {
        theTrace().WriteFormat("Toolbar size %d x %d refused", width, height);
        return S_OK;
    }
    globalState.SetInteger(2, width);
    globalState.SetInteger(3, height);
    LockRender();
    LinkedListIterator it(windowList);
    it.LockList();
    for (LinkedListObject* node = it.First(); node; node = it.Next()) {
        auto* window = static_cast<Window*>(node);
        if (!window->toolbar) continue;
        const int w = static_cast<int>(window->width);
        const int h = static_cast<int>(window->height);
        window->toolbar->SetRect(std::max(kMinToolbarLeft, w - width - kToolbarMargin), h - height,
                                 width, height);
    }
    it.UnlockList();
    UnlockRender();
    return S_OK;
}
