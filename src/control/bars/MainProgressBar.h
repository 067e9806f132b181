#pragma once

// The control's progress bar for loads and downloads.
class MainProgressBar {};
