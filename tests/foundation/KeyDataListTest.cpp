#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include "foundation/KeyDataList.h"

namespace {

using Bytes = std::string;

Bytes WriteToBytes(const KeyDataList& list) {
    char* data = nullptr;
    size_t size = 0;
    FILE* file = open_memstream(&data, &size);
    EXPECT_TRUE(list.WriteBinary(file));
    std::fclose(file);
    Bytes bytes(data, size);
    std::free(data);
    return bytes;
}

bool ReadFromBytes(const Bytes& bytes, KeyDataList& list) {
    FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    const bool complete = list.ReadBinary(file);
    std::fclose(file);
    return complete;
}

// "key=value" for elements, "name{...}" for sublists, in member order.
std::string Dump(const KeyDataList& list) {
    std::string out;
    for (auto* member = list.GetFirstMember(); member; member = member->GetNextMember()) {
        if (!out.empty()) out += ',';
        out += member->Name();
        if (member->IsElement()) {
            out += '=' + static_cast<KeyDataElement*>(member)->Value();
        } else {
            out += '{' + Dump(*static_cast<KeyDataSublist*>(member)->GetChildren()) + '}';
        }
    }
    return out;
}

std::string Xml(const KeyDataList& list) {
    std::string out;
    list.WriteXML(out);
    return out;
}

// u16 little-endian length and the text.
Bytes Text(const std::string& text) {
    return Bytes{static_cast<char>(text.size() & 0xFF), static_cast<char>(text.size() >> 8)} + text;
}
Bytes Element(const std::string& key, const std::string& value) {
    return Bytes(1, '\x01') + Text(key) + Text(value);
}
Bytes Open(const std::string& name) {
    return Bytes(1, '\x00') + Text(name);
}
const Bytes kClose(1, '\x02');

// Bytes of a literal, zero bytes included.
template <size_t N>
Bytes Raw(const char (&literal)[N]) {
    return Bytes(literal, N - 1);
}

}  // namespace

TEST(KeyDataList, BinaryFormIsTheTaggedStream) {
    KeyDataList list;
    list.AddString("a", "");
    KeyDataList* wall = list.AddSublist("Wall");
    wall->AddString("Len", "12");
    wall->AddSublist("Empty");
    EXPECT_EQ(WriteToBytes(list), Element("a", "") + Open("Wall") + Element("Len", "12") +
                                      Open("Empty") + kClose + kClose);
}

TEST(KeyDataList, BinaryRoundTripKeepsEveryValueKindOrderCaseAndDuplicates) {
    KeyDataList list;
    list.AddString("Name", "Kitchen");
    list.AddString("name", "duplicate");
    list.AddString("Empty", "");
    list.AddString(std::string("Bytes"), std::string("line\nfeed\0zero\xE9", 15));
    list.AddDouble("Width", 12.5);
    list.AddDouble("Depth", -2);
    KeyDataList* outer = list.AddSublist("Outer");
    outer->AddString("Inner", "1");
    outer->AddSublist("Deeper")->AddDouble("Z", 0.25);
    outer->AddSublist("Outer");
    list.AddString("Last", "x");
    list.AddString(std::string(1023, 'k'), std::string(1023, 'v'));

    const Bytes bytes = WriteToBytes(list);
    KeyDataList back;
    EXPECT_TRUE(ReadFromBytes(bytes, back));
    EXPECT_EQ(Dump(back), Dump(list));
    EXPECT_EQ(WriteToBytes(back), bytes);
    EXPECT_EQ(back.GetSublist("outer")->GetSublist("DEEPER")->GetNumber("z"), 0.25);
    EXPECT_EQ(back.FindElement("bytes")->Value().size(), 15u);

    std::string xmlOriginal = Xml(list);
    EXPECT_EQ(Xml(back), xmlOriginal) << "the XML form of a re-read tree is the same";
}

