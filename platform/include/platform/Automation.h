#pragma once

#include <cstdint>
#include <string>

#include "platform/Component.h"

namespace platform {

// Text and values that cross component boundaries.
//
// A BSTR is UTF-16 text allocated by this layer: its length is kept in front of the
// characters, so it may hold zeros, and it is always terminated. Null is the empty
// text. Whoever receives one as an out-parameter frees it with FreeBstr.
using BSTR = char16_t*;

// A copy of the terminated text; null for null.
BSTR AllocBstr(const char16_t* text);
// A copy of `length` characters (zeros included); null text gives `length` zeros.
BSTR AllocBstrLength(const char16_t* text, uint32_t length);
// Frees a BSTR of this layer; null does nothing.
void FreeBstr(BSTR text);
// Characters held (0 for null).
uint32_t BstrLength(const char16_t* text);

// UTF-8 to a new BSTR (null for null); a malformed byte becomes U+FFFD.
BSTR BstrFromUtf8(const char* text);
BSTR BstrFromUtf8(const std::string& text);
// The BSTR as UTF-8 (empty for null); an unpaired surrogate becomes U+FFFD.
std::string Utf8FromBstr(const char16_t* text);

// Frees the BSTR it holds when it goes.
class ScopedBstr {
public:
    ScopedBstr() = default;
    explicit ScopedBstr(BSTR text) : text_(text) {}
    explicit ScopedBstr(const char* utf8) : text_(BstrFromUtf8(utf8)) {}
    ~ScopedBstr() { FreeBstr(text_); }
    ScopedBstr(const ScopedBstr&) = delete;
    ScopedBstr& operator=(const ScopedBstr&) = delete;

    BSTR Get() const { return text_; }
    // Frees what is held and answers the slot for an out-parameter.
    BSTR* OutParam() {
        FreeBstr(text_);
        text_ = nullptr;
        return &text_;
    }
    BSTR Detach() { return std::exchange(text_, nullptr); }
    std::string Utf8() const { return Utf8FromBstr(text_); }

private:
    BSTR text_ = nullptr;
};

// The kinds of value a VARIANT carries.
enum class VariantType : uint16_t {
    Empty = 0,
    Null = 1,
    Int16 = 2,
    Int32 = 3,
    Double = 5,
    Bstr = 8,
    Bool = 11,
    Unknown = 13,
    Int64 = 20,
};

// A tagged value. A Bstr value is owned by the VARIANT; an Unknown value holds a
// reference. Clear releases both.
struct VARIANT {
    VariantType type = VariantType::Empty;
    union {
        int16_t shortValue;
        int32_t intValue;
        int64_t int64Value;
        double doubleValue;
        bool boolValue;
        BSTR bstrValue;
        IUnknown* unknownValue = nullptr;
    };
};

void InitVariant(VARIANT* v);
// Frees what the value owns and leaves it empty.
void ClearVariant(VARIANT* v);
// Clears `dest`, then makes it a deep copy of `source` (a new BSTR, a new reference).
HRESULT CopyVariant(VARIANT* dest, const VARIANT* source);

// Set a value after clearing the old one. The Bstr setter copies the text.
void SetVariantInt16(VARIANT* v, int16_t value);
void SetVariantInt32(VARIANT* v, int32_t value);
void SetVariantInt64(VARIANT* v, int64_t value);
void SetVariantDouble(VARIANT* v, double value);
void SetVariantBool(VARIANT* v, bool value);
void SetVariantUtf8(VARIANT* v, const char* text);

// Late-bound calls: members named by dispatch id.
using DISPID = int32_t;

inline constexpr DISPID DISPID_UNKNOWN = -1;
inline constexpr DISPID DISPID_PROPERTYPUT = -3;  // the named argument of a property put

// Kinds of call in Invoke's `flags`.
inline constexpr uint16_t DISPATCH_METHOD = 0x1;
inline constexpr uint16_t DISPATCH_PROPERTYGET = 0x2;
inline constexpr uint16_t DISPATCH_PROPERTYPUT = 0x4;

constexpr HRESULT DISP_E_UNKNOWNINTERFACE = static_cast<HRESULT>(0x80020001u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_PARAMNOTFOUND = static_cast<HRESULT>(0x80020004u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);

// The arguments of a call, last argument first (args[0] is the last one). Named
// arguments come first in `args`, their ids in `namedArgIds`.
struct DISPPARAMS {
    VARIANT* args = nullptr;
    const DISPID* namedArgIds = nullptr;
    uint32_t argCount = 0;
    uint32_t namedArgCount = 0;
};

// An object whose members script calls by name.
class IDispatch : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03}};

    // How many type descriptions the object has (0 or 1).
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetTypeInfo(uint32_t index, IUnknown** info) = 0;
    // The ids of `count` names (a member, then its named parameters); an unknown name
    // gets DISPID_UNKNOWN and the answer DISP_E_UNKNOWNNAME.
    virtual HRESULT GetIDsOfNames(const char16_t* const* names, uint32_t count, DISPID* ids) = 0;
    // Calls the member; `result` may be null when the caller wants none.
    virtual HRESULT Invoke(DISPID member, uint16_t flags, DISPPARAMS* params, VARIANT* result) = 0;
};

// A member name of a dispatch table.
struct DispatchName {
    const char* name;
    DISPID id;
};

// GetIDsOfNames over a table: terminated names, compared without regard to ASCII case. Only the
// first name (the member) is looked up; any further names get DISPID_UNKNOWN.
HRESULT LookUpDispatchNames(const DispatchName* table, size_t tableSize,
                            const char16_t* const* names, uint32_t count, DISPID* ids);

}  // namespace platform
