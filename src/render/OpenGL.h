#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <memory>

#include "platform/GLContext.h"
#include "platform/GLFont.h"

// Indices of the extension flags.
enum GLExtensionIndex {
    kExtMultitexture = 0,
    kExtRegisterCombiners = 1,
    kExtTextureRectangle = 2,
    kExtTextureCompression = 3,
    kExtPixelBuffer = 4,
    kExtDepthTextureShadow = 5,
    kExtMultisample = 6,  // never found by the probe
    kExtImaging = 7,
    kExtEnvCombine = 8,
    kExtEnvDot3 = 9,
    kExtVertexProgram = 10,
    kExtBlendMinMax = 11,
    kExtCompiledVertexArray = 12,
    kExtBorderClamp = 13,
    kExtBGRA = 14,
    kExtensionCount = 15
};

// Extension entry points, fetched by the probe for the extensions it finds and null
// otherwise. Process-wide.
struct GLEntryPoints {
    // Window-system extension string; fetched before anything else.
    const char* (*GetExtensionsString)() = nullptr;
    // Multitexture
    PFNGLMULTITEXCOORD2IARBPROC MultiTexCoord2iARB = nullptr;
    PFNGLMULTITEXCOORD2FVARBPROC MultiTexCoord2fvARB = nullptr;
    PFNGLMULTITEXCOORD2DVARBPROC MultiTexCoord2dvARB = nullptr;
    PFNGLMULTITEXCOORD2DARBPROC MultiTexCoord2dARB = nullptr;
    PFNGLMULTITEXCOORD3FARBPROC MultiTexCoord3fARB = nullptr;
    PFNGLMULTITEXCOORD3FVARBPROC MultiTexCoord3fvARB = nullptr;
    PFNGLACTIVETEXTUREARBPROC ActiveTextureARB = nullptr;
    // Register combiners
    PFNGLCOMBINERPARAMETERFVNVPROC CombinerParameterfvNV = nullptr;
    PFNGLCOMBINERPARAMETERIVNVPROC CombinerParameterivNV = nullptr;
    PFNGLCOMBINERPARAMETERFNVPROC CombinerParameterfNV = nullptr;
    PFNGLCOMBINERPARAMETERINVPROC CombinerParameteriNV = nullptr;
    PFNGLCOMBINERINPUTNVPROC CombinerInputNV = nullptr;
    PFNGLCOMBINEROUTPUTNVPROC CombinerOutputNV = nullptr;
    PFNGLFINALCOMBINERINPUTNVPROC FinalCombinerInputNV = nullptr;
    PFNGLGETCOMBINERINPUTPARAMETERFVNVPROC GetCombinerInputParameterfvNV = nullptr;
    PFNGLGETCOMBINERINPUTPARAMETERIVNVPROC GetCombinerInputParameterivNV = nullptr;
    PFNGLGETCOMBINEROUTPUTPARAMETERFVNVPROC GetCombinerOutputParameterfvNV = nullptr;
    PFNGLGETCOMBINEROUTPUTPARAMETERIVNVPROC GetCombinerOutputParameterivNV = nullptr;
    PFNGLGETFINALCOMBINERINPUTPARAMETERFVNVPROC GetFinalCombinerInputParameterfvNV = nullptr;
    PFNGLGETFINALCOMBINERINPUTPARAMETERIVNVPROC GetFinalCombinerInputParameterivNV = nullptr;
    // Imaging and blend min/max (one slot for both blend-equation entry points)
    PFNGLBLENDEQUATIONPROC BlendEquation = nullptr;
    PFNGLBLENDCOLORPROC BlendColor = nullptr;
    // Vertex programs
    PFNGLPROGRAMSTRINGARBPROC ProgramStringARB = nullptr;
    PFNGLGENPROGRAMSARBPROC GenProgramsARB = nullptr;
    PFNGLBINDPROGRAMARBPROC BindProgramARB = nullptr;
    PFNGLDELETEPROGRAMSARBPROC DeleteProgramsARB = nullptr;
    PFNGLPROGRAMENVPARAMETER4DVARBPROC ProgramEnvParameter4dvARB = nullptr;
    PFNGLPROGRAMLOCALPARAMETER4DVARBPROC ProgramLocalParameter4dvARB = nullptr;
    PFNGLBINDPROGRAMNVPROC BindProgramNV = nullptr;
    PFNGLGENPROGRAMSNVPROC GenProgramsNV = nullptr;
    PFNGLLOADPROGRAMNVPROC LoadProgramNV = nullptr;
    PFNGLDELETEPROGRAMSNVPROC DeleteProgramsNV = nullptr;
    PFNGLTRACKMATRIXNVPROC TrackMatrixNV = nullptr;
    PFNGLPROGRAMPARAMETER4FVNVPROC ProgramParameter4fvNV = nullptr;
    PFNGLPROGRAMPARAMETER4DVNVPROC ProgramParameter4dvNV = nullptr;
    // Compiled vertex arrays
    PFNGLLOCKARRAYSEXTPROC LockArraysEXT = nullptr;
    PFNGLUNLOCKARRAYSEXTPROC UnlockArraysEXT = nullptr;
};
extern GLEntryPoints theGLEntryPoints;

