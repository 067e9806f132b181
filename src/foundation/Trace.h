#pragma once

#include <cstdio>

// Plain line writer shared with the other programs: when a log file is set with
// `SetTraceWriteFile`, writes "date time text" to it and flushes; otherwise does
// nothing.
void TraceWrite(const char* text);
// Sets (or, with null, clears) the file `TraceWrite` writes to. The caller keeps
// ownership of the file.
void SetTraceWriteFile(FILE* file);

// Records a failed precondition or postcondition and never stops: answers
// `condition`; when it is false, logs the kind followed by " Failed", the source
// file, the line and the message. A caller that cannot go on returns after a false
// answer.
bool TraceAssert(bool condition, const char* kind, const char* file, int line,
                 const char* message);

#define PRECONDITION(cond, message) TraceAssert((cond), "Precondition", __FILE__, __LINE__, (message))
#define POSTCONDITION(cond, message) \
    TraceAssert((cond), "Postcondition", __FILE__, __LINE__, (message))
