// Linked into every test and fuzz program: sanitizer defaults, so that a plain `ctest`,
// a test program run by hand or a fuzz run behaves the same as scripts/test, and a
// temporary folder of the process's own, so that test programs running side by side
// never share (and move aside) each other's trace logs or temporary files.

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

extern "C" {

const char* __asan_default_options() { return "detect_leaks=1:strict_string_checks=1"; }

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Leaks inside the system's OpenGL and font libraries, not ours.
const char* __lsan_default_suppressions() {
    return "leak:libOSMesa\n"
           "leak:libgallium\n"
           "leak:libLLVM\n"
           "leak:libfontconfig\n"
           "leak:libglib\n"
           // ... and inside the display's libraries (GTK, GLX, WebKit) for the gui tests.
           "leak:swrast_dri\n"
           "leak:libGLX_mesa\n"
           "leak:libX11\n"
           "leak:libgtk-3\n"
           "leak:libgdk-3\n"
           "leak:libgobject\n"
           "leak:libgio\n"
           "leak:libpango\n"
           "leak:libcairo\n"
           "leak:libwebkit2gtk\n"
           "leak:libjavascriptcoregtk\n"
           "leak:libdbus-1\n";
}

// Every race report counts; the run goes on to show them all and fails at its end. The
// system libraries (glib's worker pools, GTK's file chooser, fontconfig's start-up thread)
// are not built for the checker and hand data between their threads by means it cannot
// see: only accesses made by code built with it are checked, ours among them.
const char* __tsan_default_options() {
    return "halt_on_error=0:second_deadlock_stack=1:ignore_noninstrumented_modules=1";
}

// Reports that lie wholly inside system libraries, which are not built with the sanitizer
// and synchronise with locks it cannot see. A report with a frame of ours is fixed, never
// listed here. glibc's mktime reads the time zone again on every call (TZ unset) and
// frees and copies its name under a lock of glibc's own.
const char* __tsan_default_suppressions() { return "race:tzset_internal\n"; }
}

namespace {

std::string g_processTemp;
pid_t g_creator = 0;

void RemoveProcessTemp() {
    // A child made by fork() leaves the folder to its parent.
    if (g_processTemp.empty() || getpid() != g_creator) return;
    std::error_code ignored;
    std::filesystem::remove_all(g_processTemp, ignored);
}

struct ProcessTemp {
    ProcessTemp() {
        const char* base = getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/kivora-test-XXXXXX";
        if (!mkdtemp(pattern.data())) return;
        g_processTemp = pattern;
        g_creator = getpid();
        setenv("TMPDIR", g_processTemp.c_str(), 1);
        // Settings that GTK's dialogs store stay in the process: no settings daemon is
        // reached, and no test leaves a chosen folder or size behind for the next.
        setenv("GSETTINGS_BACKEND", "memory", 0);
        atexit(RemoveProcessTemp);
    }
} g_processTempSetup;

}  // namespace
