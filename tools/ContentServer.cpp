#include "ContentServer.h"

#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

constexpr size_t kMaxPathLength = 255;
constexpr int kTipCount = 45;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The site path of a request path: lower case, without the leading '/'; empty when the
// path is not one the site could hold (other characters, "." or ".." parts, too long).
std::string SitePath(const std::string& requestPath) {
    if (requestPath.empty() || requestPath[0] != '/' || requestPath.size() > kMaxPathLength)
        return {};
    std::string path = Lower(requestPath.substr(1));
    if (path.empty()) return "index.html";
    for (char c : path)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-' &&
            c != '/')
            return {};
    std::stringstream parts(path);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part.empty() || part == "." || part == "..") return {};
    if (path.back() == '/') return {};
    return path;
}

bool EndsWith(const std::string& text, const char* end) {
    const size_t n = std::strlen(end);
    return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

bool IsPage(const std::string& path) {
    return EndsWith(path, ".aspx") || EndsWith(path, ".htm") || EndsWith(path, ".html");
}

const char* ContentType(const std::string& path) {
    if (IsPage(path)) return "text/html; charset=utf-8";
    if (EndsWith(path, ".png")) return "image/png";
    if (EndsWith(path, ".jpg")) return "image/jpeg";
    if (EndsWith(path, ".txt")) return "text/plain";
    if (EndsWith(path, ".xml")) return "text/xml";
    if (EndsWith(path, ".css")) return "text/css";
    if (EndsWith(path, ".js")) return "text/javascript";
    return "application/octet-stream";
}

bool ReadFile(const std::string& path, std::string* bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    *bytes = s.str();
    return true;
}

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A text as one part of a file name: letters, digits, '.', '_' and '-', at most 64.
std::string FileNamePart(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool plain =
            std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        out += plain ? c : '_';
        if (out.size() == 64) break;
    }
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// The query of the request line only (a form body's fields do not count as commands).
httplib::Params QueryOf(const httplib::Request& request) {
    httplib::Params params;
    const size_t mark = request.target.find('?');
    if (mark != std::string::npos)
        httplib::detail::parse_query_text(request.target.substr(mark + 1), params);
    return params;
}

std::string Param(const httplib::Params& params, const char* name) {
    for (const auto& [key, value] : params)
        if (strcasecmp(key.c_str(), name) == 0) return value;
    return {};
}

bool Has(const httplib::Params& params, const char* name) {
    for (const auto& entry : params)
        if (strcasecmp(entry.first.c_str(), name) == 0) return true;
    return false;
}

void Fail(httplib::Response& response, int status, const char* text) {
    response.status = status;
    response.set_content(text, "text/plain");
}

const char* const kTips[] = {
    "Drag a piece of furniture from the directory into the view to place it.",
    "Hold the right mouse button and move the mouse to orbit around the house.",
    "Press Ctrl+Z to undo the last change, and Ctrl+Y to redo it.",
    "Drop a material from the directory on a wall or a floor to paint it.",
    "Double-click a wall to see and change its properties.",
    "The wizards build a whole house from a few answers.",
};

}  // namespace

ContentServer::ContentServer(std::string site, std::string uploads)
    : site_(std::move(site)), uploads_(std::move(uploads)) {
    if (!site_.empty() && site_.back() != '/') site_ += '/';
    if (!uploads_.empty() && uploads_.back() != '/') uploads_ += '/';
    Route();
}

ContentServer::~ContentServer() {
    Stop();
}

std::string ContentServer::Address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

int ContentServer::UploadCount(const std::string& kind) const {
    std::lock_guard<std::mutex> guard(mutex_);
    const auto found = counts_.find(kind);
    return found == counts_.end() ? 0 : found->second;
}

bool ContentServer::Start(int port) {
    if (thread_.joinable()) return false;
    port_ = 0;
    if (port > 0 && server_.bind_to_port("127.0.0.1", port)) port_ = port;
    if (port_ == 0) port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        port_ = 0;
        return false;
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!server_.is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return server_.is_running();
}

void ContentServer::Stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
}

