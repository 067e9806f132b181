#include "model/PickableObject.h"

#include <mutex>
#include <unordered_map>

namespace {

// Names in use and the objects they stand for. Its lock is a leaf: nothing else is taken
// while it is held.
struct PickNameTable {
    std::mutex lock;
    std::unordered_map<uint32_t, PickableObject*> objects;
    uint32_t last = 0;
};

PickNameTable& Table() {
    static PickNameTable* table = new PickNameTable;  // outlives every static object
    return *table;
}

}  // namespace

PickableObject::~PickableObject() {
    if (pickName == 0) return;
    PickNameTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    table.objects.erase(pickName);
}

uint32_t PickableObject::GetPickName() {
    PickNameTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    if (pickName != 0) return pickName;
    // After the counter wraps, names still in use are skipped; 0 never is a name.
    do {
        ++table.last;
    } while (table.last == 0 || table.objects.count(table.last) != 0);
    pickName = table.last;
    table.objects.emplace(pickName, this);
    return pickName;
}

PickableObject* PickableObject::FromPickName(uint32_t name) {
    if (name == 0) return nullptr;
    PickNameTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    const auto found = table.objects.find(name);
    return found == table.objects.end() ? nullptr : found->second;
}