TEST(KeyDataList, NumbersAreWrittenInFixedFormAndReadByTheDecimalGrammar) {
    struct Write {
        double value;
        const char* text;
    };
    for (const Write& w :
         {Write{0.5, "0.500000"}, Write{-2, "-2.000000"}, Write{12.5, "12.500000"},
          Write{1e20, "100000000000000000000.000000"}, Write{-0.0000004, "-0.000000"}}) {
        KeyDataList list;
        ASSERT_TRUE(list.AddDouble("x", w.value));
        EXPECT_STREQ(list.GetString("x"), w.text);
    }

    struct Read {
        const char* text;
        double number;
        int integer;
        bool flag;
    };
    const Read reads[] = {
        {"-2.700000", -2.7, -2, true},
        {"TRUE", 0.0, 0, false},
        {" \t+12abc", 12.0, 12, true},
        {"1e3", 1000.0, 1000, true},
        {"2.5e", 2.5, 2, true},
        {".5", 0.5, 0, true},
        {"-.", 0.0, 0, false},
        {"0x10", 0.0, 0, true},  // "0" then text: zero, yet no hexadecimal
        {"inf", 0.0, 0, false},
        {"nan", 0.0, 0, false},
        {"3e9", 3e9, INT_MAX, true},
        {"-3e9", -3e9, INT_MIN, true},
        {"1e999", HUGE_VAL, INT_MAX, true},
        {"-1e999", -HUGE_VAL, INT_MIN, true},
    };
    for (const Read& r : reads) {
        SCOPED_TRACE(r.text);
        KeyDataList list;
        list.AddString("v", r.text);
        double number = -1;
        int integer = -1;
        bool flag = !r.flag;
        EXPECT_TRUE(list.GetDouble("V", number));
        EXPECT_EQ(number, r.number);
        EXPECT_EQ(list.GetNumber("v"), r.number);
        EXPECT_TRUE(list.GetInt("v", integer));
        EXPECT_EQ(integer, r.integer);
        EXPECT_TRUE(list.GetBool("v", flag));
        EXPECT_EQ(flag, r.number != 0.0);
    }

    KeyDataList list;
    double number = 7;
    int integer = 7;
    bool flag = true;
    EXPECT_FALSE(list.GetDouble("missing", number));
    EXPECT_FALSE(list.GetInt("missing", integer));
    EXPECT_FALSE(list.GetBool("missing", flag));
    EXPECT_EQ(number, 7);
    EXPECT_EQ(integer, 7);
    EXPECT_TRUE(flag);
    EXPECT_EQ(list.GetNumber("missing"), 0.0);
}

TEST(KeyDataList, LookupFoldsCaseAndTakesTheFirstMemberOfAnyKind) {
    KeyDataList list;
    list.AddSublist("Wall")->AddString("Height", "96");
    list.AddString("wall", "element");
    list.AddString("Color", "red");
    list.AddString("COLOR", "blue");
    list.AddString("Zürich", "u");

    EXPECT_EQ(list.FindByName("WALL"), list.GetFirstMember());
    EXPECT_EQ(list.FindElement("WALL"), nullptr) << "the first match is a sublist";
    EXPECT_EQ(list.GetString("wall"), nullptr);
    EXPECT_STREQ(list.GetSublist("wALL")->GetString("height"), "96");
    EXPECT_STREQ(list.GetString("color"), "red");
    EXPECT_EQ(list.GetSublist("color"), KeyDataList::SharedEmpty())
        << "the first match is an element";
    EXPECT_STREQ(list.GetString("Zürich"), "u");
    EXPECT_EQ(list.GetString("ZÜRICH"), nullptr) << "only ASCII letters fold";
    EXPECT_EQ(list.GetString("Colo"), nullptr);
    EXPECT_EQ(list.FindByName(static_cast<const char*>(nullptr)), nullptr);
}

TEST(KeyDataList, SharedEmptyListRefusesMembersAndSurvivesDelete) {
    KeyDataList list;
    KeyDataList* missing = list.GetSublist("nothing");
    ASSERT_EQ(missing, KeyDataList::SharedEmpty());
    LinkedListIterator it(missing);
    EXPECT_EQ(it.First(), nullptr);

    EXPECT_FALSE(missing->AddString("k", "v"));
    EXPECT_EQ(missing->AddSublist("s"), KeyDataList::SharedEmpty());
    missing->Add(new KeyDataElement("k", "v"));  // destroyed, not kept
    KeyDataList source;
    source.AddString("a", "b");
    missing->AppendCopiesOf(source);
    EXPECT_TRUE(ReadFromBytes(Element("k", "v"), *missing));
    EXPECT_EQ(missing->GetCount(), 0u);

    delete list.TakeSublist("nothing");  // a borrower's delete does nothing
    EXPECT_EQ(KeyDataList::SharedEmpty()->GetCount(), 0u);
    EXPECT_FALSE(KeyDataList::SharedEmpty()->AddString("k", "v"));
}

TEST(KeyDataList, TakenSublistGoesToTheCallerAndLeavesAnEmptySublist) {
    KeyDataList list;
    list.AddSublist("Info")->AddString("k", "v");
    KeyDataList* taken = list.TakeSublist("INFO");
    ASSERT_NE(taken, KeyDataList::SharedEmpty());
    EXPECT_STREQ(taken->GetString("k"), "v");
    delete taken;

    EXPECT_EQ(list.GetSublist("Info"), KeyDataList::SharedEmpty());
    EXPECT_EQ(list.TakeSublist("Info"), KeyDataList::SharedEmpty());
    EXPECT_EQ(WriteToBytes(list), Open("Info") + kClose);
    EXPECT_EQ(Xml(list), "><Info ></Info>");
    KeyDataList copy;
    copy.AppendCopiesOf(list);
    EXPECT_EQ(Dump(copy), "Info{}");
    EXPECT_EQ(copy.GetSublist("Info")->AddString("new", "1"), true)
        << "a copy gets a child list of its own";
}

