#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "control/BaseControl.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "support/TempFolder.h"

// Saving a scene and comparing plan streams, element by element, object ids aside.
namespace plan_stream {

// Every value of the tree as "path=value", ids of objects aside.
inline void Flatten(const KeyDataList& list, const std::string& path,
                    std::vector<std::string>& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const std::string name = path + "/" + m->Name();
        if (!m->IsElement()) {
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), name, out);
        } else if (m->Name() != "transactionObjectId" && m->Name() != "id" &&
                   m->Name().find("linked") == std::string::npos) {
            out.push_back(name + "=" + static_cast<const KeyDataElement*>(m)->Value());
        }
    }
}

// The elements named in `kinds` of the plan stream inside a saved plan file, flattened.
inline std::vector<std::string> Elements(const std::string& planFile,
                                         const std::set<std::string>& kinds) {
    TempFolder unpacked;
    char member[kCabinetPathSize];
    std::vector<std::string> out;
    if (!DecompressCabinet(planFile.c_str(), unpacked.Path().c_str(), member)) return out;
    FILE* file = std::fopen(member, "rb");
    if (!file) return out;
    KeyDataList plan;
    const bool whole = ReadPlanStream(file, plan);
    std::fclose(file);
    if (!whole) return out;
    for (const BaseKeyDataElement* m = plan.GetFirstMember(); m; m = m->GetNextMember())
        if (!m->IsElement() && kinds.count(m->Name()))
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), "/" + m->Name(), out);
    return out;
}

// Both lists hold the same paths with the same values; numbers may differ in their last
// written digit.
inline void ExpectSame(const std::vector<std::string>& actual,
                       const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        const size_t a = actual[i].find('='), e = expected[i].find('=');
        ASSERT_EQ(actual[i].substr(0, a), expected[i].substr(0, e));
        const std::string x = actual[i].substr(a + 1), y = expected[i].substr(e + 1);
        char* endX = nullptr;
        char* endY = nullptr;
        const double nx = std::strtod(x.c_str(), &endX), ny = std::strtod(y.c_str(), &endY);
        if (*endX == 0 && *endY == 0 && !x.empty())
            EXPECT_NEAR(nx, ny, 2e-6) << actual[i].substr(0, a);
        else
            EXPECT_EQ(x, y) << actual[i].substr(0, a);
    }
}

inline std::string Save(BaseControl& control, const std::string& path) {
    char buffer[BaseControl::kPathSize];
    std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
    EXPECT_TRUE(control.WriteSceneGraphFile(buffer, sizeof buffer, false));
    return buffer;
}

// The object's element as XML text, ids aside.
template <class T>
std::string Keys(T& object) {
    object.WriteKeyData();
    KeyDataSublist* element = object.TakeWrittenElement();
    if (!element) return {};
    std::vector<std::string> flat;
    Flatten(*element->GetChildren(), "", flat);
    delete element;
    std::string text;
    for (const std::string& line : flat) text += line + "\n";
    return text;
}

}  // namespace plan_stream
