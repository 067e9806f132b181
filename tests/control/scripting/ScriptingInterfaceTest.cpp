#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "control/Duzazododiza.h"
#include "foundation/Common.h"
#include "foundation/Registry.h"
#include "foundation/SerializableObject.h"
#include "model/StateObject.h"
#include "platform/MessageBox.h"
#include "render/Window.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

namespace {

using platform::BSTR;
using platform::DISPID;
using platform::DISPPARAMS;
using platform::ScopedBstr;
using platform::VARIANT;

class ScriptingInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override { control = new CDuzazododiza; }
    void TearDown() override {
        platform::SetMessageBoxResponder(nullptr);
        control->activeWindow = nullptr;
        control->currentStateObject = nullptr;
        control->Release();
    }

    // Answers every box with `answer` and keeps the requests.
    void AnswerBoxes(platform::MessageAnswer answer) {
        platform::SetMessageBoxResponder([this, answer](const platform::MessageBoxRequest& box) {
            boxes.push_back(box);
            return answer;
        });
    }

    DISPID IdOf(const char16_t* name) {
        DISPID id = 0;
        const char16_t* names[] = {name};
        control->GetIDsOfNames(names, 1, &id);
        return id;
    }

    ScopedRegistry registry;
    ScopedProgramFolder folder;
    CDuzazododiza* control = nullptr;
    std::vector<platform::MessageBoxRequest> boxes;
};

TEST_F(ScriptingInterfaceTest, InterfacesAndDispatchIds) {
    void* out = nullptr;
    ASSERT_EQ(control->QueryInterface(IDuzazododiza::kIid, &out), platform::S_OK);
    EXPECT_EQ(out, static_cast<IDuzazododiza*>(control));
    control->Release();
    ASSERT_EQ(control->QueryInterface(platform::IDispatch::kIid, &out), platform::S_OK);
    control->Release();
    ASSERT_EQ(control->QueryInterface(platform::IPersistPropertyBag::kIid, &out), platform::S_OK);
    control->Release();

    const std::map<std::u16string, DISPID> expected = {
        {u"ChangeMode", 0x1},       {u"doubleParameter", 0xc},
        {u"KVRMessage", 0xf},       {u"booleanParameter", 0x10},
        {u"vectorParameter", 0x20}, {u"int64Parameter", 0x25},
        {u"isreadytoclose", 0x45},  {u"LoadLocalPlan", 0x47},
        {u"SetFloorLevel", 0x17},   {u"RightClickedObjectData", 0x2c},
    };
    for (const auto& [name, id] : expected) EXPECT_EQ(IdOf(name.c_str()), id);
    EXPECT_EQ(IdOf(u"NoSuchMember"), platform::DISPID_UNKNOWN);
    // Every id of the table is unique and 0xb is not used.
    std::map<DISPID, int> seen;
    for (size_t i = 0; i < kDuzazododizaNameCount; ++i) ++seen[kDuzazododizaNames[i].id];
    EXPECT_EQ(seen.size(), kDuzazododizaNameCount);
    EXPECT_EQ(seen.count(0xb), 0u);
}

