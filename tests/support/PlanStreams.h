#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "control/BaseControl.h"
#include "control/PlanFiles.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "foundation/UndoableObject.h"
#include "support/TempFolder.h"

// Plan streams flattened to "path=value" lines, for comparing what a plan holds element
// by element.
namespace plan_streams {

// Every value of the tree as "path=value", transaction ids aside.
inline void Flatten(const KeyDataList& list, const std::string& path,
                    std::vector<std::string>& out) {
    for (const BaseKeyDataElement* m = list.GetFirstMember(); m; m = m->GetNextMember()) {
        const std::string name = path + "/" + m->Name();
        if (!m->IsElement()) {
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(), name, out);
        } else if (m->Name() != "transactionObjectId") {
            out.push_back(name + "=" + static_cast<const KeyDataElement*>(m)->Value());
        }
    }
}

// Both lists hold the same paths with the same values; numbers may differ in their last
// written digit.
inline void ExpectSameValues(const std::vector<std::string>& actual,
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

// The elements named `kind` of the plan stream inside a saved plan file, flattened.
inline std::vector<std::string> PlanStream(const std::string& planFile, const char* kind) {
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
        if (!m->IsElement() && m->Name() == kind)
            Flatten(*static_cast<const KeyDataSublist*>(m)->GetChildren(),
                    std::string("/") + kind, out);
    return out;
}

inline std::string Save(BaseControl& control, const std::string& path) {
    char buffer[BaseControl::kPathSize];
    std::snprintf(buffer, sizeof buffer, "%s", path.c_str());
    EXPECT_TRUE(control.WriteSceneGraphFile(buffer, sizeof buffer, false));
    return buffer;
}

// The object's element as XML text.
inline std::string Keys(UndoableObject& object) {
    object.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(object.TakeWrittenElement());
    std::string text;
    if (element) element->GetChildren()->WriteXML(text);
    return text;
}

}  // namespace plan_streams
