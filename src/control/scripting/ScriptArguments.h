#pragma once

#include <cstdint>
#include <vector>

#include "platform/Automation.h"

// The arguments of a late-bound call in the order the member declares them, with the
// value of a property put last. Values come from page script and are checked before
// they become numbers: a number that is not finite or does not fit is refused.
class ScriptArguments {
public:
    ScriptArguments(const platform::DISPPARAMS* params, uint16_t flags);

    // False when a property put came without its value, or named arguments other than
    // the put's value were given.
    bool IsValid() const { return valid_; }
    size_t Count() const { return args_.size(); }
    const platform::VARIANT& At(size_t i) const { return *args_[i]; }

    bool Int32(size_t i, int32_t& out) const { return i < Count() && ToInt32(At(i), out); }
    bool Double(size_t i, double& out) const { return i < Count() && ToDouble(At(i), out); }
    // A text argument; empty and null values give a null text.
    bool Text(size_t i, platform::BSTR& out) const;

    // A number of any kind, a boolean (true is -1) or a decimal text; fractions are
    // rounded to the nearest integer, halves to the even one.
    static bool ToInt32(const platform::VARIANT& v, int32_t& out);
    static bool ToDouble(const platform::VARIANT& v, double& out);

private:
    std::vector<const platform::VARIANT*> args_;
    platform::VARIANT empty_;
    bool valid_ = true;
};
