#include "probe/PreContrl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include "foundation/Common.h"
#include "foundation/HttpRequest.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"
#include "platform/Clock.h"
#include "platform/ComponentRegistration.h"
#include "platform/SystemInfo.h"
#include "platform/Thread.h"

namespace {

std::atomic<int> g_liveObjects{0};

// The number a text begins with, read with the C locale's decimal point whatever locale
// the host set ("1.5.2 Mesa" gives 1.5); 0.0 when it begins with none.
double LeadingNumber(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    if (*text == '+') ++text;
    double value = 0.0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

// The box turns by this much per second of the high-resolution counter.
constexpr double kTurnDegreesPerSecond = 72.0;
// Pause after each frame: lets the window's thread take the lock and keeps the
// lowest-priority thread from using a whole processor.
constexpr auto kFramePause = std::chrono::milliseconds(1);

// Corners of the box of 50 units.
struct Corner {
    double x, y, z;
};
constexpr Corner BoxCorner(int i) {
    return {((i / 2) % 2 == 1) ? 50.0 : 0.0, (i % 2 == 1) ? 0.0 : 50.0, i < 4 ? 0.0 : -50.0};
}

// Copies a driver text into a fixed buffer, cut and terminated.
void CopyText(char* buffer, size_t size, const GLubyte* text) {
    buffer[0] = '\0';
    if (!text) return;
    std::strncpy(buffer, reinterpret_cast<const char*>(text), size - 1);
    buffer[size - 1] = '\0';
}

int16_t ToInt16(int64_t value) {
    return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
}

int32_t ToInt32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// A hexadecimal digit's value; any other character counts as its code minus '0'.
int HexValue(unsigned char c) {
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return c - '0';
}

// An index given as a number, or as text holding one.
bool IndexFromVariant(const platform::VARIANT& v, int64_t* index) {
    using platform::VariantType;
    switch (v.type) {
        case VariantType::Int16:
            *index = v.shortValue;
            return true;
        case VariantType::Int32:
            *index = v.intValue;
            return true;
        case VariantType::Int64:
            *index = v.int64Value;
            return true;
        case VariantType::Double:
            if (!std::isfinite(v.doubleValue) || std::fabs(v.doubleValue) > 1e9) return false;
            *index = static_cast<int64_t>(v.doubleValue);
            return true;
        case VariantType::Bstr: {
            const std::string text = platform::Utf8FromBstr(v.bstrValue);
            if (text.empty()) return false;
            char* end = nullptr;
            errno = 0;
            const long long value = std::strtoll(text.c_str(), &end, 10);
            if (errno != 0 || *end != '\0') return false;
            *index = value;
            return true;
        }
        default:
            return false;
    }
}

bool SetDouble(const char* name, double value) {
    return RegistrySetDouble(PreContrl::kSettingsFolder, name, value);
}

}  // namespace

PreContrl::PreContrl() {
    ++g_liveObjects;
}

PreContrl::~PreContrl() {
    // A host that released the probe without destroying its window.
    if (platform::IsWindow(controlWindow_)) platform::DestroyWindow(controlWindow_);
    StopRenderThread();
    renderingContext.reset();
    deviceContext.reset();
    --g_liveObjects;
}

int PreContrl::LiveObjects() {
    return g_liveObjects;
}

platform::RefPtr<platform::IClassFactory> PreContrl::MakeFactory() {
    return platform::MakeClassFactory([](const platform::Guid& iid, void** out) {
        auto* probe = new (std::nothrow) PreContrl;
        if (!probe) return platform::E_OUTOFMEMORY;
        const platform::HRESULT asked = probe->QueryInterface(iid, out);
        probe->Release();
        return asked;
    });
}

// --- IUnknown ------------------------------------------------------------------------

platform::HRESULT PreContrl::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == IPreContrl::kIid) {
        AddRef();
        *out = static_cast<IPreContrl*>(this);
        return platform::S_OK;
    }
    if (iid == platform::IWindowedObject::kIid) {
        AddRef();
        *out = static_cast<platform::IWindowedObject*>(this);
        return platform::S_OK;
    }
    *out = nullptr;
    return platform::E_NOINTERFACE;
}