// Looks up an entry point by name (the platform's, or a stand-in in tests).
using GLProcResolver = void* (*)(const char* name);

class TempWindow;

// What the editor knows of the OpenGL implementation: the chosen pixel format and its
// precision, whether it is accelerated, and the extensions found by the probe.
class OpenGL {
public:
    OpenGL();
    virtual ~OpenGL();

    // Sets the ordinary window format (double-buffered, 24 colour, 24 accumulation, 24
    // depth, 8 stencil bits) on `drawable` and describes it into `description`. False
    // when no format fits or the format needs a palette.
    bool SetPixelFormat(platform::GLDrawable* drawable,
                        platform::PixelFormatDescription* description);
    // The multisampled window format. False when the platform has none.
    bool SetMultisamplePixelFormat(platform::GLDrawable* drawable);

    // Clears the flags and entry points, then tests the extensions in the given strings
    // (either may be null) with `textureUnits` texture units, fetching entry points
    // through `resolve`.
    void ProbeExtensions(const char* glExtensions, const char* windowSystemExtensions,
                         int textureUnits, GLProcResolver resolve);

    TempWindow* tempWindow = nullptr;
    int stencilBits = 0;
    int depthBits = 0;
    int hardwareAccelerated = 0;
    int pixelFormat = 0;
    unsigned char nvVertexProgram = 0;
    GLuint identityTexture = 0;
    unsigned char extensions[kExtensionCount] = {};
    GLuint vertexProgram = 0;
};

extern OpenGL theOpenGL;

// A hidden window with a current context, used while the extensions are probed.
class TempWindow {
public:
    // Creates the window's buffer, sets the pixel format through the embedded object,
    // creates a context and makes it current on the calling thread.
    TempWindow(const void* parent, const char* title, int x, int y, int width, int height);
    // Detaches and deletes the context, then the window's buffer.
    ~TempWindow();
    TempWindow(const TempWindow&) = delete;
    TempWindow& operator=(const TempWindow&) = delete;

    std::unique_ptr<platform::GLDrawable> window;
    std::unique_ptr<platform::GLContext> renderingContext;
    platform::PixelFormatDescription pixelFormatDescriptor;
    OpenGL openGL;
};

// Probes the extensions into `gl` through a temporary window and context; for the editor
// once per process, before the main window gets its pixel format. Leaves no context
// current. The entry points found go to the process-wide table.
void InitGLExtensions(const void* parent, OpenGL& gl = theOpenGL);
bool HasGLExtension(int index);

enum class ExtensionSource { GL, WindowSystem, Text };
// Case-insensitive substring test of `name` in the current context's GL extension string,
// the window-system string, or `text`.
bool IsExtensionSupported(const char* name, ExtensionSource source, const char* text = nullptr);

// 200 with multitexture, depth textures with shadow compare and vertex programs; 100 with
// multitexture and vertex programs; 50 with multitexture; 0 otherwise.
int ComputeShadingLevel(const OpenGL& gl = theOpenGL);

// Texture-coordinate entry points for unit 0: multitexture ones when `multitexture`,
// the plain ones otherwise. All drawing sets texture coordinates through them.
extern void (*TexCoord2d)(GLdouble s, GLdouble t);
extern void (*TexCoord2dv)(const GLdouble* v);
void SelectTexCoordFunctions(bool multitexture);

// The lighting vertex program (needs the vertex-program flag and a current context).
void LoadVertexPrograms();
void BindLightingProgram();
void ReleaseLightingProgram();
// Texture combining for bump mapping (needs multitexture).
void SetupDot3Combine();
// Shadow comparison through register combiners, mode 1 or 2 (needs register combiners).
void SetupRegisterCombiners(int mode);
void CreateIdentityTexture();

// Display lists for characters 0..127 of a face at a point size, in the current context.
// On failure no lists stay allocated and `listBase` is 0.
bool BuildBitmapFont(const char* faceName, int points, GLuint* listBase);
bool BuildOutlineFont(const char* faceName, int points, GLuint* listBase,
                      platform::GlyphMetrics* glyphMetrics);

// Accumulation-buffer jitter: the frustum moved by a fraction of a pixel and the eye by
// (eyeDx, eyeDy) with the plane at `focus` kept in place.
void JitteredFrustum(double left, double right, double bottom, double top, double zNear,
                     double zFar, double pixelDx, double pixelDy, double eyeDx, double eyeDy,
                     double focus);
void JitteredPerspective(double fovY, double aspect, double zNear, double zFar, double pixelDx,
                         double pixelDy, double eyeDx, double eyeDy, double focus);

// gluProject that mirrors points behind the eye back into the window; the window z out
// is the point's eye-space z.
int ProjectMirrored(double objX, double objY, double objZ, const double modelview[16],
                    const double projection[16], const int viewport[4], double* winX, double* winY,
                    double* winZ);
