#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>

#include "foundation/LinkedList.h"
#include "foundation/NodePool.h"

class KeyDataList;

// A text argument of the tree's operations: a C text (null allowed: it matches nothing
// and is refused by the adders), a std::string or a view.
struct KeyText {
    KeyText(const char* s) : text(s ? std::string_view(s) : std::string_view()), isNull(!s) {}
    KeyText(std::string_view s) : text(s) {}
    KeyText(const std::string& s) : text(s) {}

    std::string_view text;
    bool isNull = false;
};

// A member of a key-data tree: an element (key and value) or a sublist (a name and a
// child list). Every text is 8-bit and at most kMaxTextLength bytes long.
class BaseKeyDataElement : public LinkedListObject {
public:
    // Longest name, key or value a tree holds: longer texts are refused when added and
    // refused when read.
    static constexpr size_t kMaxTextLength = 1023;

    explicit BaseKeyDataElement(KeyText name) : name(name.text) {}
    ~BaseKeyDataElement() override = default;
    KIVORA_POOLED_NODE

    // Writes the member in the binary form; false when the file refused a write.
    virtual bool WriteBinary(FILE* file) const = 0;
    // Appends the member in the XML form.
    virtual void WriteXML(std::string& out) const = 0;
    virtual bool IsElement() const = 0;
    // Appends a deep copy of the member to the list.
    virtual void CloneInto(KeyDataList& list) const = 0;

    const char* GetName() const { return name.c_str(); }
    const std::string& Name() const { return name; }
    // The next member of the same list, or null.
    BaseKeyDataElement* GetNextMember() const;

protected:
    BaseKeyDataElement(std::string_view name, PresetId id) : LinkedListObject(id), name(name) {}
    // Whether every text of the member itself can be written.
    virtual bool HasWritableTexts() const { return name.size() <= kMaxTextLength; }

private:
    friend class KeyDataList;
    std::string name;
};

// A key and its value, both text.
class KeyDataElement : public BaseKeyDataElement {
public:
    KeyDataElement(KeyText key, KeyText value) : BaseKeyDataElement(key), value(value.text) {}

    bool WriteBinary(FILE* file) const override;
    void WriteXML(std::string& out) const override;
    bool IsElement() const override { return true; }
    void CloneInto(KeyDataList& list) const override;

    const char* GetKey() const { return GetName(); }
    const char* GetValue() const { return value.c_str(); }
    const std::string& Value() const { return value; }

protected:
    bool HasWritableTexts() const override;

private:
    friend class KeyDataList;
    KeyDataElement(std::string_view key, std::string_view value, PresetId id)
        : BaseKeyDataElement(key, id), value(value) {}

    std::string value;
};

// A named child list. The sublist owns its children unless they were taken away
// (KeyDataList::TakeSublist); then it behaves as an empty sublist.
class KeyDataSublist : public BaseKeyDataElement {
public:
    // With a new empty child list.
    explicit KeyDataSublist(KeyText name);
    // Adopts the list (null gives an empty sublist).
    KeyDataSublist(KeyText name, KeyDataList* list);
    ~KeyDataSublist() override;

    bool WriteBinary(FILE* file) const override;
    void WriteXML(std::string& out) const override;
    bool IsElement() const override { return false; }
    void CloneInto(KeyDataList& list) const override;

    // The child list, or the shared empty list when it was taken.
    KeyDataList* GetChildren() const;
    // Gives the child list up to the caller (null when already taken).
    KeyDataList* ReleaseChildren();

private:
    friend class KeyDataList;
    KeyDataSublist(std::string_view name, KeyDataList* list, PresetId id);

    KeyDataList* children;
};

// A tree of named texts: elements and sublists in insertion order. Lookups fold ASCII
// case and take the first member of the name, whatever its kind.
class KeyDataList : public LinkedList {
public:
    // Nesting below this many sublists is refused by the reader.
    static constexpr int kMaxDepth = 128;

    KeyDataList() = default;
    // A member's destructor touches only the member: the list goes in one pass.
    ~KeyDataList() override { DestroyMembersInOnePass(); }
    KIVORA_POOLED_NODE

