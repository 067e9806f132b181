#include "platform/CabinetArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include "platform/Files.h"

namespace platform {
namespace {

// Cabinet layout: a 36-byte header (optionally followed by a reserved area and the names
// of the cabinets before and after it in a set), an 8-byte entry per folder (plus its
// reserved bytes), a 16-byte entry plus the terminated name per member, then each
// folder's data blocks: an 8-byte head (checksum, packed and unpacked sizes, plus the
// reserved bytes) and at most 32768 bytes of the folder's stream, with MSZIP as "CK"
// followed by one deflate stream that may refer back to the block before.
constexpr size_t kHeaderSize = 36;
constexpr size_t kFolderEntrySize = 8;
constexpr size_t kMemberEntrySize = 16;
constexpr size_t kBlockHeadSize = 8;
constexpr size_t kBlockSize = 32768;
constexpr uint16_t kCompressNone = 0;
constexpr uint16_t kCompressMszip = 1;
constexpr uint16_t kCompressionMask = 0x000F;
constexpr uint16_t kNameIsUtf8 = 0x80;
constexpr uint16_t kFlagPreviousCabinet = 0x0001;
constexpr uint16_t kFlagNextCabinet = 0x0002;
constexpr uint16_t kFlagReserve = 0x0004;
// Members whose folder index says they continue from or into another cabinet.
constexpr uint16_t kFirstContinuedFolder = 0xFFFD;
// An MSZIP folder holds at most 65535 data blocks of 32768 bytes.
constexpr uint64_t kMaxFolderBytes = 65535ull * 32768ull;

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

// Reads exactly `size` bytes at `offset`; false at the end of the file or an error.
bool ReadAt(int fd, uint64_t offset, uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::pread(fd, data, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

uint16_t Get16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

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
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    for (; i + 4 <= size; i += 4) {
        uint32_t word;
        std::memcpy(&word, data + i, 4);
        sum ^= word;
    }
#endif
    for (; i + 4 <= size; i += 4) sum ^= Get32(data + i);
    uint32_t tail = 0;
    for (; i < size; ++i) tail = (tail << 8) | data[i];
    return sum ^ tail;
}

// A block's checksum covers its data, then its two size fields.
uint32_t BlockChecksum(const uint8_t* sizes, const uint8_t* data, size_t size) {
    return Checksum(sizes, 4, Checksum(data, size, 0));
}

// ---- Reading ------------------------------------------------------------------------

struct FolderInfo {
    uint32_t dataOffset = 0;
    uint16_t blocks = 0;
    uint16_t compression = 0;
};

struct MemberInfo {
    CabinetEntry entry;
    uint32_t offset = 0;  // where the member starts in its folder's stream
};

// An open cabinet with its directory read and checked.
class CabinetReader {
public:
    ~CabinetReader() {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Open(const std::string& path, std::string* error) {
        path_ = path;
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return Fail(error, ErrnoText("cannot open the cabinet", path));
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))
            return Fail(error, "not a cabinet: " + path);
        size_ = static_cast<uint64_t>(st.st_size);

        uint8_t head[kHeaderSize + 4];
        if (size_ < kHeaderSize || !ReadAt(fd_, 0, head, kHeaderSize) ||
            std::memcmp(head, "MSCF", 4) != 0)
            return Fail(error, "not a cabinet: " + path);
        const uint32_t membersOffset = Get32(head + 16);
        const uint16_t folderCount = Get16(head + 26);
        const uint16_t memberCount = Get16(head + 28);
        const uint16_t flags = Get16(head + 30);
        uint64_t position = kHeaderSize;
        size_t folderReserve = 0;
        if (flags & kFlagReserve) {
            if (!ReadAt(fd_, position, head, 4)) return Fail(error, "cabinet header cut short");
            position += 4 + Get16(head);
            folderReserve = head[2];
            blockReserve_ = head[3];
        }
        // The names of the neighbouring cabinets of a set are passed over.
        const int names = ((flags & kFlagPreviousCabinet) ? 2 : 0) + ((flags & kFlagNextCabinet) ? 2 : 0);
        for (int i = 0; i < names; ++i)
            if (!SkipText(&position)) return Fail(error, "cabinet header cut short");

        for (uint16_t i = 0; i < folderCount; ++i) {
            uint8_t entry[kFolderEntrySize];
            if (!ReadAt(fd_, position, entry, sizeof entry))
                return Fail(error, "cabinet folders cut short");
            position += kFolderEntrySize + folderReserve;
            FolderInfo folder;
            folder.dataOffset = Get32(entry);
            folder.blocks = Get16(entry + 4);
            folder.compression = Get16(entry + 6) & kCompressionMask;
            folders_.push_back(folder);
        }

        // The members' entries and names, read in one piece.
        if (membersOffset > size_) return Fail(error, "cabinet members cut short");
        const size_t most = static_cast<size_t>(std::min<uint64_t>(
            size_ - membersOffset, static_cast<uint64_t>(memberCount) * (kMemberEntrySize + 257)));
        std::vector<uint8_t> table(most);
        if (most && !ReadAt(fd_, membersOffset, table.data(), most))
            return Fail(error, "cabinet members cut short");
        size_t at = 0;
        for (uint16_t i = 0; i < memberCount; ++i) {
            if (at + kMemberEntrySize > table.size()) return Fail(error, "cabinet members cut short");
            const uint8_t* e = table.data() + at;
            MemberInfo member;
            member.entry.size = Get32(e);
            member.offset = Get32(e + 4);
            const uint16_t folder = Get16(e + 8);
            member.entry.time.date = Get16(e + 10);
            member.entry.time.time = Get16(e + 12);
            member.entry.attributes = Get16(e + 14);
            at += kMemberEntrySize;
            const auto* end = static_cast<const uint8_t*>(
                std::memchr(table.data() + at, 0, table.size() - at));
            if (!end) return Fail(error, "cabinet member name cut short");
            member.entry.name.assign(reinterpret_cast<const char*>(table.data() + at),
                                     static_cast<size_t>(end - (table.data() + at)));
            at = static_cast<size_t>(end - table.data()) + 1;
            if (folder >= kFirstContinuedFolder)
                return Fail(error, "member continued in another cabinet: " + member.entry.name);
            if (folder >= folders_.size())
                return Fail(error, "member of a folder the cabinet lacks: " + member.entry.name);
            if (static_cast<uint64_t>(member.offset) + member.entry.size > kMaxFolderBytes)
                return Fail(error, "member beyond its folder: " + member.entry.name);
            member.entry.folder = folder;
            members_.push_back(std::move(member));
        }
        return true;
    }

    const std::vector<MemberInfo>& Members() const { return members_; }
    const std::vector<FolderInfo>& Folders() const { return folders_; }

    // Unpacks the folder's stream from its start up to `end` bytes and hands it on in
    // pieces in order: `sink(position, data, size)`, which answers false to stop.
    template <typename Sink>
    bool UnpackFolder(size_t index, uint64_t end, Sink sink, std::string* error) {
        const FolderInfo& folder = folders_[index];
        if (folder.compression != kCompressNone && folder.compression != kCompressMszip)
            return Fail(error, "cabinet compression not supported (only MSZIP)");
        Inflater inflater;
        if (folder.compression == kCompressMszip && !inflater.Start())
            return Fail(error, "cannot start decompression");
        // Blocks are read in large pieces: a block head, its reserved bytes and its data.
        std::unique_ptr<uint8_t[]> input(new uint8_t[kReadSize]);
        size_t held = 0, used = 0;
        uint64_t fileOffset = folder.dataOffset;
        uint64_t position = 0;
        const size_t headSize = kBlockHeadSize + blockReserve_;
        for (uint32_t block = 0; block < folder.blocks && position < end; ++block) {
            // Makes `n` bytes of the file available at input + used.
            auto have = [&](size_t n) {
                if (held - used >= n) return true;
                std::memmove(input.get(), input.get() + used, held - used);
                held -= used;
                used = 0;
                while (held < n) {
                    const uint64_t left = size_ > fileOffset ? size_ - fileOffset : 0;
                    const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadSize - held, left));
                    if (want == 0 || !ReadAt(fd_, fileOffset, input.get() + held, want)) return false;
                    held += want;
                    fileOffset += want;
                }
                return true;
            };
            if (!have(headSize)) return Fail(error, "cabinet data cut short");
            const uint8_t* head = input.get() + used;
            const uint32_t sum = Get32(head);
            const size_t packed = Get16(head + 4);
            const size_t unpacked = Get16(head + 6);
            if (unpacked > kBlockSize) return Fail(error, "cabinet data block too large");
            if (!have(headSize + packed)) return Fail(error, "cabinet data cut short");
            head = input.get() + used;
            const uint8_t* data = head + headSize;
            // A checksum of 0 means none was supplied.
            if (sum != 0 && BlockChecksum(head + 4, data, packed) != sum)
                return Fail(error, "incorrect checksum detected");
            const uint8_t* out = data;
            if (folder.compression == kCompressMszip) {
                out = inflater.Block(data, packed, unpacked);
                if (!out) return Fail(error, "cabinet data block does not decompress");
            } else if (packed != unpacked) {
                return Fail(error, "stored cabinet block of a wrong size");
            }
            used += headSize + packed;
            if (unpacked && !sink(position, out, unpacked)) return false;
            position += unpacked;
        }
        if (position < end) return Fail(error, "cabinet data ends before its members do");
        return true;
    }

private:
    static constexpr size_t kReadSize = 512 * 1024;

