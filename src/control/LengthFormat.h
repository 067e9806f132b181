#pragma once

#include <string>

class GlobalState;

// Lengths are inches and areas square inches everywhere in the editor. These turn them
// into the text of the status bar, dialogs and dimension labels, in feet and inches or in
// metres by the metric switch (GlobalState boolean 7), and read typed text back.
//
// Every text is returned by value: the render thread and the UI thread both format.

// Value of a second length that says there is none.
inline constexpr double kNoSecondLength = 99999.0;

// `value` as shown with the settings of the process's control (feet and inches without
// fractions when there is no control). Imperial lengths below `minFeet` feet show in
// inches only. Non-finite values show as the C library writes them ("nan", "inf").
std::string FormatLength(double value, bool isArea, int minFeet);
std::string FormatLength(const GlobalState& settings, double value, bool isArea, int minFeet);

// The eighths of an inch in `fraction` (0 <= fraction < 1), reduced, as "-n/d": the dash
// joins it to the whole inches before it. Empty below one eighth.
std::string FormatInchFraction(double fraction);

// A whole number ("%i") when the value is within 0.00001 of one, else "%0.2f".
std::string FormatNumber(double value);

// Inches from typed text: "30", "3.25", "5 1/2", "6-1/2", "3/4", "5 /2"; a leading '-'
// (not one that joins whole inches to their fraction) makes the result negative. Empty,
// missing or over-long text gives 0.0; a zero denominator leaves the value as it was.
double ParseLength(const char* text);

// Shows the active window's prompt bar with `message` followed by |length1| (and " X "
// and |length2| unless length2 is kNoSecondLength), in inches only under six feet.
void ShowLengthInStatusBar(const char* message, double length1, double length2);