uint32_t PreContrl::AddRef() {
    return refs_.Increment();
}

uint32_t PreContrl::Release() {
    const uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
}

// --- IPreContrl ----------------------------------------------------------------------

platform::HRESULT PreContrl::get_StencilBits(platform::VARIANT* bits) {
    if (PRECONDITION(bits != nullptr, "NULL result"))
        SetVariantInt16(bits, ToInt16(openGL.stencilBits));
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_DepthBits(platform::VARIANT* bits) {
    if (PRECONDITION(bits != nullptr, "NULL result"))
        SetVariantInt16(bits, ToInt16(openGL.depthBits));
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_Accelerated(platform::VARIANT* accelerated) {
    if (PRECONDITION(accelerated != nullptr, "NULL result"))
        SetVariantBool(accelerated, openGL.hardwareAccelerated != 0);
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_IsExtensionSupported(platform::VARIANT index,
                                                      platform::VARIANT* supported) {
    if (!PRECONDITION(supported != nullptr, "NULL result")) return platform::S_OK;
    int64_t i = -1;
    const bool known = IndexFromVariant(index, &i);
    const bool inTable =
        PRECONDITION(known && i >= 0 && i < kExtensionCount, "Extension index out of range");
    SetVariantBool(supported, inTable && openGL.extensions[i] != 0);
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_RendererOrCard(platform::BSTR* text) {
    if (PRECONDITION(text != nullptr, "NULL result")) *text = platform::BstrFromUtf8(renderer);
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_Vendor(platform::BSTR* text) {
    if (PRECONDITION(text != nullptr, "NULL result")) *text = platform::BstrFromUtf8(vendor);
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_Version(platform::VARIANT* number) {
    if (PRECONDITION(number != nullptr, "NULL result"))
        SetVariantDouble(number, LeadingNumber(version));
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_MaximumWidth(platform::VARIANT* width) {
    if (PRECONDITION(width != nullptr, "NULL result"))
        SetVariantInt16(width, ToInt16(maxViewportWidth));
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_MaximumHeight(platform::VARIANT* height) {
    if (PRECONDITION(height != nullptr, "NULL result"))
        SetVariantInt16(height, ToInt16(maxViewportHeight));
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_CpuType(platform::VARIANT* type) {
    if (PRECONDITION(type != nullptr, "NULL result"))
        SetVariantInt16(type, static_cast<int16_t>(platform::ProcessorType() & 0xFFFF));
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_MemorySize(platform::VARIANT* kilobytes) {
    if (PRECONDITION(kilobytes != nullptr, "NULL result"))
        SetVariantInt32(kilobytes, ToInt32(platform::PhysicalMemoryKB()));
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_ProcessorSpeed(platform::VARIANT* mhz) {
    if (PRECONDITION(mhz != nullptr, "NULL result")) SetVariantInt32(mhz, platform::ProcessorMHz());
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_DesktopColorBits(platform::VARIANT* bits) {
    if (PRECONDITION(bits != nullptr, "NULL result")) SetVariantInt32(bits, desktopBits);
    return platform::S_OK;
}

platform::HRESULT PreContrl::ClearKivoraRegistry() {
    POSTCONDITION(RegistryDeleteKey(""), "Deleting the registry key failed");
    return platform::S_OK;
}

platform::HRESULT PreContrl::SetBgColor(platform::BSTR color) {
    SetBackground(platform::Utf8FromBstr(color).c_str());
    return platform::S_OK;
}

platform::HRESULT PreContrl::get_isReadyForQuery(int32_t* ready) {
    if (PRECONDITION(ready != nullptr, "NULL result")) *ready = rendered_;
    return platform::S_OK;
}

platform::HRESULT PreContrl::SetDomain(platform::BSTR newDomain) {
    SetDomainText(platform::Utf8FromBstr(newDomain).c_str());
    return platform::S_OK;
}

void PreContrl::SetBackground(const char* text) {
    if (!text || text[0] != '#') return;
    char narrow[kColorTextSize] = {};
    std::strncpy(narrow, text, sizeof narrow - 1);
    // Six digits must follow the '#'.
    if (!PRECONDITION(std::strlen(narrow) >= 7, "Colour text too short")) return;
    const auto channel = [&](int at) {
        const int value = HexValue(static_cast<unsigned char>(narrow[at])) * 16 +
                          HexValue(static_cast<unsigned char>(narrow[at + 1]));
        return value / 255.0;
    };
    red_ = channel(1);
    green_ = channel(3);
    blue_ = channel(5);
}

void PreContrl::GetBackground(double* red, double* green, double* blue) const {
    *red = red_;
    *green = green_;
    *blue = blue_;
}

void PreContrl::SetDomainText(const char* text) {
    std::string domain = text ? text : "";
    if (domain.size() > kDomainSize - 1) {
        TraceWrite("Domain text cut");
        domain.resize(kDomainSize - 1);
    }
    std::lock_guard<std::mutex> hold(domainMutex_);
    domain_ = std::move(domain);
}

std::string PreContrl::Domain() const {
    std::lock_guard<std::mutex> hold(domainMutex_);
    return domain_;
}

void PreContrl::LoadProperties(const PropertyReader& read) {
    if (!read) return;
    std::string value;
    if (read("bgColor", &value)) SetBackground(value.c_str());
    value.clear();
    if (read("domain", &value)) SetDomainText(value.c_str());
}

// --- IWindowedObject -----------------------------------------------------------------

platform::HRESULT PreContrl::CreateObjectWindow(platform::WindowHandle parent, int width,
                                                int height, platform::WindowHandle* out) {
    return platform::CreateObjectWindowWith(
        [this](platform::WindowHandle w, uint32_t m, platform::WParam wp, platform::LParam lp) {
            return WindowProc(w, m, wp, lp);
        },
        "PreContrl", controlWindow_, parent, width, height, out);
}

platform::HRESULT PreContrl::GetObjectWindow(platform::WindowHandle* out) {
    return platform::GetObjectWindowOf(controlWindow_, out);
}

platform::HRESULT PreContrl::OnFrameWindowActivate(bool) {
    return platform::S_OK;
}

// --- window --------------------------------------------------------------------------

platform::LResult PreContrl::WindowProc(platform::WindowHandle window, uint32_t message,
                                        platform::WParam wParam, platform::LParam lParam) {
    using namespace platform;
    // Notifications reflected back from the parent.
    constexpr uint32_t kReflectedBase = 0x2000;
    switch (message) {
        case WM_CREATE:
            controlWindow_ = window;
            return OnCreate(reinterpret_cast<const WindowCreateInfo*>(lParam));
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_NCDESTROY:
            controlWindow_ = kNoWindow;
            return 0;
        case WM_SIZE:
            OnSize(static_cast<int>(LowWord(static_cast<uintptr_t>(lParam))),
                   static_cast<int>(HighWord(static_cast<uintptr_t>(lParam))));
            return 0;
        default:
            if (message >= kReflectedBase && message < kReflectedBase + WM_USER)
                return DefaultWindowProc(window, message - kReflectedBase, wParam, lParam);
            return DefaultWindowProc(window, message, wParam, lParam);
    }
}

platform::LResult PreContrl::OnCreate(const platform::WindowCreateInfo* info) {
    TraceWrite("Starting OnCreate message.");
    {
        platform::LockHolder hold(lock_);
        clientWidth_ = info ? std::max(info->width, 0) : 0;
        clientHeight_ = info ? std::max(info->height, 0) : 0;
    }

    TraceWrite("preEnumDispSet");
    int bits = 0;
    if (POSTCONDITION(platform::DisplayColorBits(&bits), "EnumDisplaySettings failed"))
        desktopBits = bits;

    TraceWrite("preGetDC");
    deviceContext = platform::GLDrawable::CreateForWindow(
        std::max(clientWidth_, 1), std::max(clientHeight_, 1), controlWindow_);
    if (!deviceContext) {
        TraceWrite("Failure getting device context");
        theTrace().WriteFormat("Error No. %d\n", errno);
    }

    TraceWrite("preSRC");
    if (deviceContext && openGL.SetPixelFormat(deviceContext.get(), &pixelFormatDescriptor)) {
        TraceWrite("Rendering mode found and set.");
        renderingContext = platform::GLContext::Create(openGL.pixelFormat);
    }
    if (renderingContext) {
        renderingContext->MakeCurrent(*deviceContext);
        platform::GLContext::DetachCurrent();
    } else {
        TraceWrite("Failure creating rendering context");
        theTrace().WriteFormat("Error No. %d\n", errno);
    }

    try {
        renderThread_ = std::thread([this] { RenderThread(); });
    } catch (const std::system_error& error) {
        TraceWrite("Thread creation failed");
        theTrace().WriteFormat("errno = %d; _doserrno = %d", error.code().value(), 0);
        return 0;
    }
    TraceWrite("Thread created.");
    platform::SetThreadPriority(renderThread_.get_id(), platform::ThreadPriority::Lowest);
    return 0;
}

void PreContrl::OnSize(int width, int height) {
    platform::LockHolder hold(lock_);
    clientWidth_ = width;
    clientHeight_ = height;
    if (deviceContext) deviceContext->Resize(width, height);
}

void PreContrl::OnDestroy() {
    TraceWrite("Processing Destroy message.");
    StopRenderThread();
    deviceContext.reset();
    TraceWrite("Rendering thread destroyed.");
    TraceWrite("Critical Section deleted.");
}

void PreContrl::StopRenderThread() {
    if (!renderThread_.joinable()) return;
    {
        platform::LockHolder hold(lock_);
        stop_ = true;
    }
    renderThread_.join();
    // The thread has let go of the context: nothing else draws with it now.
    renderingContext.reset();
}

// --- rendering thread ----------------------------------------------------------------

void PreContrl::RenderThread() {
    TraceWrite("RTF begin");
    lock_.Lock();
    TraceWrite("RTF a");

    InitGLExtensions(&controlWindow_, openGL);
    TraceWrite("pCU");
    TraceWrite("eIE");

    TraceWrite("pWMC");
    int boundWidth = 0, boundHeight = 0;
    const bool haveContext =
        renderingContext && deviceContext && renderingContext->MakeCurrent(*deviceContext);
    if (haveContext) {
        TraceWrite("Context set.");
        boundWidth = clientWidth_;
        boundHeight = clientHeight_;
        if (BuildOutlineFont("Arial", 10, &fontListBase, nullptr)) TraceWrite("Font created.");
        CopyText(renderer, sizeof renderer, glGetString(GL_RENDERER));
        CopyText(vendor, sizeof vendor, glGetString(GL_VENDOR));
        CopyText(version, sizeof version, glGetString(GL_VERSION));
        GLint dims[2] = {0, 0};
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
        maxViewportWidth = dims[0];
        maxViewportHeight = dims[1];
    }
    lock_.Unlock();
    // The server's settings can take as long as the request's time-out: the window's
    // size and destruction must not wait for them.
    StoreSettings();

    frequency = std::max<int64_t>(platform::QueryFrequency(), 1);
    for (;;) {
        frameStart = platform::QueryCounter();
        lock_.Lock();
        if (haveContext) {
            // A new window size reaches the buffer when the context is bound again.
            if (boundWidth != clientWidth_ || boundHeight != clientHeight_) {
                renderingContext->MakeCurrent(*deviceContext);
                boundWidth = clientWidth_;
                boundHeight = clientHeight_;
            }
            DrawFrame();
            deviceContext->SwapBuffers();
            glFlush();
        }
        rendered_ = 1;
        if (stop_) break;
        lock_.Unlock();
        ++frameCount;
        frameEnd = platform::QueryCounter();
        lastFrameTime = static_cast<double>(frameEnd - frameStart) / frequency;
        totalFrameTime += lastFrameTime;
        std::this_thread::sleep_for(kFramePause);
    }
    lock_.Unlock();
    TraceWrite("Before thread shutdown");
    if (haveContext && fontListBase != 0) glDeleteLists(fontListBase, 128);
    fontListBase = 0;
    platform::GLContext::DetachCurrent();
    TraceWrite("Thread ending.");
}

void PreContrl::DrawFrame() {
    glEnable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glShadeModel(GL_SMOOTH);
    glClearColor(static_cast<GLfloat>(red_.load()), static_cast<GLfloat>(green_.load()),
                 static_cast<GLfloat>(blue_.load()), 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    const int width = std::max(clientWidth_, 1);
    const int height = std::max(clientHeight_, 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(35.0, static_cast<double>(width) / height, 1.0, 5000.0);
    glViewport(0, 0, width, height);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(25.0, 75.0, 300.0, 25.0, 40.0, 0.0, 0.0, 1.0, 0.0);

    glTranslated(25.0, 25.0, 0.0);
    const GLfloat origin[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat grey[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    const struct {
        GLenum light;
        double x;
        GLfloat direction[3];
    } spots[2] = {{GL_LIGHT0, -160.0, {1.0f, 0.0f, 0.0f}}, {GL_LIGHT1, 160.0, {-1.0f, 0.0f, 0.0f}}};
    for (const auto& spot : spots) {
        glEnable(spot.light);
        glTranslated(spot.x, 40.0, 20.0);
        glLightfv(spot.light, GL_POSITION, origin);
        glLightfv(spot.light, GL_DIFFUSE, grey);
        glLightfv(spot.light, GL_SPOT_DIRECTION, spot.direction);
        glLightfv(spot.light, GL_AMBIENT, grey);
        glLightf(spot.light, GL_SPOT_CUTOFF, 40.0f);
        glTranslated(-spot.x, -40.0, -20.0);
    }

    glColor3ub(150, 150, 150);
    glPushMatrix();
    const double seconds = static_cast<double>(frameEnd) / frequency;
    glRotated(std::fmod(seconds * kTurnDegreesPerSecond, 360.0), 0.0, 1.0, 0.0);
    glRotated(55.0, 0.70711, 0.0, 0.70711);
    const auto vertex = [](int i) {
        const Corner c = BoxCorner(i);
        glVertex3d(c.x, c.y, c.z);
    };
    static const GLdouble kSideNormals[4][3] = {{0, 0, 1}, {1, 0, 0}, {0, 0, -1}, {-1, 0, 0}};
    static const int kStrip[10] = {0, 1, 2, 3, 6, 7, 4, 5, 0, 1};
    glBegin(GL_QUAD_STRIP);
    for (int pair = 0; pair < 5; ++pair) {
        // The side a pair closes gives the pair its normal.
        glNormal3dv(kSideNormals[std::max(pair - 1, 0)]);
        vertex(kStrip[2 * pair]);
        vertex(kStrip[2 * pair + 1]);
    }
    glEnd();
    glBegin(GL_QUADS);
    glNormal3d(0.0, 1.0, 0.0);
    for (int i : {0, 2, 6, 4}) vertex(i);
    glNormal3d(0.0, -1.0, 0.0);
    for (int i : {5, 7, 3, 1}) vertex(i);
    glEnd();
    glPopMatrix();
}

// --- settings ------------------------------------------------------------------------

bool PreContrl::StoreSettings() {
    bool stored = SetDouble("accelerated", openGL.hardwareAccelerated ? 1.0 : 0.0);
    stored = SetDouble("cpuType", platform::ProcessorType() & 0xFFFF) && stored;
    stored = SetDouble("depthBits", openGL.depthBits) && stored;
    stored = SetDouble("stencilBits", openGL.stencilBits) && stored;
    stored = SetDouble("desktopBits", desktopBits) && stored;
    stored = SetDouble("maxHeight", maxViewportHeight) && stored;
    stored = SetDouble("maxWidth", maxViewportWidth) && stored;
    stored = SetDouble("memorySize", static_cast<double>(platform::PhysicalMemoryKB())) && stored;
    stored = SetDouble("speed", platform::ProcessorMHz()) && stored;
    stored = RegistrySetString(kSettingsFolder, "renderer", renderer) && stored;
    stored = RegistrySetString(kSettingsFolder, "vendor", vendor) && stored;
    stored = RegistrySetString(kSettingsFolder, "version", version) && stored;

    ServerSettings server;
    QueryDefaultSettings(renderer, vendor, &server);
    static const char* const kFlagNames[3] = {"sglPass", "oglLighting", "dynamicShadow"};
    static const char* const kValueNames[8] = {"depthFactor",  "depthUnits",   "offsetFactor",
                                               "offsetUnits",  "maxDepth",     "maxHeight",
                                               "defaultWidth", "defaultHeight"};
    for (int i = 0; i < 3; ++i) stored = SetDouble(kFlagNames[i], server.flags[i]) && stored;
    for (int i = 0; i < 8; ++i) stored = SetDouble(kValueNames[i], server.values[i]) && stored;
    return stored;
}

bool PreContrl::QueryDefaultSettings(const char* rendererText, const char* vendorText,
                                     ServerSettings* settings) const {
    if (!PRECONDITION(settings != nullptr, "NULL settings")) return false;
    *settings = ServerSettings{};
    const std::string page = std::string(kQueryPage) +
                             "?cardName=" + EncodeQueryValue(rendererText) +
                             "&vendorName=" + EncodeQueryValue(vendorText) + "&defSettings=1";
    if (!PRECONDITION(page.size() <= kMaxQueryPage, "Settings query too long")) return false;
    const std::string domain = Domain();
    char reply[kReplySize] = {};
    if (!DoHttpRequest(domain.c_str(), page.c_str(), reply, sizeof reply, nullptr, 0)) return false;
    return ParseDefaultSettings(reply, settings);
}

bool PreContrl::ParseDefaultSettings(const char* reply, ServerSettings* settings) {
    *settings = ServerSettings{};
    if (!reply || reply[0] == '\0' || reply[1] == 'F') return false;
    int32_t numbers[11] = {};
    const char* p = reply + 1;
    for (int n = 0; n < 11; ++n) {
        p += std::strspn(p, " \t\r\n");
        if (*p == '\0') break;
        const size_t length = std::strcspn(p, " \t\r\n");
        const std::string token(p, length);
        p += length;
        const long long value = std::strtoll(token.c_str(), nullptr, 10);
        numbers[n] = ToInt32(value);
    }
    for (int i = 0; i < 3; ++i) settings->flags[i] = numbers[i] != 0 ? 1 : 0;
    for (int i = 0; i < 8; ++i) settings->values[i] = numbers[3 + i];
    return true;
}

// --- registration --------------------------------------------------------------------

namespace {

platform::ServerRegistration ProbeRegistration(const void* moduleAddress) {
    platform::ServerRegistration server;
    server.classId = PreContrl::kClassId;
    server.description = "PreContrl Class";
    server.progId = PreContrl::kProgId;
    server.moduleAddress = moduleAddress;
    server.safeCategories = true;
    return server;
}

}  // namespace

platform::HRESULT RegisterPreContrl(const void* moduleAddress) {
    return platform::RegisterServer(ProbeRegistration(moduleAddress));
}

platform::HRESULT UnregisterPreContrl() {
    return platform::UnregisterServer(ProbeRegistration(nullptr));
}

platform::HRESULT GetPreContrlClassObject(const platform::Guid* clsid, const platform::Guid* iid,
                                          void** out) {
    if (!out) return platform::E_POINTER;
    *out = nullptr;
    if (!clsid || !iid) return platform::E_INVALIDARG;
    if (!(*clsid == PreContrl::kClassId)) return platform::CLASS_E_CLASSNOTAVAILABLE;
    return PreContrl::MakeFactory()->QueryInterface(*iid, out);
}
