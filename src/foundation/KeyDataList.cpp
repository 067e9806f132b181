#include "foundation/KeyDataList.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "foundation/Trace.h"

namespace {

enum Tag : unsigned char {
    kTagSublist = 0x00,
    kTagElement = 0x01,
    kTagEndOfList = 0x02,
    kTagEndOfFile = 0x03,
};

// The empty list that lookups lend out on a miss. It takes no members, and a `delete`
// through any pointer to it is absorbed: the destroying delete runs instead of the
// destructor.
class SharedEmptyKeyDataList final : public KeyDataList {
public:
    void Prepend(LinkedListObject* node) override { Refuse(node); }
    void Append(LinkedListObject* node) override { Refuse(node); }

    void operator delete(SharedEmptyKeyDataList*, std::destroying_delete_t) {
        TraceWrite("KeyDataList: the shared empty list cannot be deleted");
    }

private:
    static void Refuse(LinkedListObject* node) {
        TraceWrite("KeyDataList: the shared empty list takes no members");
        // The list was handed ownership of a free node; a node of another list stays there.
        if (node && !node->GetOwner()) delete node;
    }
};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
        if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
        if (x != y) return false;
    }
    return true;
}

bool IsWritableText(std::string_view text) {
    return text.size() <= BaseKeyDataElement::kMaxTextLength;
}

bool WriteByte(FILE* file, unsigned char byte) {
    return std::fputc(byte, file) != EOF;
}

