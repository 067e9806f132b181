#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <zlib.h>

#include "foundation/Cabinet.h"
#include "foundation/Trace.h"
#include "platform/CabinetArchive.h"

namespace fs = std::filesystem;

namespace {


// Cabinets written byte by byte, as other tools make them: one folder holding one member
// whose bytes are the blocks' contents in order.
struct CraftedBlock {
    std::string packed;  // the block's data as stored
    size_t unpacked;
};

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The format's checksum: little-endian words XORed, the 1 to 3 bytes left taken most
// significant first.
uint32_t CabChecksum(const std::string& bytes, uint32_t sum) {
    size_t i = 0;
    for (; i + 4 <= bytes.size(); i += 4)
        sum ^= static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8 |
               static_cast<uint8_t>(bytes[i + 2]) << 16 |
               static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 3])) << 24;
    uint32_t tail = 0;
    for (; i < bytes.size(); ++i) tail = (tail << 8) | static_cast<uint8_t>(bytes[i]);
    return sum ^ tail;
}

enum class Sums { kRight, kZero, kWrong };

std::string CraftCabinet(const std::string& name, uint16_t compression,
                         const std::vector<CraftedBlock>& blocks, bool reserve, Sums sums) {
    const size_t headerReserve = reserve ? 4 : 0, folderReserve = reserve ? 2 : 0,
                 blockReserve = reserve ? 3 : 0;
    const size_t header = 36 + (reserve ? 4 + headerReserve : 0);
    const size_t membersAt = header + 8 + folderReserve;
    const size_t dataAt = membersAt + 16 + name.size() + 1;
    size_t memberSize = 0;
    std::string data;
    for (const CraftedBlock& b : blocks) {
        std::string sizes;
        Put16(sizes, static_cast<uint32_t>(b.packed.size()));
        Put16(sizes, static_cast<uint32_t>(b.unpacked));
        uint32_t sum = CabChecksum(sizes, CabChecksum(b.packed, 0));
        if (sums == Sums::kZero) sum = 0;
        if (sums == Sums::kWrong) sum ^= 0x100;
        Put32(data, sum);
        data += sizes + std::string(blockReserve, 'r') + b.packed;
        memberSize += b.unpacked;
    }
    std::string cab = "MSCF";
    Put32(cab, 0);
    Put32(cab, static_cast<uint32_t>(dataAt + data.size()));
    Put32(cab, 0);
    Put32(cab, static_cast<uint32_t>(membersAt));
    Put32(cab, 0);
    cab += "\x03\x01";
    Put16(cab, 1);                  // folders
    Put16(cab, 1);                  // members
    Put16(cab, reserve ? 4 : 0);    // flags: reserved areas present
    Put16(cab, 77);                 // set id
    Put16(cab, 0);
    if (reserve) {
        Put16(cab, static_cast<uint32_t>(headerReserve));
        cab += static_cast<char>(folderReserve);
        cab += static_cast<char>(blockReserve);
        cab += std::string(headerReserve, 'h');
    }
    Put32(cab, static_cast<uint32_t>(dataAt));
    Put16(cab, static_cast<uint32_t>(blocks.size()));
    Put16(cab, compression);
    cab += std::string(folderReserve, 'f');
    Put32(cab, static_cast<uint32_t>(memberSize));
    Put32(cab, 0);       // offset in the folder
    Put16(cab, 0);       // folder
    Put16(cab, 0x5821);  // 1 January 2024
    Put16(cab, 0x6000);  // 12:00
    Put16(cab, 0x20);
    cab += name + '\0';
    return cab + data;
}

// MSZIP blocks of `parts`, each a deflate stream that may refer back into the part
// before, as the format allows.
std::vector<CraftedBlock> MszipBlocks(const std::vector<std::string>& parts) {
    std::vector<CraftedBlock> blocks;
    for (size_t i = 0; i < parts.size(); ++i) {
        z_stream z{};
        EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
        if (i > 0) {
            deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(parts[i - 1].data()),
                                 static_cast<uInt>(parts[i - 1].size()));
        }
        std::string out(2 + deflateBound(&z, parts[i].size()), '\0');
        out[0] = 'C';
        out[1] = 'K';
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(parts[i].data()));
        z.avail_in = static_cast<uInt>(parts[i].size());
        z.next_out = reinterpret_cast<Bytef*>(out.data() + 2);
        z.avail_out = static_cast<uInt>(out.size() - 2);
        EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
        out.resize(2 + z.total_out);
        deflateEnd(&z);
        blocks.push_back({out, parts[i].size()});
    }
    return blocks;
}

class CabinetTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "cabtest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "in");
        fs::create_directories(root_ / "out");
        SetTraceWriteFile(stderr);
    }
    void TearDown() override {
        SetTraceWriteFile(nullptr);
        // Read-only members are removable: their folder stays writable.
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }

    std::string Write(const std::string& relative, const std::string& bytes) const {
        const std::string path = Path(relative);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    static std::string Noise(size_t size, unsigned seed) {
        std::mt19937 gen(seed);
        std::string s(size, '\0');
        for (char& c : s) c = static_cast<char>(gen());
        return s;
    }

    static void SetTime(const std::string& path, time_t when) {
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }

    static time_t ModificationTime(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(stat(path.c_str(), &st), 0);
        return st.st_mtime;
    }

    std::vector<std::string> OutFolderNames() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root_ / "out"))
            names.push_back(e.path().filename().string());
        return names;
    }

    // A cabinet whose members carry the given names (written through the platform layer,
    // which stores any name it is given).
    std::string CabinetNamed(const std::vector<std::string>& names) {
        const std::string body = Write("in/body.txt", "payload");
        std::vector<platform::CabinetSource> members;
        for (const std::string& n : names) members.push_back({body, n, {}, 0});
        const std::string cab = Path("named.cab");
        std::string error;
        EXPECT_TRUE(platform::WriteCabinet(cab, {members}, 1, &error)) << error;
        return cab;
    }

    fs::path root_;
};

