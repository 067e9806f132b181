#pragma once

#include <string>

// Longest server address or host text kept, in characters.
constexpr size_t kMaxServerAddressLength = 259;

// The host part of a server text: a leading "http://" (in any letter case) is dropped and
// one trailing '/' or '\' removed; a ":port" stays. False, with a trace, for a null, empty
// or over-long text.
bool NormalizeServerAddress(const char* text, std::string* host);

// Stores the normalised address as the content server's address and checks it by reading
// it back ("WEBDOMAIN not set properly" when they differ). False when it could not be
// stored.
bool SetServerAddress(const char* address);
// The stored server address; empty when none is stored.
std::string GetServerAddress();

// The program's own folder: the program files folder followed by "/Kivora/Duzazododiza".
// Empty, with a trace, when the program files folder is unknown.
std::string GetProgramFolder();

// Writes "Last error : " and the calling thread's last system error code in hexadecimal
// to the trace.
void TraceLastError();

// One-way transform of an account name or password before it goes into a page address:
// every byte c becomes (c >> 1) + 10. The result has the text's length.
std::string ScrambleCredential(const char* text);

// `text` percent-encoded for use as one value in a page address: every byte but letters,
// digits and "-._~" becomes "%XX".
std::string EncodeQueryValue(const char* text);

// What is sent of a log file: the whole file up to 1279 bytes, else its first 256
// bytes, three line feeds and the 1024 bytes that start 1025 bytes before its end.
// Empty when the file is missing or empty.
std::string TraceLogExcerpt(const char* path);

// A menu entry of the desktop: `folder`/`name`.desktop starts `target` with `arguments`
// (may be empty), shown as `title` (the name when empty). With `opensFiles` the entry
// takes the file it is asked to open as one more argument; `mimeType` names the files it
// opens; a hidden entry is not listed in menus.
struct DesktopEntry {
    std::string name;
    std::string title;
    std::string target;
    std::string arguments;
    bool opensFiles = false;
    std::string mimeType;
    bool hidden = false;
};

// Writes the entry (replacing one of that name). False, with a trace, when the name or
// the target is empty; false when a text holds a line break, the name a '/', or the file
// cannot be written.
bool WriteDesktopEntry(const std::string& folder, const DesktopEntry& entry);
inline bool WriteDesktopEntry(const std::string& folder, const std::string& name,
                              const std::string& target, const std::string& arguments) {
    DesktopEntry entry;
    entry.name = name;
    entry.target = target;
    entry.arguments = arguments;
    return WriteDesktopEntry(folder, entry);
}
