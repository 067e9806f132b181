#include <gtest/gtest.h>

#include <strings.h>

#include <string>
#include <vector>

#include "building/Wall.h"
#include "control/Defaults.h"
#include "foundation/KeyDataList.h"
#include "interaction/ClipboardObject.h"
#include "model/Model.h"
#include "support/RunningControl.h"
#include "support/WallFixtures.h"

namespace {

// Drops the keys that name an object rather than describe it.
void DropIds(KeyDataList& keys) {
    BaseKeyDataElement* next = nullptr;
    for (BaseKeyDataElement* m = keys.GetFirstMember(); m; m = next) {
        next = m->GetNextMember();
        if (m->IsElement()) {
            if (strcasecmp(m->GetName(), "transactionObjectId") == 0 ||
                strcasecmp(m->GetName(), "objectId") == 0)
                keys.DeleteNode(m);
        } else if (KeyDataList* children = static_cast<KeyDataSublist*>(m)->GetChildren()) {
            DropIds(*children);
        }
    }
}

// The object's element as text, without its ids.
std::string KeysOf(UndoableObject& object) {
    object.WriteKeyData();
    KeyDataSublist* element = object.TakeWrittenElement();
    if (!element) return std::string();
    DropIds(*element->GetChildren());
    std::string text;
    element->WriteXML(text);
    delete element;
    return text;
}

class ClipboardTest : public ::testing::Test {
protected:
    ClipboardTest() {
        control.contentDomain[0] = 0;
        SetFactoryDefaults(control);
    }
    ~ClipboardTest() override {
        control.clipboard.DeleteAll();
        control.scene.DeleteAll();
    }

    Model* AddModel(double x) {
        auto* model = new Model;
        KeyDataList keys;
        Vector(0, 0, 0).WriteChild(keys, "BoundingBoxMin");
        Vector(10, 20, 30).WriteChild(keys, "BoundingBoxMax");
        model->ReadKeyData(keys);
        model->SetPosition(Vector(x, 0, 5));
        model->SetInformationValue("name", "chair");
        control.scene.Append(model);
        return model;
    }
    int UndoEntries() { return static_cast<int>(control.GetUndoList().UndoEntries().GetCount()); }
    std::vector<UndoableObject*> SceneObjects() {
        std::vector<UndoableObject*> objects;
        for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
            if (auto* object = dynamic_cast<UndoableObject*>(node)) objects.push_back(object);
        return objects;
    }

    RunningControl running;
    CDuzazododiza& control = *running.control;
};

TEST_F(ClipboardTest, CopiedModelsAndWallsPasteWithTheirKeysAndFreshIds) {
    Model* model = AddModel(40.0);
    Wall* wall = MakeWall(Vector(0, 0, 0), Vector(120, 0, 0));
    control.scene.Append(wall);
    const std::string modelKeys = KeysOf(*model);
    const std::string wallKeys = KeysOf(*wall);
    const TransactionId modelId = model->GetObjectId();
    const TransactionId wallId = wall->GetObjectId();
    model->SetSelected(true);
    wall->SetSelected(true);

    ASSERT_EQ(control.Copy(), platform::S_OK);
    ASSERT_EQ(control.clipboard.GetCount(), 2);
    // The clipboard holds copies: the originals may go before the paste.
    control.DeleteSelectedObjects();
    ASSERT_TRUE(SceneObjects().empty());
    const int entries = UndoEntries();

    ASSERT_EQ(control.Paste(), platform::S_OK);
    std::vector<UndoableObject*> pasted = SceneObjects();
    ASSERT_EQ(pasted.size(), 2u);
    auto* modelCopy = dynamic_cast<Model*>(pasted[0]);
    auto* wallCopy = dynamic_cast<Wall*>(pasted[1]);
    ASSERT_NE(modelCopy, nullptr);
    ASSERT_NE(wallCopy, nullptr);
    EXPECT_EQ(KeysOf(*modelCopy), modelKeys);
    EXPECT_EQ(KeysOf(*wallCopy), wallKeys);
    EXPECT_STREQ(modelCopy->GetInformation()->GetString("name"), "chair");
    EXPECT_NE(modelCopy->GetObjectId(), modelId);
    EXPECT_NE(wallCopy->GetObjectId(), wallId);

    // One paste is one undo step; the clipboard keeps its entries for the next paste.
    EXPECT_EQ(UndoEntries(), entries + 4) << "group start, two creations, group end";
    ASSERT_EQ(control.Undo(), platform::S_OK);
    EXPECT_TRUE(SceneObjects().empty());
    ASSERT_EQ(control.Paste(), platform::S_OK);
    ASSERT_EQ(control.Paste(), platform::S_OK);
    pasted = SceneObjects();
    ASSERT_EQ(pasted.size(), 4u);
    EXPECT_NE(pasted[0]->GetObjectId(), pasted[2]->GetObjectId());
    EXPECT_EQ(KeysOf(*pasted[2]), modelKeys);
}

TEST_F(ClipboardTest, CutTakesTheSelectionAsOneUndoStep) {
    Model* model = AddModel(0.0);
    Model* other = AddModel(80.0);
    const std::string keys = KeysOf(*model);
    model->SetSelected(true);

    ASSERT_EQ(control.Cut(), platform::S_OK);
    ASSERT_EQ(control.clipboard.GetCount(), 1);
    std::vector<UndoableObject*> left = SceneObjects();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0], other);

    ASSERT_EQ(control.Undo(), platform::S_OK);
    EXPECT_EQ(SceneObjects().size(), 2u);
    ASSERT_EQ(control.Paste(), platform::S_OK);
    left = SceneObjects();
    ASSERT_EQ(left.size(), 3u);
    EXPECT_EQ(KeysOf(*left.back()), keys);
}

TEST_F(ClipboardTest, DamagedOrForeignEntriesPasteNothing) {
    Model* model = AddModel(0.0);
    model->SetSelected(true);
    ASSERT_EQ(control.Copy(), platform::S_OK);
    auto* good = dynamic_cast<ClipboardObject*>(control.clipboard.GetHead());
    ASSERT_NE(good, nullptr);
    const std::vector<uint8_t> payload = good->GetPayload();
    control.clipboard.DeleteAll();

    std::vector<uint8_t> cut(payload.begin(), payload.begin() + payload.size() / 2);
    std::vector<uint8_t> noise(payload.size(), 0xA5);
    struct Entry {
        const char* kind;
        std::vector<uint8_t> bytes;
    };
    const Entry entries[] = {
        {"Model", cut},          // cut short
        {"Model", noise},        // not a stream at all
        {"Wall", payload},       // a model's element under another kind
        {"globalState", payload},  // a kind that is no scene object
        {"Model", {}},           // empty
    };
    for (const Entry& entry : entries)
        control.clipboard.Append(new ClipboardObject(entry.kind, entry.bytes));
    const int undo = UndoEntries();
    const size_t objects = SceneObjects().size();
    ASSERT_EQ(control.Paste(), platform::S_OK);
    EXPECT_EQ(SceneObjects().size(), objects);
    EXPECT_EQ(UndoEntries(), undo) << "nothing recorded";
}

}  // namespace