TEST_F(CabinetTest, RoundTripKeepsMembersFoldersTimesAndReadOnly) {
    const std::string text(5000, 'k');
    const std::string noise = Noise(70000, 7);  // spans several compressed blocks
    const std::string a = Write("in/plan.txt", text);
    const std::string b = Write("in/noise.bin", noise);
    const std::string c = Write("in/locked.txt", "read only");
    SetTime(a, 1700000000);  // even seconds survive the two-second steps
    SetTime(b, 1600000002);
    SetTime(c, 1500000004);
    ASSERT_EQ(chmod(c.c_str(), 0444), 0);

    const char* files[] = {a.c_str(), b.c_str(), "+", c.c_str()};
    const std::string cab = Path("round.kvp");
    ASSERT_TRUE(CreateCabinet(4, files, cab.c_str()));

    std::vector<platform::CabinetEntry> entries;
    ASSERT_TRUE(platform::ListCabinet(cab, &entries));
    ASSERT_EQ(entries.size(), 3u);
    const struct {
        const char* name;
        int folder;
        time_t time;
        bool readOnly;
    } expected[] = {{"plan.txt", 0, 1700000000, false},
                    {"noise.bin", 0, 1600000002, false},
                    {"locked.txt", 1, 1500000004, true}};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].folder, expected[i].folder);
        const platform::DosDateTime local = platform::DosDateTimeFromTime(expected[i].time);
        EXPECT_EQ(entries[i].time.date, local.date);
        EXPECT_EQ(entries[i].time.time, local.time);
        EXPECT_EQ((entries[i].attributes & platform::kCabinetReadOnly) != 0, expected[i].readOnly);
        EXPECT_NE(entries[i].attributes & platform::kCabinetArchive, 0);
    }

    const std::string out = Path("out");  // no trailing slash: one is supplied
    char last[kCabinetPathSize] = "unchanged";
    ASSERT_TRUE(DecompressCabinet(cab.c_str(), out.c_str(), last));
    EXPECT_EQ(std::string(last), out + "/locked.txt");
    EXPECT_EQ(Read(out + "/plan.txt"), text);
    EXPECT_EQ(Read(out + "/noise.bin"), noise);
    EXPECT_EQ(Read(out + "/locked.txt"), "read only");
    EXPECT_EQ(ModificationTime(out + "/plan.txt"), 1700000000);
    EXPECT_EQ(ModificationTime(out + "/locked.txt"), 1500000004);
    EXPECT_EQ(access((out + "/plan.txt").c_str(), W_OK), 0);
    struct stat st {};
    ASSERT_EQ(stat((out + "/locked.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IWUSR, 0u);

    // A second extraction replaces the files, the read-only one included.
    ASSERT_TRUE(DecompressCabinet(cab.c_str(), (out + "/").c_str(), last));
    EXPECT_EQ(Read(out + "/locked.txt"), "read only");

    // A buffer too small for the path refuses before writing.
    char tiny[8];
    EXPECT_FALSE(DecompressCabinet(cab.c_str(), out.c_str(), tiny, sizeof tiny));
}

TEST_F(CabinetTest, ExternalToolsAgreeWithOurCabinets) {
    const std::string a = Write("in/alpha.txt", std::string(3000, 'a') + "end");
    const std::string b = Write("in/beta.bin", Noise(40000, 3));
    const char* files[] = {a.c_str(), "+", b.c_str()};
    const std::string ours = Path("ours.cab");
    ASSERT_TRUE(CreateCabinet(3, files, ours.c_str()));
    EXPECT_EQ(std::system(("cabextract -q -t '" + ours + "' >/dev/null").c_str()), 0);
    const std::string listing = Path("listing.txt");
    ASSERT_EQ(std::system(("cabextract -l '" + ours + "' >'" + listing + "'").c_str()), 0);
    const std::string listed = Read(listing);
    EXPECT_NE(listed.find("alpha.txt"), std::string::npos) << listed;
    EXPECT_NE(listed.find("beta.bin"), std::string::npos) << listed;

    // A cabinet made by the other tool, with MSZIP, extracts here.
    const std::string theirs = Path("theirs.cab");
    ASSERT_EQ(
        std::system(
            ("cd '" + Path("in") + "' && gcab -c -z '" + theirs + "' alpha.txt beta.bin").c_str()),
        0);
    char last[kCabinetPathSize];
    ASSERT_TRUE(DecompressCabinet(theirs.c_str(), Path("out/").c_str(), last));
    EXPECT_EQ(Read(Path("out/alpha.txt")), Read(a));
    EXPECT_EQ(Read(Path("out/beta.bin")), Read(b));
}

TEST_F(CabinetTest, HostileMemberNamesWriteNothing) {
    const std::vector<std::vector<std::string>> cases = {
        {"../escape.txt"},  {"ok.txt", "../../escape.txt"}, {"sub/inner.txt"},
        {"..\\escape.txt"}, {"/tmp/absolute.txt"},          {".."}};
    fs::create_directories(root_ / "out" / "sub");
    for (const auto& names : cases) {
        SCOPED_TRACE(names.back());
        const std::string cab = CabinetNamed(names);
        char last[kCabinetPathSize] = "";
        EXPECT_FALSE(DecompressCabinet(cab.c_str(), Path("out/").c_str(), last));
        EXPECT_EQ(OutFolderNames(), std::vector<std::string>{"sub"});
        EXPECT_TRUE(fs::is_empty(root_ / "out" / "sub"));
        EXPECT_FALSE(fs::exists(root_ / "escape.txt"));
    }
    EXPECT_FALSE(fs::exists("/tmp/absolute.txt"));
}

TEST_F(CabinetTest, SymbolicLinkAtTargetIsReplacedNotFollowed) {
    const std::string outside = Write("outside.txt", "keep me");
    fs::create_symlink(outside, root_ / "out" / "member.txt");
    const std::string cab = CabinetNamed({"member.txt"});
    char last[kCabinetPathSize];
    ASSERT_TRUE(DecompressCabinet(cab.c_str(), Path("out/").c_str(), last));
    EXPECT_EQ(Read(outside), "keep me");
    EXPECT_FALSE(fs::is_symlink(root_ / "out" / "member.txt"));
    EXPECT_EQ(Read(Path("out/member.txt")), "payload");
}

TEST_F(CabinetTest, UnreadableOrEmptyCabinetsAreRefused) {
    const std::string good = CabinetNamed({"a.txt", "b.txt"});
    const std::string whole = Read(good);
    // A header that declares no folder and no member.
    std::string empty(36, '\0');
    empty.replace(0, 4, "MSCF");
    empty[8] = 36;   // cabinet size
    empty[16] = 36;  // first member entry
    empty[24] = 3;   // format 1.3
    empty[25] = 1;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"garbage", Noise(300, 1)},
        {"truncated", whole.substr(0, whole.size() / 2)},
        {"no member", empty},
        {"zero bytes", ""}};
    for (const auto& [label, bytes] : cases) {
        SCOPED_TRACE(label);
        const std::string cab = Write("bad.cab", bytes);
        char last[kCabinetPathSize] = "";
        EXPECT_FALSE(DecompressCabinet(cab.c_str(), Path("out/").c_str(), last));
        EXPECT_TRUE(OutFolderNames().empty());
    }
    char last[kCabinetPathSize];
    EXPECT_FALSE(DecompressCabinet(Path("missing.cab").c_str(), Path("out/").c_str(), last));
}

TEST_F(CabinetTest, ExtractionStopsAtTheSizeCap) {
    const std::string cab = CabinetNamed({"one.txt", "two.txt"});  // 14 bytes in all
    platform::CabinetExtractOptions options;
    options.maxTotalBytes = 13;
    std::vector<std::string> written;
    EXPECT_FALSE(platform::ExtractCabinet(cab, Path("out"), options, &written));
    EXPECT_TRUE(OutFolderNames().empty());
    options.maxTotalBytes = 14;
    EXPECT_TRUE(platform::ExtractCabinet(cab, Path("out"), options, &written));
    EXPECT_EQ(written.size(), 2u);
}

