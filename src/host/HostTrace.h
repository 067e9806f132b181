#pragma once

#include <string>

// The host's trace log: one file in the temporary folder, lines of date, time and text,
// written through the shared TraceWrite (so TraceAssert lines land in it too). The
// registry value "logs\" + name is 1.0 while the log is open; a log still marked open at
// the next start belongs to a run that did not end cleanly and goes to the server.

// The host sets this before it opens its log: an unclean earlier log is then set aside
// (renamed to end in "err") and sent after the sign-in instead of at once.
void SetHostTraceFlag(bool host);

// Opens the log `name` afresh (emptied, with its header), after dealing with an unclean
// earlier one. A log open already is closed first. False when the file cannot be made.
bool OpenTraceLog(const char* name);
// Writes "Closing logfile", marks the log closed and closes the file.
void CloseTraceLog();
bool IsTraceLogOpen();
// The name of the log opened last.
std::string TraceLogName();

// Sends an excerpt of the log `name` in the temporary folder to the server and marks
// it closed. False when there was nothing to send or the request failed.
bool PostTraceLog(const char* name);
// After the sign-in: sends the log set aside at the start, if any.
void PostPendingTraceLog();
