#include <gtest/gtest.h>

#include "platform/Automation.h"
#include "platform/Component.h"

using namespace platform;

namespace {

constexpr Guid kTestClass = {
    0x12345678, 0x9ABC, 0xDEF0, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

class ITestCounter : public IUnknown {
public:
    static constexpr Guid kIid = {0x0C0FFEE0, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
    virtual int Next() = 0;
};

int liveCounters = 0;

class TestCounter final : public ITestCounter {
public:
    TestCounter() { ++liveCounters; }
    ~TestCounter() { --liveCounters; }
    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IUnknown::kIid || iid == ITestCounter::kIid) {
            AddRef();
            *out = static_cast<ITestCounter*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override {
        const uint32_t left = refs_.Decrement();
        if (left == 0) delete this;
        return left;
    }
    int Next() override { return ++value_; }

private:
    RefCount refs_;
    int value_ = 0;
};

HRESULT MakeCounter(const Guid& iid, void** out) {
    auto* counter = new TestCounter;
    const HRESULT hr = counter->QueryInterface(iid, out);
    counter->Release();
    return hr;
}

}  // namespace

TEST(GuidTest, ParsesAndFormatsTheBracedForm) {
    Guid g;
    ASSERT_TRUE(ParseGuid("{12345678-9abc-DEF0-0123-456789ABCDEF}", &g));
    EXPECT_EQ(g, kTestClass);
    EXPECT_EQ(FormatGuid(g), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
    ASSERT_TRUE(ParseGuid("12345678-9ABC-DEF0-0123-456789ABCDEF", &g));
    EXPECT_EQ(g, kTestClass);
}

TEST(GuidTest, RefusesMalformedTextAndLeavesTheOutputAlone) {
    const char* bad[] = {
        nullptr,
        "",
        "{12345678-9ABC-DEF0-0123-456789ABCDEF",   // no closing brace
        "{12345678-9ABC-DEF0-0123-456789ABCDEG}",  // not a hex digit
        "{12345678_9ABC-DEF0-0123-456789ABCDEF}",  // wrong separator
        "{12345678-9ABC-DEF0-0123-456789ABCDEF0}",
        "12345678-9ABC-DEF0-0123-456789ABCDE",
    };
    for (const char* text : bad) {
        Guid g = kTestClass;
        EXPECT_FALSE(ParseGuid(text, &g)) << (text ? text : "null");
        EXPECT_EQ(g, kTestClass);
    }
}

TEST(ClassRegistryTest, CreatesRegisteredClassesAndRefusesUnknownOnes) {
    void* raw = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateInstance(kTestClass, ITestCounter::kIid, &raw), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(CreateInstance(kTestClass, ITestCounter::kIid, nullptr), E_POINTER);

    {
        RefPtr<IClassFactory> factory = MakeClassFactory(MakeCounter);
        ASSERT_EQ(RegisterClassFactory(kTestClass, factory.Get()), S_OK);
        EXPECT_EQ(RegisterClassFactory(kTestClass, factory.Get()), E_FAIL);
        EXPECT_EQ(RegisterClassFactory(kTestClass, nullptr), E_INVALIDARG);
    }

    {
        RefPtr<ITestCounter> a, b;
        ASSERT_EQ(CreateInstance(kTestClass, &a), S_OK);
        ASSERT_EQ(CreateInstance(kTestClass, &b), S_OK);
        EXPECT_NE(a.Get(), b.Get());
        EXPECT_EQ(a->Next(), 1);
        EXPECT_EQ(a->Next(), 2);
        EXPECT_EQ(b->Next(), 1);
        EXPECT_EQ(liveCounters, 2);

        RefPtr<ITestCounter> copy = a;
        a.Reset();
        EXPECT_EQ(liveCounters, 2);
        EXPECT_EQ(copy->Next(), 3);
    }
    EXPECT_EQ(liveCounters, 0);

    // An interface the class does not offer: the instance goes, the answer is null.
    raw = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateInstance(kTestClass, IClassFactory::kIid, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(liveCounters, 0);

    EXPECT_EQ(RevokeClassFactory(kTestClass), S_OK);
    EXPECT_EQ(RevokeClassFactory(kTestClass), S_FALSE);
    EXPECT_EQ(CreateInstance(kTestClass, ITestCounter::kIid, &raw), CLASS_E_CLASSNOTAVAILABLE);
}

TEST(BstrTest, KeepsLengthAndConvertsUtf8BothWays) {
    EXPECT_EQ(BstrFromUtf8(static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(BstrLength(nullptr), 0u);
    EXPECT_EQ(Utf8FromBstr(nullptr), "");

    // ASCII, a two-byte, a three-byte and a four-byte (surrogate pair) character.
    const std::string text = "Plan \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8F\xA0";
    ScopedBstr b(text.c_str());
    ASSERT_NE(b.Get(), nullptr);
    EXPECT_EQ(BstrLength(b.Get()), 11u);
    EXPECT_EQ(b.Get()[5], u'\u00E9');
    EXPECT_EQ(b.Get()[9], 0xD83C);
    EXPECT_EQ(b.Get()[11], 0);
    EXPECT_EQ(b.Utf8(), text);

    // Zeros inside keep the length; malformed bytes and lone surrogates are replaced.
    const char16_t withZero[] = {u'a', 0, u'b'};
    ScopedBstr z(AllocBstrLength(withZero, 3));
    EXPECT_EQ(BstrLength(z.Get()), 3u);
    EXPECT_EQ(ScopedBstr("a\xC3").Utf8(), "a\xEF\xBF\xBD");
    EXPECT_EQ(ScopedBstr("\xE0\x80\xAF").Utf8(), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    const char16_t lone[] = {0xD800, u'x'};
    ScopedBstr s(AllocBstrLength(lone, 2));
    EXPECT_EQ(s.Utf8(), "\xEF\xBF\xBDx");
}

TEST(VariantTest, CopiesOwnTheirTextAndReferences) {
    VARIANT text, copy;
    SetVariantUtf8(&text, "Domain");
    ASSERT_EQ(CopyVariant(&copy, &text), S_OK);
    EXPECT_EQ(copy.type, VariantType::Bstr);
    EXPECT_NE(copy.bstrValue, text.bstrValue);
    ClearVariant(&text);
    EXPECT_EQ(text.type, VariantType::Empty);
    EXPECT_EQ(Utf8FromBstr(copy.bstrValue), "Domain");

    auto* counter = new TestCounter;
    VARIANT object;
    object.type = VariantType::Unknown;
    object.unknownValue = counter;                 // the variant takes the creation reference
    ASSERT_EQ(CopyVariant(&copy, &object), S_OK);  // frees the copied text first
    ClearVariant(&object);
    EXPECT_EQ(liveCounters, 1);
    ClearVariant(&copy);
    EXPECT_EQ(liveCounters, 0);

    SetVariantDouble(&copy, 2.5);
    VARIANT number;
    ASSERT_EQ(CopyVariant(&number, &copy), S_OK);
    EXPECT_EQ(number.type, VariantType::Double);
    EXPECT_EQ(number.doubleValue, 2.5);
}

TEST(DispatchNamesTest, FindsTheMemberWithoutRegardToCase) {
    const DispatchName table[] = {{"GoThere", 1}, {"Value", 2}};
    const char16_t* one[] = {u"value"};
    DISPID id = 0;
    EXPECT_EQ(LookUpDispatchNames(table, 2, one, 1, &id), S_OK);
    EXPECT_EQ(id, 2);

    // A known member with a named parameter: the parameter is not known.
    const char16_t* two[] = {u"GOTHERE", u"where"};
    DISPID ids[2] = {0, 0};
    EXPECT_EQ(LookUpDispatchNames(table, 2, two, 2, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 1);
    EXPECT_EQ(ids[1], DISPID_UNKNOWN);

    for (const char16_t* name : {u"Go", u"GoThereNow", u""}) {
        const char16_t* names[] = {name};
        EXPECT_EQ(LookUpDispatchNames(table, 2, names, 1, &id), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(id, DISPID_UNKNOWN);
    }
}
