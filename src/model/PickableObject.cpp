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

// A fresh name for `object`; the table's lock is held.
uint32_t AddName(PickNameTable& table, PickableObject* object) {
    // After the counter wraps, names still in use are skipped; 0 never is a name.
    do {
        ++table.last;
    } while (table.last == 0 || table.objects.count(table.last) != 0);
    table.objects.emplace(table.last, object);
    return table.last;
}

// `name`, given to `object` first when it has none yet.
uint32_t NameFor(uint32_t& name, PickableObject* object) {
    PickNameTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    if (name == 0) name = AddName(table, object);
    return name;
}

void RemoveName(uint32_t name) {
    if (name == 0) return;
    PickNameTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    table.objects.erase(name);
}

}  // namespace

PickableObject::~PickableObject() {
    RemoveName(pickName);
}

uint32_t PickableObject::GetPickName() {
    return NameFor(pickName, this);
}

PickableObject* PickableObject::FromPickName(uint32_t name) {
    if (name == 0) return nullptr;
    PickNameTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    const auto found = table.objects.find(name);
    return found == table.objects.end() ? nullptr : found->second;
}

PickAlias::~PickAlias() {
    RemoveName(name);
}

uint32_t PickAlias::Get() {
    return NameFor(name, object);
}
