#pragma once

// The compass rose of the plan.
class Compass {};