    // Only BaseKeyDataElement members whose texts are writable are taken in; anything
    // else is refused with a trace and destroyed, since the list was handed ownership.
    void Prepend(LinkedListObject* node) override;
    void Append(LinkedListObject* node) override;

    // The process-wide empty list that lookups lend out on a miss. It refuses members,
    // and deleting it does nothing.
    static KeyDataList* SharedEmpty();

    void Add(BaseKeyDataElement* element) { Append(element); }
    // Append a new element with copies of the texts; false (with a trace) when a text is
    // null or longer than kMaxTextLength.
    bool AddString(KeyText key, KeyText value);
    // The number in "%3.6f" form (C locale).
    bool AddDouble(KeyText key, double value);
    // Appends a new empty sublist and returns its child list for filling. A refused name
    // gives the shared empty list, which refuses what is added to it.
    KeyDataList* AddSublist(KeyText name);

    // First member of that name (ASCII case folded), or null.
    BaseKeyDataElement* FindByName(KeyText name) const;
    // FindByName, when the first match is an element.
    KeyDataElement* FindElement(KeyText key) const;
    // The child list of the first match when it is a sublist (still owned by the tree);
    // otherwise the shared empty list.
    KeyDataList* GetSublist(KeyText name) const;
    // As GetSublist, but the caller takes the child list over and the sublist stays
    // behind empty. A miss gives the shared empty list (deleting it does nothing).
    KeyDataList* TakeSublist(KeyText name);

    // The value text (owned by the tree), or null.
    const char* GetString(KeyText key) const;
    // Copies at most size - 1 bytes of the value into the buffer and terminates it.
    // False when missing or when the buffer is null or empty.
    bool GetStringCopy(KeyText key, char* buffer, size_t size) const;
    // The value as a C decimal number: leading blanks, sign, digits, point, exponent;
    // text that is not a number reads as 0.0. False, `out` untouched, when missing.
    bool GetDouble(KeyText key, double& out) const;
    // The same number, 0.0 when missing.
    double GetNumber(KeyText key) const;
    // The number truncated toward zero and clamped to the int range.
    bool GetInt(KeyText key, int& out) const;
    // True when the number is not zero.
    bool GetBool(KeyText key, bool& out) const;

    // Appends a deep copy of every member of the source (itself included).
    void AppendCopiesOf(const KeyDataList& source);

    // Every member in order in the binary form; false when the file refused a write.
    bool WriteBinary(FILE* file) const;
    // Every element as ` key="value" `, then ">", then every sublist.
    void WriteXML(std::string& out) const;
    // Appends the members a binary stream holds, up to its end, an end tag or the end of
    // the file. A text longer than kMaxTextLength, an item cut short by the end of the
    // file, or nesting deeper than kMaxDepth stops the read: the members read whole so
    // far stay and the answer is false. The file is read in large pieces and left just
    // after the last byte the tree used (on a file that cannot seek back, the bytes read
    // ahead are lost, with a trace).
    bool ReadBinary(FILE* file);

    BaseKeyDataElement* GetFirstMember() const {
        return static_cast<BaseKeyDataElement*>(GetHead());
    }

private:
    // Whether a node may become a member; a refused free node is destroyed.
    static bool Admit(LinkedListObject* node);
};

// Parses the leading C decimal number of a text the way the tree reads values (0.0 when
// the text does not start with one).
double ParseKeyDataNumber(std::string_view text);
// How AppendXmlText writes a byte that is not part of valid UTF-8: as the code point of
// its own value, or as U+FFFD.
enum class XmlInvalidByte { kOwnValue, kReplacement };

// Appends a text for use inside XML: & < > " become entities and every other character
// outside ASCII a decimal character reference of its code point (a byte that is not part
// of valid UTF-8 counts as its own code point unless told otherwise).
void AppendXmlText(std::string& out, std::string_view text,
                   XmlInvalidByte invalid = XmlInvalidByte::kOwnValue);
