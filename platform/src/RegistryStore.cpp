#include "platform/RegistryStore.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

#include "platform/Clock.h"

namespace platform {
namespace {

constexpr size_t kMaxValueNameLength = 16383;
constexpr int kBusyTimeoutMs = 10000;

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

// The names of a key path; nullopt when one is too long.
std::optional<std::vector<std::string_view>> SplitKeyPath(std::string_view path) {
    std::vector<std::string_view> names;
    size_t i = 0;
    while (i < path.size()) {
        while (i < path.size() && IsSeparator(path[i])) ++i;
        size_t j = i;
        while (j < path.size() && !IsSeparator(path[j])) ++j;
        if (j > i) {
            if (j - i > kMaxNameLength) return std::nullopt;
            names.push_back(path.substr(i, j - i));
        }
        i = j;
    }
    return names;
}

std::string JoinLower(const std::vector<std::string_view>& names, size_t count) {
    std::string out;
    for (size_t k = 0; k < count; ++k) {
        if (k) out += '\\';
        out += Lower(names[k]);
    }
    return out;
}

bool ValidValueName(std::string_view name) {
    return name.size() <= kMaxValueNameLength;
}

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (db) sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt_ != nullptr; }
    Statement& Int(int index, int value) {
        sqlite3_bind_int(stmt_, index, value);
        return *this;
    }
    Statement& Text(int index, std::string_view text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Blob(int index, const void* data, size_t size) {
        if (size == 0 || !data)
            sqlite3_bind_zeroblob(stmt_, index, 0);
        else
            sqlite3_bind_blob(stmt_, index, data, static_cast<int>(size), SQLITE_TRANSIENT);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int Step() { return stmt_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }

    std::string ColumnText(int column) const {
        const unsigned char* t = sqlite3_column_text(stmt_, column);
        return t ? std::string(reinterpret_cast<const char*>(t),
                               static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    int ColumnInt(int column) const { return sqlite3_column_int(stmt_, column); }
    std::vector<unsigned char> ColumnBlob(int column) const {
        const void* b = sqlite3_column_blob(stmt_, column);
        const int n = sqlite3_column_bytes(stmt_, column);
        if (!b || n <= 0) return {};
        const auto* p = static_cast<const unsigned char*>(b);
        return std::vector<unsigned char>(p, p + n);
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

RegistryValue ReadValueRow(const Statement& s) {
    RegistryValue v;
    v.name = s.ColumnText(0);
    v.type = static_cast<RegistryType>(s.ColumnInt(1));
    v.data = s.ColumnBlob(2);
    return v;
}

std::string WithTrailingSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

// An object made on first use in static storage and never destroyed, so that it serves
// until the very end of the process. Unlike a leaked heap object it goes with the
// library that holds this code when that library is unloaded.
template <class T>
T& Immortal() {
    alignas(T) static unsigned char storage[sizeof(T)];
    static T* const object = new (storage) T();
    return *object;
}

// --- Reports --------------------------------------------------------------------------

constexpr size_t kKeptReports = 16;

struct Reports {
    std::mutex mutex;
    std::function<void(const std::string&)> receiver;
    std::vector<std::string> pending;
    std::optional<std::string> resetNotice;
};

Reports& TheReports() {
    return Immortal<Reports>();
}

void Report(const std::string& line) {
    Reports& reports = TheReports();
    std::function<void(const std::string&)> receiver;
    {
        std::lock_guard<std::mutex> guard(reports.mutex);
        if (!reports.receiver) {
            reports.pending.push_back(line);
            if (reports.pending.size() > kKeptReports) reports.pending.erase(reports.pending.begin());
            return;
        }
        receiver = reports.receiver;
    }
    receiver(line);
}

// SQLite's own words for a failure, with the system's where it has some.
std::string Describe(sqlite3* db, int code) {
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    const int system = db ? sqlite3_system_errno(db) : 0;
    if (system != 0) text += std::string(" (") + std::strerror(system) + ")";
    return text;
}

bool IsDamage(int code) {
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

}  // namespace

void SetRegistryStoreReporter(std::function<void(const std::string& line)> receiver) {
    Reports& reports = TheReports();
    std::vector<std::string> held;
    {
        std::lock_guard<std::mutex> guard(reports.mutex);
        reports.receiver = std::move(receiver);
        if (reports.receiver) held.swap(reports.pending);
    }
    for (const std::string& line : held) Report(line);
}

std::optional<std::string> TakeRegistryResetNotice() {
    Reports& reports = TheReports();
    std::lock_guard<std::mutex> guard(reports.mutex);
    std::optional<std::string> notice;
    notice.swap(reports.resetNotice);
    return notice;
}

std::optional<std::string> CanonicalKeyPath(std::string_view path) {
    auto names = SplitKeyPath(path);
    if (!names) return std::nullopt;
    return JoinLower(*names, names->size());
}

std::string RegistryFolder() {
    if (const char* dir = std::getenv("KIVORA_REGISTRY_DIR"); dir && *dir)
        return WithTrailingSlash(dir);
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return WithTrailingSlash(xdg) + "kivora/";
    if (const char* home = std::getenv("HOME"); home && *home)
        return WithTrailingSlash(home) + ".config/kivora/";
    return "/tmp/kivora-" + std::to_string(getuid()) + "/";
}

RegistryStore::RegistryStore(const std::string& path) : path_(path) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, ec)) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            problem_ = "its folder " + folder.string() + " cannot be made: " + ec.message();
            return;
        }
        chmod(folder.c_str(), 0700);
    }
    const int code = Open();
    if (!IsDamage(code)) return;
    const std::string damage = problem_;
    if (!MoveAside()) {
        problem_ = damage + "; the damaged file cannot be moved aside: " + std::strerror(errno);
        return;
    }
    Report("The registry store " + path_ + " was damaged (" + damage + "); it was moved to " +
           movedAside_ + " and a fresh store started");
    Open();
}

RegistryStore::~RegistryStore() {
    Close();
}

int RegistryStore::Open() {
    problem_.clear();
    int code = sqlite3_open_v2(path_.c_str(), &db_,
                               SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                               nullptr);
    auto fail = [&](int failure) {
        problem_ = Describe(db_, failure);
        Close();
        return failure;
    };
    if (code != SQLITE_OK) return fail(code);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);

