#include "control/scripting/ScriptArguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

ScriptArguments::ScriptArguments(const platform::DISPPARAMS* params, uint16_t flags) {
    const bool put = (flags & platform::DISPATCH_PROPERTYPUT) != 0;
    if (!params || params->argCount == 0) {
        valid_ = !put;
        return;
    }
    if (!params->args || params->namedArgCount > params->argCount) {
        valid_ = false;
        return;
    }
    const uint32_t named = params->namedArgCount;
    if (named > 1 || (named == 1 && (!put || !params->namedArgIds ||
                                     params->namedArgIds[0] != platform::DISPID_PROPERTYPUT))) {
        valid_ = false;
        return;
    }
    if (put && named == 0) {
        valid_ = false;
        return;
    }
    // Positional arguments are stored last first, after the named ones.
    for (uint32_t k = params->argCount; k > named; --k) args_.push_back(&params->args[k - 1]);
    if (named == 1) args_.push_back(&params->args[0]);
}

bool ScriptArguments::Text(size_t i, platform::BSTR& out) const {
    if (i >= Count()) return false;
    const platform::VARIANT& v = At(i);
    switch (v.type) {
        case platform::VariantType::Bstr:
            out = v.bstrValue;
            return true;
        case platform::VariantType::Empty:
        case platform::VariantType::Null:
            out = nullptr;
            return true;
        default:
            return false;
    }
}

bool ScriptArguments::ToDouble(const platform::VARIANT& v, double& out) {
    switch (v.type) {
        case platform::VariantType::Empty:
            out = 0.0;
            return true;
        case platform::VariantType::Int16:
            out = v.shortValue;
            return true;
        case platform::VariantType::Int32:
            out = v.intValue;
            return true;
        case platform::VariantType::Int64:
            out = static_cast<double>(v.int64Value);
            return true;
        case platform::VariantType::Double:
            if (!std::isfinite(v.doubleValue)) return false;
            out = v.doubleValue;
            return true;
        case platform::VariantType::Bool:
            out = v.boolValue ? -1.0 : 0.0;
            return true;
        case platform::VariantType::Bstr: {
            const std::string text = platform::Utf8FromBstr(v.bstrValue);
            if (text.empty()) return false;
            char* end = nullptr;
            errno = 0;
            const double value = std::strtod(text.c_str(), &end);
            while (end && (*end == ' ' || *end == '\t')) ++end;
            if (errno != 0 || !end || *end != 0 || !std::isfinite(value)) return false;
            out = value;
            return true;
        }
        default:
            return false;
    }
}

bool ScriptArguments::ToInt32(const platform::VARIANT& v, int32_t& out) {
    if (v.type == platform::VariantType::Int32) {
        out = v.intValue;
        return true;
    }
    if (v.type == platform::VariantType::Int64) {
        if (v.int64Value < INT32_MIN || v.int64Value > INT32_MAX) return false;
        out = static_cast<int32_t>(v.int64Value);
        return true;
    }
    double value = 0.0;
    if (!ToDouble(v, value)) return false;
    value = std::nearbyint(value);
    if (value < INT32_MIN || value > INT32_MAX) return false;
    out = static_cast<int32_t>(value);
    return true;
}
