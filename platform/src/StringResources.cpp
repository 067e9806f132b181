#include "platform/StringResources.h"

#include <algorithm>
#include <cstring>

namespace platform {

const char* StringTable::Find(uint32_t id) const {
    for (size_t i = 0; i < count_; ++i)
        if (entries_[i].id == id) return entries_[i].text;
    return nullptr;
}

std::string StringTable::Load(uint32_t id) const {
    const char* text = Find(id);
    return text ? std::string(text) : std::string();
}

size_t StringTable::LoadTo(uint32_t id, char* buffer, size_t size) const {
    if (!buffer || size == 0) return 0;
    buffer[0] = 0;
    const char* text = Find(id);
    if (!text) return 0;
    const size_t length = std::min(std::strlen(text), size - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
    return length;
}

}  // namespace platform
