#pragma once

#include <cstdint>

#include "platform/Automation.h"
#include "platform/Component.h"

// The capability probe: what the machine's OpenGL implementation, processor, memory and
// display offer, measured once in a window of its own and kept in the registry folder
// "oglSettings\" with the server's recommended settings for that renderer. Every member
// answers S_OK; string and VARIANT results belong to the caller.
class IPreContrl : public platform::IUnknown {
public:
    static constexpr platform::Guid kIid = {
        0x2F6B3D90, 0x1A4E, 0x4C27, {0x8B, 0x35, 0x6E, 0x02, 0xD1, 0x9A, 0x47, 0xC3}};

    // Dispatch ids of the members, in slot order.
    enum DispId : int32_t {
        kDispStencilBits = 1,
        kDispDepthBits,
        kDispAccelerated,
        kDispIsExtensionSupported,
        kDispRendererOrCard,
        kDispVendor,
        kDispVersion,
        kDispMaximumWidth,
        kDispMaximumHeight,
        kDispCpuType,
        kDispMemorySize,
        kDispProcessorSpeed,
        kDispDesktopColorBits,
        kDispClearKivoraRegistry,
        kDispSetBgColor,
        kDispIsReadyForQuery,
        kDispSetDomain,
    };

    // 16-bit integers.
    virtual platform::HRESULT get_StencilBits(platform::VARIANT* bits) = 0;
    virtual platform::HRESULT get_DepthBits(platform::VARIANT* bits) = 0;
    // Boolean: the pixel format is not the generic software one.
    virtual platform::HRESULT get_Accelerated(platform::VARIANT* accelerated) = 0;
    // Boolean: the extension flag at a numeric `index` (0..14; false outside).
    virtual platform::HRESULT get_IsExtensionSupported(platform::VARIANT index,
                                                       platform::VARIANT* supported) = 0;
    virtual platform::HRESULT get_RendererOrCard(platform::BSTR* renderer) = 0;
    virtual platform::HRESULT get_Vendor(platform::BSTR* vendor) = 0;
    // Double: the leading number of the version text ("2.0.1 ..." gives 2.0).
    virtual platform::HRESULT get_Version(platform::VARIANT* version) = 0;
    // 16-bit integers: the largest viewport.
    virtual platform::HRESULT get_MaximumWidth(platform::VARIANT* width) = 0;
    virtual platform::HRESULT get_MaximumHeight(platform::VARIANT* height) = 0;
    // 16-bit integer processor type code.
    virtual platform::HRESULT get_CpuType(platform::VARIANT* type) = 0;
    // 32-bit integers: physical memory in KB, processor clock in MHz, display colour bits.
    virtual platform::HRESULT get_MemorySize(platform::VARIANT* kilobytes) = 0;
    virtual platform::HRESULT get_ProcessorSpeed(platform::VARIANT* mhz) = 0;
    virtual platform::HRESULT get_DesktopColorBits(platform::VARIANT* bits) = 0;
    // Deletes the product's whole registry key.
    virtual platform::HRESULT ClearKivoraRegistry() = 0;
    // "#RRGGBB": the background of the test scene.
    virtual platform::HRESULT SetBgColor(platform::BSTR color) = 0;
    // 1 once the findings are stored and the first frame is drawn, else 0.
    virtual platform::HRESULT get_isReadyForQuery(int32_t* ready) = 0;
    // The content server's host name, asked for the recommended settings.
    virtual platform::HRESULT SetDomain(platform::BSTR newDomain) = 0;
};
