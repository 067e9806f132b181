#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/SerializableObject.h"

namespace {

// An object whose element holds one key.
class Item : public SerializableObject {
public:
    void WriteKeyData() override {
        delete element;
        element = new KeyDataSublist("Item");
        element->GetChildren()->AddString("width", "3.000000");
    }
};

// What AttachObjectInformation writes, read back into `read`.
void WrittenElement(Item& item, KeyDataList& read) {
    FILE* file = std::tmpfile();
    item.WriteKeyData();
    EXPECT_TRUE(item.AttachObjectInformation(file));
    std::rewind(file);
    read.ReadBinary(file);
    std::fclose(file);
}

TEST(ObjectInformation, TravelsWithTheElementOnlyWhenThereIsSome) {
    Item item;
    KeyDataList plain;
    WrittenElement(item, plain);
    EXPECT_TRUE(plain.GetSublist("Item")->GetSublist("ObjectInformation")->IsEmpty());
    EXPECT_FALSE(item.AttachObjectInformation(nullptr));  // nothing built

    item.SetInformationValue("name", "Chair");
    item.SetInformationValue("NAME", "Stool");
    ASSERT_EQ(item.GetInformation()->GetCount(), 1u);
    KeyDataList withInfo;
    WrittenElement(item, withInfo);
    KeyDataList* info = withInfo.GetSublist("Item")->GetSublist("ObjectInformation");
    EXPECT_STREQ(info->GetString("name"), "Stool");
    EXPECT_STREQ(withInfo.GetSublist("Item")->GetString("width"), "3.000000");
    EXPECT_EQ(item.GetInformation()->GetCount(), 1u);  // still the object's
}

TEST(ObjectInformation, LoadingReplacesOnlyWithAListThatHasMembers) {
    Item item;
    item.SetInformationValue("name", "Chair");

    KeyDataList without;
    without.AddString("width", "1");
    item.LoadInformation(without);
    EXPECT_STREQ(item.GetInformation()->GetString("name"), "Chair");

    KeyDataList emptyInfo;
    emptyInfo.AddSublist("ObjectInformation");
    item.LoadInformation(emptyInfo);  // the empty taken list is freed, not kept
    EXPECT_STREQ(item.GetInformation()->GetString("name"), "Chair");

    KeyDataList loaded;
    loaded.AddSublist("objectinformation")->AddString("category", "Seating");
    item.LoadInformation(loaded);
    EXPECT_EQ(item.GetInformation()->GetString("name"), nullptr);
    EXPECT_STREQ(item.GetInformation()->GetString("category"), "Seating");

    item.SetInformationList(item.GetInformation());  // the kept list survives
    EXPECT_STREQ(item.GetInformation()->GetString("category"), "Seating");
    item.SetInformationList(new KeyDataList);  // an empty old list is freed too
    item.SetInformationList(nullptr);
    EXPECT_EQ(item.GetInformation(), nullptr);
}

TEST(ObjectInformation, CopyAndSave) {
    Item source, target;
    target.CopyObjectInformation(source);
    EXPECT_EQ(target.GetInformation(), nullptr);
    source.SetInformationValue("name", "Lamp");
    target.CopyObjectInformation(source);
    ASSERT_NE(target.GetInformation(), source.GetInformation());
    EXPECT_STREQ(target.GetInformation()->GetString("name"), "Lamp");

    KeyDataList list;
    source.SaveInformation("Member", list);
    EXPECT_STREQ(list.GetSublist("Member")->GetSublist("Item")->GetString("width"), "3.000000");
}

TEST(ObjectInformation, XmlPiecesAreEscaped) {
    struct Case {
        std::string text;
        std::string xml;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"A&B <c> \"d\"", "A&amp;B &lt;c&gt; &quot;d&quot;"},
        {"caf\xC3\xA9", "caf&#233;"},
        {"bad\xE9", "bad&#65533;"},
        {std::string(2000, 'x'), std::string(2000, 'x')},
        {std::string(2001, 'x'), ""},
    };
    for (const Case& c : cases) {
        std::string buffer = "[";
        AppendXmlEscaped(buffer, c.text);
        EXPECT_EQ(buffer, "[" + c.xml) << c.text.substr(0, 20);
    }
}

TEST(ObjectInformation, XmlElementHoldsThePairs) {
    std::string buffer;
    WriteObjectInformationXml(buffer, nullptr);
    KeyDataList empty;
    WriteObjectInformationXml(buffer, &empty);
    EXPECT_EQ(buffer, "");

    KeyDataList info;
    info.AddString("name", "Tom's \"big\" chair");
    info.AddString("maker", "B&B");
    WriteObjectInformationXml(buffer, &info);
    EXPECT_EQ(buffer,
              "<objectInformation  name=\"Tom's &quot;big&quot; chair\"  maker=\"B&amp;B\" >"
              "</objectInformation>");
}

}  // namespace
