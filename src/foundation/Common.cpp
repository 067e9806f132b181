#include "foundation/Common.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "foundation/Registry.h"
#include "foundation/Trace.h"
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
