#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "foundation/NodePool.h"

namespace {

struct Block {
    unsigned char* data;
    size_t size;
    unsigned char tag;
};

// Blocks of every pooled size and one too large for the pool, each filled with a tag.
std::vector<Block> MakeBlocks(int perSize) {
    std::vector<Block> blocks;
    for (size_t size : {size_t{8}, size_t{24}, size_t{72}, size_t{104}, nodepool::kMaxPooledSize,
                        nodepool::kMaxPooledSize + 40}) {
        for (int i = 0; i < perSize; ++i) {
            const auto tag = static_cast<unsigned char>(blocks.size() * 7 + 1);
            auto* data = static_cast<unsigned char*>(nodepool::Allocate(size));
            std::memset(data, tag, size);
            blocks.push_back({data, size, tag});
        }
    }
    return blocks;
}

// Every block is its own: its whole tag survived the filling of the others.
void ExpectWhole(const std::vector<Block>& blocks) {
    std::set<void*> starts;
    for (const Block& b : blocks) {
        EXPECT_TRUE(starts.insert(b.data).second) << "a block was handed out twice";
        for (size_t i = 0; i < b.size; ++i) {
            if (b.data[i] != b.tag) {
                ADD_FAILURE() << "blocks overlap (size " << b.size << ")";
                return;
            }
        }
    }
}

}  // namespace

TEST(NodePool, BlocksAreWholeAndFreedOnesServeOtherThreads) {
    // More blocks than a thread keeps, so that they travel through the shared depot.
    std::vector<Block> blocks;
    std::thread maker([&] { blocks = MakeBlocks(3000); });
    maker.join();
    ExpectWhole(blocks);

    // Freed on another thread, which then ends and hands its blocks on.
    std::thread freer([&] {
        for (const Block& b : blocks) nodepool::Free(b.data, b.size);
    });
    freer.join();

    // A further thread makes as many blocks again from what was freed: the pool does
    // not grow.
    const size_t reserved = nodepool::ReservedBytes();
    std::thread again([&] {
        std::vector<Block> more = MakeBlocks(3000);
        ExpectWhole(more);
        for (const Block& b : more) nodepool::Free(b.data, b.size);
    });
    again.join();
    EXPECT_EQ(nodepool::ReservedBytes(), reserved);
}