    // MSZIP blocks: each "CK" and a deflate stream whose back references may reach into
    // the block before, which is handed in as the dictionary.
    class Inflater {
    public:
        ~Inflater() {
            if (started_) inflateEnd(&z_);
        }
        bool Start() {
            started_ = inflateInit2(&z_, -15) == Z_OK;
            return started_;
        }
        // The block's bytes (in a buffer of the inflater's own), or null when it is damaged.
        const uint8_t* Block(const uint8_t* data, size_t size, size_t unpacked) {
            if (size < 2 || data[0] != 'C' || data[1] != 'K') return nullptr;
            if (inflateReset(&z_) != Z_OK) return nullptr;
            uint8_t* out = buffers_[current_ ^= 1];
            if (previousSize_ &&
                inflateSetDictionary(&z_, buffers_[current_ ^ 1], static_cast<uInt>(previousSize_)) != Z_OK)
                return nullptr;
            z_.next_in = const_cast<uint8_t*>(data + 2);
            z_.avail_in = static_cast<uInt>(size - 2);
            z_.next_out = out;
            z_.avail_out = static_cast<uInt>(kBlockSize);
            const int result = inflate(&z_, Z_FINISH);
            const size_t made = kBlockSize - z_.avail_out;
            // A block must give exactly its stated size; its stream may end without the
            // final mark when every input byte was used.
            if (made != unpacked ||
                !(result == Z_STREAM_END || ((result == Z_OK || result == Z_BUF_ERROR) && z_.avail_in == 0)))
                return nullptr;
            previousSize_ = made;
            return out;
        }

