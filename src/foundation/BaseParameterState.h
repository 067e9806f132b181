#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/SerializableObject.h"
#include "geometry/Vector.h"
#include "platform/RecursiveLock.h"

// Numbers of slots of each type that a concrete state holds.
struct ParameterSlotCounts {
    int booleans = 0;
    int integers = 0;
    int doubles = 0;
    int strings = 0;
    int vectors = 0;
    int int64s = 0;
};

// Settings that a user can change and that new objects start from, kept as six typed
// arrays of numbered slots. A concrete state fixes its counts, its defaults, its registry
// folder and which values its setters accept.
//
// Every slot starts at zero (strings empty, vectors (0, 0, 0, 1)) before the concrete
// constructor sets its defaults. Every access holds the state's own lock. An index
// outside the counts is refused with a trace: a get answers zero (or an empty text, or
// the vector (0, 0, 0, 1)) and a set changes nothing.
//
// A state written into plans is a serializable object: its element is the key-data
// sublist of its slots, and it may carry object information like any other.
//
// Lock order: a state's lock is the innermost of the editor's locks; element lists are
// read and written outside it, from a snapshot or into pending values.
class BaseParameterState : public SerializableObject {
public:
    // A string slot holds at most this many characters; longer texts are cut.
    static constexpr int kMaxStringLength = 511;

    virtual ~BaseParameterState();
    BaseParameterState(const BaseParameterState&) = delete;
    BaseParameterState& operator=(const BaseParameterState&) = delete;

    // --- element tree -------------------------------------------------------------
    // Builds the state's element (a sublist named after the state) from a snapshot of
    // its slots, replacing an element that nobody took. States that are not written
    // into plans build nothing.
    void WriteKeyData() override;
    // Reads the slots from the child list of the state's element. Each value passes the
    // validating setters; a refused or unreadable value leaves its slot unchanged.
    virtual void ReadKeyData(KeyDataList& list);

    // The registry folder of the state's stored defaults ("defaults\wall\"; empty for
    // the product key itself).
    virtual const char* GetRegistryPath() const = 0;
    // The name of the state's element in a plan, or null when the state is not written.
    virtual const char* GetElementName() const { return nullptr; }

    // --- validating setters: answer false and change nothing for a refused value ----
    virtual bool SetInteger(int i, int32_t value);
    virtual bool SetDouble(int i, double value);
    virtual bool SetString(int i, const char* text);
    virtual bool SetInt64(int i, uint64_t value);
    virtual bool SetVector(int i, const Vector& value);

    // The program's own factory values, stored without the setters' checks (a factory
    // value may be a marker such as -1.0 that no user may type).
    bool StoreFactoryDouble(int i, double value) { return StoreDouble(i, value); }

    // --- plain accessors --------------------------------------------------------------
    bool GetBoolean(int i) const;
    bool SetBoolean(int i, bool value);
    int32_t GetInteger(int i) const;
    double GetDouble(int i) const;
    uint64_t GetInt64(int i) const;
    // A copy of the slot's text, safe to keep after the call.
    std::string GetString(int i) const;
    Vector GetVector(int i) const;

    ParameterSlotCounts Counts() const { return counts_; }

    // Copies every slot from a state of the same shape: a snapshot is taken under the
    // other state's lock, then assigned under this one's (never both at once). A state
    // of another shape is refused with a trace.
    bool CopyFrom(const BaseParameterState& other);

    // The element built by the last `WriteKeyData`, handed to the caller (who owns it
    // from then on); null when none is waiting.
    KeyDataSublist* TakeElement();

    // --- registry ---------------------------------------------------------------------
    // Reads every slot present in the registry folder through the validating setters;
    // an absent or unreadable value leaves its slot as it was.
    void LoadFromRegistry();
    // Writes a snapshot of every slot to the registry folder (empty texts are skipped).
    void SaveToRegistry() const;
    // Deletes the registry folder with everything below it. A state kept in the product
    // key itself has no folder of its own and deletes nothing.
    bool DeleteRegistryFolder() const;

protected:
    explicit BaseParameterState(const ParameterSlotCounts& counts);

    // Values read from outside, waiting to pass the setters; an empty entry leaves its
    // slot as it is.
    struct PendingValues {
        std::vector<std::optional<bool>> booleans;
        std::vector<std::optional<int32_t>> integers;
        std::vector<std::optional<double>> doubles;
        std::vector<std::optional<std::string>> strings;
        std::vector<std::optional<Vector>> vectors;
        std::vector<std::optional<uint64_t>> int64s;
    };
    PendingValues MakePendingValues() const;
    // Applies the values under the lock, through the validating setters.
    void ApplyPendingValues(const PendingValues& values);

    // Helpers for constructors: set a range of slots [first, last] without checks.
    void InitBooleans(int first, int last, bool value);
    void InitIntegers(int first, int last, int32_t value);
    void InitDoubles(int first, int last, double value);

    // The plain setters: no check of the value (the index is still checked).
    bool StoreInteger(int i, int32_t value);
    bool StoreDouble(int i, double value);
    bool StoreString(int i, const char* text);
    bool StoreInt64(int i, uint64_t value);
    bool StoreVector(int i, const Vector& value);

    // Keeps a newly built element until it is taken, dropping one that nobody took.
    void ReplaceElement(KeyDataSublist* built);

    // Readers of the element tree's keys ("doubles%i" and the like).
    static std::string SlotKey(const char* kind, int i);
    static Vector ReadVectorSlot(KeyDataList& list, int i, const Vector& current);

private:
    struct Slots {
        std::vector<uint8_t> booleans;
        std::vector<int32_t> integers;
        std::vector<double> doubles;
        std::vector<std::string> strings;
        std::vector<Vector> vectors;
        std::vector<uint64_t> int64s;
    };

    template <class T>
    T ReadSlot(const std::vector<T>& slots, int i, const char* message) const;
    template <class T>
    bool WriteSlot(std::vector<T>& slots, int i, T value, const char* message);

    Slots Snapshot() const;
    static void WriteSlots(const Slots& slots, KeyDataList& list);

    const ParameterSlotCounts counts_;
    Slots slots_;
    mutable platform::RecursiveLock lock_;
};

// Conversions of numbers and texts from outside into slot values: an integer or boolean
// is taken only from a finite number (truncated toward zero) inside the type's range; a
// 64-bit value only from a text of decimal digits that fits.
std::optional<bool> BooleanFromNumber(double value);
std::optional<int32_t> IntegerFromNumber(double value);
std::optional<uint64_t> Int64FromText(const char* text);
