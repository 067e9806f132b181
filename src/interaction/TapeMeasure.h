#pragma once

// The measuring tape of the annotation tools.
class TapeMeasure {};
