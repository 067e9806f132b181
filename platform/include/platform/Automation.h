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

}  // namespace platform