void ContentServer::Route() {
    server_.set_payload_max_length(kMaxBodyBytes);
    server_.set_exception_handler(
        [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
            Fail(response, 500, "The server could not answer this request");
        });
    auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        const std::string path = SitePath(request.path);
        if (path == "kvrqueryentrance.aspx") return Query(request, response);
        if (path == "getuserstatus.aspx") return response.set_content("Active", "text/plain");
        if (path == "billmaterials.aspx") return BillOfMaterials(request, response);
        if (path == "duzazododiza/genericobjectpages/genericobjectpage.aspx")
            return ObjectPage(request, response);
        if (path.rfind("pages/tips/tips_", 0) == 0) return Tip(request, response);
        ServeFile(request, response);
    };
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    auto refuse = [](const httplib::Request&, httplib::Response& response) {
        Fail(response, 405, "Method not allowed");
    };
    server_.Put(".*", refuse);
    server_.Delete(".*", refuse);
    server_.Patch(".*", refuse);
}

std::string ContentServer::Page(const httplib::Request& request, const std::string& text) const {
    std::string host = request.get_header_value("Host");
    bool plain = !host.empty() && host.size() <= kMaxPathLength;
    for (char c : host)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != ':' && c != '-')
            plain = false;
    if (!plain) host = Address();
    std::string user = Param(QueryOf(request), "userID");
    if (user.empty()) user = "0";
    std::string page = text;
    ReplaceAll(page, "{{DOMAIN}}", host);
    ReplaceAll(page, "{{USERID}}", EscapeHtml(user));
    return page;
}

void ContentServer::ServeFile(const httplib::Request& request, httplib::Response& response) {
    const std::string path = SitePath(request.path);
    if (path.empty()) return Fail(response, 400, "Bad path");
    std::string bytes;
    if (!ReadFile(site_ + path, &bytes)) return Fail(response, 404, "Not found");
    if (IsPage(path)) bytes = Page(request, bytes);
    response.set_content(bytes, ContentType(path));
}

std::string ContentServer::SignIn(const std::string& user, const std::string& password) const {
    std::string accounts;
    if (user.empty() || !ReadFile(site_ + "accounts.txt", &accounts)) return "Invalid Username";
    std::istringstream lines(accounts);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string email, secret, id;
        if (!(fields >> email >> secret >> id)) continue;
        if (strcasecmp(email.c_str(), user.c_str()) != 0) continue;
        return secret == password ? id : "Invalid Password";
    }
    return "Invalid Username";
}

std::string ContentServer::Keep(const std::string& kind, const std::string& user,
                                const std::string& name, const std::string& body) {
    int sequence;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        sequence = ++counts_[kind];
    }
    const std::string folder = uploads_ + kind;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string path = folder + "/" + std::to_string(sequence) + "-" + FileNamePart(user) +
                             "-" + FileNamePart(name);
    std::ofstream out(path, std::ios::binary);
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    return out ? path : std::string();
}

void ContentServer::Query(const httplib::Request& request, httplib::Response& response) {
    const httplib::Params query = QueryOf(request);
    const bool post = request.method == "POST";
    if (Has(query, "getID")) {
        return response.set_content(SignIn(Param(query, "uname"), Param(query, "upw")),
                                    "text/plain");
    }
    if (Has(query, "errPost")) {
        if (!post || request.body.empty()) return Fail(response, 400, "No log sent");
        std::string name = Param(query, "filename");
        if (name.empty()) name = Param(query, "fileName");
        if (Keep("logs", Param(query, "userID"), name.empty() ? "log.txt" : name, request.body)
                .empty())
            return Fail(response, 500, "The log could not be kept");
        return response.set_content("OK", "text/plain");
    }
    if (Has(query, "billMat")) {
        if (!post || request.body.empty()) return Fail(response, 400, "No bill of materials sent");
        if (Keep("bills", Param(query, "userID"), "plan.xml", request.body).empty())
            return Fail(response, 500, "The bill of materials could not be kept");
        return response.set_content("OK", "text/plain");
    }
    if (Has(query, "pcSet")) {
        if (!post || request.body.empty()) return Fail(response, 400, "No findings sent");
        if (Keep("probe", Param(query, "userId"), "settings.txt", request.body).empty())
            return response.set_content("FAILED", "text/plain");
        return response.set_content("SUCCESS", "text/plain");
    }
    if (Has(query, "defSettings")) {
        // Shadows from depth maps only where the renderer is not a software one.
        const std::string renderer = Lower(Param(query, "cardName"));
        const bool software = renderer.find("llvmpipe") != std::string::npos ||
                              renderer.find("softpipe") != std::string::npos ||
                              renderer.find("software") != std::string::npos;
        return response.set_content(
            software ? "S 1 1 0 1 2 1 1 1024 1024 800 600" : "S 1 1 1 1 2 1 1 2048 2048 1024 768",
            "text/plain");
    }
    if (Has(query, "getPage")) {
        const std::string name = Lower(Param(query, "pageName"));
        if (!name.empty() && name.size() < 64 &&
            name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos) {
            std::string page;
            if (ReadFile(site_ + "pages/" + name + ".aspx", &page))
                return response.set_content(Page(request, page), "text/html; charset=utf-8");
        }
        return response.set_content("No Page", "text/plain");
    }
    Fail(response, 400, "Unknown command");
}