    private:
        z_stream z_{};
        bool started_ = false;
        std::unique_ptr<uint8_t[][kBlockSize]> buffers_{new uint8_t[2][kBlockSize]};
        int current_ = 0;
        size_t previousSize_ = 0;
    };

    bool Fail(std::string* error, const std::string& text) {
        SetError(error, text);
        return false;
    }

    bool SkipText(uint64_t* position) {
        uint8_t c;
        for (int i = 0; i < 256; ++i) {
            if (!ReadAt(fd_, (*position)++, &c, 1)) return false;
            if (c == 0) return true;
        }
        return false;
    }

    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    size_t blockReserve_ = 0;
    std::vector<FolderInfo> folders_;
    std::vector<MemberInfo> members_;
};

// ---- Writing ------------------------------------------------------------------------

// Compresses blocks, several at a time on threads of their own when the machine has
// them. Every block is a deflate stream of its own (no back references into the block
// before), so that blocks compress independently.
class BlockPacker {
public:
    BlockPacker() {
        const unsigned cores = std::thread::hardware_concurrency();
        workers_ = std::clamp<unsigned>(cores, 1, 8);
    }

    // Packs every block of `blocks` into `packed` ("CK" and the deflate stream).
    bool Pack(const std::vector<std::vector<uint8_t>>& blocks,
              std::vector<std::vector<uint8_t>>& packed) {
        packed.resize(blocks.size());
        const unsigned threads = std::min<unsigned>(workers_, static_cast<unsigned>(blocks.size()));
        if (threads <= 1) return PackRange(blocks, packed, 0, 1);
        std::vector<std::thread> pool;
        std::vector<char> ok(threads, 0);
        for (unsigned t = 0; t < threads; ++t)
            pool.emplace_back([&, t] { ok[t] = PackRange(blocks, packed, t, threads); });
        for (std::thread& thread : pool) thread.join();
        return std::all_of(ok.begin(), ok.end(), [](char c) { return c != 0; });
    }

private:
    static bool PackRange(const std::vector<std::vector<uint8_t>>& blocks,
                          std::vector<std::vector<uint8_t>>& packed, size_t first, size_t step) {
        z_stream z{};
        if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            return false;
        bool ok = true;
        for (size_t i = first; ok && i < blocks.size(); i += step) {
            const std::vector<uint8_t>& in = blocks[i];
            std::vector<uint8_t>& out = packed[i];
            out.resize(2 + deflateBound(&z, in.size()));
            out[0] = 'C';
            out[1] = 'K';
            ok = deflateReset(&z) == Z_OK;
            z.next_in = const_cast<uint8_t*>(in.data());
            z.avail_in = static_cast<uInt>(in.size());
            z.next_out = out.data() + 2;
            z.avail_out = static_cast<uInt>(out.size() - 2);
            ok = ok && deflate(&z, Z_FINISH) == Z_STREAM_END;
            out.resize(2 + z.total_out);
        }
        deflateEnd(&z);
        return ok;
    }