    // A file that is no database, or one whose pages do not hold together, is damaged.
    {
        Statement check(db_, "PRAGMA quick_check(1)");
        if (!check.Ok()) return fail(sqlite3_errcode(db_));
        code = check.Step();
        if (code != SQLITE_ROW) return fail(code);
        const std::string answer = check.ColumnText(0);
        if (answer != "ok") {
            problem_ = answer;
            Close();
            return SQLITE_CORRUPT;
        }
    }
    // WAL lets readers and a writer of other processes work at once; FULL makes
    // every commit reach the disk before the call returns.
    const char* const kSetup[] = {
        "PRAGMA journal_mode=WAL",
        "PRAGMA synchronous=FULL",
        "BEGIN IMMEDIATE",
        "CREATE TABLE IF NOT EXISTS keys(root INTEGER NOT NULL, path TEXT NOT NULL, parent TEXT "
        "NOT NULL, name TEXT NOT NULL, PRIMARY KEY(root, path)) WITHOUT ROWID",
        "CREATE INDEX IF NOT EXISTS keys_parent ON keys(root, parent, path)",
        "CREATE TABLE IF NOT EXISTS vals(root INTEGER NOT NULL, path TEXT NOT NULL, lname TEXT "
        "NOT NULL, name TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY "
        "KEY(root, path, lname)) WITHOUT ROWID",
        "COMMIT",
    };
    for (const char* sql : kSetup) {
        code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
        if (code != SQLITE_OK) return fail(code);
    }
    return SQLITE_OK;
}

void RegistryStore::Close() {
    // A statement still alive (a failed check) is finalised later: the connection goes
    // then.
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool RegistryStore::MoveAside() {
    Close();
    const LocalTime t = GetLocalTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    const std::string base = path_ + ".damaged-" + stamp;
    std::string target = base;
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(target, ec); ++n) target = base + "-" + std::to_string(n);
    if (std::rename(path_.c_str(), target.c_str()) != 0) return false;
    // The journal files belong to the damaged file: they go with it, so that the fresh
    // store does not take them for its own.
    for (const char* side : {"-wal", "-shm"})
        std::rename((path_ + side).c_str(), (target + side).c_str());
    movedAside_ = target;
    return true;
}

