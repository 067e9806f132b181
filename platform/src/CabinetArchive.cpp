#include "platform/CabinetArchive.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <libgcab.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace platform {
namespace {

// An MSZIP folder holds at most 65535 data blocks of 32768 bytes.
constexpr uint64_t kMaxFolderBytes = 65535ull * 32768ull;

template <typename T>
struct GObjectDeleter {
    void operator()(T* p) const {
        if (p) g_object_unref(p);
    }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectDeleter<T>>;

struct GErrorHolder {
    GError* error = nullptr;
    ~GErrorHolder() {
        if (error) g_error_free(error);
    }
    std::string Text(const char* what) const {
        return std::string(what) + ": " + (error ? error->message : "unknown error");
    }
};

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::string ErrnoText(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A mkstemp pattern for a hidden file in the folder of `target`.
std::string TemporaryPattern(const std::string& target) {
    const size_t slash = target.rfind('/');
    return (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
           ".kivora-XXXXXX";
}

// Writes `data` to a fresh temporary file in the folder of `target` and answers its path;
// empty on failure (nothing left behind).
std::string WriteTemporaryBeside(const std::string& target, const uint8_t* data, size_t size,
                                 std::string* error) {
    std::string temp = TemporaryPattern(target);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        SetError(error, ErrnoText("cannot create a file beside", target));
        return {};
    }
    bool ok = WriteAll(fd, data, size) && ::fsync(fd) == 0;
    if (!ok) SetError(error, ErrnoText("cannot write", temp));
    if (::close(fd) != 0 && ok) {
        SetError(error, ErrnoText("cannot close", temp));
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return {};
    }
    return temp;
}

DosDateTime StampOf(GCabFile* file) {
    DosDateTime stamp;
    GDateTime* dt = gcab_file_get_date_time(file);
    if (!dt) return stamp;
    const int year = g_date_time_get_year(dt);
    if (year >= 1980 && year <= 2107) {
        stamp.date = static_cast<uint16_t>(((year - 1980) << 9) | (g_date_time_get_month(dt) << 5) |
                                           g_date_time_get_day_of_month(dt));
        stamp.time = static_cast<uint16_t>((g_date_time_get_hour(dt) << 11) |
                                           (g_date_time_get_minute(dt) << 5) |
                                           (g_date_time_get_second(dt) / 2));
    }
    g_date_time_unref(dt);
    return stamp;
}

// Loads the cabinet at `path`; null with `error` set when it is unreadable.
GObjectPtr<GCabCabinet> LoadCabinet(const std::string& path, std::string* error) {
    GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
    GErrorHolder e;
    GObjectPtr<GFileInputStream> in(g_file_read(file.get(), nullptr, &e.error));
    if (!in) {
        SetError(error, e.Text("cannot open the cabinet"));
        return nullptr;
    }
    GObjectPtr<GCabCabinet> cabinet(gcab_cabinet_new());
    if (!gcab_cabinet_load(cabinet.get(), G_INPUT_STREAM(in.get()), nullptr, &e.error)) {
        SetError(error, e.Text("not a cabinet"));
        return nullptr;
    }
    return cabinet;
}

// Calls `visit(folderIndex, file)` for every member in cabinet order.
template <typename Visit>
void ForEachMember(GCabCabinet* cabinet, Visit visit) {
    GPtrArray* folders = gcab_cabinet_get_folders(cabinet);
    for (guint i = 0; folders && i < folders->len; ++i) {
        auto* folder = static_cast<GCabFolder*>(g_ptr_array_index(folders, i));
        GSList* files = gcab_folder_get_files(folder);
        for (GSList* f = files; f; f = f->next) visit(static_cast<int>(i), GCAB_FILE(f->data));
        g_slist_free(files);
    }
}

// Cabinet layout: a 36-byte header, an 8-byte entry per folder, a 16-byte entry plus the
// terminated name per member, then each folder's data blocks. A data block holds at most
// 32768 bytes of the folder's stream; with MSZIP it is "CK" followed by one deflate stream.
constexpr size_t kHeaderSize = 36;
constexpr size_t kFolderEntrySize = 8;
constexpr size_t kBlockSize = 32768;
constexpr uint16_t kCompressMszip = 1;
constexpr uint16_t kNameIsUtf8 = 0x80;

void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, static_cast<uint16_t>(v));
    Put16(out, static_cast<uint16_t>(v >> 16));
}

// The cabinet checksum: the data XORed as little-endian 32-bit words, the 1 to 3 bytes left
// over taken most significant first.
uint32_t Checksum(const uint8_t* data, size_t size, uint32_t seed) {
    uint32_t sum = seed;
    size_t i = 0;
    for (; i + 4 <= size; i += 4)
        sum ^= static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
               static_cast<uint32_t>(data[i + 2]) << 16 | static_cast<uint32_t>(data[i + 3]) << 24;
    uint32_t tail = 0;
    for (; i < size; ++i) tail = (tail << 8) | data[i];
    return sum ^ tail;
}

class CabinetWriter {
public:
    CabinetWriter(const std::string& target, std::string* error) : target_(target), error_(error) {}
    ~CabinetWriter() {
        if (fd_ >= 0) ::close(fd_);
        if (!temp_.empty()) ::unlink(temp_.c_str());
        if (zInit_) deflateEnd(&z_);
    }