    unsigned workers_;
};

class CabinetWriter {
public:
    CabinetWriter(const std::string& target, std::string* error) : target_(target), error_(error) {}

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

        if (!file_.Begin(target_, error_)) return false;
        const size_t directorySize = kHeaderSize + used.size() * kFolderEntrySize;
        position_ = directorySize + members.size();
        if (::lseek(file_.Descriptor(), static_cast<off_t>(position_), SEEK_SET) < 0)
            return Fail(ErrnoText("cannot seek in", file_.TemporaryPath()));

        std::vector<uint8_t> folderTable;
        for (size_t i = 0; i < used.size(); ++i) {
            const uint64_t start = position_;
            blocks_ = 0;
            pending_.clear();
            for (size_t m = 0; m < used[i]->size(); ++m)
                if (!AddFile((*used[i])[m].path, sizes[i][m])) return false;
            if (!pending_.empty() && !EmitBlock()) return false;
            if (!PackQueued()) return false;
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
        if (::lseek(file_.Descriptor(), 0, SEEK_SET) < 0 ||
            !WriteAll(file_.Descriptor(), head.data(), head.size()))
            return Fail(ErrnoText("cannot write", file_.TemporaryPath()));
        return file_.Commit(error_);
    }

private:
    // Blocks are packed this many at a time.
    static constexpr size_t kQueuedBlocks = 128;

    bool Fail(const std::string& text) {
        SetError(error_, text);
        return false;
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

    // Queues the pending bytes as the folder's next block.
    bool EmitBlock() {
        if (blocks_ == 0xFFFF) return Fail("too much data for one cabinet folder");
        queued_.push_back(std::move(pending_));
        pending_ = {};
        pending_.reserve(kBlockSize);
        ++blocks_;
        return queued_.size() < kQueuedBlocks || PackQueued();
    }

    // Packs the queued blocks and writes them in order.
    bool PackQueued() {
        if (queued_.empty()) return true;
        std::vector<std::vector<uint8_t>> packed;
        if (!packer_.Pack(queued_, packed)) return Fail("compression failed");
        std::vector<uint8_t> out;
        for (size_t i = 0; i < packed.size(); ++i) {
            uint8_t sizesField[4] = {
                static_cast<uint8_t>(packed[i].size()), static_cast<uint8_t>(packed[i].size() >> 8),
                static_cast<uint8_t>(queued_[i].size()), static_cast<uint8_t>(queued_[i].size() >> 8)};
            const uint32_t sum = BlockChecksum(sizesField, packed[i].data(), packed[i].size());
            Put32(out, sum);
            out.insert(out.end(), sizesField, sizesField + 4);
            out.insert(out.end(), packed[i].begin(), packed[i].end());
        }
        queued_.clear();
        if (!WriteAll(file_.Descriptor(), out.data(), out.size()))
            return Fail(ErrnoText("cannot write", file_.TemporaryPath()));
        position_ += out.size();
        return true;
    }

    std::string target_;
    std::string* error_;
    FileReplacement file_;
    BlockPacker packer_;
    uint64_t position_ = 0;
    unsigned blocks_ = 0;
    std::vector<uint8_t> pending_;
    std::vector<std::vector<uint8_t>> queued_;
};

// A fresh hidden file beside `target`, to be renamed over it once whole; -1 on failure.
int CreateTemporaryBeside(const std::string& target, std::string* temp) {
    const size_t slash = target.rfind('/');
    *temp = (slash == std::string::npos ? std::string() : target.substr(0, slash + 1)) +
            ".kivora-XXXXXX";
    return ::mkostemp(temp->data(), O_CLOEXEC);
}

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
    CabinetReader cabinet;
    if (!cabinet.Open(cabinetPath, error)) return false;
    for (const MemberInfo& member : cabinet.Members()) entries->push_back(member.entry);
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
    CabinetReader cabinet;
    if (!cabinet.Open(cabinetPath, error)) return false;
    const std::vector<MemberInfo>& members = cabinet.Members();

