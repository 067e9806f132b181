#pragma once

// The drawn bar at the bottom of a view that shows status texts and measurements.
class StatusBar {
public:
    // Prepares the bar for drawing; the control does it once at construction.
    void Setup() { setUp = true; }
    bool IsSetUp() const { return setUp; }

private:
    bool setUp = false;
};
