#pragma once

#include <cstddef>

// Blocks for the small objects that trees are made of, by the hundred thousand: element
// tree members and lists. Freed blocks are kept per size and per thread and used again,
// so that making and freeing a large tree costs a few instructions per node and leaves
// the general allocator nothing to tidy up. Blocks move between threads in batches; a
// thread that ends hands its blocks on. The memory stays with the pool for reuse.
// Blocks over kMaxPooledSize bytes come from the general allocator. Under the address
// and thread sanitizers every block does, so that their checks see each node.
namespace nodepool {

constexpr size_t kMaxPooledSize = 256;

void* Allocate(size_t size);
void Free(void* block, size_t size);

}  // namespace nodepool

// Gives a class (and the classes derived from it) its blocks from the pool.
#define KIVORA_POOLED_NODE                                                      \
    static void* operator new(size_t size) { return nodepool::Allocate(size); } \
    static void operator delete(void* block, size_t size) { nodepool::Free(block, size); }
