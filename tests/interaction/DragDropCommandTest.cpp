#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <string>

#include "foundation/KeyDataList.h"
#include "interaction/BaseCommandHandler.h"
#include "interaction/DragDropCommand.h"
#include "interaction/FenceCommand.h"
#include "interaction/LightSourceCommand.h"
#include "interaction/MaterialCommand.h"
#include "interaction/ModelCommand.h"
#include "interaction/MoldingProfileCommand.h"
#include "interaction/SlabChildModelCommand.h"

namespace {

// A description with a sublist for each kind named, each holding `key` = `value`
// ("Model" sublists) or a colour.
std::shared_ptr<KeyDataList> Description(
    std::initializer_list<const char*> kinds,
    std::initializer_list<std::pair<const char*, const char*>> modelKeys = {}) {
    auto description = std::make_shared<KeyDataList>();
    for (const char* kind : kinds) {
        KeyDataList* list = description->AddSublist(kind);
        list->AddString("URLwithoutDomain", "catalogue/item.3c_");
        if (std::string(kind) == "Model")
            for (auto [key, value] : modelKeys) list->AddString(key, value);
    }
    return description;
}

TEST(CatalogueKindTest, TheLatestKindAndTheFirstModelKeyThatSaysYesDecide) {
    struct Case {
        std::shared_ptr<KeyDataList> description;
        bool shiftMinus;
        CatalogueKind kind;
    };
    Case cases[] = {
        {Description({"Material"}), false, CatalogueKind::kMaterial},
        {Description({"Column"}), false, CatalogueKind::kColumn},
        {Description({"LightSource", "Material"}), false, CatalogueKind::kLightSource},
        {Description({"Model", "Fence"}), false, CatalogueKind::kModel},
        {Description({"Model"}, {{"Inslab", "YES"}, {"Skylight", "yes"}}), false,
         CatalogueKind::kInSlabModel},
        {Description({"Model"}, {{"Onslab", "no"}, {"Skylight", "yes"}}), false,
         CatalogueKind::kSkylightModel},
        {Description({"Model"}, {{"Onslab", "yes"}, {"Asymmetric", "Yes"}}), false,
         CatalogueKind::kOnSlabModel},
        // Shift and minus held: the on-slab key does not count.
        {Description({"Model"}, {{"Onslab", "yes"}, {"Asymmetric", "Yes"}}), true,
         CatalogueKind::kAsymmetricModel},
        {Description({"Model"}, {{"Onslab", "yes"}}), true, CatalogueKind::kModel},
        {Description({"Sky"}), false, CatalogueKind::kNone},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(ChooseCatalogueKind(*cases[i].description, cases[i].shiftMinus), cases[i].kind)
            << "case " << i;

    // An empty sublist does not count.
    KeyDataList empty;
    empty.AddSublist("Model");
    EXPECT_EQ(ChooseCatalogueKind(empty, false), CatalogueKind::kNone);
}

TEST(CatalogueKindTest, OneCommandTakesItsItemOutOfTheDescription) {
    auto both = Description({"Material", "Model"});
    std::unique_ptr<BaseCommandHandler> command = MakeCatalogueCommand(*both, "h:80", false);
    auto* model = dynamic_cast<ModelCommand*>(command.get());
    ASSERT_NE(model, nullptr);
    EXPECT_STREQ(model->GetDomain(), "h:80");
    ASSERT_NE(model->GetKeys(), nullptr);
    EXPECT_STREQ(model->GetKeys()->GetString("URLwithoutDomain"), "catalogue/item.3c_");
    const KeyDataList* left = both->GetSublist("Model");
    EXPECT_TRUE(!left || left->IsEmpty()) << "the command owns the item";
    EXPECT_NE(both->GetSublist("Material"), nullptr);

    auto material = Description({"Material"});
    EXPECT_NE(dynamic_cast<MaterialCommand*>(MakeCatalogueCommand(*material, "h", false).get()),
              nullptr);
    auto light = Description({"Material", "LightSource"});
    EXPECT_NE(dynamic_cast<LightSourceCommand*>(MakeCatalogueCommand(*light, "h", false).get()),
              nullptr);
    // Fences and columns share the restyling command; moldings take a profile.
    for (const char* kind : {"Fence", "Column"}) {
        auto item = Description({kind});
        std::unique_ptr<BaseCommandHandler> made = MakeCatalogueCommand(*item, "h", false);
        auto* fence = dynamic_cast<FenceCommand*>(made.get());
        ASSERT_NE(fence, nullptr) << kind;
        EXPECT_STREQ(fence->GetKeys()->GetString("URLwithoutDomain"), "catalogue/item.3c_");
    }
    auto molding = Description({"Molding"});
    EXPECT_NE(dynamic_cast<MoldingProfileCommand*>(MakeCatalogueCommand(*molding, "h", false).get()),
              nullptr);
    // Models set into or onto slabs take the slab-child command.
    auto inSlab = Description({"Model"}, {{"Inslab", "yes"}});
    EXPECT_NE(dynamic_cast<SlabChildModelCommand*>(MakeCatalogueCommand(*inSlab, "h", false).get()),
              nullptr);
    KeyDataList none;
    EXPECT_EQ(MakeCatalogueCommand(none, "h", false), nullptr);
}

}  // namespace