void ContentServer::BillOfMaterials(const httplib::Request& request, httplib::Response& response) {
    const std::string user = FileNamePart(Param(QueryOf(request), "userID"));
    std::string latest;
    int latestNumber = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(uploads_ + "bills", error)) {
        const std::string name = entry.path().filename().string();
        const size_t dash = name.find('-');
        if (dash == std::string::npos || name.compare(dash + 1, user.size() + 1, user + "-") != 0)
            continue;
        const int number = std::atoi(name.substr(0, dash).c_str());
        if (number > latestNumber) {
            latestNumber = number;
            latest = entry.path().string();
        }
    }
    std::string bill;
    std::string body =
        "<html><head><title>List of Materials</title></head><body>"
        "<h1>List of Materials</h1>";
    if (!latest.empty() && ReadFile(latest, &bill))
        body += "<pre>" + EscapeHtml(bill) + "</pre>";
    else
        body += "<p>No list of materials was sent for this plan yet.</p>";
    body += "</body></html>";
    response.set_content(body, "text/html; charset=utf-8");
}

void ContentServer::Tip(const httplib::Request& request, httplib::Response& response) {
    // "pages/tips/tips_" + number + ".aspx"
    const std::string path = SitePath(request.path);
    static const std::string kStart = "pages/tips/tips_";
    const std::string digits = path.size() > kStart.size() + 5
                                   ? path.substr(kStart.size(), path.size() - kStart.size() - 5)
                                   : std::string();
    if (!EndsWith(path, ".aspx") || digits.empty() || digits.size() > 3 ||
        digits.find_first_not_of("0123456789") != std::string::npos)
        return Fail(response, 404, "Not found");
    const int number = std::atoi(digits.c_str());
    if (number < 1 || number > kTipCount) return Fail(response, 404, "Not found");
    const int count = static_cast<int>(sizeof kTips / sizeof kTips[0]);
    const int next = number % kTipCount + 1;
    const std::string body =
        "<html><head><title>Tip of the Day</title></head><body><h2>Tip " + std::to_string(number) +
        "</h2><p>" + EscapeHtml(kTips[(number - 1) % count]) +
        "</p><p><a href=\"/pages/Tips/Tips_" + std::to_string(next) +
        ".aspx?curnum=" + std::to_string(next) + "&amp;totalnum=" + std::to_string(kTipCount) +
        "\">Next tip</a></p></body></html>";
    response.set_content(body, "text/html; charset=utf-8");
}

void ContentServer::ObjectPage(const httplib::Request& request, httplib::Response& response) {
    std::string body =
        "<html><head><title>About this object</title></head><body>"
        "<h2>About this object</h2><table>";
    for (const auto& [key, value] : QueryOf(request))
        body += "<tr><th>" + EscapeHtml(key) + "</th><td>" + EscapeHtml(value) + "</td></tr>";
    body += "</table></body></html>";
    response.set_content(body, "text/html; charset=utf-8");
}