    bool Write(const std::vector<std::vector<CabinetSource>>& folders, uint16_t setId) {
        std::vector<const std::vector<CabinetSource>*> used;
        for (const auto& f : folders)
            if (!f.empty()) used.push_back(&f);
        size_t memberCount = 0;
        for (const auto* f : used) memberCount += f->size();
        if (used.empty()) return Fail("no file to pack");
        if (used.size() > 0xFFFF || memberCount > 0xFFFF) return Fail("too many files to pack");

        // The directory: every member with the size it has now.
        std::vector<uint8_t> members;
        std::vector<std::vector<uint64_t>> sizes;
        for (size_t i = 0; i < used.size(); ++i) {
            uint64_t offset = 0;
            sizes.emplace_back();
            for (const CabinetSource& source : *used[i]) {
                FileStamp stamp;
                if (!ReadFileStamp(source.path, &stamp))
                    return Fail(ErrnoText("cannot read", source.path));
                if (source.name.empty() || source.name.size() > 255)
                    return Fail("no fitting member name for " + source.path);
                if (offset + stamp.size > kMaxFolderBytes)
                    return Fail("too much data for one cabinet folder: " + source.path);
                uint16_t attributes = source.attributes;
                for (unsigned char c : source.name)
                    if (c >= 0x80) attributes |= kNameIsUtf8;
                Put32(members, static_cast<uint32_t>(stamp.size));
                Put32(members, static_cast<uint32_t>(offset));
                Put16(members, static_cast<uint16_t>(i));
                Put16(members, source.time.date);
                Put16(members, source.time.time);
                Put16(members, attributes);
                members.insert(members.end(), source.name.begin(), source.name.end());
                members.push_back(0);
                sizes.back().push_back(stamp.size);
                offset += stamp.size;
            }
        }

        if (!OpenTemporary()) return false;
        const size_t directorySize = kHeaderSize + used.size() * kFolderEntrySize;
        position_ = directorySize + members.size();
        if (::lseek(fd_, static_cast<off_t>(position_), SEEK_SET) < 0)
            return Fail(ErrnoText("cannot seek in", temp_));
        if (deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) !=
            Z_OK)
            return Fail("cannot start compression");
        zInit_ = true;

        std::vector<uint8_t> folderTable;
        for (size_t i = 0; i < used.size(); ++i) {
            const uint64_t start = position_;
            blocks_ = 0;
            pending_.clear();
            for (size_t m = 0; m < used[i]->size(); ++m)
                if (!AddFile((*used[i])[m].path, sizes[i][m])) return false;
            if (!pending_.empty() && !EmitBlock()) return false;
            Put32(folderTable, static_cast<uint32_t>(start));
            Put16(folderTable, static_cast<uint16_t>(blocks_));
            Put16(folderTable, kCompressMszip);
        }
        if (position_ > UINT32_MAX) return Fail("the cabinet would exceed 4 GB");

        std::vector<uint8_t> head;
        head.insert(head.end(), {'M', 'S', 'C', 'F'});
        Put32(head, 0);
        Put32(head, static_cast<uint32_t>(position_));
        Put32(head, 0);
        Put32(head, static_cast<uint32_t>(directorySize));
        Put32(head, 0);
        head.push_back(3);  // format 1.3
        head.push_back(1);
        Put16(head, static_cast<uint16_t>(used.size()));
        Put16(head, static_cast<uint16_t>(memberCount));
        Put16(head, 0);  // no reserved area, no previous or next cabinet
        Put16(head, setId);
        Put16(head, 0);  // first cabinet of its set
        head.insert(head.end(), folderTable.begin(), folderTable.end());
        head.insert(head.end(), members.begin(), members.end());
        if (::lseek(fd_, 0, SEEK_SET) < 0 || !WriteAll(fd_, head.data(), head.size()))
            return Fail(ErrnoText("cannot write", temp_));
        if (::fsync(fd_) != 0) return Fail(ErrnoText("cannot write", temp_));
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0) return Fail(ErrnoText("cannot close", temp_));
        if (::rename(temp_.c_str(), target_.c_str()) != 0)
            return Fail(ErrnoText("cannot write", target_));
        temp_.clear();
        return true;
    }