std::shared_ptr<RegistryStore> RegistryStore::ForCurrentUser() {
    static std::mutex mutex;
    static std::shared_ptr<RegistryStore> current;
    static pid_t owner = 0;
    // The last reason reported for a store that could not be opened; empty while open.
    static std::string reported;
    // Connections inherited over fork() must not be used (nor closed) by the child;
    // they are kept here, unused.
    auto& abandoned = Immortal<std::vector<std::shared_ptr<RegistryStore>>>();

    const std::string path = RegistryFolder() + "registry.sqlite";
    std::lock_guard<std::mutex> guard(mutex);
    const pid_t pid = getpid();
    if (current && owner != pid) abandoned.push_back(std::move(current));
    // A store that could not be opened is tried again: its reason may have passed.
    if (current && current->Path() == path && current->IsOpen()) return current;

    current = std::make_shared<RegistryStore>(path);
    owner = pid;
    if (!current->IsOpen()) {
        const std::string problem = path + ": " + current->Problem();
        if (problem != reported) {
            reported = problem;
            Report("The registry store " + path + " cannot be opened: " + current->Problem() +
                   "; settings are not kept until it can");
        }
        return current;
    }
    if (!reported.empty()) {
        reported.clear();
        Report("The registry store " + path + " is open again");
    }
    if (!current->MovedAside().empty()) {
        Reports& reports = TheReports();
        std::lock_guard<std::mutex> hold(reports.mutex);
        reports.resetNotice = current->MovedAside();
    }
    return current;
}

bool RegistryStore::Exec(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool RegistryStore::Begin() {
    return Exec("BEGIN IMMEDIATE");
}

bool RegistryStore::Commit() {
    if (Exec("COMMIT")) return true;
    Rollback();
    return false;
}

void RegistryStore::Rollback() {
    if (db_ && !sqlite3_get_autocommit(db_)) Exec("ROLLBACK");
}

bool RegistryStore::InsertKeyChain(int root, const std::string& canonical, std::string_view path) {
    if (canonical.empty()) return true;
    auto names = SplitKeyPath(path);
    if (!names) return false;
    for (size_t k = 1; k <= names->size(); ++k) {
        Statement s(db_, "INSERT OR IGNORE INTO keys(root, path, parent, name) VALUES(?,?,?,?)");
        if (!s.Int(1, root)
                 .Text(2, JoinLower(*names, k))
                 .Text(3, JoinLower(*names, k - 1))
                 .Text(4, (*names)[k - 1])
                 .Run())
            return false;
    }
    return true;
}

bool RegistryStore::CreateKey(RegistryRoot root, std::string_view path) {
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical) return false;
    if (KeyExists(root, path)) return true;
    std::lock_guard<std::mutex> guard(mutex_);
    if (!Begin()) return false;
    if (!InsertKeyChain(static_cast<int>(root), *canonical, path)) {
        Rollback();
        return false;
    }
    return Commit();
}

bool RegistryStore::KeyExists(RegistryRoot root, std::string_view path) {
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical || !db_) return false;
    if (canonical->empty()) return true;
    std::lock_guard<std::mutex> guard(mutex_);
    Statement s(db_, "SELECT 1 FROM keys WHERE root=? AND path=?");
    return s.Int(1, static_cast<int>(root)).Text(2, *canonical).Step() == SQLITE_ROW;
}

bool RegistryStore::DeleteKey(RegistryRoot root, std::string_view path) {
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical || canonical->empty()) return false;
    // Every path below the key lies between "key\" and "key]" (']' follows '\').
    const std::string low = *canonical + '\\';
    const std::string high = *canonical + ']';
    std::lock_guard<std::mutex> guard(mutex_);
    if (!Begin()) return false;
    Statement keys(db_, "DELETE FROM keys WHERE root=?1 AND (path=?2 OR (path>=?3 AND path<?4))");
    Statement vals(db_, "DELETE FROM vals WHERE root=?1 AND (path=?2 OR (path>=?3 AND path<?4))");
    const int r = static_cast<int>(root);
    if (!keys.Int(1, r).Text(2, *canonical).Text(3, low).Text(4, high).Run() ||
        !vals.Int(1, r).Text(2, *canonical).Text(3, low).Text(4, high).Run()) {
        Rollback();
        return false;
    }
    return Commit();
}

std::vector<std::string> RegistryStore::ListSubkeys(RegistryRoot root, std::string_view path) {
    std::vector<std::string> out;
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical) return out;
    std::lock_guard<std::mutex> guard(mutex_);
    Statement s(db_, "SELECT name FROM keys WHERE root=? AND parent=? ORDER BY path");
    s.Int(1, static_cast<int>(root)).Text(2, *canonical);
    while (s.Step() == SQLITE_ROW) out.push_back(s.ColumnText(0));
    return out;
}

