#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace platform {

// Components: reference-counted interfaces with HRESULT results, created by class
// identifier through a process-wide class registry.

// Result of every component call: negative values are failures.
using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

// A 128-bit identifier of a class or an interface.
struct Guid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    friend bool operator==(const Guid&, const Guid&) = default;
};

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional, hex digits in
// either case). False, leaving `out` untouched, for anything else.
bool ParseGuid(const char* text, Guid* out);
// The braced upper-case form that ParseGuid reads.
std::string FormatGuid(const Guid& guid);

// Base of every interface. Each interface class names its identifier as `kIid`.
class IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};

    // On success `*out` holds a new reference; on E_NOINTERFACE it is null.
    virtual HRESULT QueryInterface(const Guid& iid, void** out) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Makes instances of one class.
class IClassFactory : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02}};

    // A new instance asked for its interface `iid`; `*out` is null on failure.
    virtual HRESULT CreateInstance(const Guid& iid, void** out) = 0;
};

// Thread-safe reference count for implementations; starts at 1.
class RefCount {
public:
    uint32_t Increment() { return count_.fetch_add(1) + 1; }
    uint32_t Decrement() { return count_.fetch_sub(1) - 1; }

private:
    std::atomic<uint32_t> count_{1};
};

// Holds one reference to an interface.
template <class T>
class RefPtr {
public:
    RefPtr() = default;
    // Takes over a reference the caller already owns.
    static RefPtr Adopt(T* p) {
        RefPtr r;
        r.p_ = p;
        return r;
    }
    RefPtr(const RefPtr& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    RefPtr(RefPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    RefPtr& operator=(RefPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~RefPtr() { Reset(); }

    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // Releases what is held and answers the slot for an out-parameter.
    void** OutParam() {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }

private:
    T* p_ = nullptr;
};

// The class registry of the process.
//
// Registers `factory` for `clsid` (the registry keeps a reference). E_INVALIDARG for a
// null factory, E_FAIL when the class already has one.
HRESULT RegisterClassFactory(const Guid& clsid, IClassFactory* factory);
// Drops the class's factory; S_FALSE when none was registered.
HRESULT RevokeClassFactory(const Guid& clsid);
// A new reference to the class's factory, or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetClassFactory(const Guid& clsid, IClassFactory** out);
// Creates an instance of the class and asks it for `iid`. E_POINTER for a null `out`;
// otherwise `*out` is null on any failure. A class with no factory in the process is
// looked up in the current user's registry store: the library named by the default
// value of "CLSID\{class id}\InprocServer32" in the classes root (what a library's
// registration writes) is loaded, and its exported DllGetClassObject asked for the
// class's factory. The library stays loaded for the rest of the process.
HRESULT CreateInstance(const Guid& clsid, const Guid& iid, void** out);

// The class's factory from the library the registry store names for it, as
// CreateInstance uses it: CLASS_E_CLASSNOTAVAILABLE when no absolute library path is
// registered, E_FAIL when the library does not load or has no DllGetClassObject,
// otherwise the export's own answer.
HRESULT GetRegisteredClassFactory(const Guid& clsid, IClassFactory** out);

// The signature of a library's exported DllGetClassObject.
using DllGetClassObjectFunction = HRESULT (*)(const Guid* clsid, const Guid* iid, void** out);

template <class T>
HRESULT CreateInstance(const Guid& clsid, RefPtr<T>* out) {
    if (!out) return E_POINTER;
    return CreateInstance(clsid, T::kIid, out->OutParam());
}

// A factory that calls `make` for every instance; the answer holds one reference.
using InstanceMaker = std::function<HRESULT(const Guid& iid, void** out)>;
RefPtr<IClassFactory> MakeClassFactory(InstanceMaker make);

}  // namespace platform
