#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A component's table of user-visible texts, found by number.
struct StringResource {
    uint32_t id;
    const char* text;
};

class StringTable {
public:
    constexpr StringTable(const StringResource* entries, size_t count)
        : entries_(entries), count_(count) {}

    // The text of `id`, or null when the table has none.
    const char* Find(uint32_t id) const;
    // A copy of the text; empty when the table has none.
    std::string Load(uint32_t id) const;
    // Copies the text into `buffer` of `size` characters, cut to fit and always
    // terminated; answers the characters copied (0 when the table has no such text or
    // there is no room).
    size_t LoadTo(uint32_t id, char* buffer, size_t size) const;

private:
    const StringResource* entries_;
    size_t count_;
};

}  // namespace platform
