#include "foundation/KeyDataList.h"

#include <locale.h>
#include <stdlib.h>

#include <charconv>
#include <memory>
#include <typeinfo>
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

// Collects the binary form in memory and hands it to the file in large pieces.
class BinaryWriter {
public:
    explicit BinaryWriter(FILE* file) : file_(file) { buffer_.reserve(kFlushSize + 4096); }

    void Byte(unsigned char byte) { buffer_.push_back(static_cast<char>(byte)); }

    // u16 little-endian length, then the bytes.
    bool Text(const std::string& text) {
        if (!IsWritableText(text)) {
            TraceWrite("KeyDataList: text too long to write");
            return false;
        }
        buffer_.push_back(static_cast<char>(text.size() & 0xFF));
        buffer_.push_back(static_cast<char>(text.size() >> 8));
        buffer_.append(text);
        return buffer_.size() < kFlushSize || Flush();
    }

    bool Member(const BaseKeyDataElement& member) {
        if (member.IsElement()) {
            Byte(kTagElement);
            return Text(member.Name()) &&
                   Text(static_cast<const KeyDataElement&>(member).Value());
        }
        Byte(kTagSublist);
        if (!Text(member.Name()) || !List(*static_cast<const KeyDataSublist&>(member).GetChildren()))
            return false;
        Byte(kTagEndOfList);
        return true;
    }

    bool List(const KeyDataList& list) {
        platform::LockHolder hold(list.GetLock());
        for (auto* member = list.GetFirstMember(); member; member = member->GetNextMember())
            if (!Member(*member)) return false;
        return true;
    }

    // Writes what is collected; false when the file refused it.
    bool Flush() {
        const bool written =
            buffer_.empty() || std::fwrite(buffer_.data(), 1, buffer_.size(), file_) == buffer_.size();
        buffer_.clear();
        return written;
    }

private:
    static constexpr size_t kFlushSize = 64 * 1024;
    FILE* file_;
    std::string buffer_;
};

// Reads a stream in large pieces and lends out runs of its bytes. When it is done, the
// file stands just after the last byte taken, as if it had been read byte by byte.
class BinaryReader {
public:
    explicit BinaryReader(FILE* file) : file_(file), buffer_(new unsigned char[kChunkSize]) {}
    BinaryReader(const BinaryReader&) = delete;
    BinaryReader& operator=(const BinaryReader&) = delete;

    ~BinaryReader() {
        const size_t left = end_ - position_;
        if (left > 0) {
            // Bytes read ahead go back to the file (this also clears its end-of-file mark).
            if (fseeko(file_, -static_cast<off_t>(left), SEEK_CUR) != 0)
                TraceWrite("KeyDataList: cannot give back the bytes read after the tree");
        } else if (!reachedEnd_ && std::feof(file_) && !std::ferror(file_)) {
            // The tree ended exactly where the file does; only reading on finds the end.
            std::clearerr(file_);
        }
    }

    // At least `n` (at most kChunkSize) bytes at Data(); false when the file ends first.
    bool Have(size_t n) { return end_ - position_ >= n || Fill(n); }
    const unsigned char* Data() const { return buffer_.get() + position_; }
    void Skip(size_t n) { position_ += n; }
    // Whether the last Have failed at the end of the file (not at an error).
    bool AtEnd() const { return reachedEnd_ && !std::ferror(file_); }

    static constexpr size_t kChunkSize = 64 * 1024;

private:
    bool Fill(size_t n) {
        size_t left = end_ - position_;
        std::memmove(buffer_.get(), buffer_.get() + position_, left);
        position_ = 0;
        end_ = left;
        while (end_ < n) {
            const size_t got = std::fread(buffer_.get() + end_, 1, kChunkSize - end_, file_);
            if (got == 0) {
                reachedEnd_ = true;
                return false;
            }
            end_ += got;
        }
        return true;
    }

    FILE* file_;
    std::unique_ptr<unsigned char[]> buffer_;
    size_t position_ = 0;
    size_t end_ = 0;
    bool reachedEnd_ = false;
};

size_t LengthAt(const unsigned char* p) {
    return p[0] | (static_cast<size_t>(p[1]) << 8);
}