TEST(KeyDataList, TextsOver1023BytesAreRefusedWhenAdded) {
    const std::string longest(1023, 'x');
    const std::string tooLong(1024, 'x');
    KeyDataList list;
    EXPECT_TRUE(list.AddString(longest, longest));
    EXPECT_FALSE(list.AddString(tooLong, "v"));
    EXPECT_FALSE(list.AddString("k", tooLong));
    EXPECT_FALSE(list.AddString("k", static_cast<const char*>(nullptr)));
    EXPECT_EQ(list.AddSublist(tooLong), KeyDataList::SharedEmpty());
    list.Add(new KeyDataElement("k", tooLong));
    list.Add(new KeyDataSublist(tooLong));
    list.Append(new HiddenQueueObject(1, 2));  // not a member kind of a tree
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(WriteToBytes(list).size(), 1 + 2 + 1023 + 2 + 1023u);
}

TEST(KeyDataList, GetStringCopyIsBoundedByTheCallersBuffer) {
    KeyDataList list;
    list.AddString("k", "abcdef");
    struct Case {
        size_t size;
        const char* copied;
    };
    for (const Case& c : {Case{1, ""}, Case{4, "abc"}, Case{6, "abcde"}, Case{7, "abcdef"}}) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        EXPECT_TRUE(list.GetStringCopy("K", buffer, c.size));
        EXPECT_STREQ(buffer, c.copied);
        EXPECT_EQ(buffer[c.size], '#') << "nothing written past the given size";
    }
    char buffer[8] = "keep";
    EXPECT_FALSE(list.GetStringCopy("missing", buffer, sizeof buffer));
    EXPECT_FALSE(list.GetStringCopy("k", buffer, 0));
    EXPECT_FALSE(list.GetStringCopy("k", nullptr, 8));
    EXPECT_STREQ(buffer, "keep");
}

