#pragma once

#include "foundation/Trace.h"
#include "installer/BaseInstaller.h"
#include "installer/InstallerLog.h"
#include "platform/PropertyBag.h"

// The component plumbing the installer and the updater share: reference counting,
// interface look-up, the completion property and the start values from a property bag.
// `tag` begins the log lines of Load ("KVRI" gives "KVRI::Load" and "KVRI::eLoad").
template <class Interface>
class InstallerObject : public BaseInstaller,
                        public Interface,
                        public platform::IPersistPropertyBag {
public:
    InstallerObject(const char* header, const char* tag) : BaseInstaller(header), tag_(tag) {}

    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override {
        if (!out) return platform::E_POINTER;
        *out = nullptr;
        if (iid == platform::IUnknown::kIid || iid == Interface::kIid)
            *out = static_cast<Interface*>(this);
        else if (iid == platform::IPersistPropertyBag::kIid)
            *out = static_cast<platform::IPersistPropertyBag*>(this);
        else
            return platform::E_NOINTERFACE;
        AddRef();
        return platform::S_OK;
    }
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override {
        const uint32_t left = refs_.Decrement();
        if (left == 0) delete this;
        return left;
    }

    // The installation is never reported complete.
    platform::HRESULT get_InstallationIsComplete(int32_t* complete) override {
        if (!complete) return platform::E_POINTER;
        *complete = 0;
        return platform::S_OK;
    }

    // Takes "Domain" from the bag when it is text.
    platform::HRESULT Load(platform::IPropertyBag* bag) override {
        InstallerLog("%s::Load", tag_);
        platform::VARIANT value;
        platform::InitVariant(&value);
        const bool read = bag && platform::Succeeded(bag->Read("Domain", &value));
        if (read && value.type == platform::VariantType::Bstr && value.bstrValue)
            static_cast<Interface*>(this)->SetDomain(value.bstrValue);
        else
            InstallerLog("Failed to Load params");
        platform::ClearVariant(&value);
        InstallerLog("%s::eLoad", tag_);
        return platform::S_OK;
    }

private:
    const char* tag_;
    platform::RefCount refs_;
};