bool RegistryStore::SetValue(RegistryRoot root, std::string_view path, std::string_view name,
                             RegistryType type, const void* data, size_t size) {
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical || !ValidValueName(name)) return false;
    if (type == RegistryType::Number32 && size != 4) return false;
    if (size > 0 && !data) return false;
    if (size > static_cast<size_t>(1) << 30) return false;
    std::lock_guard<std::mutex> guard(mutex_);
    if (!Begin()) return false;
    Statement s(db_,
                "INSERT INTO vals(root, path, lname, name, type, data) VALUES(?,?,?,?,?,?) "
                "ON CONFLICT(root, path, lname) DO UPDATE SET type=excluded.type, "
                "data=excluded.data");
    const int r = static_cast<int>(root);
    if (!InsertKeyChain(r, *canonical, path) || !s.Int(1, r)
                                                     .Text(2, *canonical)
                                                     .Text(3, Lower(name))
                                                     .Text(4, name)
                                                     .Int(5, static_cast<int>(type))
                                                     .Blob(6, data, size)
                                                     .Run()) {
        Rollback();
        return false;
    }
    return Commit();
}

std::optional<RegistryValue> RegistryStore::GetValue(RegistryRoot root, std::string_view path,
                                                     std::string_view name) {
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical || !ValidValueName(name)) return std::nullopt;
    std::lock_guard<std::mutex> guard(mutex_);
    Statement s(db_, "SELECT name, type, data FROM vals WHERE root=? AND path=? AND lname=?");
    s.Int(1, static_cast<int>(root)).Text(2, *canonical).Text(3, Lower(name));
    if (s.Step() != SQLITE_ROW) return std::nullopt;
    return ReadValueRow(s);
}

bool RegistryStore::DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) {
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical || !ValidValueName(name)) return false;
    std::lock_guard<std::mutex> guard(mutex_);
    Statement s(db_, "DELETE FROM vals WHERE root=? AND path=? AND lname=?");
    if (!s.Int(1, static_cast<int>(root)).Text(2, *canonical).Text(3, Lower(name)).Run())
        return false;
    return sqlite3_changes(db_) > 0;
}

std::vector<RegistryValue> RegistryStore::ListValues(RegistryRoot root, std::string_view path) {
    std::vector<RegistryValue> out;
    const auto canonical = CanonicalKeyPath(path);
    if (!canonical) return out;
    std::lock_guard<std::mutex> guard(mutex_);
    Statement s(db_, "SELECT name, type, data FROM vals WHERE root=? AND path=? ORDER BY lname");
    s.Int(1, static_cast<int>(root)).Text(2, *canonical);
    while (s.Step() == SQLITE_ROW) out.push_back(ReadValueRow(s));
    return out;
}

bool RegistryStore::SetString(RegistryRoot root, std::string_view path, std::string_view name,
                              std::string_view text) {
    return SetValue(root, path, name, RegistryType::String, text.data(), text.size());
}

bool RegistryStore::SetNumber32(RegistryRoot root, std::string_view path, std::string_view name,
                                uint32_t number) {
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(number), static_cast<unsigned char>(number >> 8),
        static_cast<unsigned char>(number >> 16), static_cast<unsigned char>(number >> 24)};
    return SetValue(root, path, name, RegistryType::Number32, bytes, sizeof bytes);
}

std::optional<std::string> RegistryStore::GetString(RegistryRoot root, std::string_view path,
                                                    std::string_view name) {
    auto v = GetValue(root, path, name);
    if (!v || v->type != RegistryType::String) return std::nullopt;
    std::string text(v->data.begin(), v->data.end());
    if (const size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
    return text;
}

std::optional<uint32_t> RegistryStore::GetNumber32(RegistryRoot root, std::string_view path,
                                                   std::string_view name) {
    auto v = GetValue(root, path, name);
    if (!v || v->type != RegistryType::Number32 || v->data.size() != 4) return std::nullopt;
    return static_cast<uint32_t>(v->data[0]) | static_cast<uint32_t>(v->data[1]) << 8 |
           static_cast<uint32_t>(v->data[2]) << 16 | static_cast<uint32_t>(v->data[3]) << 24;
}

}  // namespace platform