TEST(KeyDataList, MalformedStreamsGiveACleanResult) {
    const Bytes tooDeep = [] {
        Bytes b;
        for (int i = 0; i < 100000; ++i) b += Open("d");
        return b;
    }();
    const Bytes deepest = [] {
        Bytes b;
        for (int i = 0; i < KeyDataList::kMaxDepth; ++i) b += Open("d");
        return b + Element("k", "v");
    }();
    struct Case {
        const char* name;
        Bytes stream;
        bool complete;
        std::string tree;
    };
    const Case cases[] = {
        {"empty stream", "", true, ""},
        {"end of file inside a sublist", Element("a", "1") + Open("S") + Element("b", "2"), true,
         "a=1,S{b=2}"},
        {"end tag 0x03 ends the sublist only",
         Open("S") + Element("b", "2") + Bytes(1, '\x03') + Element("c", "3"), true, "S{b=2},c=3"},
        {"end tag at the top level", Element("a", "1") + kClose + Element("b", "2"), true, "a=1"},
        {"unknown tags are skipped", Raw("\x07\xFF") + Element("a", "1"), true, "a=1"},
        {"stream ends inside a length", Element("a", "1") + Raw("\x01\x05"), false, "a=1"},
        {"length past the end",
         Element("a", "1") + Raw("\x01\x05\x00"
                                 "ab"),
         false, "a=1"},
        {"value cut short", Raw("\x01\x01\x00k\x09\x00val"), false, ""},
        {"text over 1023 bytes", Raw("\x01\x00\x04") + std::string(1024, 'k') + Text("v"), false,
         ""},
        {"too long inside a sublist", Open("S") + Element("a", "1") + Raw("\x00\xFF\xFF"), false,
         "S{a=1}"},
        {"line feeds and zero bytes are text",
         Element("a\nb", Bytes("\0\n", 2)) + Element("c", "d"), true,
         "a\nb=" + Bytes("\0\n", 2) + ",c=d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyDataList list;
        EXPECT_EQ(ReadFromBytes(c.stream, list), c.complete);
        EXPECT_EQ(Dump(list), c.tree);
    }

    KeyDataList deep;
    EXPECT_FALSE(ReadFromBytes(tooDeep, deep)) << "nesting without end";
    EXPECT_EQ(deep.GetCount(), 1u);
    KeyDataList deepestRead;
    EXPECT_TRUE(ReadFromBytes(deepest, deepestRead));
    KeyDataList* level = &deepestRead;
    for (int i = 0; i < KeyDataList::kMaxDepth; ++i) level = level->GetSublist("d");
    EXPECT_STREQ(level->GetString("k"), "v");
}

TEST(KeyDataList, LargeStreamReadsWholeAndStopsJustAfterItsEnd) {
    // Long texts make items straddle the reader's pieces; the file then goes on.
    KeyDataList written;
    for (int i = 0; i < 400; ++i) {
        KeyDataList* object = written.AddSublist(i % 2 ? "Group" : "Model");
        object->AddString("URL", std::string(900 + i % 123, static_cast<char>('a' + i % 26)));
        object->AddDouble("i", i);
        object->AddSublist("Position")->AddString("x", std::to_string(i));
    }
    const Bytes tree = WriteToBytes(written);
    ASSERT_GT(tree.size(), 3u * 64 * 1024);
    for (const Bytes& after : {Bytes("\x03" "after", 6), Bytes(1, '\x03')}) {
        SCOPED_TRACE(after.size());
        FILE* file = std::tmpfile();
        std::fwrite("head", 1, 4, file);
        std::fwrite(tree.data(), 1, tree.size(), file);
        std::fwrite(after.data(), 1, after.size(), file);
        std::fseek(file, 4, SEEK_SET);
        const uint32_t before = LinkedListObject::GetNextNodeId();
        KeyDataList read;
        EXPECT_TRUE(read.ReadBinary(file));
        EXPECT_EQ(std::ftell(file), static_cast<long>(4 + tree.size() + 1));
        // A tree that ends where the file does has not yet met the end of the file.
        EXPECT_FALSE(std::feof(file));
        char rest[8] = {};
        EXPECT_EQ(std::fread(rest, 1, sizeof rest, file), after.size() - 1);
        EXPECT_EQ(std::string(rest), after.substr(1));
        std::fclose(file);
        EXPECT_EQ(WriteToBytes(read), tree);

        // Every node read has an id of its own, above those made before; nodes made
        // afterwards come above them all.
        std::set<uint32_t> ids;
        std::function<void(const KeyDataList&)> collect = [&](const KeyDataList& list) {
            for (auto* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
                EXPECT_GT(m->GetID(), before);
                ids.insert(m->GetID());
                if (!m->IsElement()) collect(*static_cast<KeyDataSublist*>(m)->GetChildren());
            }
        };
        collect(read);
        EXPECT_EQ(ids.size(), 400u * 5);
        KeyDataElement later("k", "v");
        EXPECT_GT(later.GetID(), *ids.rbegin());
    }
}

TEST(KeyDataList, XmlFormListsElementsThenSublists) {
    KeyDataList list;
    KeyDataList* room = list.AddSublist("Room");
    room->AddString("a", "1");
    room->AddSublist("Door")->AddString("w", "30");
    room->AddString("b", "2");
    list.AddString("top", "t");
    EXPECT_EQ(Xml(list), " top=\"t\" ><Room  a=\"1\"  b=\"2\" ><Door  w=\"30\" ></Door></Room>");
}

TEST(KeyDataList, XmlFormEscapesMarkupAndNonAsciiText) {
    struct Case {
        std::string value;
        const char* xml;
    };
    const Case cases[] = {
        {"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d'"},
        {"caf\xC3\xA9", "caf&#233;"},  // UTF-8
        {"caf\xE9", "caf&#233;"},      // a lone byte stands for itself
        {"\x80", "&#128;"},
        {"\xE2\x82\xAC\xF0\x9F\x8F\xA0", "&#8364;&#127968;"},
        {"\xE2\x82", "&#226;&#130;"},  // cut-off sequence
        {"\xC0\xAF", "&#192;&#175;"},  // overlong form
        {"tab\tline\nend\x01", "tab&#9;line&#10;end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        KeyDataList list;
        list.AddString("k&", c.value);
        EXPECT_EQ(Xml(list), std::string(" k&amp;=\"") + c.xml + "\" >");
    }
    KeyDataList list;
    list.AddSublist("a<b");
    EXPECT_EQ(Xml(list), "><a&lt;b ></a&lt;b>");
}

TEST(KeyDataList, AppendCopiesOfMakesDeepCopiesEvenOfItself) {
    KeyDataList source;
    source.AddString("a", "1");
    source.AddSublist("S")->AddSublist("T")->AddString("b", "2");
    KeyDataList copy;
    copy.AppendCopiesOf(source);
    EXPECT_EQ(Dump(copy), "a=1,S{T{b=2}}");
    source.GetSublist("S")->AddString("later", "x");
    EXPECT_EQ(Dump(copy), "a=1,S{T{b=2}}") << "the copy shares nothing";

    copy.AppendCopiesOf(copy);
    EXPECT_EQ(Dump(copy), "a=1,S{T{b=2}},a=1,S{T{b=2}}");
}
