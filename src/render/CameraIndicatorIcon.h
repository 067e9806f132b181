#pragma once

// The camera marker drawn in plan views.
class CameraIndicatorIcon {};
