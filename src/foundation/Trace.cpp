#include "foundation/Trace.h"

#include <GL/glu.h>
#include <GL/osmesa.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>

#include "foundation/Registry.h"
#include "foundation/Version.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/RegistryStore.h"

namespace {

constexpr const char* kTraceName = "Kivora_Trace.txt";
constexpr const char* kErrorName = "Kivora_Trace.err";
constexpr const char* kPreviousName = "Kivora_Trace.old";
constexpr long kSmallestSizeLimit = 4096;
// The log's file grows by this much at a time; the part not yet written holds NULs.
constexpr long kGrowth = 1L << 20;
constexpr const char* kLogsKey = "logs\\";
// Written over the start of a log that need not be kept: the marker and its NUL.
constexpr char kNoPost[8] = {'N', 'O', '_', 'P', 'O', 'S', 'T', '\0'};

thread_local int t_quietSteps = 0;

std::mutex g_traceWriteMutex;
FILE* g_traceWriteFile = nullptr;
Trace* g_traceWriteLog = nullptr;

void ClearTraceWriteLogIf(Trace* log) {
    std::lock_guard<std::mutex> guard(g_traceWriteMutex);
    if (g_traceWriteLog == log) g_traceWriteLog = nullptr;
}

struct DateTimeText {
    char date[16];
    char time[16];
};

// Two digits of `value` at `out`, as "%02d" writes them for 0 to 99.
void PutTwoDigits(char* out, int value) {
    out[0] = static_cast<char>('0' + value / 10);
    out[1] = static_cast<char>('0' + value % 10);
}

// "a/b/c" or "a:b:c" with each number in two digits (more, or a sign, as "%02d" gives
// them, outside 0 to 99).
void PutTriple(char (&out)[16], int a, int b, int c, char separator) {
    if (a < 0 || a > 99 || b < 0 || b > 99 || c < 0 || c > 99) {
        std::snprintf(out, sizeof out, "%02d%c%02d%c%02d", a, separator, b, separator, c);
        return;
    }
    PutTwoDigits(out, a);
    out[2] = separator;
    PutTwoDigits(out + 3, b);
    out[5] = separator;
    PutTwoDigits(out + 6, c);
    out[8] = '\0';
}

DateTimeText NowText() {
    const platform::LocalTime t = platform::GetLocalTime();
    DateTimeText out;
    PutTriple(out.date, t.month, t.day, t.year % 100, '/');
    PutTriple(out.time, t.hour, t.minute, t.second, ':');
    return out;
}

// folder + name into a fixed buffer; false (and an empty buffer) when it does not fit.
bool JoinPath(char (&out)[Trace::kTextSize], const std::string& folder, const char* name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    out[0] = '\0';
    if (path.size() >= Trace::kTextSize) return false;
    std::memcpy(out, path.c_str(), path.size() + 1);
    return true;
}

// Cuts the run of NULs at the end of the file at `path`: the unwritten room of a log whose
// run ended without closing it. A log still open elsewhere (its writer holds a shared
// lock on it) is left alone: its writer cuts the room when it closes it.
void CutUnwrittenTail(const char* path) {
    const int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info {};
    if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        off_t end = info.st_size;
        char block[4096];
        bool found = false;
        // The room is at most one growth step, so the last line's end lies within one
        // step and a byte: a longer run of NULs is not ours to cut.
        const off_t lowest = std::max<off_t>(0, info.st_size - kGrowth - 1);
        while (end > lowest && !found) {
            const off_t from = std::max<off_t>(lowest, end - static_cast<off_t>(sizeof block));
            const ssize_t n = pread(fd, block, static_cast<size_t>(end - from), from);
            if (n != end - from) break;
            off_t i = n;
            while (i > 0 && block[i - 1] == '\0') --i;
            found = i > 0;
            end = from + i;
        }
        if (end < info.st_size && (found || end == 0)) {
            // A tail that cannot be cut stays: readers of a log stop at its first NUL.
            const int cut = ftruncate(fd, end);
            static_cast<void>(cut);
        }
    }
    close(fd);
}

bool GLContextIsCurrent() {
    return OSMesaGetCurrentContext() != nullptr;
}

}  // namespace

