#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "platform/RecursiveLock.h"

// The process's running log for support, "Kivora_Trace.txt" in the temporary
// folder. Each line is "date time text seconds note": the date only on the log's
// first line, the time of day, the caller's text, the seconds since the previous
// line (from the high-resolution counter) with four decimals, and the note.
//
// When the log is opened, a previous log that does not begin with "NO_POST" (in any
// letter case) is kept as "Kivora_Trace.err", replacing an older one: it belongs to
// a run that created a control or that never reached its end. At a clean close the
// log is marked "NO_POST" unless it is kept for upload.
//
// While the log is open its file is mapped and grows a megabyte at a time, so a
// reader of a live log finds NULs (or the mark) after its last line; a closed log
// ends with its last line, and a log kept from a run that never closed it loses its
// unwritten room when it becomes the error log.
//
// The log is bounded: once it reaches its size limit it is moved to
// "Kivora_Trace.old" (replacing the one there) and a new log begins, so the two
// together never hold much more than twice the limit.
//
// Steps that a view takes on every frame (context activation, camera set-up) are
// written with `WriteStep`; the render loop's passes hold a `QuietSteps` scope, so an
// idle editor adds nothing to the log, while the same steps taken for a pick or a
// teardown are still written.
//
// Every method may be called from any thread. A log whose file cannot be created
// writes nothing.
class Trace {
public:
    static constexpr size_t kTextSize = 512;
    static constexpr int kMaxGLErrors = 32;
    static constexpr long kDefaultSizeLimit = 8L * 1024 * 1024;

    // While one lives, `WriteStep` on its thread writes nothing.
    class QuietSteps {
    public:
        QuietSteps();
        ~QuietSteps();
        QuietSteps(const QuietSteps&) = delete;
        QuietSteps& operator=(const QuietSteps&) = delete;
    };

    // The log in the platform temporary folder, headed with the component's name
    // and version.
    Trace();
    // The log in `folder` (with or without its trailing '/'; the temporary folder
    // when null), headed with `header` (the component's name and version when null).
    explicit Trace(const char* folder, const char* header = nullptr);
    virtual ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    // Writes one line; it is in the file as soon as the call returns.
    void Write(const char* text);
    // A routine step: written as `Write` does, unless the thread holds `QuietSteps`.
    void WriteStep(const char* text);
    // Formats a line (at most kTextSize - 1 characters) into a buffer of the call's
    // own and writes it.
    void WriteFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends `text` to the note that ends every line, unless the note would then
    // reach kTextSize characters.
    void AppendNote(const char* text);

    // Writes a line for each pending OpenGL error ("text : (0) description <code>"),
    // and the stack depths after a stack overflow or underflow; stops after
    // kMaxGLErrors errors. True when a context is current and no error was pending;
    // false, writing nothing, without a current context.
    bool CheckGLErrors(const char* text);
    // Writes the current and greatest depths of the projection, model view,
    // attribute and name stacks (eight lines) when a context is current.
    void DumpGLStacks();

    // Writes a single 'a' at the end of the log without moving past it: the next
    // line overwrites it, so a log cut off by a crash ends in it. Nothing is written
    // when the byte is already there (no line since the last mark).
    void MarkFile();

    // Ends the log: "Trace Destructed", the type line, the "NO_POST" mark unless the
    // log is kept for upload, and closes the file. Later writes do nothing. The
    // destructor does the same when it was not done.
    void Close();

    // A run that created a control keeps its log for upload at the next start.
    void SetKeepForUpload(bool keep);
    bool KeepForUpload() const { return keepForUpload_; }

    // The size at which the log moves to the previous log's name and starts again
    // (at least 4096 bytes).
    void SetSizeLimit(long bytes);

    bool IsOpen() const;
    // Where the next line goes: the length of what the log holds. Past it, the file
    // of an open log may hold room not written yet (NULs), or the mark.
    long Length() const;
    const char* TracePath() const { return tracePath_; }
    const char* ErrorPath() const { return errorPath_; }
    const char* PreviousPath() const { return previousPath_; }

    // The registry value named after the log (under "logs\"): 1.0 while a run that
    // uses it is open, 0.0 after a clean close.
    static const char* FileName();  // "Kivora_Trace.txt"
    static bool SetOpenMark(bool open);
    // True when the value says the previous run did not close cleanly.
    static bool WasLeftOpen();

private:
    void WriteLocked(const char* text);
    void RotateLocked();
    void OpenFileLocked();
    void CloseFileLocked();
    // Makes the mapped file reach `end`; false when the log writes plainly instead.
    bool RoomLocked(long end);
    // Puts `size` bytes at `at` in the file, through the mapping when there is room.
    void PutLocked(long at, const char* data, size_t size);

    int fd_ = -1;
    // The file mapped whole (`mapped_` bytes, the file's size while it is mapped).
    char* map_ = nullptr;
    long mapped_ = 0;
    // The file could not be mapped: lines are written to it plainly.
    bool unmappable_ = false;
    char tracePath_[kTextSize] = {};
    char errorPath_[kTextSize] = {};
    char previousPath_[kTextSize] = {};
    long sizeLimit_ = kDefaultSizeLimit;
    // The end of the last line written: where the next one goes.
    long position_ = 0;
    // Where MarkFile left its byte; -1 when a line has been written since.
    long markedAt_ = -1;
    bool keepForUpload_ = false;
    bool firstLine_ = true;
    int64_t now_ = 0;
    int64_t last_ = 0;
    int64_t frequency_ = 1;
    mutable platform::RecursiveLock lock_;
    char noteBuffer_[kTextSize] = {};
};

// The process's log, made on first use in the platform temporary folder and closed
// when the process exits. `TraceWrite` lines without a file of their own go to it.
Trace& theTrace();

// Plain line writer shared with the other programs: when a log file is set with
// `SetTraceWriteFile`, writes "date time text" to it and flushes; otherwise the
// line goes to the log set with `SetTraceWriteLog` (the process's log once it
// exists), or nowhere when there is none.
void TraceWrite(const char* text);
// Sets (or, with null, clears) the file `TraceWrite` writes to. The caller keeps
// ownership of the file.
void SetTraceWriteFile(FILE* file);
// Sets (or, with null, clears) the log `TraceWrite` writes to when it has no file.
// A log that is closed or destroyed clears itself.
void SetTraceWriteLog(Trace* log);
// The log `TraceWrite` writes to when it has no file (null for none).
Trace* GetTraceWriteLog();

// Records a failed precondition or postcondition and never stops: answers
// `condition`; when it is false, writes four lines with `TraceWrite`: the kind
// followed by " Failed", the source file, the line and the message. A caller that
// cannot go on returns after a false answer.
bool TraceAssert(bool condition, const char* kind, const char* file, int line, const char* message);

#define PRECONDITION(cond, message) \
    TraceAssert((cond), "Precondition", __FILE__, __LINE__, (message))
#define POSTCONDITION(cond, message) \
    TraceAssert((cond), "Postcondition", __FILE__, __LINE__, (message))
