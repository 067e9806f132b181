#pragma once

// Writes one formatted line (at most 1023 characters) to the installer's log through
// TraceWrite, so that it lands in whichever log the installer object opened.
void InstallerLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
