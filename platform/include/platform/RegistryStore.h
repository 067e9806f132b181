#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace platform {

// A persistent tree of keys holding typed values, kept in one SQLite database per
// user and shared by every process of that user.
//
// Key paths are names joined by '\' (or '/'); doubled, leading and trailing
// separators do not count, so "a\\b\" and "a\b" are the same key. Key and value
// names are compared without regard to ASCII letter case and keep the case they
// were first written with. A name may hold at most `kMaxNameLength` characters.
//
// Every write is its own transaction and is on disk when the call returns; other
// processes see it at once. A busy database is waited for (up to a few seconds).
//
// A damaged database (not a database, or failing its quick check) is moved aside,
// kept under its name followed by ".damaged-" and the local time, and a fresh one is
// started in its place. A store that cannot be opened for another reason (its folder
// cannot be made or written, the disk is full) stays closed and says why; the current
// user's store is tried again on its next use.

enum class RegistryRoot : int {
    CurrentUser = 0,
    LocalMachine = 1,
    Classes = 2,
};

enum class RegistryType : int {
    String = 1,    // text bytes, stored as given (no terminating zero is added)
    Binary = 3,    // raw bytes
    Number32 = 4,  // 32-bit number, 4 bytes little-endian
};

struct RegistryValue {
    std::string name;
    RegistryType type = RegistryType::Binary;
    std::vector<unsigned char> data;
};

inline constexpr size_t kMaxNameLength = 255;

// The key path in its compared form: lower case, separators '\', no empty names.
// Empty when the path names the root itself; nullopt when a name is too long.
std::optional<std::string> CanonicalKeyPath(std::string_view path);

// The folder of the current user's store: $KIVORA_REGISTRY_DIR when set, else
// $XDG_CONFIG_HOME/kivora/, else $HOME/.config/kivora/ (with a trailing '/').
std::string RegistryFolder();

class RegistryStore {
public:
    // Opens (creating it and its folder when missing) the database file at `path`;
    // a damaged one is moved aside first.
    explicit RegistryStore(const std::string& path);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    // The current user's store in `RegistryFolder()`: one per process, opened again
    // when the folder changes, in a child process after fork(), and on every use while
    // it could not be opened. Never null; it may be closed.
    static std::shared_ptr<RegistryStore> ForCurrentUser();

    bool IsOpen() const { return db_ != nullptr; }
    const std::string& Path() const { return path_; }
    // Why the store is closed (empty while it is open).
    const std::string& Problem() const { return problem_; }
    // Where a damaged database was moved before this one started afresh; empty when
    // nothing was moved.
    const std::string& MovedAside() const { return movedAside_; }

    // Creates the key and every missing key above it; true when it exists after.
    bool CreateKey(RegistryRoot root, std::string_view path);
    bool KeyExists(RegistryRoot root, std::string_view path);
    // Deletes the key with all its subkeys and values. The root itself cannot be
    // deleted. A key that does not exist counts as deleted.
    bool DeleteKey(RegistryRoot root, std::string_view path);
    // Names of the direct subkeys, as written, in compared-name order.
    std::vector<std::string> ListSubkeys(RegistryRoot root, std::string_view path);

    // Writes a value, creating the key when missing. A Number32 value must be 4 bytes.
    bool SetValue(RegistryRoot root, std::string_view path, std::string_view name,
                  RegistryType type, const void* data, size_t size);
    std::optional<RegistryValue> GetValue(RegistryRoot root, std::string_view path,
                                          std::string_view name);
    // False when the value was not there.
    bool DeleteValue(RegistryRoot root, std::string_view path, std::string_view name);
    // Values of the key in compared-name order.
    std::vector<RegistryValue> ListValues(RegistryRoot root, std::string_view path);

    bool SetString(RegistryRoot root, std::string_view path, std::string_view name,
                   std::string_view text);
    bool SetNumber32(RegistryRoot root, std::string_view path, std::string_view name,
                     uint32_t number);
    // The text of a String value up to its first zero byte; nullopt when the value
    // is missing or of another type.
    std::optional<std::string> GetString(RegistryRoot root, std::string_view path,
                                         std::string_view name);
    // nullopt when the value is missing, of another type or not 4 bytes long.
    std::optional<uint32_t> GetNumber32(RegistryRoot root, std::string_view path,
                                        std::string_view name);

private:
    // One attempt at opening the file; the SQLite result code of the failure, or
    // SQLITE_OK (0).
    int Open();
    void Close();
    bool MoveAside();
    bool Exec(const char* sql);
    bool Begin();
    bool Commit();
    void Rollback();
    bool InsertKeyChain(int root, const std::string& canonical, std::string_view path);

    std::string path_;
    std::string problem_;
    std::string movedAside_;
    sqlite3* db_ = nullptr;
    std::mutex mutex_;
};

// Where the current user's store reports what went wrong with it, one line each: a
// store that could not be opened and why (once for each new reason), a damaged store
// moved aside, a store that opened again. Lines reported before a receiver is set are
// kept (the last few) and handed to it when it is set. Null sets none.
void SetRegistryStoreReporter(std::function<void(const std::string& line)> receiver);

// The moved-aside file of a damaged current-user store that was replaced by a fresh
// one in this process, answered once; nullopt when there is none (or it was taken).
// The program tells its user that the settings were reset.
std::optional<std::string> TakeRegistryResetNotice();

}  // namespace platform
