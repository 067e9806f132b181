// Sanitizer defaults linked into every test and fuzz program, so that a plain
// `ctest` or a fuzz run behaves the same as scripts/test.

extern "C" {

const char* __asan_default_options() { return "detect_leaks=1:strict_string_checks=1"; }

const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

// Leaks inside the system's OpenGL and font libraries, not ours.
const char* __lsan_default_suppressions() {
    return "leak:libOSMesa\n"
           "leak:libgallium\n"
           "leak:libLLVM\n"
           "leak:libfontconfig\n"
           "leak:libglib\n";
}

}