    // Every name and the total size are checked before anything is written.
    if (members.empty()) {
        SetError(error, "the cabinet has no member");
        return false;
    }
    uint64_t total = 0;
    for (const MemberInfo& member : members) {
        if (!IsPlainMemberName(member.entry.name)) {
            SetError(error, "member name not allowed: \"" + member.entry.name + "\"");
            return false;
        }
        total += member.entry.size;
    }
    if (total > options.maxTotalBytes) {
        SetError(error, "the cabinet's members exceed the size allowed");
        return false;
    }

    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    // Each member goes to a hidden file of its own beside its target, open only while
    // its bytes come; the files are renamed into place when every member is whole.
    struct Output {
        std::string temp;
        std::string target;
        int fd = -1;
    };
    std::vector<Output> outputs(members.size());
    auto discard = [&] {
        for (Output& out : outputs) {
            if (out.fd >= 0) ::close(out.fd);
            if (!out.temp.empty()) ::unlink(out.temp.c_str());
        }
    };
    auto create = [&](Output& out) {
        out.fd = CreateTemporaryBeside(out.target, &out.temp);
        if (out.fd >= 0) return true;
        out.temp.clear();
        SetError(error, ErrnoText("cannot create a file beside", out.target));
        return false;
    };
    for (size_t i = 0; i < members.size(); ++i) outputs[i].target = base + members[i].entry.name;

    for (size_t f = 0; f < cabinet.Folders().size(); ++f) {
        // The folder's members in stream order.
        std::vector<size_t> order;
        uint64_t end = 0;
        for (size_t i = 0; i < members.size(); ++i) {
            if (members[i].entry.folder != static_cast<int>(f) || members[i].entry.size == 0)
                continue;
            order.push_back(i);
            end = std::max<uint64_t>(end, uint64_t{members[i].offset} + members[i].entry.size);
        }
        if (order.empty()) continue;
        std::stable_sort(order.begin(), order.end(),
                         [&](size_t a, size_t b) { return members[a].offset < members[b].offset; });
        size_t first = 0;  // the first member of `order` not yet written whole
        bool failed = false;
        auto sink = [&](uint64_t position, const uint8_t* data, size_t size) {
            const uint64_t stop = position + size;
            while (first < order.size() && uint64_t{members[order[first]].offset} +
                                                   members[order[first]].entry.size <=
                                               position)
                ++first;
            for (size_t k = first; k < order.size(); ++k) {
                const MemberInfo& member = members[order[k]];
                if (member.offset >= stop) break;
                const uint64_t memberEnd = uint64_t{member.offset} + member.entry.size;
                const uint64_t from = std::max<uint64_t>(position, member.offset);
                const uint64_t to = std::min<uint64_t>(stop, memberEnd);
                if (from >= to) continue;
                Output& out = outputs[order[k]];
                if (out.fd < 0 && (!out.temp.empty() || !create(out))) {
                    if (!out.temp.empty()) SetError(error, "cabinet members overlap: " + out.target);
                    failed = true;
                    return false;
                }
                if (!WriteAll(out.fd, data + (from - position), static_cast<size_t>(to - from))) {
                    SetError(error, ErrnoText("cannot write", out.target));
                    failed = true;
                    return false;
                }
                if (to == memberEnd) {
                    const bool closed = ::close(out.fd) == 0;
                    out.fd = -1;
                    if (!closed) {
                        SetError(error, ErrnoText("cannot write", out.target));
                        failed = true;
                        return false;
                    }
                }
            }
            return true;
        };
        if (!cabinet.UnpackFolder(f, end, sink, error) || failed) {
            discard();
            return false;
        }
    }

    // rename() replaces a symbolic link at the target instead of following it.
    for (size_t i = 0; i < members.size(); ++i) {
        Output& out = outputs[i];
        if (out.temp.empty()) {
            // An empty member has no bytes to come.
            if (!create(out)) {
                discard();
                return false;
            }
        }
        if (out.fd >= 0) {
            ::close(out.fd);
            out.fd = -1;
        }
        const time_t when = TimeFromDosDateTime(members[i].entry.time);
        if (when != -1) {
            const struct timespec times[2] = {{when, 0}, {when, 0}};
            ::utimensat(AT_FDCWD, out.temp.c_str(), times, 0);
        }
        const uint16_t attributes = members[i].entry.attributes & options.attributeMask;
        ::chmod(out.temp.c_str(), (attributes & kCabinetReadOnly) ? 0444 : 0644);
        if (::rename(out.temp.c_str(), out.target.c_str()) != 0) {
            SetError(error, ErrnoText("cannot write", out.target));
            discard();
            return false;
        }
        out.temp.clear();
        written->push_back(out.target);
    }
    return true;
}

}  // namespace platform
