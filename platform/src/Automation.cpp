#include "platform/Automation.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace platform {

namespace {

// Length prefix in front of the characters, kept 8-byte aligned.
constexpr size_t kPrefix = 8;
constexpr char16_t kReplacement = 0xFFFD;

uint32_t* PrefixOf(const char16_t* text) {
    return reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(const_cast<char16_t*>(text)) -
                                       kPrefix);
}

// Decodes one code point at `p` (before `end`); advances `p`. Malformed input gives
// the replacement character and moves on by one byte.
char32_t DecodeUtf8(const unsigned char*& p, const unsigned char* end) {
    const unsigned char c = *p++;
    if (c < 0x80) return c;
    int extra;
    char32_t cp;
    char32_t minimum;
    if ((c & 0xE0) == 0xC0) {
        extra = 1, cp = c & 0x1F, minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2, cp = c & 0x0F, minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3, cp = c & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    if (end - p < extra) return kReplacement;
    for (int i = 0; i < extra; ++i)
        if ((p[i] & 0xC0) != 0x80) return kReplacement;
    for (int i = 0; i < extra; ++i) cp = (cp << 6) | (p[i] & 0x3F);
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    p += extra;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

BSTR AllocBstrLength(const char16_t* text, uint32_t length) {
    constexpr size_t kMaxLength = (std::numeric_limits<uint32_t>::max() - kPrefix) / 2 - 1;
    if (length > kMaxLength) return nullptr;
    char* block = static_cast<char*>(std::malloc(kPrefix + (size_t{length} + 1) * 2));
    if (!block) return nullptr;
    *reinterpret_cast<uint32_t*>(block) = length;
    BSTR chars = reinterpret_cast<BSTR>(block + kPrefix);
    if (text)
        std::memcpy(chars, text, size_t{length} * 2);
    else
        std::memset(chars, 0, size_t{length} * 2);
    chars[length] = 0;
    return chars;
}

BSTR AllocBstr(const char16_t* text) {
    if (!text) return nullptr;
    uint32_t length = 0;
    while (text[length]) ++length;
    return AllocBstrLength(text, length);
}

void FreeBstr(BSTR text) {
    if (text) std::free(PrefixOf(text));
}

uint32_t BstrLength(const char16_t* text) {
    return text ? *PrefixOf(text) : 0;
}

BSTR BstrFromUtf8(const char* text) {
    if (!text) return nullptr;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    const auto* end = p + std::strlen(text);
    std::u16string out;
    while (p < end) {
        const char32_t cp = DecodeUtf8(p, end);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return AllocBstrLength(out.data(), static_cast<uint32_t>(out.size()));
}

BSTR BstrFromUtf8(const std::string& text) {
    return BstrFromUtf8(text.c_str());
}

std::string Utf8FromBstr(const char16_t* text) {
    std::string out;
    const uint32_t length = BstrLength(text);
    for (uint32_t i = 0; i < length; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = kReplacement;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

void InitVariant(VARIANT* v) {
    if (!v) return;
    v->type = VariantType::Empty;
    v->int64Value = 0;
}

void ClearVariant(VARIANT* v) {
    if (!v) return;
    if (v->type == VariantType::Bstr) FreeBstr(v->bstrValue);
    if (v->type == VariantType::Unknown && v->unknownValue) v->unknownValue->Release();
    InitVariant(v);
}

HRESULT CopyVariant(VARIANT* dest, const VARIANT* source) {
    if (!dest || !source) return E_POINTER;
    if (dest == source) return S_OK;
    ClearVariant(dest);
    switch (source->type) {
        case VariantType::Bstr:
            dest->bstrValue = AllocBstrLength(source->bstrValue, BstrLength(source->bstrValue));
            if (source->bstrValue && !dest->bstrValue) return E_OUTOFMEMORY;
            break;
        case VariantType::Unknown:
            dest->unknownValue = source->unknownValue;
            if (dest->unknownValue) dest->unknownValue->AddRef();
            break;
        default:
            dest->int64Value = source->int64Value;
            break;
    }
    dest->type = source->type;
    return S_OK;
}

void SetVariantInt16(VARIANT* v, int16_t value) {
    ClearVariant(v);
    v->type = VariantType::Int16;
    v->shortValue = value;
}

void SetVariantInt32(VARIANT* v, int32_t value) {
    ClearVariant(v);
    v->type = VariantType::Int32;
    v->intValue = value;
}

void SetVariantInt64(VARIANT* v, int64_t value) {
    ClearVariant(v);
    v->type = VariantType::Int64;
    v->int64Value = value;
}

void SetVariantDouble(VARIANT* v, double value) {
    ClearVariant(v);
    v->type = VariantType::Double;
    v->doubleValue = value;
}

void SetVariantBool(VARIANT* v, bool value) {
    ClearVariant(v);
    v->type = VariantType::Bool;
    v->boolValue = value;
}

void SetVariantUtf8(VARIANT* v, const char* text) {
    ClearVariant(v);
    v->type = VariantType::Bstr;
    v->bstrValue = BstrFromUtf8(text);
}

}  // namespace platform
