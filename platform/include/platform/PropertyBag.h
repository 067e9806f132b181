#pragma once

#include "platform/Automation.h"
#include "platform/Component.h"

namespace platform {

// Named values a container hands to a component when it starts it (the parameters a
// hosting page writes for an object).
class IPropertyBag : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x01}};

    // Fills `value` (which the caller clears afterwards) with the property `name`;
    // E_INVALIDARG when the bag has no such property.
    virtual HRESULT Read(const char* name, VARIANT* value) = 0;
};

// A component that takes its start values from a property bag.
class IPersistPropertyBag : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02}};

    virtual HRESULT Load(IPropertyBag* bag) = 0;
};

}  // namespace platform
