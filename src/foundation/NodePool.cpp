#include "foundation/NodePool.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace nodepool {

namespace {

// Pooled classes need no more than pointer alignment.
constexpr size_t kGranule = 8;
constexpr size_t kClasses = kMaxPooledSize / kGranule;
// Free blocks are held in magazines: arrays of this many block addresses.
constexpr uint32_t kMagazineSize = 256;
// How many blocks ahead of the one taken the pool fetches into the cache.
constexpr uint32_t kPrefetchAhead = 4;
// Fresh blocks are cut from chunks of this size.
constexpr size_t kChunkSize = 256 * 1024;

// Free blocks are kept by address in arrays, not linked through the blocks: a freed block
// is seldom in the cache, and taking one must not wait for its memory.
struct Magazine {
    uint32_t count = 0;
    void* blocks[kMagazineSize];

    bool Empty() const { return count == 0; }
    bool Full() const { return count == kMagazineSize; }
};

// Magazines that threads handed on, shared by all threads; the last one in goes out
// first, as its blocks are the likeliest to be in a cache. Never destroyed: blocks may be
// freed during the process's exit.
struct Depot {
    std::mutex mutex;
    std::vector<Magazine*> loaded[kClasses];
    std::vector<Magazine*> empty;

    void PutLoaded(size_t c, Magazine* m) {
        std::lock_guard<std::mutex> hold(mutex);
        loaded[c].push_back(m);
    }
    Magazine* TakeLoaded(size_t c) {
        std::lock_guard<std::mutex> hold(mutex);
        if (loaded[c].empty()) return nullptr;
        Magazine* m = loaded[c].back();
        loaded[c].pop_back();
        return m;
    }
    void PutEmpty(Magazine* m) {
        std::lock_guard<std::mutex> hold(mutex);
        empty.push_back(m);
    }
    Magazine* TakeEmpty() {
        {
            std::lock_guard<std::mutex> hold(mutex);
            if (!empty.empty()) {
                Magazine* m = empty.back();
                empty.pop_back();
                return m;
            }
        }
        return new Magazine;
    }
    void Put(size_t c, Magazine* m) {
        if (!m) return;
        if (m->Empty())
            PutEmpty(m);
        else
            PutLoaded(c, m);
    }
};

std::atomic<size_t> g_reserved{0};

Depot& TheDepot() {
    static Depot* depot = new Depot;
    return *depot;
}

// Per thread and size: the magazine in use and a spare, so that a thread that frees and
// makes blocks around a magazine's edge does not go to the depot each time.
// Trivially destructible, so that it stays usable while the thread's other objects are
// destroyed; CacheHandOver gives its magazines to the depot when the thread ends.
struct ThreadCache {
    Magazine* current[kClasses] = {};
    Magazine* spare[kClasses] = {};
    char* fresh = nullptr;
    char* freshEnd = nullptr;
    bool handOverArmed = false;
    bool ended = false;

    void HandOver() {
        Depot& depot = TheDepot();
        for (size_t c = 0; c < kClasses; ++c) {
            depot.Put(c, current[c]);
            depot.Put(c, spare[c]);
            current[c] = spare[c] = nullptr;
        }
        ended = true;
    }

    void Arm(size_t c) {
        if (!current[c]) current[c] = TheDepot().TakeEmpty();
        if (!spare[c]) spare[c] = TheDepot().TakeEmpty();
    }

    void* Allocate(size_t c) {
        Arm(c);
        Magazine*& m = current[c];
        if (m->Empty()) {
            if (!spare[c]->Empty()) {
                std::swap(m, spare[c]);
            } else if (Magazine* loaded = TheDepot().TakeLoaded(c)) {
                TheDepot().PutEmpty(m);
                m = loaded;
            } else {
                return Cut((c + 1) * kGranule);
            }
        }
        void* block = m->blocks[--m->count];
        // A freed block is seldom in the cache; the ones taken next are fetched meanwhile.
        if (m->count >= kPrefetchAhead) {
            char* later = static_cast<char*>(m->blocks[m->count - kPrefetchAhead]);
            __builtin_prefetch(later, 1);
            __builtin_prefetch(later + 64, 1);
        }
        return block;
    }

    void Free(void* block, size_t c) {
        Arm(c);
        Magazine*& m = current[c];
        if (m->Full()) {
            if (spare[c]->Empty()) {
                std::swap(m, spare[c]);
            } else {
                TheDepot().PutLoaded(c, spare[c]);
                spare[c] = m;
                m = TheDepot().TakeEmpty();
            }
        }
        m->blocks[m->count++] = block;
    }

    void* Cut(size_t size) {
        if (static_cast<size_t>(freshEnd - fresh) < size) {
            // What is left of the old chunk is too small for this size; it stays unused.
            fresh = static_cast<char*>(std::malloc(kChunkSize));
            if (!fresh) throw std::bad_alloc();
            g_reserved.fetch_add(kChunkSize, std::memory_order_relaxed);
            freshEnd = fresh + kChunkSize;
        }
        void* block = fresh;
        fresh += size;
        return block;
    }
};

thread_local ThreadCache t_cache;

struct CacheHandOver {
    ~CacheHandOver() { t_cache.HandOver(); }
    bool armed = false;
};
thread_local CacheHandOver t_handOver;

// The thread's cache, with its hand-over at the thread's end arranged on first use.
ThreadCache& Cache() {
    ThreadCache& cache = t_cache;
    if (!cache.handOverArmed) {
        cache.handOverArmed = true;
        // The first use of the object registers its destructor for this thread.
        t_handOver.armed = true;
    }
    return cache;
}

size_t ClassOf(size_t size) {
    return (size + kGranule - 1) / kGranule - 1;
}

}  // namespace

void* Allocate(size_t size) {
    if (size == 0 || size > kMaxPooledSize) return ::operator new(size);
    ThreadCache& cache = Cache();
    if (cache.ended) {
        // The thread is ending: its blocks were handed on already.
        void* block = std::malloc(kGranule * (ClassOf(size) + 1));
        if (!block) throw std::bad_alloc();
        g_reserved.fetch_add(kGranule * (ClassOf(size) + 1), std::memory_order_relaxed);
        return block;
    }
    return cache.Allocate(ClassOf(size));
}

void Free(void* block, size_t size) {
    if (!block) return;
    if (size == 0 || size > kMaxPooledSize) {
        ::operator delete(block);
        return;
    }
    ThreadCache& cache = Cache();
    if (cache.ended) {
        // The thread is ending: the block goes to the depot in a magazine of its own.
        Magazine* m = TheDepot().TakeEmpty();
        m->blocks[m->count++] = block;
        TheDepot().PutLoaded(ClassOf(size), m);
        return;
    }
    cache.Free(block, ClassOf(size));
}


size_t ReservedBytes() {
    return g_reserved.load(std::memory_order_relaxed);
}

}  // namespace nodepool
