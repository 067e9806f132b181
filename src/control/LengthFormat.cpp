#include "control/LengthFormat.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "control/BaseControl.h"
#include "foundation/GlobalState.h"
#include "foundation/Trace.h"
#include "render/Window.h"

namespace {

constexpr int kMetricSwitch = 7;
constexpr int kShowInchFractions = 25;
// Longest text ParseLength reads, in characters.
constexpr size_t kMaxLengthText = 259;

std::string Printf(const char* format, double a) {
    char text[400];  // room for the widest double in "%.0f"
    std::snprintf(text, sizeof text, format, a);
    return text;
}

std::string Printf(const char* format, double a, double b) {
    char text[800];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// Whole and fractional parts are worked out in doubles and printed with "%.0f", so any
// finite length formats without an integer overflow; + 0.0 turns -0 into 0.
std::string ImperialLength(double value, bool showFractions, int minFeet) {
    const double fraction = std::fabs(value - std::floor(value + 0.005));
    if (fraction <= 0.01 || !showFractions) {
        double feet = std::floor((value + 0.5) / 12.0);
        if (feet < minFeet) feet = 0.0;
        const double inches = std::floor(value - 12.0 * feet + 0.5) + 0.0;
        if (feet == 0.0) return Printf("%.0f\"", inches);
        return Printf("%.0f'%.0f\"", feet, inches);
    }
    double feet = std::trunc(value / 12.0) + 0.0;
    if (feet < minFeet) feet = 0.0;
    const double inches = std::trunc(value) - 12.0 * feet + 0.0;
    const std::string part = FormatInchFraction(value - std::floor(value)) + '"';
    if (feet == 0.0) return Printf("%.0f", inches) + part;
    return Printf("%.0f'%.0f", feet, inches) + part;
}

// The digits at the start of `token` (after any signs) as a number; 0 for none.
double LeadingNumber(std::string_view token) {
    size_t i = 0;
    while (i < token.size() && (token[i] == '-' || token[i] == '+')) ++i;
    double number = 0.0;
    for (; i < token.size() && std::isdigit(static_cast<unsigned char>(token[i])); ++i)
        number = number * 10.0 + (token[i] - '0');
    return number;
}

// Adds the fraction that begins at token `at` to `whole`.
double ApplyFraction(double whole, const std::vector<std::string>& tokens, size_t at) {
    if (at >= tokens.size()) return whole;
    const std::string& token = tokens[at];
    const size_t slash = token.find('/');
    if (slash == 0) {
        // "/d" divides; a lone "/" takes the next token as the divisor.
        const double divisor = token.size() > 1 ? LeadingNumber(std::string_view(token).substr(1))
                               : at + 1 < tokens.size() ? LeadingNumber(tokens[at + 1])
                                                        : 0.0;
        return divisor != 0.0 ? whole / divisor : whole;
    }
    double numerator = 0.0, denominator = 0.0;
    if (slash == std::string::npos) {
        // "n d" or "n / d": the denominator is the next number after blanks and '/'.
        numerator = LeadingNumber(token);
        for (size_t k = at + 1; k < tokens.size(); ++k) {
            std::string_view next(tokens[k]);
            while (!next.empty() && next.front() == '/') next.remove_prefix(1);
            if (next.empty()) continue;
            denominator = LeadingNumber(next);
            break;
        }
    } else {
        numerator = LeadingNumber(std::string_view(token).substr(0, slash));
        denominator = LeadingNumber(std::string_view(token).substr(slash + 1));
    }
    return denominator != 0.0 ? whole + numerator / denominator : whole;
}

}  // namespace

std::string FormatLength(const GlobalState& settings, double value, bool isArea, int minFeet) {
    if (settings.GetBoolean(kMetricSwitch)) {
        // Rounded once, to the hundredth of a metre (square metre).
        if (isArea) return Printf("%0.2f sq m", value * 6.4516 * 0.0001);
        return Printf("%0.2f", value * 2.54 * 0.01);
    }
    if (isArea) return Printf("%0.2f sq ft", (value + 0.5) / 144.0);
    if (!std::isfinite(value)) return Printf("%0.2f\"", value);
    return ImperialLength(value, settings.GetBoolean(kShowInchFractions), minFeet);
}

std::string FormatLength(double value, bool isArea, int minFeet) {
    if (BaseControl* control = theControl())
        return FormatLength(control->globalState, value, isArea, minFeet);
    static const GlobalState plain;
    return FormatLength(plain, value, isArea, minFeet);
}

std::string FormatInchFraction(double fraction) {
    if (!(fraction >= 0.0 && fraction < 1.0)) return {};
    int numerator = static_cast<int>(fraction * 8.0);
    int denominator = 8;
    while (numerator % 2 == 0 && denominator > 1) {
        numerator /= 2;
        denominator /= 2;
    }
    if (numerator < 1) return {};
    char text[32];
    std::snprintf(text, sizeof text, "-%i/%i", numerator, denominator);
    return text;
}

std::string FormatNumber(double value) {
    if (std::fabs(value - std::floor(value + 0.005)) <= 0.00001)
        return Printf("%.0f", std::round(value) + 0.0);
    return Printf("%0.2f", value);
}

double ParseLength(const char* text) {
    if (!text || !text[0]) return 0.0;
    const size_t length = strnlen(text, kMaxLengthText + 1);
    if (length > kMaxLengthText) {
        TraceWrite("Length text too long");
        return 0.0;
    }
    std::string copy(text, length);

    // A '-' right after a digit joins whole inches to their fraction ("6-1/2"); any other
    // '-' is a minus sign.
    bool negative = false;
    for (size_t i = 0; i < copy.size(); ++i) {
        if (copy[i] != '-') continue;
        if (i == 0 || !std::isdigit(static_cast<unsigned char>(copy[i - 1]))) negative = true;
        copy[i] = ' ';
    }

    std::vector<std::string> tokens;
    for (size_t i = 0; i < copy.size();) {
        while (i < copy.size() && (copy[i] == ' ' || copy[i] == '\t')) ++i;
        const size_t start = i;
        while (i < copy.size() && copy[i] != ' ' && copy[i] != '\t') ++i;
        if (i > start) tokens.push_back(copy.substr(start, i - start));
    }
    if (tokens.empty()) return 0.0;

    double value = 0.0;
    const std::string& first = tokens[0];
    const size_t point = first.find('.');
    if (point != std::string::npos) {
        double digits = 0.0, scale = 1.0;
        for (size_t i = point + 1;
             i < first.size() && std::isdigit(static_cast<unsigned char>(first[i])); ++i) {
            digits = digits * 10.0 + (first[i] - '0');
            scale *= 10.0;
        }
        value = LeadingNumber(std::string_view(first).substr(0, point)) + digits / scale;
    } else if (first.find('/') == std::string::npos) {
        value = ApplyFraction(LeadingNumber(first), tokens, 1);
    } else {
        value = ApplyFraction(0.0, tokens, 0);
    }
    return negative ? -value : value;
}

void ShowLengthInStatusBar(const char* message, double length1, double length2) {
    BaseControl* control = theControl();
    if (!PRECONDITION(control && control->activeWindow, "No active window for the length")) return;
    std::string text = message ? message : "";
    text += FormatLength(std::fabs(length1), false, 6);
    if (length2 != kNoSecondLength) {
        text += " X ";
        text += FormatLength(std::fabs(length2), false, 6);
    }
    StatusBar& prompt = control->activeWindow->statusBar1;
    prompt.SetShown(true);
    prompt.SetText(text.c_str(), false);
}