// u16 little-endian length, then the bytes.
bool WriteText(FILE* file, const std::string& text) {
    if (!IsWritableText(text)) {
        TraceWrite("KeyDataList: text too long to write");
        return false;
    }
    const unsigned char length[2] = {static_cast<unsigned char>(text.size() & 0xFF),
                                     static_cast<unsigned char>(text.size() >> 8)};
    if (std::fwrite(length, 1, 2, file) != 2) return false;
    return text.empty() || std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

// Reads a u16 length and exactly that many bytes. False when the file ends first or the
// length is longer than a tree may hold.
bool ReadText(FILE* file, std::string& text) {
    unsigned char length[2];
    if (std::fread(length, 1, 2, file) != 2) {
        TraceWrite("KeyDataList: stream ends inside a length");
        return false;
    }
    const size_t n = length[0] | (static_cast<size_t>(length[1]) << 8);
    if (n > BaseKeyDataElement::kMaxTextLength) {
        TraceWrite("KeyDataList: text in stream longer than 1023 bytes");
        return false;
    }
    text.resize(n);
    if (n && std::fread(text.data(), 1, n, file) != n) {
        TraceWrite("KeyDataList: stream ends inside a text");
        return false;
    }
    return true;
}

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void AppendCharacterReference(std::string& out, uint32_t codePoint) {
    out += "&#";
    out += std::to_string(codePoint);
    out += ';';
}

// Length and code point of a well-formed UTF-8 sequence at the start of `text`; 0 when
// it is not one.
size_t DecodeUtf8(std::string_view text, uint32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length;
    uint32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
    return length;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Members

BaseKeyDataElement* BaseKeyDataElement::GetNextMember() const {
    return static_cast<BaseKeyDataElement*>(GetNext());
}

bool KeyDataElement::HasWritableTexts() const {
    return BaseKeyDataElement::HasWritableTexts() && IsWritableText(value);
}

bool KeyDataElement::WriteBinary(FILE* file) const {
    if (!PRECONDITION(file != nullptr, "no file to write the element to")) return false;
    return WriteByte(file, kTagElement) && WriteText(file, Name()) && WriteText(file, value);
}

void KeyDataElement::WriteXML(std::string& out) const {
    out += ' ';
    AppendXmlText(out, Name());
    out += "=\"";
    AppendXmlText(out, value);
    out += "\" ";
}

void KeyDataElement::CloneInto(KeyDataList& list) const {
    list.AddString(Name(), value);
}

KeyDataSublist::KeyDataSublist(KeyText name)
    : BaseKeyDataElement(name), children(new KeyDataList) {}

KeyDataSublist::KeyDataSublist(KeyText name, KeyDataList* list)
    : BaseKeyDataElement(name), children(list == KeyDataList::SharedEmpty() ? nullptr : list) {}

KeyDataSublist::~KeyDataSublist() {
    delete children;
}

KeyDataList* KeyDataSublist::GetChildren() const {
    return children ? children : KeyDataList::SharedEmpty();
}

KeyDataList* KeyDataSublist::ReleaseChildren() {
    KeyDataList* taken = children;
    children = nullptr;
    return taken;
}

bool KeyDataSublist::WriteBinary(FILE* file) const {
    if (!PRECONDITION(file != nullptr, "no file to write the sublist to")) return false;
    return WriteByte(file, kTagSublist) && WriteText(file, Name()) &&
           GetChildren()->WriteBinary(file) && WriteByte(file, kTagEndOfList);
}

void KeyDataSublist::WriteXML(std::string& out) const {
    out += '<';
    AppendXmlText(out, Name());
    out += ' ';
    GetChildren()->WriteXML(out);
    out += "</";
    AppendXmlText(out, Name());
    out += '>';
}

void KeyDataSublist::CloneInto(KeyDataList& list) const {
    auto* copy = new KeyDataList;
    copy->AppendCopiesOf(*GetChildren());
    list.Add(new KeyDataSublist(Name(), copy));
}

// ---------------------------------------------------------------------------------------
// The list

KeyDataList* KeyDataList::SharedEmpty() {
    static SharedEmptyKeyDataList shared;
    return &shared;
}

bool KeyDataList::Admit(LinkedListObject* node) {
    // A null node, or one in a list, is left to the base operation's refusal.
    if (!node || node->GetOwner()) return true;
    auto* member = dynamic_cast<BaseKeyDataElement*>(node);
    if (PRECONDITION(member && member->HasWritableTexts(),
                     "KeyDataList member is not an element or has a text over 1023 bytes")) {
        return true;
    }
    delete node;
    return false;
}

void KeyDataList::Prepend(LinkedListObject* node) {
    if (Admit(node)) LinkedList::Prepend(node);
}

void KeyDataList::Append(LinkedListObject* node) {
    if (Admit(node)) LinkedList::Append(node);
}

bool KeyDataList::AddString(KeyText key, KeyText value) {
    if (!PRECONDITION(!key.isNull && !value.isNull, "AddString with a null text")) return false;
    if (!PRECONDITION(IsWritableText(key.text) && IsWritableText(value.text),
                      "AddString text over 1023 bytes refused")) {
        return false;
    }
    if (this == SharedEmpty()) {
        TraceWrite("KeyDataList: the shared empty list takes no members");
        return false;
    }
    Append(new KeyDataElement(key, value));
    return true;
}

bool KeyDataList::AddDouble(KeyText key, double value) {
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (!PRECONDITION(result.ec == std::errc(), "AddDouble could not format the number")) {
        return false;
    }
    return AddString(key, std::string_view(buffer, result.ptr - buffer));
}

KeyDataList* KeyDataList::AddSublist(KeyText name) {
    if (!PRECONDITION(!name.isNull && IsWritableText(name.text),
                      "AddSublist name is null or over 1023 bytes")) {
        return SharedEmpty();
    }
    if (this == SharedEmpty()) {
        TraceWrite("KeyDataList: the shared empty list takes no members");
        return SharedEmpty();
    }
    auto* sublist = new KeyDataSublist(name);
    KeyDataList* children = sublist->GetChildren();
    Append(sublist);
    return children;
}

BaseKeyDataElement* KeyDataList::FindByName(KeyText name) const {
    if (name.isNull) return nullptr;
    platform::LockHolder hold(GetLock());
    for (auto* member = GetFirstMember(); member; member = member->GetNextMember()) {
        if (EqualsIgnoringAsciiCase(member->Name(), name.text)) return member;
    }
    return nullptr;
}

KeyDataElement* KeyDataList::FindElement(KeyText key) const {
    BaseKeyDataElement* member = FindByName(key);
    return member && member->IsElement() ? static_cast<KeyDataElement*>(member) : nullptr;
}

KeyDataList* KeyDataList::GetSublist(KeyText name) const {
    BaseKeyDataElement* member = FindByName(name);
    if (!member || member->IsElement()) return SharedEmpty();
    return static_cast<KeyDataSublist*>(member)->GetChildren();
}

KeyDataList* KeyDataList::TakeSublist(KeyText name) {
    platform::LockHolder hold(GetLock());
    BaseKeyDataElement* member = FindByName(name);
    if (!member || member->IsElement()) return SharedEmpty();
    KeyDataList* taken = static_cast<KeyDataSublist*>(member)->ReleaseChildren();
    return taken ? taken : SharedEmpty();
}

const char* KeyDataList::GetString(KeyText key) const {
    const KeyDataElement* element = FindElement(key);
    return element ? element->GetValue() : nullptr;
}

bool KeyDataList::GetStringCopy(KeyText key, char* buffer, size_t size) const {
    if (!PRECONDITION(buffer && size > 0, "GetStringCopy without a buffer")) return false;
    const char* value = GetString(key);
    if (!value) return false;
    const size_t length = std::strlen(value);
    const size_t copied = length < size ? length : size - 1;
    std::memcpy(buffer, value, copied);
    buffer[copied] = '\0';
    if (copied < length) TraceWrite("KeyDataList: GetStringCopy truncated a value");
    return true;
}

bool KeyDataList::GetDouble(KeyText key, double& out) const {
    const KeyDataElement* element = FindElement(key);
    if (!element) return false;
    out = ParseKeyDataNumber(element->Value());
    return true;
}

double KeyDataList::GetNumber(KeyText key) const {
    double value = 0.0;
    GetDouble(key, value);
    return value;
}

bool KeyDataList::GetInt(KeyText key, int& out) const {
    double value;
    if (!GetDouble(key, value)) return false;
    value = std::trunc(value);
    if (value < static_cast<double>(INT_MIN)) {
        TraceWrite("KeyDataList: GetInt value below the int range");
        out = INT_MIN;
    } else if (value > static_cast<double>(INT_MAX)) {
        TraceWrite("KeyDataList: GetInt value above the int range");
        out = INT_MAX;
    } else {
        out = static_cast<int>(value);
    }
    return true;
}

bool KeyDataList::GetBool(KeyText key, bool& out) const {
    double value;
    if (!GetDouble(key, value)) return false;
    out = value != 0.0;
    return true;
}

void KeyDataList::AppendCopiesOf(const KeyDataList& source) {
    platform::LockHolder holdSource(source.GetLock());
    platform::LockHolder hold(GetLock());
    // Up to the source's present tail, so that copying a list into itself ends.
    const LinkedListObject* last = source.GetTail();
    for (auto* member = source.GetFirstMember(); member; member = member->GetNextMember()) {
        member->CloneInto(*this);
        if (member == last) break;
    }
}

bool KeyDataList::WriteBinary(FILE* file) const {
    platform::LockHolder hold(GetLock());
    for (auto* member = GetFirstMember(); member; member = member->GetNextMember()) {
        if (!member->WriteBinary(file)) return false;
    }
    return true;
}

void KeyDataList::WriteXML(std::string& out) const {
    platform::LockHolder hold(GetLock());
    for (auto* member = GetFirstMember(); member; member = member->GetNextMember()) {
        if (member->IsElement()) member->WriteXML(out);
    }
    out += '>';
    for (auto* member = GetFirstMember(); member; member = member->GetNextMember()) {
        if (!member->IsElement()) member->WriteXML(out);
    }
}

bool KeyDataList::ReadBinary(FILE* file) {
    if (!PRECONDITION(file != nullptr, "ReadBinary without a file")) return false;
    return ReadMembers(file, 0);
}

bool KeyDataList::ReadMembers(FILE* file, int depth) {
    for (;;) {
        const int tag = std::fgetc(file);
        switch (tag) {
            case EOF:
                // The end of the file closes every open level.
                return true;
            case kTagEndOfList:
            case kTagEndOfFile:
                return true;
            case kTagSublist: {
                std::string name;
                if (!ReadText(file, name)) return false;
                if (depth + 1 > kMaxDepth) {
                    TraceWrite("KeyDataList: sublists nested too deep");
                    return false;
                }
                auto* children = new KeyDataList;
                const bool complete = children->ReadMembers(file, depth + 1);
                // A sublist cut short keeps what it read.
                Append(new KeyDataSublist(name, children));
                if (!complete) return false;
                break;
            }
            case kTagElement: {
                std::string key;
                std::string value;
                if (!ReadText(file, key) || !ReadText(file, value)) return false;
                Append(new KeyDataElement(key, value));
                break;
            }
            default:
                // Unknown tag bytes are skipped.
                break;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Texts

double ParseKeyDataNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    const size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    // Only the matched decimal text reaches the conversion: no hexadecimal, no
    // infinity or NaN spellings. Past the double range it gives the signed infinity.
    const std::string number(text.substr(start, i - start));
    return strtod_l(number.c_str(), nullptr, CLocale());
}

void AppendXmlText(std::string& out, std::string_view text, XmlInvalidByte invalid) {
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += "&quot;";
                    break;
                case '\t':
                case '\n':
                case '\r':
                    AppendCharacterReference(out, c);
                    break;
                default:
                    // Other control characters have no form in XML and are left out.
                    if (c >= 0x20) out += static_cast<char>(c);
                    break;
            }
            ++i;
            continue;
        }
        uint32_t codePoint;
        const size_t length = DecodeUtf8(text.substr(i), codePoint);
        if (length) {
            AppendCharacterReference(out, codePoint);
            i += length;
        } else {
            // A byte outside valid UTF-8 stands for itself (Latin-1) or for U+FFFD.
            AppendCharacterReference(out, invalid == XmlInvalidByte::kReplacement ? 0xFFFD : c);
            ++i;
        }
    }
}