private:
    bool Fail(const std::string& text) {
        SetError(error_, text);
        return false;
    }

    bool OpenTemporary() {
        temp_ = TemporaryPattern(target_);
        fd_ = ::mkstemp(temp_.data());
        if (fd_ < 0) {
            temp_.clear();
            return Fail(ErrnoText("cannot create a file beside", target_));
        }
        return true;
    }

    // Appends exactly `size` bytes of the file at `path` to the folder's stream.
    bool AddFile(const std::string& path, uint64_t size) {
        const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) return Fail(ErrnoText("cannot open", path));
        uint64_t left = size;
        bool ok = true;
        while (ok && left > 0) {
            const size_t room = kBlockSize - pending_.size();
            const size_t want = static_cast<size_t>(std::min<uint64_t>(room, left));
            const size_t had = pending_.size();
            pending_.resize(had + want);
            const ssize_t n = ::read(in, pending_.data() + had, want);
            if (n < 0 && errno == EINTR) {
                pending_.resize(had);
                continue;
            }
            if (n <= 0) {
                ok = Fail(n < 0 ? ErrnoText("cannot read", path)
                                : "file shrank while packed: " + path);
                break;
            }
            pending_.resize(had + static_cast<size_t>(n));
            left -= static_cast<uint64_t>(n);
            if (pending_.size() == kBlockSize) ok = EmitBlock();
        }
        ::close(in);
        return ok;
    }

    bool EmitBlock() {
        if (blocks_ == 0xFFFF) return Fail("too much data for one cabinet folder");
        std::vector<uint8_t> packed(2 + deflateBound(&z_, pending_.size()));
        packed[0] = 'C';
        packed[1] = 'K';
        if (deflateReset(&z_) != Z_OK) return Fail("compression failed");
        z_.next_in = pending_.data();
        z_.avail_in = static_cast<uInt>(pending_.size());
        z_.next_out = packed.data() + 2;
        z_.avail_out = static_cast<uInt>(packed.size() - 2);
        if (deflate(&z_, Z_FINISH) != Z_STREAM_END) return Fail("compression failed");
        packed.resize(2 + z_.total_out);

        std::vector<uint8_t> sizesField;
        Put16(sizesField, static_cast<uint16_t>(packed.size()));
        Put16(sizesField, static_cast<uint16_t>(pending_.size()));
        const uint32_t sum =
            Checksum(sizesField.data(), 4, Checksum(packed.data(), packed.size(), 0));
        std::vector<uint8_t> block;
        Put32(block, sum);
        block.insert(block.end(), sizesField.begin(), sizesField.end());
        block.insert(block.end(), packed.begin(), packed.end());
        if (!WriteAll(fd_, block.data(), block.size()))
            return Fail(ErrnoText("cannot write", temp_));
        position_ += block.size();
        ++blocks_;
        pending_.clear();
        return true;
    }

    std::string target_;
    std::string* error_;
    std::string temp_;
    int fd_ = -1;
    z_stream z_{};
    bool zInit_ = false;
    uint64_t position_ = 0;
    unsigned blocks_ = 0;
    std::vector<uint8_t> pending_;
};

}  // namespace

DosDateTime DosDateTimeFromTime(time_t t) {
    struct tm local {};
    DosDateTime stamp;
    if (!localtime_r(&t, &local)) return stamp;
    int year = local.tm_year + 1900;
    if (year < 1980) {
        stamp.date = (1 << 5) | 1;  // 1 January 1980
        return stamp;
    }
    if (year > 2107) year = 2107;
    stamp.date =
        static_cast<uint16_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
    stamp.time =
        static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
    return stamp;
}

time_t TimeFromDosDateTime(DosDateTime stamp) {
    struct tm local {};
    local.tm_year = 80 + (stamp.date >> 9);
    local.tm_mon = ((stamp.date >> 5) & 0x0F) - 1;
    local.tm_mday = stamp.date & 0x1F;
    local.tm_hour = stamp.time >> 11;
    local.tm_min = (stamp.time >> 5) & 0x3F;
    local.tm_sec = (stamp.time & 0x1F) * 2;
    local.tm_isdst = -1;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 || local.tm_hour > 23 ||
        local.tm_min > 59 || local.tm_sec > 59)
        return -1;
    return mktime(&local);
}

