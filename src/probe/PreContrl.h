#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/GLContext.h"
#include "platform/RecursiveLock.h"
#include "platform/Window.h"
#include "platform/WindowedObject.h"
#include "probe/IPreContrl.h"
#include "render/OpenGL.h"

// The capability probe as a component with a window of its own. Creating the window
// sets the pixel format and starts a rendering thread at the lowest priority; that
// thread probes the extensions, reads what the driver reports, stores the findings and
// the server's recommended settings under "oglSettings\", and then draws a slowly
// turning lit box until the window is destroyed, which stops and joins it.
class PreContrl : public IPreContrl, public platform::IWindowedObject {
public:
    static constexpr platform::Guid kClassId = {
        0x2F6B3D91, 0x1A4E, 0x4C27, {0x8B, 0x35, 0x6E, 0x02, 0xD1, 0x9A, 0x47, 0xC3}};
    static constexpr const char* kProgId = "Gearscout.PreContrl.1";
    static constexpr const char* kDefaultDomain = "www.kivora.com";
    static constexpr const char* kSettingsFolder = "oglSettings\\";
    static constexpr const char* kQueryPage = "kvrQueryEntrance.aspx";
    // Driver texts kept, domain and colour text taken, and the longest query page sent.
    static constexpr size_t kTextSize = 500;
    static constexpr size_t kDomainSize = 260;
    static constexpr size_t kColorTextSize = 256;
    static constexpr size_t kMaxQueryPage = 511;
    static constexpr size_t kReplySize = 2048;

    // The server's recommended settings for a renderer: three flags ("sglPass",
    // "oglLighting", "dynamicShadow", each 0 or 1) and eight integers ("depthFactor",
    // "depthUnits", "offsetFactor", "offsetUnits", "maxDepth", "maxHeight",
    // "defaultWidth", "defaultHeight").
    struct ServerSettings {
        int32_t flags[3] = {};
        int32_t values[8] = {};
    };

    PreContrl();
    ~PreContrl() override;
    PreContrl(const PreContrl&) = delete;
    PreContrl& operator=(const PreContrl&) = delete;

    // A class factory making probes; probes alive in the process.
    static platform::RefPtr<platform::IClassFactory> MakeFactory();
    static int LiveObjects();

    // IUnknown
    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override;
    uint32_t AddRef() override;
    uint32_t Release() override;

    // IPreContrl
    platform::HRESULT get_StencilBits(platform::VARIANT* bits) override;
    platform::HRESULT get_DepthBits(platform::VARIANT* bits) override;
    platform::HRESULT get_Accelerated(platform::VARIANT* accelerated) override;
    platform::HRESULT get_IsExtensionSupported(platform::VARIANT index,
                                               platform::VARIANT* supported) override;
    platform::HRESULT get_RendererOrCard(platform::BSTR* renderer) override;
    platform::HRESULT get_Vendor(platform::BSTR* vendor) override;
    platform::HRESULT get_Version(platform::VARIANT* version) override;
    platform::HRESULT get_MaximumWidth(platform::VARIANT* width) override;
    platform::HRESULT get_MaximumHeight(platform::VARIANT* height) override;
    platform::HRESULT get_CpuType(platform::VARIANT* type) override;
    platform::HRESULT get_MemorySize(platform::VARIANT* kilobytes) override;
    platform::HRESULT get_ProcessorSpeed(platform::VARIANT* mhz) override;
    platform::HRESULT get_DesktopColorBits(platform::VARIANT* bits) override;
    platform::HRESULT ClearKivoraRegistry() override;
    platform::HRESULT SetBgColor(platform::BSTR color) override;
    platform::HRESULT get_isReadyForQuery(int32_t* ready) override;
    platform::HRESULT SetDomain(platform::BSTR newDomain) override;

    // IWindowedObject
    platform::HRESULT CreateObjectWindow(platform::WindowHandle parent, int width, int height,
                                         platform::WindowHandle* out) override;
    platform::HRESULT GetObjectWindow(platform::WindowHandle* out) override;
    platform::HRESULT OnFrameWindowActivate(bool active) override;

    platform::LResult WindowProc(platform::WindowHandle window, uint32_t message,
                                 platform::WParam wParam, platform::LParam lParam);

    // Takes "bgColor" and "domain" from the properties a host saved, when present.
    using PropertyReader = std::function<bool(const char* name, std::string* value)>;
    void LoadProperties(const PropertyReader& read);

    // The background colour from "#RRGGBB"; anything else changes nothing.
    void SetBackground(const char* text);
    void SetDomainText(const char* text);
    std::string Domain() const;
    void GetBackground(double* red, double* green, double* blue) const;

    // Writes the findings, then the server's settings, under "oglSettings\"; true when
    // every value was written.
    bool StoreSettings();
    // Asks the server for its settings for the renderer and vendor; false, with every
    // setting 0, when the request fails or the server declines.
    bool QueryDefaultSettings(const char* renderer, const char* vendor,
                              ServerSettings* settings) const;
    // Reads a server reply: from its second character on, blank-separated numbers, the
    // flags first. Missing numbers are 0. False, with every setting 0, for a declining
    // reply (second character 'F').
    static bool ParseDefaultSettings(const char* reply, ServerSettings* settings);

    // What was measured; written by the rendering thread before the ready flag is set.
    OpenGL openGL;
    platform::PixelFormatDescription pixelFormatDescriptor;
    char renderer[kTextSize] = {};
    char vendor[kTextSize] = {};
    char version[kTextSize] = {};
    int maxViewportWidth = 0;
    int maxViewportHeight = 0;
    int desktopBits = 0;
    unsigned int fontListBase = 0;

    // The window's buffer and the rendering context drawn with.
    std::unique_ptr<platform::GLDrawable> deviceContext;
    std::unique_ptr<platform::GLContext> renderingContext;

    // Frame statistics of the rendering thread.
    int64_t frequency = 1;
    int64_t frameStart = 0;
    int64_t frameEnd = 0;
    int64_t frameCount = 0;
    double totalFrameTime = 0.0;
    double lastFrameTime = 0.0;

private:
    platform::LResult OnCreate(const platform::WindowCreateInfo* info);
    void OnDestroy();
    void OnSize(int width, int height);
    void StopRenderThread();
    void RenderThread();
    void DrawFrame();

    platform::RefCount refs_;
    platform::WindowHandle controlWindow_ = platform::kNoWindow;
    std::thread renderThread_;
    // Guards the GL work, the client size and the stop flag.
    platform::RecursiveLock lock_;
    bool stop_ = false;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    std::atomic<int32_t> rendered_{0};
    std::atomic<double> red_{0.97}, green_{0.97}, blue_{0.97};
    mutable std::mutex domainMutex_;
    std::string domain_ = kDefaultDomain;
};

// Registration of the probe's class, served by the library holding `moduleAddress`, in
// the categories safe for scripting and initialisation.
platform::HRESULT RegisterPreContrl(const void* moduleAddress);
platform::HRESULT UnregisterPreContrl();
// The probe's class factory for `clsid`, asked for `iid`.
platform::HRESULT GetPreContrlClassObject(const platform::Guid* clsid, const platform::Guid* iid,
                                          void** out);