Trace::Trace() : Trace(nullptr) {}

Trace::Trace(const char* folder, const char* header) {
    const std::string dir = folder && *folder ? folder : platform::TemporaryFolder();
    if (!JoinPath(tracePath_, dir, kTraceName) || !JoinPath(errorPath_, dir, kErrorName) ||
        !JoinPath(previousPath_, dir, kPreviousName)) {
        tracePath_[0] = errorPath_[0] = previousPath_[0] = '\0';
        return;  // no file: every write does nothing
    }

    // Keep the previous log unless it was marked as not needed.
    if (FILE* old = std::fopen(tracePath_, "rb")) {
        char start[sizeof kNoPost + 1] = {};
        const size_t n = std::fread(start, 1, sizeof kNoPost, old);
        start[n] = '\0';
        std::fclose(old);
        if (strcasecmp(start, "NO_POST") != 0) {
            platform::DeleteFile(errorPath_);
            if (platform::RenameFile(tracePath_, errorPath_)) CutUnwrittenTail(errorPath_);
        }
    }

    frequency_ = platform::QueryFrequency();
    if (frequency_ <= 0) frequency_ = 1;
    last_ = platform::QueryCounter();
    OpenFileLocked();
    keepForUpload_ = false;

    if (header) {
        Write(header);
    } else {
        std::string text = std::string("CompID : ") + ComponentName() + " v." + ComponentVersion();
        Write(text.c_str());
    }
    noteBuffer_[0] = '\0';
}

Trace::~Trace() {
    Close();
}

void Trace::Close() {
    ClearTraceWriteLogIf(this);
    platform::LockHolder hold(lock_);
    if (fd_ < 0) return;
    WriteLocked("Trace Destructed");
    WriteLocked("class Trace *");
    if (!keepForUpload_) {
        PutLocked(0, kNoPost, sizeof kNoPost);
        position_ = std::max(position_, static_cast<long>(sizeof kNoPost));
    }
    CloseFileLocked();
}