bool ReadFileStamp(const std::string& path, FileStamp* stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return false;
    stamp->time = DosDateTimeFromTime(st.st_mtime);
    stamp->size = static_cast<uint64_t>(st.st_size);
    stamp->attributes = kCabinetArchive;
    if (!(st.st_mode & S_IWUSR)) stamp->attributes |= kCabinetReadOnly;
    const size_t slash = path.rfind('/');
    const size_t start = slash == std::string::npos ? 0 : slash + 1;
    if (start < path.size() && path[start] == '.') stamp->attributes |= kCabinetHidden;
    return true;
}

bool WriteCabinet(const std::string& cabinetPath,
                  const std::vector<std::vector<CabinetSource>>& folders, uint16_t setId,
                  std::string* error) {
    CabinetWriter writer(cabinetPath, error);
    return writer.Write(folders, setId);
}

bool ListCabinet(const std::string& cabinetPath, std::vector<CabinetEntry>* entries,
                 std::string* error) {
    entries->clear();
    GObjectPtr<GCabCabinet> cabinet = LoadCabinet(cabinetPath, error);
    if (!cabinet) return false;
    ForEachMember(cabinet.get(), [&](int folder, GCabFile* file) {
        CabinetEntry entry;
        const char* name = gcab_file_get_name(file);
        entry.name = name ? name : "";
        entry.size = gcab_file_get_size(file);
        entry.time = StampOf(file);
        entry.attributes = static_cast<uint16_t>(gcab_file_get_attributes(file));
        entry.folder = folder;
        entries->push_back(std::move(entry));
    });
    return true;
}

bool IsPlainMemberName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of("/\\") == std::string::npos;
}

bool ExtractCabinet(const std::string& cabinetPath, const std::string& folder,
                    const CabinetExtractOptions& options, std::vector<std::string>* written,
                    std::string* error) {
    written->clear();
    GObjectPtr<GCabCabinet> cabinet = LoadCabinet(cabinetPath, error);
    if (!cabinet) return false;

    // Every name and the total size are checked before anything is decompressed.
    uint64_t total = 0;
    size_t count = 0;
    bool badName = false;
    std::string refused;
    ForEachMember(cabinet.get(), [&](int, GCabFile* file) {
        const char* name = gcab_file_get_name(file);
        if ((!name || !IsPlainMemberName(name)) && !badName) {
            badName = true;
            refused = name ? name : "";
        }
        total += gcab_file_get_size(file);
        ++count;
    });
    if (count == 0) {
        SetError(error, "the cabinet has no member");
        return false;
    }
    if (badName) {
        SetError(error, "member name not allowed: \"" + refused + "\"");
        return false;
    }
    if (total > options.maxTotalBytes) {
        SetError(error, "the cabinet's members exceed the size allowed");
        return false;
    }

    // Decompress into memory (nothing touches the disk yet).
    GErrorHolder e;
    if (!gcab_cabinet_extract_simple(cabinet.get(), nullptr, nullptr, nullptr, nullptr, &e.error)) {
        SetError(error, e.Text("cannot decompress"));
        return false;
    }

    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    struct Pending {
        std::string temp;
        std::string target;
        DosDateTime time;
        uint16_t attributes;
    };
    std::vector<Pending> pending;
    bool ok = true;
    ForEachMember(cabinet.get(), [&](int, GCabFile* file) {
        if (!ok) return;
        GBytes* bytes = gcab_file_get_bytes(file);
        gsize size = 0;
        const void* data = bytes ? g_bytes_get_data(bytes, &size) : nullptr;
        if (size != gcab_file_get_size(file)) {
            SetError(error, std::string("member decompressed to a wrong size: ") +
                                gcab_file_get_name(file));
            ok = false;
            return;
        }
        const std::string target = base + gcab_file_get_name(file);
        const std::string temp =
            WriteTemporaryBeside(target, static_cast<const uint8_t*>(data), size, error);
        if (temp.empty()) {
            ok = false;
            return;
        }
        pending.push_back(
            {temp, target, StampOf(file),
             static_cast<uint16_t>(gcab_file_get_attributes(file) & options.attributeMask)});
    });

    // rename() replaces a symbolic link at the target instead of following it.
    for (const Pending& p : pending) {
        if (!ok) break;
        const time_t when = TimeFromDosDateTime(p.time);
        if (when != -1) {
            const struct timespec times[2] = {{when, 0}, {when, 0}};
            ::utimensat(AT_FDCWD, p.temp.c_str(), times, 0);
        }
        if (p.attributes & kCabinetReadOnly)
            ::chmod(p.temp.c_str(), 0444);
        else
            ::chmod(p.temp.c_str(), 0644);
        if (::rename(p.temp.c_str(), p.target.c_str()) != 0) {
            SetError(error, ErrnoText("cannot write", p.target));
            ok = false;
            break;
        }
        written->push_back(p.target);
    }
    if (!ok) {
        for (const Pending& p : pending) ::unlink(p.temp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
