#include "foundation/Common.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "platform/Files.h"
#include "platform/ProgramFiles.h"

namespace {

bool StartsWithHttpScheme(const char* text) {
    static const char kScheme[] = "http://";
    for (size_t i = 0; i + 1 < sizeof kScheme; ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != kScheme[i]) return false;
    return true;
}

}  // namespace

bool NormalizeServerAddress(const char* text, std::string* host) {
    if (!PRECONDITION(text && *text, "serverDomain is NULL")) return false;
    std::string s = StartsWithHttpScheme(text) ? text + 7 : text;
    if (!s.empty() && (s.back() == '/' || s.back() == '\\')) s.pop_back();
    if (!PRECONDITION(!s.empty() && s.size() <= kMaxServerAddressLength,
                      "server address empty or too long"))
        return false;
    *host = std::move(s);
    return true;
}

bool SetServerAddress(const char* address) {
    std::string host;
    if (!NormalizeServerAddress(address, &host)) return false;
    if (!POSTCONDITION(RegistrySetString("", "address", host.c_str()),
                       "Writing the server address failed"))
        return false;
    return POSTCONDITION(GetServerAddress() == host, "WEBDOMAIN not set properly");
}

std::string GetServerAddress() {
    char address[512] = "";
    RegistryGetString("", "address", address, sizeof address);
    return address;
}

std::string GetProgramFolder() {
    const std::string programFiles = platform::GetProgramFilesFolder();
    if (!POSTCONDITION(!programFiles.empty(), "Failed to get program files folder")) return {};
    return programFiles + "/Kivora/Duzazododiza";
}

void TraceLastError() {
    char line[64];
    std::snprintf(line, sizeof line, "Last error : %X", static_cast<unsigned>(errno));
    TraceWrite(line);
}

std::string ScrambleCredential(const char* text) {
    std::string out;
    if (!text) return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p)
        out += static_cast<char>((*p >> 1) + 10);
    return out;
}

std::string EncodeQueryValue(const char* text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    if (!text) return out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        const unsigned char c = *p;
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string TraceLogExcerpt(const char* path) {
    FILE* file = path ? std::fopen(path, "rb") : nullptr;
    if (!file) return {};
    std::string whole;
    char block[4096];
    size_t n;
    // Only the ends are kept: the first 256 bytes and a window of the last 1025.
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) {
        whole.append(block, n);
        if (whole.size() > 64 * 1024) whole.erase(256, whole.size() - 256 - 1025);
    }
    std::fclose(file);
    if (whole.size() <= 1279) return whole;
    return whole.substr(0, 256) + "\n\n\n" + whole.substr(whole.size() - 1025, 1024);
}

namespace {

// A text as one argument of a menu entry's command line: in double quotes, with the
// characters the quotes do not protect escaped.
std::string QuotedArgument(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A command line as the value of an entry's "Exec" key.
std::string ExecValue(const std::string& command) {
    std::string out;
    for (char c : command) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

bool WriteDesktopEntry(const std::string& folder, const DesktopEntry& entry) {
    if (folder.empty() || entry.name.empty() || entry.target.empty()) {
        TraceWrite("One or more shortcut parameters incorrect");
        return false;
    }
    for (const std::string* text :
         {&entry.name, &entry.title, &entry.target, &entry.arguments, &entry.mimeType})
        if (HasLineBreak(*text)) return false;
    if (entry.name.find('/') != std::string::npos) return false;
    std::string command = QuotedArgument(entry.target);
    if (!entry.arguments.empty()) command += " " + entry.arguments;
    std::string exec = ExecValue(command);
    if (entry.opensFiles) exec += " %f";
    const std::string path = folder + "/" + entry.name + ".desktop";
    const std::string temporary = path + ".new";
    FILE* file = std::fopen(temporary.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, "[Desktop Entry]\nType=Application\nName=%s\nExec=%s\nTerminal=false\n",
                 (entry.title.empty() ? entry.name : entry.title).c_str(), exec.c_str());
    if (!entry.mimeType.empty()) std::fprintf(file, "MimeType=%s;\n", entry.mimeType.c_str());
    if (entry.hidden) std::fprintf(file, "NoDisplay=true\n");
    const bool written = std::ferror(file) == 0;
    if (std::fclose(file) != 0 || !written ||
        !platform::RenameFile(temporary.c_str(), path.c_str())) {
        platform::DeleteFile(temporary.c_str());
        return false;
    }
    return true;
}
