#include "platform/Component.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/RegistryStore.h"

namespace platform {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads `digits` hex digits at `text`; false when any is not one.
bool ReadHex(const char* text, int digits, uint64_t* value) {
    uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int h = HexValue(text[i]);
        if (h < 0) return false;
        v = (v << 4) | static_cast<uint64_t>(h);
    }
    *value = v;
    return true;
}

struct Registration {
    Guid clsid;
    IClassFactory* factory;
};

struct ClassRegistry {
    std::mutex mutex;
    std::vector<Registration> entries;

    // Under the mutex.
    std::vector<Registration>::iterator Find(const Guid& clsid) {
        auto it = entries.begin();
        while (it != entries.end() && !(it->clsid == clsid)) ++it;
        return it;
    }
};

ClassRegistry& Classes() {
    // Left alive at exit: factories of components may outlive static destruction order.
    static ClassRegistry* registry = new ClassRegistry;
    return *registry;
}

class FunctionClassFactory final : public IClassFactory {
public:
    explicit FunctionClassFactory(InstanceMaker make) : make_(std::move(make)) {}

    HRESULT QueryInterface(const Guid& iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IUnknown::kIid || iid == IClassFactory::kIid) {
            AddRef();
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override {
        const uint32_t left = refs_.Decrement();
        if (left == 0) delete this;
        return left;
    }
    HRESULT CreateInstance(const Guid& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return make_ ? make_(iid, out) : E_FAIL;
    }

private:
    RefCount refs_;
    InstanceMaker make_;
};

}  // namespace

bool ParseGuid(const char* text, Guid* out) {
    if (!text || !out) return false;
    const size_t length = std::strlen(text);
    const bool braced = length == 38 && text[0] == '{' && text[37] == '}';
    if (!braced && length != 36) return false;
    const char* p = braced ? text + 1 : text;
    if (p[8] != '-' || p[13] != '-' || p[18] != '-' || p[23] != '-') return false;
    uint64_t a, b, c, d, e;
    if (!ReadHex(p, 8, &a) || !ReadHex(p + 9, 4, &b) || !ReadHex(p + 14, 4, &c) ||
        !ReadHex(p + 19, 4, &d) || !ReadHex(p + 24, 12, &e))
        return false;
    Guid g;
    g.data1 = static_cast<uint32_t>(a);
    g.data2 = static_cast<uint16_t>(b);
    g.data3 = static_cast<uint16_t>(c);
    g.data4[0] = static_cast<uint8_t>(d >> 8);
    g.data4[1] = static_cast<uint8_t>(d);
    for (int i = 0; i < 6; ++i) g.data4[2 + i] = static_cast<uint8_t>(e >> (8 * (5 - i)));
    *out = g;
    return true;
}

std::string FormatGuid(const Guid& g) {
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1,
                  g.data2, g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

HRESULT RegisterClassFactory(const Guid& clsid, IClassFactory* factory) {
    if (!factory) return E_INVALIDARG;
    ClassRegistry& registry = Classes();
    std::lock_guard<std::mutex> guard(registry.mutex);
    if (registry.Find(clsid) != registry.entries.end()) return E_FAIL;
    factory->AddRef();
    registry.entries.push_back({clsid, factory});
    return S_OK;
}

HRESULT RevokeClassFactory(const Guid& clsid) {
    IClassFactory* factory = nullptr;
    {
        ClassRegistry& registry = Classes();
        std::lock_guard<std::mutex> guard(registry.mutex);
        auto it = registry.Find(clsid);
        if (it == registry.entries.end()) return S_FALSE;
        factory = it->factory;
        registry.entries.erase(it);
    }
    // Released outside the registry's lock: a factory's destructor may reach the registry.
    factory->Release();
    return S_OK;
}

HRESULT GetClassFactory(const Guid& clsid, IClassFactory** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ClassRegistry& registry = Classes();
    std::lock_guard<std::mutex> guard(registry.mutex);
    auto it = registry.Find(clsid);
    if (it == registry.entries.end()) return CLASS_E_CLASSNOTAVAILABLE;
    it->factory->AddRef();
    *out = it->factory;
    return S_OK;
}

HRESULT GetRegisteredClassFactory(const Guid& clsid, IClassFactory** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    // Without a store nothing is registered; a look-up must not create one.
    const std::string storePath = RegistryFolder() + "registry.sqlite";
    if (access(storePath.c_str(), F_OK) != 0) return CLASS_E_CLASSNOTAVAILABLE;
    auto store = RegistryStore::ForCurrentUser();
    if (!store || !store->IsOpen()) return CLASS_E_CLASSNOTAVAILABLE;
    const std::optional<std::string> library = store->GetString(
        RegistryRoot::Classes, "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32", "");
    // Only a full path is loaded: a bare name would be searched for along the library path.
    if (!library || library->empty() || (*library)[0] != '/') return CLASS_E_CLASSNOTAVAILABLE;
    void* handle = dlopen(library->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return E_FAIL;
    auto getClassObject =
        reinterpret_cast<DllGetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
    if (!getClassObject) {
        dlclose(handle);
        return E_FAIL;
    }
    // The handle is kept: instances made from the library may live until the process ends.
    void* factory = nullptr;
    const HRESULT got = getClassObject(&clsid, &IClassFactory::kIid, &factory);
    if (Failed(got) || !factory) return Failed(got) ? got : E_FAIL;
    *out = static_cast<IClassFactory*>(factory);
    return S_OK;
}

HRESULT CreateInstance(const Guid& clsid, const Guid& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    RefPtr<IClassFactory> factory;
    HRESULT found = GetClassFactory(clsid, reinterpret_cast<IClassFactory**>(factory.OutParam()));
    if (found == CLASS_E_CLASSNOTAVAILABLE)
        found =
            GetRegisteredClassFactory(clsid, reinterpret_cast<IClassFactory**>(factory.OutParam()));
    if (Failed(found)) return found;
    const HRESULT made = factory->CreateInstance(iid, out);
    if (Failed(made)) *out = nullptr;
    return made;
}

RefPtr<IClassFactory> MakeClassFactory(InstanceMaker make) {
    return RefPtr<IClassFactory>::Adopt(new FunctionClassFactory(std::move(make)));
}

}  // namespace platform