// A late-bound put carries its value as the named argument; arguments from script are
// checked before they become numbers.
TEST_F(ScriptingInterfaceTest, InvokeChecksArgumentsFromScript) {
    auto call = [&](DISPID id, uint16_t flags, std::vector<VARIANT> args, bool put,
                    VARIANT* result) {
        const DISPID named = platform::DISPID_PROPERTYPUT;
        DISPPARAMS params;
        params.args = args.data();
        params.argCount = static_cast<uint32_t>(args.size());
        if (put) {
            params.namedArgIds = &named;
            params.namedArgCount = 1;
        }
        const platform::HRESULT hr = control->Invoke(id, flags, &params, result);
        for (VARIANT& v : args) platform::ClearVariant(&v);
        return hr;
    };
    auto number = [](double d) {
        VARIANT v;
        platform::SetVariantDouble(&v, d);
        return v;
    };
    auto integer = [](int32_t i) {
        VARIANT v;
        platform::SetVariantInt32(&v, i);
        return v;
    };

    // doubleParameter(6, 15) = 30.0: the value first (named), then index, then type.
    EXPECT_EQ(call(0xc, platform::DISPATCH_PROPERTYPUT, {number(30.0), integer(15), integer(6)},
                   true, nullptr),
              platform::S_OK);
    VARIANT result;
    EXPECT_EQ(call(0xc, platform::DISPATCH_PROPERTYGET, {integer(15), integer(6)}, false, &result),
              platform::S_OK);
    EXPECT_EQ(result.type, platform::VariantType::Double);
    EXPECT_EQ(result.doubleValue, 30.0);

    // A put without its value, a wrong count, a type that is no number.
    EXPECT_EQ(call(0xc, platform::DISPATCH_PROPERTYPUT, {integer(15), integer(6)}, false, nullptr),
              platform::DISP_E_PARAMNOTFOUND);
    EXPECT_EQ(call(0x9, platform::DISPATCH_METHOD, {integer(1)}, false, nullptr),
              platform::DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(call(0xc, platform::DISPATCH_PROPERTYGET, {integer(15), number(std::nan(""))}, false,
                   &result),
              platform::DISP_E_TYPEMISMATCH);
    EXPECT_EQ(
        call(0xc, platform::DISPATCH_PROPERTYGET, {integer(15), number(1e10)}, false, &result),
        platform::DISP_E_TYPEMISMATCH);
    EXPECT_EQ(call(0xb, platform::DISPATCH_METHOD, {}, false, nullptr),
              platform::DISP_E_MEMBERNOTFOUND);

    // A text argument through script: the domain.
    VARIANT domain;
    platform::SetVariantUtf8(&domain, "http://content.example/");
    EXPECT_EQ(call(0x46, platform::DISPATCH_METHOD, {domain}, false, nullptr), platform::S_OK);
    EXPECT_STREQ(control->GetContentDomain(), "http://content.example/");
    platform::ClearVariant(&result);
}

TEST_F(ScriptingInterfaceTest, LoadLocalPlanAnswersFalseWhenNoLoadStarts) {
    EXPECT_EQ(control->LoadLocalPlan(nullptr), platform::S_FALSE);
    ScopedBstr empty(platform::AllocBstrLength(nullptr, 0));
    EXPECT_EQ(control->LoadLocalPlan(empty.Get()), platform::S_FALSE);
    ScopedBstr name("/plans/house.kvp");
    EXPECT_EQ(control->LoadLocalPlan(name.Get()), platform::S_FALSE);
    EXPECT_STREQ(control->planName, "/plans/house.kvp");
    // A name that does not fit the plan name is refused and leaves it.
    ScopedBstr longName(std::string(400, 'x').c_str());
    EXPECT_EQ(control->LoadLocalPlan(longName.Get()), platform::S_FALSE);
    EXPECT_STREQ(control->planName, "/plans/house.kvp");
}

TEST_F(ScriptingInterfaceTest, ReadyToCloseAsksOnlyOnceInitialisedAndModified) {
    AnswerBoxes(platform::MessageAnswer::Cancel);
    control->globalState.SetBoolean(0, true);
    int32_t ready = CDuzazododiza::kCloseWithCancel;
    control->get_isReadyToClose(&ready);
    EXPECT_EQ(ready, 0);
    EXPECT_TRUE(boxes.empty());

    control->initialised = 1;
    control->globalState.SetString(0, "house");
    ready = CDuzazododiza::kCloseWithCancel;
    control->get_isReadyToClose(&ready);
    EXPECT_EQ(ready, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Do you want to save the changes you made to house?");
    EXPECT_EQ(boxes[0].buttons, platform::MessageButtons::YesNoCancel);
    EXPECT_TRUE(control->globalState.GetBoolean(0));  // Cancel keeps the plan modified

    AnswerBoxes(platform::MessageAnswer::No);
    ready = 0;
    control->get_isReadyToClose(&ready);
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(boxes.back().buttons, platform::MessageButtons::YesNo);
    EXPECT_FALSE(control->globalState.GetBoolean(0));
    // Nothing modified: nothing asked.
    const size_t asked = boxes.size();
    control->get_isReadyToClose(&ready);
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(boxes.size(), asked);
}

TEST_F(ScriptingInterfaceTest, RecentFilesByIndex) {
    AnswerBoxes(platform::MessageAnswer::Ok);
    TempFolder temp;
    RegistrySetString("Recent files", "recent file 0", (temp.Path() + "gone.kvp").c_str());
    control->OpenRecentFile(111);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Invalid path");
    EXPECT_EQ(boxes[0].text, "File has been moved or deleted.\n\n" + temp.Path() + "gone.kvp");

    // Empty entries and indexes outside 111..119 do nothing.
    for (int32_t index : {112, 110, 120, -1}) control->OpenRecentFile(index);
    EXPECT_EQ(boxes.size(), 1u);

    const std::string existing = temp.Path() + "here.kvp";
    std::ofstream(existing) << "x";
    RegistrySetString("Recent files", "recent file 8", existing.c_str());
    control->OpenRecentFile(119);
    EXPECT_EQ(boxes.size(), 1u);
}

// The hosting page's parameters.
class TestPropertyBag : public platform::IPropertyBag {
public:
    platform::HRESULT QueryInterface(const platform::Guid&, void** out) override {
        *out = nullptr;
        return platform::E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    platform::HRESULT Read(const char* name, VARIANT* value) override {
        auto it = values.find(name);
        if (it == values.end()) return platform::E_INVALIDARG;
        platform::SetVariantUtf8(value, it->second.c_str());
        return platform::S_OK;
    }
    std::map<std::string, std::string> values;
};

TEST_F(ScriptingInterfaceTest, PageParametersAreCheckedAndAbsentOnesLeaveSettings) {
    const int32_t height = control->globalState.GetInteger(9);
    const std::string domain = control->GetContentDomain();
    TestPropertyBag bag;
    bag.values = {{"MaxDepthMapWidth", "512"}, {"userID", "4711"}};
    EXPECT_EQ(control->Load(&bag), platform::S_OK);
    EXPECT_EQ(control->globalState.GetInteger(8), 512);
    EXPECT_EQ(control->globalState.GetInteger(9), height);
    EXPECT_EQ(control->GetContentDomain(), domain);
    EXPECT_EQ(GetUserID(), "4711");

    bag.values = {{"MaxDepthMapWidth", "lots"},
                  {"MaxDepthMapHeight", "1e12"},
                  {"Domain", "http://content.example/"}};
    control->Load(&bag);
    EXPECT_EQ(control->globalState.GetInteger(8), 512);
    EXPECT_EQ(control->globalState.GetInteger(9), height);
    EXPECT_STREQ(control->GetContentDomain(), "http://content.example/");

    // A domain longer than the control keeps is refused.
    ScopedBstr tooLong(("http://" + std::string(300, 'a')).c_str());
    control->SetDomain(tooLong.Get());
    EXPECT_STREQ(control->GetContentDomain(), "http://content.example/");
}

TEST_F(ScriptingInterfaceTest, UrlToOpenIsHandedOutOnce) {
    ScopedBstr url;
    control->get_URLToOpen(url.OutParam());
    EXPECT_EQ(url.Get(), nullptr);
    std::snprintf(control->urlToOpen, sizeof control->urlToOpen, "%s", "pages/tips.htm");
    control->get_URLToOpen(url.OutParam());
    EXPECT_EQ(url.Utf8(), "pages/tips.htm");
    control->get_URLToOpen(url.OutParam());
    EXPECT_EQ(url.Get(), nullptr);
}

TEST_F(ScriptingInterfaceTest, FloorLevels) {
    control->floorState.SetDouble(9, 200.0);
    control->wallState.SetDouble(5, 96.0);
    struct Case {
        int32_t level;
        double start;
        double expected;
    };
    const Case cases[] = {
        {1, 500.0, 201.0},   {3, 500.0, 393.0},   {0, 500.0, 105.0},     {-1, 500.0, 500.0},
        {101, 201.0, 297.0}, {102, 297.0, 201.0}, {101, 1065.0, 1100.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        control->floorState.SetDouble(4, c.start);
        EXPECT_EQ(control->SetFloorLevel(c.level), platform::S_OK);
        EXPECT_DOUBLE_EQ(control->floorState.GetDouble(4), c.expected);
    }
}

// An object of the scene with free information, as a right click leaves it.
class InformationObject : public StateObject, public SerializableObject {
public:
    void ApplyState() override { ++applied; }
    BaseParameterState* GetState() override { return nullptr; }
    uint64_t GetStateTypeMask() const override { return 0; }
    void WriteKeyData() override {}
    int applied = 0;
};

TEST_F(ScriptingInterfaceTest, RightClickedObjectInformation) {
    ScopedBstr untouched("untouched");
    BSTR out = untouched.Get();
    control->get_RightClickedObjectData(&out);
    EXPECT_EQ(out, untouched.Get());

    InformationObject object;
    control->currentStateObject = &object;
    control->get_RightClickedObjectData(&out);
    EXPECT_EQ(out, untouched.Get());

    ScopedBstr a("a"), one("1"), b("b"), two("2");
    control->AddDataToRightClickedObjectInformation(a.Get(), one.Get());
    control->AddDataToRightClickedObjectInformation(b.Get(), two.Get());
    control->AddDataToRightClickedObjectInformation(a.Get(), nullptr);
    ScopedBstr data;
    control->get_RightClickedObjectData(data.OutParam());
    EXPECT_EQ(data.Utf8(), "a;1;b;2;");

    control->UpdateLastRightClickedObject();
    EXPECT_EQ(object.applied, 1);
}

}  // namespace

TEST_F(ScriptingInterfaceTest, TheProgressBarBelongsToItsFirstCaller) {
    const intptr_t load = 1, download = 2;
    control->ShowMainProgress(true, load);
    control->ShowMainProgress(true, download);
    EXPECT_EQ(control->progressOwner, load) << "a second caller does not take the bar";
    EXPECT_TRUE(control->progressBar.IsShown());

    control->SetProgressDetail(2048.0, download);
    EXPECT_EQ(control->progressBar.Detail(), "") << "only the owner writes the detail";
    control->SetProgressDetail(2048.0, load);
    EXPECT_EQ(control->progressBar.Detail(), "File size: 2.0 Kb.");

    control->globalState.SetInteger(10, 7);
    control->ShowMainProgress(false, download);
    EXPECT_TRUE(control->progressBar.IsShown()) << "only the owner hides it";
    control->ShowMainProgress(false, load);
    EXPECT_FALSE(control->progressBar.IsShown());
    EXPECT_EQ(control->progressBar.Detail(), "");
    EXPECT_EQ(control->globalState.GetInteger(10), 0);
    control->ShowMainProgress(true, download);
    EXPECT_EQ(control->progressOwner, download);
}