TEST_F(CabinetTest, CreationFailuresLeaveNoCabinet) {
    const std::string a = Write("in/a.txt", "a");
    const std::string cab = Path("fail.kvp");
    const std::string missing = Path("in/missing.txt");
    const char* withMissing[] = {a.c_str(), missing.c_str()};
    EXPECT_FALSE(CreateCabinet(2, withMissing, cab.c_str()));
    EXPECT_FALSE(fs::exists(cab));

    const std::string folder = Path("in");
    const char* aFolder[] = {folder.c_str()};
    EXPECT_FALSE(CreateCabinet(1, aFolder, cab.c_str()));
    const char* onlySeparators[] = {"+", "+"};
    EXPECT_FALSE(CreateCabinet(2, onlySeparators, cab.c_str()));
    EXPECT_FALSE(fs::exists(cab));

    const std::string noFolder = Path("nowhere/fail.kvp");
    const char* one[] = {a.c_str()};
    EXPECT_FALSE(CreateCabinet(1, one, noFolder.c_str()));

    // A short write (the file size limit stands in for a full disk).
    const std::string big = Write("in/big.bin", Noise(200000, 9));
    const char* bigOne[] = {big.c_str()};
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 50000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = CreateCabinet(1, bigOne, cab.c_str());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_FALSE(written);
    EXPECT_FALSE(fs::exists(cab));
    for (const auto& e : fs::directory_iterator(root_))
        EXPECT_EQ(e.path().filename().string().find(".kivora"), std::string::npos)
            << "temporary file left: " << e.path();
}

TEST_F(CabinetTest, CabinetsOfOtherToolsExtractAsCabextractDoes) {
    // A first block of varied text, and a second that repeats much of it: its deflate
    // stream refers back into the first block.
    std::string first = Noise(32768, 21);
    for (char& c : first) c = static_cast<char>('a' + static_cast<unsigned char>(c) % 26);
    const std::string second = first.substr(100, 20000) + "tail";
    const std::string whole = first + second;
    const auto mszip = MszipBlocks({first, second});
    const std::vector<CraftedBlock> stored = {{first, first.size()}, {second, second.size()}};
    const struct {
        const char* label;
        uint16_t compression;
        const std::vector<CraftedBlock>& blocks;
        bool reserve;
        Sums sums;
        bool extracts;
    } cases[] = {
        {"MSZIP referring into the block before", 1, mszip, false, Sums::kRight, true},
        {"stored blocks", 0, stored, false, Sums::kRight, true},
        {"reserved areas in header, folder and blocks", 1, mszip, true, Sums::kRight, true},
        {"no checksums (zero)", 1, mszip, false, Sums::kZero, true},
        {"a wrong checksum", 1, mszip, false, Sums::kWrong, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string cab =
            Write("crafted.cab", CraftCabinet("member.txt", c.compression, c.blocks, c.reserve, c.sums));
        // The independent tool judges the cabinet the same way.
        EXPECT_EQ(std::system(("cabextract -q -t '" + cab + "' >/dev/null 2>&1").c_str()) == 0,
                  c.extracts);
        char last[kCabinetPathSize] = "";
        EXPECT_EQ(DecompressCabinet(cab.c_str(), Path("out/").c_str(), last), c.extracts);
        if (c.extracts) {
            EXPECT_EQ(Read(Path("out/member.txt")), whole);
            EXPECT_EQ(std::string(last), Path("out/member.txt"));
            fs::remove(Path("out/member.txt"));
        }
        EXPECT_TRUE(OutFolderNames().empty());
    }
}

TEST(StripFolderTest, KeepsThePartAfterTheLastSeparator) {
    const struct {
        const char* path;
        size_t size;
        const char* name;
    } cases[] = {{"/tmp/plans/house.kvp", 260, "house.kvp"},
                 {"C:\\plans\\house.kvp", 260, "house.kvp"},
                 {"mixed/a\\b.kvp", 260, "b.kvp"},
                 {"plain.kvp", 260, "plain.kvp"},
                 {"folder/", 260, ""},
                 {"/tmp/longname.kvp", 5, "long"}};
    for (const auto& c : cases) {
        char out[260];
        std::memset(out, 'x', sizeof out);
        StripFolder(c.path, out, c.size);
        EXPECT_STREQ(out, c.name) << c.path;
    }
}

}  // namespace
