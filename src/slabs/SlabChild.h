#pragma once

// The base of every child of a slab.
class SlabChild {
public:
    SlabChild() = default;
    virtual ~SlabChild() = default;
    SlabChild(const SlabChild&) = delete;
    SlabChild& operator=(const SlabChild&) = delete;
};