// Reads one u16 length and text at `offset` bytes into what the reader holds; `next`
// becomes the offset after it. False (traced) when the stream ends first or the text is
// longer than a tree may hold.
bool ReadTextAt(BinaryReader& in, size_t offset, size_t* next) {
    if (!in.Have(offset + 2)) {
        TraceWrite("KeyDataList: stream ends inside a length");
        return false;
    }
    const size_t n = LengthAt(in.Data() + offset);
    if (n > BaseKeyDataElement::kMaxTextLength) {
        TraceWrite("KeyDataList: text in stream longer than 1023 bytes");
        return false;
    }
    if (!in.Have(offset + 2 + n)) {
        TraceWrite("KeyDataList: stream ends inside a text");
        return false;
    }
    *next = offset + 2 + n;
    return true;
}

std::string_view TextAt(const BinaryReader& in, size_t offset) {
    return {reinterpret_cast<const char*>(in.Data() + offset + 2), LengthAt(in.Data() + offset)};
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
    BinaryWriter out(file);
    const bool written = out.Member(*this);
    return out.Flush() && written;
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

KeyDataSublist::KeyDataSublist(std::string_view name, KeyDataList* list, PresetId id)
    : BaseKeyDataElement(name, id), children(list) {}

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
    BinaryWriter out(file);
    const bool written = out.Member(*this);
    return out.Flush() && written;
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
    // The tree's own kinds are told apart without a full cast.
    const std::type_info& type = typeid(*node);
    auto* member = type == typeid(KeyDataElement) || type == typeid(KeyDataSublist)
                       ? static_cast<BaseKeyDataElement*>(node)
                       : dynamic_cast<BaseKeyDataElement*>(node);
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
    // The texts are checked: the member goes straight to the base list.
    LinkedList::Append(new KeyDataElement(key, value));
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
    LinkedList::Append(sublist);
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
    if (!PRECONDITION(file != nullptr, "WriteBinary without a file")) return false;
    BinaryWriter out(file);
    const bool written = out.List(*this);
    return out.Flush() && written;
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
    if (this == SharedEmpty()) {
        // The stream is read as usual; what it holds is refused.
        TraceWrite("KeyDataList: the shared empty list takes no members");
        KeyDataList refused;
        return refused.ReadBinary(file);
    }
    // The lists being filled, outermost first. Only this one is reachable by others
    // while it is read, so its lock is held throughout and new members are linked as
    // they come; child lists are linked before anyone else can see them.
    platform::LockHolder hold(GetLock());
    KeyDataList* open[kMaxDepth + 1];
    int depth = 0;
    open[0] = this;
    NodeIdRun ids;
    BinaryReader in(file);
    for (;;) {
        // The end of the file closes every open level.
        if (!in.Have(1)) return in.AtEnd();
        const unsigned char tag = in.Data()[0];
        switch (tag) {
            case kTagEndOfList:
            case kTagEndOfFile:
                in.Skip(1);
                if (depth == 0) return true;
                --depth;
                break;
            case kTagSublist: {
                size_t next;
                if (!ReadTextAt(in, 1, &next)) return false;
                if (depth + 1 > kMaxDepth) {
                    TraceWrite("KeyDataList: sublists nested too deep");
                    return false;
                }
                auto* children = new KeyDataList;
                open[depth]->LinkAtTail(new KeyDataSublist(TextAt(in, 1), children, ids.Take()));
                in.Skip(next);
                open[++depth] = children;
                break;
            }
            case kTagElement: {
                size_t afterKey, next;
                if (!ReadTextAt(in, 1, &afterKey) || !ReadTextAt(in, afterKey, &next)) return false;
                open[depth]->LinkAtTail(
                    new KeyDataElement(TextAt(in, 1), TextAt(in, afterKey), ids.Take()));
                in.Skip(next);
                break;
            }
            default:
                // Unknown tag bytes are skipped.
                in.Skip(1);
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
    // infinity or NaN spellings.
    std::string_view number = text.substr(start, i - start);
    const bool negative = number.front() == '-';
    if (number.front() == '+' || negative) number.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error == std::errc::result_out_of_range) {
        // Past the double range the C conversion gives the signed infinity (or zero
        // below it).
        const std::string copy(number);
        value = strtod_l(copy.c_str(), nullptr, CLocale());
    } else if (error != std::errc() || end != number.data() + number.size()) {
        return 0.0;
    }
    return negative ? -value : value;
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