void Trace::OpenFileLocked() {
    position_ = 0;
    markedAt_ = -1;
    // The file is written through a mapping, so it must never be cut while another log
    // (of this process or another) still writes to it: each log holds a shared lock on
    // its file, and a file that cannot be locked alone is replaced, not emptied.
    fd_ = open(tracePath_, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        close(fd_);
        platform::DeleteFile(tracePath_);
        fd_ = open(tracePath_, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    if (fd_ < 0) return;
    if (ftruncate(fd_, 0) != 0 || flock(fd_, LOCK_SH) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

void Trace::CloseFileLocked() {
    if (fd_ < 0) return;
    if (map_) {
        munmap(map_, static_cast<size_t>(mapped_));
        map_ = nullptr;
    }
    // The room the log did not use goes, so the closed file ends with its last line (a
    // tail that cannot be cut stays: readers of a log stop at its first NUL).
    if (mapped_ > 0) {
        const int cut = ftruncate(fd_, position_);
        static_cast<void>(cut);
    }
    mapped_ = 0;
    unmappable_ = false;
    close(fd_);
    fd_ = -1;
}

bool Trace::RoomLocked(long end) {
    if (map_ && end <= mapped_) return true;
    if (unmappable_) return false;
    // The log is written through a shared mapping of its file: a line costs a copy, and
    // what is copied is in the file at once, so a crash of the process loses none of it.
    // The file's blocks are reserved before they are mapped, so a full disk makes the
    // log fall back to plain writes instead of faulting.
    const long size = (end / kGrowth + 1) * kGrowth;
    if (map_) {
        munmap(map_, static_cast<size_t>(mapped_));
        map_ = nullptr;
    }
    void* map = MAP_FAILED;
    if (posix_fallocate(fd_, mapped_, size - mapped_) == 0)
        map = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
    if (map == MAP_FAILED) {
        unmappable_ = true;
        if (ftruncate(fd_, position_) == 0) mapped_ = 0;
        return false;
    }
    map_ = static_cast<char*>(map);
    mapped_ = size;
    return true;
}

void Trace::PutLocked(long at, const char* data, size_t size) {
    if (RoomLocked(at + static_cast<long>(size))) {
        std::memcpy(map_ + at, data, size);
        return;
    }
    // Nothing in the log's path reports a failure: a line the file refused is lost.
    const ssize_t written = pwrite(fd_, data, size, at);
    static_cast<void>(written);
}

bool Trace::IsOpen() const {
    platform::LockHolder hold(lock_);
    return fd_ >= 0;
}

long Trace::Length() const {
    platform::LockHolder hold(lock_);
    return fd_ >= 0 ? position_ : 0;
}

void Trace::Write(const char* text) {
    platform::LockHolder hold(lock_);
    WriteLocked(text);
}

void Trace::WriteStep(const char* text) {
    if (t_quietSteps > 0) return;
    Write(text);
}

Trace::QuietSteps::QuietSteps() {
    ++t_quietSteps;
}

Trace::QuietSteps::~QuietSteps() {
    --t_quietSteps;
}

void Trace::SetSizeLimit(long bytes) {
    platform::LockHolder hold(lock_);
    sizeLimit_ = std::max(bytes, kSmallestSizeLimit);
}

void Trace::WriteLocked(const char* text) {
    if (fd_ < 0) return;
    now_ = platform::QueryCounter();
    const double seconds = static_cast<double>(now_ - last_) / static_cast<double>(frequency_);
    DateTimeText when = NowText();
    if (firstLine_)
        firstLine_ = false;
    else
        when.date[0] = '\0';
    // "%s %s %s %3.4f %s\n": date, time, text, seconds and note.
    const std::string_view parts[] = {when.date, when.time, text ? text : ""};
    char seconds4[64];
    const auto formatted =
        std::to_chars(seconds4, seconds4 + sizeof seconds4, seconds, std::chars_format::fixed, 4);
    const std::string_view number(seconds4, formatted.ec == std::errc() ? formatted.ptr - seconds4 : 0);
    const std::string_view note(noteBuffer_);
    const size_t length = parts[0].size() + parts[1].size() + parts[2].size() + number.size() +
                          note.size() + 5;
    last_ = now_;
    char shortLine[1024];
    std::string longLine;
    char* line = shortLine;
    if (length > sizeof shortLine) {
        longLine.resize(length);
        line = longLine.data();
    }
    char* at = line;
    for (const std::string_view& part : parts) {
        std::memcpy(at, part.data(), part.size());
        at += part.size();
        *at++ = ' ';
    }
    std::memcpy(at, number.data(), number.size());
    at += number.size();
    *at++ = ' ';
    std::memcpy(at, note.data(), note.size());
    at += note.size();
    *at++ = '\n';
    PutLocked(position_, line, length);
    position_ += static_cast<long>(length);
    markedAt_ = -1;
    if (position_ >= sizeLimit_) RotateLocked();
}

void Trace::RotateLocked() {
    // The full log becomes the previous one; the new log starts with a dated line that
    // says where the earlier lines are.
    CloseFileLocked();
    platform::RenameFile(tracePath_, previousPath_);
    OpenFileLocked();
    firstLine_ = true;
    if (fd_ < 0) return;
    char line[kTextSize];
    std::snprintf(line, sizeof line, "Earlier lines: %s", previousPath_);
    WriteLocked(line);
}

void Trace::WriteFormat(const char* format, ...) {
    char line[kTextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format ? format : "", args);
    va_end(args);
    Write(line);
}

void Trace::AppendNote(const char* text) {
    if (!text) return;
    platform::LockHolder hold(lock_);
    const size_t have = std::strlen(noteBuffer_);
    const size_t add = strnlen(text, kTextSize);
    if (have + add >= kTextSize) return;
    std::memcpy(noteBuffer_ + have, text, add);
    noteBuffer_[have + add] = '\0';
}

bool Trace::CheckGLErrors(const char* text) {
    platform::LockHolder hold(lock_);
    if (!GLContextIsCurrent()) return false;
    bool clean = true;
    for (int i = 0; i < kMaxGLErrors; ++i) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR) break;
        clean = false;
        const GLubyte* description = gluErrorString(error);
        WriteFormat("%s : (%i) %s <%i>", text ? text : "", 0,
                    description ? reinterpret_cast<const char*>(description) : "",
                    static_cast<int>(error));
        if (error == GL_STACK_OVERFLOW || error == GL_STACK_UNDERFLOW) DumpGLStacks();
    }
    return clean;
}

void Trace::DumpGLStacks() {
    static const struct {
        const char* format;
        GLenum name;
    } kStacks[] = {
        {"Projection stack size: %i", GL_PROJECTION_STACK_DEPTH},
        {"Max projection stack size: %i", GL_MAX_PROJECTION_STACK_DEPTH},
        {"Model view stack size: %i", GL_MODELVIEW_STACK_DEPTH},
        {"Max model view stack size: %i", GL_MAX_MODELVIEW_STACK_DEPTH},
        {"Attrib stack size: %i", GL_ATTRIB_STACK_DEPTH},
        {"Max attrib stack size: %i", GL_MAX_ATTRIB_STACK_DEPTH},
        {"Name stack size: %i", GL_NAME_STACK_DEPTH},
        {"Max name stack size: %i", GL_MAX_NAME_STACK_DEPTH},
    };
    platform::LockHolder hold(lock_);
    if (!GLContextIsCurrent()) return;
    for (const auto& stack : kStacks) {
        GLint value = 0;
        glGetIntegerv(stack.name, &value);
        char line[kTextSize];
        std::snprintf(line, sizeof line, stack.format, static_cast<int>(value));
        WriteLocked(line);
    }
}

void Trace::MarkFile() {
    platform::LockHolder hold(lock_);
    if (fd_ < 0) return;
    if (position_ < 0 || position_ == markedAt_) return;
    // One byte past the last line: the next line goes over the mark.
    PutLocked(position_, "a", 1);
    markedAt_ = position_;
}

void Trace::SetKeepForUpload(bool keep) {
    platform::LockHolder hold(lock_);
    keepForUpload_ = keep;
}

const char* Trace::FileName() {
    return kTraceName;
}

bool Trace::SetOpenMark(bool open) {
    return RegistrySetDouble(kLogsKey, kTraceName, open ? 1.0 : 0.0);
}

bool Trace::WasLeftOpen() {
    double value = 0.0;
    RegistryGetDouble(kLogsKey, kTraceName, &value);
    return value != 0.0;
}

Trace& theTrace() {
    // Made on first use rather than at load time, so that a process that never logs
    // (a test, a tool) leaves the temporary folder alone. The object stays valid to
    // the very end: at exit the log is closed and later writes do nothing.
    static Trace* const instance = [] {
        Trace* trace = new Trace();
        SetTraceWriteLog(trace);
        // What goes wrong with the settings store is logged, also what went wrong
        // before the log existed.
        platform::SetRegistryStoreReporter([](const std::string& line) { TraceWrite(line.c_str()); });
        std::atexit([] { theTrace().Close(); });
        return trace;
    }();
    return *instance;
}

void SetTraceWriteFile(FILE* file) {
    std::lock_guard<std::mutex> guard(g_traceWriteMutex);
    g_traceWriteFile = file;
}

void SetTraceWriteLog(Trace* log) {
    std::lock_guard<std::mutex> guard(g_traceWriteMutex);
    g_traceWriteLog = log;
}

Trace* GetTraceWriteLog() {
    std::lock_guard<std::mutex> guard(g_traceWriteMutex);
    return g_traceWriteLog;
}

void TraceWrite(const char* text) {
    std::lock_guard<std::mutex> guard(g_traceWriteMutex);
    if (g_traceWriteFile) {
        const DateTimeText when = NowText();
        std::fprintf(g_traceWriteFile, "%s %s %s\n", when.date, when.time, text ? text : "");
        std::fflush(g_traceWriteFile);
    } else if (g_traceWriteLog) {
        g_traceWriteLog->Write(text);
    }
}

bool TraceAssert(bool condition, const char* kind, const char* file, int line,
                 const char* message) {
    if (condition) return true;
    std::string head = std::string(kind ? kind : "") + " Failed";
    if (head.size() > 2047) head.resize(2047);
    TraceWrite(head.c_str());
    TraceWrite(file ? file : "");
    TraceWrite((std::to_string(line) + "  ---  failure line").c_str());
    TraceWrite(message ? message : "");
    return false;
}
