#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "foundation/KeyDataList.h"
#include "foundation/WizardXMLProcessor.h"
#include "support/TraceLogTail.h"

namespace {

// Reads `text` as a wizard answer file; `ok` receives the reader's answer.
std::string Read(WizardXMLProcessor& reader, const std::string& text, bool* ok = nullptr) {
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    EXPECT_NE(file, nullptr);
    const bool result = reader.ParseFile(file);
    std::fclose(file);
    if (ok) *ok = result;
    std::string xml;
    reader.GetTree().WriteXML(xml);
    return xml;
}

const char* Value(const KeyDataList& list, const char* sublist, const char* key) {
    return list.GetSublist(sublist)->GetString(key);
}

}  // namespace

TEST(WizardXML, AttributesAndChildrenBecomeSublistsAndElements) {
    WizardXMLProcessor reader;
    bool ok = false;
    Read(reader,
         "<planXML>\n"
         "  <numStories value=\"2\"/>\n"
         "  <shapeData><shape type='L'\r\n   mark=\"a>b=c\">"
         "<width value='12'/></shape></shapeData>\n"
         "  <empty/>\n"
         "</PLANxml>\n",
         &ok);
    EXPECT_TRUE(ok);
    const KeyDataList& plan = *reader.GetTree().GetSublist("planXML");
    EXPECT_STREQ(Value(plan, "numStories", "value"), "2");
    const KeyDataList& shape = *plan.GetSublist("shapeData")->GetSublist("shape");
    EXPECT_STREQ(shape.GetString("type"), "L");
    EXPECT_STREQ(shape.GetString("mark"), "a>b=c");
    EXPECT_STREQ(Value(shape, "width", "value"), "12");
    // A self-closing element without attributes leaves nothing behind.
    EXPECT_EQ(plan.FindByName("empty"), nullptr);
    EXPECT_EQ(plan.GetCount(), 2u);
}

TEST(WizardXML, TokensSplitWhereTheGrammarSays) {
    struct Case {
        const char* text;
        const char* first;
        const char* second;
    } cases[] = {
        {"name=", "name", "="},   {"name>", "name", ">"}, {"name/>", "name", "/>"},
        {"</a", "</", "a"},       {"<a", "<", "a"},       {"  \r\n'x y' z", "x y", "z"},
        {"\"it's\"", "it's", ""}, {"'open", "open", ""},
    };
    for (const Case& c : cases) {
        WizardXMLProcessor reader;
        std::string text = c.text;
        FILE* file = fmemopen(text.data(), text.size(), "r");
        reader.NextToken(file);
        EXPECT_STREQ(reader.GetToken(), c.first) << c.text;
        reader.NextToken(file);
        EXPECT_STREQ(reader.GetToken(), c.second) << c.text;
        std::fclose(file);
    }
}

TEST(WizardXML, TextOutsideTheGrammarStopsReadingAndKeepsWhatWasRead) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"<a x='1'/>stray text", "Invalid file format received in wizard"},
        {"<a x='1'/><?xml version='1.0'?>", "Invalid file format received in wizard"},
        {"<a x='1'/><!-- note --><b y='2'/>", "Invalid file format received in wizard"},
        {"<a x='1'/><b>text</b>", "Invalid file format received in wizard"},
        {"<a x='1'/><b><c y='2'/></d>", "Unmatching close XML node in wizard"},
        {"<a x='1'/><b x=1/>", "Value not in quotes"},
        {"<a x='1'/><b x '1'/>", "Unexpected token in wizard XML attrib"},
        {"<a x='1'/><b><c y='2'/>", "Invalid format reading wizard XML"},
        {"<a x='1'/><b></b x>", "Invalid token ending"},
        {"<a x='1'/></a>", "Invalid file format received in wizard"},
    };
    for (const Case& c : cases) {
        WizardXMLProcessor reader;
        TraceLogTail log;
        bool ok = true;
        Read(reader, c.text, &ok);
        EXPECT_FALSE(ok) << c.text;
        EXPECT_TRUE(log.Contains(c.message)) << c.text;
        EXPECT_STREQ(Value(reader.GetTree(), "a", "x"), "1") << c.text;
    }
}

TEST(WizardXML, OutsideMeasuresAreBounded) {
    struct Case {
        std::string text;
        size_t keptElements;
    } cases[] = {
        // An over-long value or name is refused, not cut and kept.
        {"<a x='1'/><b y='" + std::string(300, 'v') + "'/>", 1},
        {"<a x='1'/><" + std::string(300, 'n') + " y='1'/>", 1},
    };
    for (const Case& c : cases) {
        WizardXMLProcessor reader;
        bool ok = true;
        Read(reader, c.text, &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(reader.GetTree().GetCount(), c.keptElements);
    }

    // Nesting deeper than the reader allows stops it instead of exhausting the stack.
    std::string deep;
    for (int i = 0; i < 10000; ++i) deep += "<n>";
    WizardXMLProcessor nested;
    bool ok = true;
    Read(nested, deep, &ok);
    EXPECT_FALSE(ok);
    int depth = 0;
    for (const KeyDataList* list = &nested.GetTree(); list->GetCount();
         list = list->GetSublist("n"))
        ++depth;
    EXPECT_EQ(depth, WizardXMLProcessor::kMaxDepth);

    std::string many;
    for (int i = 0; i < WizardXMLProcessor::kMaxElements + 10; ++i) many += "<e v='1'/>";
    WizardXMLProcessor wide;
    Read(wide, many, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(wide.GetTree().GetCount(), static_cast<uint32_t>(WizardXMLProcessor::kMaxElements));

    std::string attributes = "<e";
    for (int i = 0; i < WizardXMLProcessor::kMaxAttributes + 1; ++i)
        attributes += " a" + std::to_string(i) + "='1'";
    attributes += "/>";
    WizardXMLProcessor crowded;
    Read(crowded, attributes, &ok);
    EXPECT_FALSE(ok);
}
