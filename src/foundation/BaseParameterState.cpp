#include "foundation/BaseParameterState.h"

#include <cerrno>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

#include "foundation/KeyDataList.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"

using platform::LockHolder;

namespace {

// Registry texts are read into buffers of this size.
constexpr std::size_t kRegistryTextSize = 260;

bool InRange(int i, std::size_t count, const char* message) {
    return PRECONDITION(i >= 0 && static_cast<std::size_t>(i) < count, message);
}

std::string RegistryName(const char* kind, int i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s %d", kind, i);
    return name;
}

std::string Int64Text(uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64, value);
    return text;
}

}  // namespace

std::optional<bool> BooleanFromNumber(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    return std::trunc(value) != 0.0;
}

std::optional<int32_t> IntegerFromNumber(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    const double t = std::trunc(value);
    if (t < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        t > static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::nullopt;
    return static_cast<int32_t>(t);
}

std::optional<uint64_t> Int64FromText(const char* text) {
    if (!text) return std::nullopt;
    while (*text == ' ' || *text == '\t') ++text;
    if (*text < '0' || *text > '9') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (errno == ERANGE) return std::nullopt;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') return std::nullopt;
    return static_cast<uint64_t>(value);
}

BaseParameterState::BaseParameterState(const ParameterSlotCounts& counts) : counts_(counts) {
    slots_.booleans.assign(std::max(counts.booleans, 0), 0);
    slots_.integers.assign(std::max(counts.integers, 0), 0);
    slots_.doubles.assign(std::max(counts.doubles, 0), 0.0);
    slots_.strings.assign(std::max(counts.strings, 0), std::string());
    slots_.vectors.assign(std::max(counts.vectors, 0), Vector());
    slots_.int64s.assign(std::max(counts.int64s, 0), 0);
}

BaseParameterState::~BaseParameterState() = default;

// --- plain accessors ----------------------------------------------------------------

template <class T>
T BaseParameterState::ReadSlot(const std::vector<T>& slots, int i, const char* message) const {
    LockHolder hold(lock_);
    if (!InRange(i, slots.size(), message)) return T();
    return slots[i];
}

template <class T>
bool BaseParameterState::WriteSlot(std::vector<T>& slots, int i, T value, const char* message) {
    LockHolder hold(lock_);
    if (!InRange(i, slots.size(), message)) return false;
    slots[i] = std::move(value);
    return true;
}

bool BaseParameterState::GetBoolean(int i) const {
    return ReadSlot(slots_.booleans, i, "boolean slot out of range") != 0;
}

bool BaseParameterState::SetBoolean(int i, bool value) {
    return WriteSlot<uint8_t>(slots_.booleans, i, value ? 1 : 0, "boolean slot out of range");
}

int32_t BaseParameterState::GetInteger(int i) const {
    return ReadSlot(slots_.integers, i, "integer slot out of range");
}

bool BaseParameterState::StoreInteger(int i, int32_t value) {
    return WriteSlot(slots_.integers, i, value, "integer slot out of range");
}

double BaseParameterState::GetDouble(int i) const {
    return ReadSlot(slots_.doubles, i, "double slot out of range");
}

bool BaseParameterState::StoreDouble(int i, double value) {
    return WriteSlot(slots_.doubles, i, value, "double slot out of range");
}

uint64_t BaseParameterState::GetInt64(int i) const {
    return ReadSlot(slots_.int64s, i, "int64 slot out of range");
}

bool BaseParameterState::StoreInt64(int i, uint64_t value) {
    return WriteSlot(slots_.int64s, i, value, "int64 slot out of range");
}

std::string BaseParameterState::GetString(int i) const {
    return ReadSlot(slots_.strings, i, "string slot out of range");
}

bool BaseParameterState::StoreString(int i, const char* text) {
    if (!text) text = "";
    return WriteSlot(slots_.strings, i, std::string(text, strnlen(text, kMaxStringLength)),
                     "string slot out of range");
}

Vector BaseParameterState::GetVector(int i) const {
    return ReadSlot(slots_.vectors, i, "vector slot out of range");
}

bool BaseParameterState::StoreVector(int i, const Vector& value) {
    return WriteSlot(slots_.vectors, i, value, "vector slot out of range");
}

// The base accepts every value; concrete states refuse what they cannot use.
bool BaseParameterState::SetInteger(int i, int32_t value) {
    return StoreInteger(i, value);
}
bool BaseParameterState::SetDouble(int i, double value) {
    return StoreDouble(i, value);
}
bool BaseParameterState::SetString(int i, const char* text) {
    return StoreString(i, text);
}
bool BaseParameterState::SetInt64(int i, uint64_t value) {
    return StoreInt64(i, value);
}
bool BaseParameterState::SetVector(int i, const Vector& value) {
    return StoreVector(i, value);
}

void BaseParameterState::InitBooleans(int first, int last, bool value) {
    for (int i = first; i <= last; ++i) SetBoolean(i, value);
}

void BaseParameterState::InitIntegers(int first, int last, int32_t value) {
    for (int i = first; i <= last; ++i) StoreInteger(i, value);
}

void BaseParameterState::InitDoubles(int first, int last, double value) {
    for (int i = first; i <= last; ++i) StoreDouble(i, value);
}

// --- copying --------------------------------------------------------------------------

BaseParameterState::Slots BaseParameterState::Snapshot() const {
    LockHolder hold(lock_);
    return slots_;
}

bool BaseParameterState::CopyFrom(const BaseParameterState& other) {
    if (&other == this) return true;
    const ParameterSlotCounts a = counts_, b = other.counts_;
    const bool sameShape = a.booleans == b.booleans && a.integers == b.integers &&
                           a.doubles == b.doubles && a.strings == b.strings &&
                           a.vectors == b.vectors && a.int64s == b.int64s;
    if (!PRECONDITION(sameShape, "CopyFrom of a state with other slot counts")) return false;
    Slots copy = other.Snapshot();
    LockHolder hold(lock_);
    slots_ = std::move(copy);
    return true;
}

// --- pending values -------------------------------------------------------------------

BaseParameterState::PendingValues BaseParameterState::MakePendingValues() const {
    PendingValues values;
    values.booleans.resize(slots_.booleans.size());
    values.integers.resize(slots_.integers.size());
    values.doubles.resize(slots_.doubles.size());
    values.strings.resize(slots_.strings.size());
    values.vectors.resize(slots_.vectors.size());
    values.int64s.resize(slots_.int64s.size());
    return values;
}

void BaseParameterState::ApplyPendingValues(const PendingValues& values) {
    LockHolder hold(lock_);
    const auto apply = [](const auto& list, const auto& set) {
        for (std::size_t i = 0; i < list.size(); ++i)
            if (list[i]) set(static_cast<int>(i), *list[i]);
    };
    apply(values.booleans, [this](int i, bool v) { SetBoolean(i, v); });
    apply(values.doubles, [this](int i, double v) { SetDouble(i, v); });
    apply(values.int64s, [this](int i, uint64_t v) { SetInt64(i, v); });
    apply(values.integers, [this](int i, int32_t v) { SetInteger(i, v); });
    apply(values.strings, [this](int i, const std::string& v) { SetString(i, v.c_str()); });
    apply(values.vectors, [this](int i, const Vector& v) { SetVector(i, v); });
}

// --- element tree ---------------------------------------------------------------------

std::string BaseParameterState::SlotKey(const char* kind, int i) {
    char key[64];
    std::snprintf(key, sizeof key, "%s%d", kind, i);
    return key;
}

Vector BaseParameterState::ReadVectorSlot(KeyDataList& list, int i, const Vector& current) {
    // A missing sublist or component leaves the current value.
    Vector value = current;
    value.ReadChild(list, SlotKey("vectors", i).c_str());
    return value;
}

void BaseParameterState::WriteSlots(const Slots& slots, KeyDataList& list) {
    for (std::size_t i = 0; i < slots.booleans.size(); ++i)
        list.AddDouble(SlotKey("booleans", int(i)).c_str(), slots.booleans[i] ? 1.0 : 0.0);
    for (std::size_t i = 0; i < slots.doubles.size(); ++i)
        list.AddDouble(SlotKey("doubles", int(i)).c_str(), slots.doubles[i]);
    for (std::size_t i = 0; i < slots.int64s.size(); ++i)
        list.AddString(SlotKey("int64s", int(i)).c_str(), Int64Text(slots.int64s[i]).c_str());
    for (std::size_t i = 0; i < slots.integers.size(); ++i)
        list.AddDouble(SlotKey("integers", int(i)).c_str(), slots.integers[i]);
    for (std::size_t i = 0; i < slots.strings.size(); ++i)
        list.AddString(SlotKey("strings", int(i)).c_str(), slots.strings[i].c_str());
    for (std::size_t i = 0; i < slots.vectors.size(); ++i)
        slots.vectors[i].WriteChild(list, SlotKey("vectors", int(i)).c_str());
}

void BaseParameterState::WriteKeyData() {
    const char* name = GetElementName();
    if (!name) return;
    const Slots slots = Snapshot();
    auto* built = new KeyDataSublist(name);
    WriteSlots(slots, *built->GetChildren());
    ReplaceElement(built);
}

void BaseParameterState::ReplaceElement(KeyDataSublist* built) {
    KeyDataSublist* old;
    {
        LockHolder hold(lock_);
        old = std::exchange(element, built);
    }
    delete old;
}

KeyDataSublist* BaseParameterState::TakeElement() {
    LockHolder hold(lock_);
    return std::exchange(element, nullptr);
}

void BaseParameterState::ReadKeyData(KeyDataList& list) {
    PendingValues values = MakePendingValues();
    // A missing number reads as 0 and still has to pass the setters.
    for (std::size_t i = 0; i < values.booleans.size(); ++i)
        values.booleans[i] = BooleanFromNumber(list.GetNumber(SlotKey("booleans", int(i)).c_str()));
    for (std::size_t i = 0; i < values.doubles.size(); ++i)
        values.doubles[i] = list.GetNumber(SlotKey("doubles", int(i)).c_str());
    for (std::size_t i = 0; i < values.int64s.size(); ++i) {
        const char* text = list.GetString(SlotKey("int64s", int(i)).c_str());
        values.int64s[i] = text ? Int64FromText(text) : std::optional<uint64_t>(0);
    }
    for (std::size_t i = 0; i < values.integers.size(); ++i)
        values.integers[i] = IntegerFromNumber(list.GetNumber(SlotKey("integers", int(i)).c_str()));
    for (std::size_t i = 0; i < values.strings.size(); ++i) {
        // A missing text keeps the slot's own.
        if (const char* text = list.GetString(SlotKey("strings", int(i)).c_str()))
            values.strings[i] = std::string(text);
    }
    for (std::size_t i = 0; i < values.vectors.size(); ++i)
        values.vectors[i] = ReadVectorSlot(list, int(i), GetVector(int(i)));
    ApplyPendingValues(values);
}

// --- registry -------------------------------------------------------------------------

void BaseParameterState::LoadFromRegistry() {
    const char* folder = GetRegistryPath();
    PendingValues values = MakePendingValues();
    double number = 0.0;
    char text[kRegistryTextSize];

    for (std::size_t i = 0; i < values.booleans.size(); ++i)
        if (RegistryGetDouble(folder, RegistryName("boolean", int(i)).c_str(), &number))
            values.booleans[i] = BooleanFromNumber(number);
    for (std::size_t i = 0; i < values.integers.size(); ++i)
        if (RegistryGetDouble(folder, RegistryName("integer", int(i)).c_str(), &number))
            values.integers[i] = IntegerFromNumber(number);
    for (std::size_t i = 0; i < values.doubles.size(); ++i)
        if (RegistryGetDouble(folder, RegistryName("double", int(i)).c_str(), &number))
            values.doubles[i] = number;
    for (std::size_t i = 0; i < values.int64s.size(); ++i) {
        text[0] = '\0';
        if (RegistryGetString(folder, RegistryName("int64", int(i)).c_str(), text, sizeof text)) {
            text[sizeof text - 1] = '\0';
            values.int64s[i] = Int64FromText(text);
        }
    }
    for (std::size_t i = 0; i < values.vectors.size(); ++i) {
        // Three numbers "vector %i0" .. "vector %i2"; all three must be present.
        const std::string base = RegistryName("vector", int(i));
        double xyz[3];
        bool complete = true;
        for (int c = 0; c < 3 && complete; ++c)
            complete = RegistryGetDouble(folder, (base + char('0' + c)).c_str(), &xyz[c]);
        if (complete) values.vectors[i] = Vector(xyz[0], xyz[1], xyz[2]);
    }
    for (std::size_t i = 0; i < values.strings.size(); ++i) {
        text[0] = '\0';
        if (RegistryGetString(folder, RegistryName("string", int(i)).c_str(), text, sizeof text)) {
            text[sizeof text - 1] = '\0';
            values.strings[i] = std::string(text);
        }
    }
    ApplyPendingValues(values);
}

void BaseParameterState::SaveToRegistry() const {
    const char* folder = GetRegistryPath();
    const Slots slots = Snapshot();
    for (std::size_t i = 0; i < slots.booleans.size(); ++i)
        RegistrySetDouble(folder, RegistryName("boolean", int(i)).c_str(),
                          slots.booleans[i] ? 1.0 : 0.0);
    for (std::size_t i = 0; i < slots.integers.size(); ++i)
        RegistrySetDouble(folder, RegistryName("integer", int(i)).c_str(), slots.integers[i]);
    for (std::size_t i = 0; i < slots.doubles.size(); ++i)
        RegistrySetDouble(folder, RegistryName("double", int(i)).c_str(), slots.doubles[i]);
    for (std::size_t i = 0; i < slots.int64s.size(); ++i)
        RegistrySetString(folder, RegistryName("int64", int(i)).c_str(),
                          Int64Text(slots.int64s[i]).c_str());
    for (std::size_t i = 0; i < slots.strings.size(); ++i)
        if (!slots.strings[i].empty())
            RegistrySetString(folder, RegistryName("string", int(i)).c_str(),
                              slots.strings[i].c_str());
    for (std::size_t i = 0; i < slots.vectors.size(); ++i) {
        const std::string base = RegistryName("vector", int(i));
        const Vector& v = slots.vectors[i];
        RegistrySetDouble(folder, (base + '0').c_str(), v.x);
        RegistrySetDouble(folder, (base + '1').c_str(), v.y);
        RegistrySetDouble(folder, (base + '2').c_str(), v.z);
    }
}

bool BaseParameterState::DeleteRegistryFolder() const {
    const char* folder = GetRegistryPath();
    // An empty folder names the product key, which holds every other setting too.
    if (!PRECONDITION(folder && folder[0] != '\0', "state has no registry folder of its own"))
        return false;
    return RegistryDeleteKey(folder);
}
