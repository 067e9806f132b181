#include "model/PickNameTable.h"

#include <mutex>
#include <unordered_map>

#include "foundation/LinkedList.h"

namespace {

std::mutex& TableMutex() {
    static std::mutex mutex;
    return mutex;
}

std::unordered_map<uint32_t, PickableObject*>& Table() {
    static std::unordered_map<uint32_t, PickableObject*> table;
    return table;
}

}  // namespace

void RegisterPickName(uint32_t name, PickableObject* object) {
    std::lock_guard<std::mutex> guard(TableMutex());
    Table()[name] = object;
}

void UnregisterPickName(uint32_t name) {
    std::lock_guard<std::mutex> guard(TableMutex());
    Table().erase(name);
}

PickableObject* FindPickedObject(uint32_t name) {
    std::lock_guard<std::mutex> guard(TableMutex());
    auto it = Table().find(name);
    return it == Table().end() ? nullptr : it->second;
}

PickName::PickName(PickableObject* object) : name(LinkedListObject().GetID()) {
    RegisterPickName(name, object);
}

PickName::~PickName() {
    UnregisterPickName(name);
}
