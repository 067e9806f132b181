#pragma once

#include <cstddef>

// Blocks for the small objects that trees are made of, by the hundred thousand: element
// tree members and lists. Freed blocks are kept per size and per thread and used again,
// so that making and freeing a large tree costs a few instructions per node and leaves
// the general allocator nothing to tidy up. Blocks move between threads in batches; a
// thread that ends hands its blocks on. The memory stays with the pool for reuse.
// Blocks over kMaxPooledSize bytes come from the general allocator.
namespace nodepool {

constexpr size_t kMaxPooledSize = 256;

void* Allocate(size_t size);
void Free(void* block, size_t size);
// Bytes the pool has taken from the general allocator for blocks so far.
size_t ReservedBytes();

}  // namespace nodepool

// Gives a class (and the classes derived from it) its blocks from the pool. Under the
// address and thread sanitizers such classes keep the general allocator, so that the
// sanitizers see each node made and freed.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KIVORA_NODE_POOL_IN_USE 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KIVORA_NODE_POOL_IN_USE 0
#endif
#endif
#ifndef KIVORA_NODE_POOL_IN_USE
#define KIVORA_NODE_POOL_IN_USE 1
#endif

#if KIVORA_NODE_POOL_IN_USE
#define KIVORA_POOLED_NODE                                                      \
    static void* operator new(size_t size) { return nodepool::Allocate(size); } \
    static void operator delete(void* block, size_t size) { nodepool::Free(block, size); }
#else
#define KIVORA_POOLED_NODE
#endif
