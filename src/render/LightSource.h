#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/LightState.h"
#include "geometry/Matrix.h"
#include "geometry/Vector.h"
#include "interaction/RotationHandle.h"
#include "model/Model.h"
#include "model/ShadowLight.h"
#include "render/ShadowMap.h"

class Bitmap;
class Window;

// The handle that turns a light about the vertical axis.
class LightRotationHandle : public RotationHandle {
public:
    LightRotationHandle() : RotationHandle(1) {}
    void GetAxisVector(Vector& out) const override { out = Vector(0.0, 1.0, 0.0); }
    // The cursor on the level plane at the handle's height, relative to the local centre
    // (the active window's projection).
    bool ProjectCursor(Vector& out, int x, int y) override;
    // The centre of the light's box moved to the light's position.
    void PlaceOnOwner() override;
};

// The content server's lights: the sun and the default spot light.
namespace LightContent {
constexpr char kSun[] = "plansys/gsun/sun.3c_";
constexpr char kDefaultSpotlight[] = "3d/compressedfileformat/defaultspotlight.3c_";
}  // namespace LightContent

// Menu commands of a light.
namespace LightCommand {
constexpr uint32_t kProperties = 102;
constexpr uint32_t kRecreateDepthMap = 1100;
constexpr uint32_t kToggleShadows = 1102;
constexpr uint32_t kToggleLightBoxes = 1103;
constexpr uint32_t kLightsOff = 1104;
}  // namespace LightCommand

// A scene light: the one directional main light of the scene (position w 0, x, y, z its
// direction) or a positional spot light placed by the user (w 1), which also casts
// shadows through a depth map of its own. It is a catalogue model: its visible light box
// comes from its geometry, and it is placed, turned, locked and saved as models are.
// Lights stand at the head of the scene list.
class LightSource : public Model, public ShadowLight {
public:
    static constexpr uint32_t kMaxReceivers = 255;
    // Side of the depth probe that fits the near and far planes to the scene.
    static constexpr int kProbeSide = 256;

    LightSource();
    ~LightSource() override;

    uint64_t GetTypeMask() const override { return TypeMask::kLightSource; }

    bool IsPositional() const { return position4[3] == 1.0f; }

    // Menu.
    void BuildPropertyMenu(platform::Menu& menu) override;
    bool ProcessPropertyMenu(uint32_t id) override;

    // Plans: the element "LightSource", the model's keys and the light's own.
    bool ReadKeyData(KeyDataList& keys) override;
    void WriteKeyData() override;

    // Rebuilds the depth map and regenerates the falloff bitmap from the settings.
    void PrepareRender() override;
    void Render() override;
    const Vector& GetCenter() const { return position; }
    // A positional light's box is its shadow frustum; a directional one keeps its model box.
    void UpdateBounds();
    // The model's world corners, then a positional light's frustum corners.
    void Refresh() override;
    // The frustum's corners for a positional light, else the light box's world corners.
    Vector* GetCorners() override;

    void SetPosition(const Vector& newPosition) override;
    void MoveBy(const Vector& offset) override;
    void RotateAboutAxis(int axis, double degrees) override;
    void Translate(const Vector& offset) override;

    // Asks before the main light or the last spot light goes; false keeps it.
    bool RemoveFromList(LinkedList& list) override;

    void ShowPropertyDialog() override;
    int OnDialogNotify(Dialog* dialog, int code) override;

    void ApplyState() override { PrepareRender(); }
    BaseParameterState* GetState() override { return &state; }
    uint64_t GetStateTypeMask() const override { return TypeMask::kLightSource; }

    // Lights do not snap.
    bool SnapToObjects(double) override { return true; }
    bool SnapToWall(double) override { return true; }

    // The model's marker, lifted over the light box.
    void DrawSelectionMarker(double size) override;
    // In place of the model's resize and rotate handles.
    void DrawResizeHandles(int size) override { DrawHandles(size); }
    void DrawRotateHandles(double) override {}
    void DrawHandles(double radius);

    // The fixed-function light: takes the next light number of the frame and advances it.
    void SetupGLLight(uint32_t& nextLight);
    void DisableGLLight();

    // ShadowLight.
    double GetShadowValue() const override { return position4[3]; }
    bool OverlapsObject(const RenderableObject& object) const override;
    void FlagForRebuild() override { depthMapStale = 1; }
    void SwitchOn(uint32_t& nextLight) override { SetupGLLight(nextLight); }
    void SwitchOff() override { DisableGLLight(); }

    // Loads the light's model from a server command file's "LightSource" list; true when
    // the file had key data.
    bool LoadFromCommandFile(const char* url);
    // A light from the command file at `path` on the control's content domain; null,
    // with a trace, when the file gave no light.
    static LightSource* LoadFromDomain(const char* path);
    // A projected picture in place of the falloff; a picture that does not load keeps the
    // old bitmap.
    void SetProjectedTexture(const char* path);

    // Whether the object lies outside the light's frustum.
    bool IsOutsideLightFrustum(RenderableObject& object);

    // ---- Shadows (ShadowMap.cpp) ----
    void CreateDepthMap();
    // Builds the three matrices; without keep both pushed matrices are popped again.
    void SetupLightMatrices(bool keep);
    // The same three matrices and their inverses, computed without OpenGL.
    void ComputeLightMatrices();
    void SetupShadowTexGen(int which);
    void SetupIdentityTexGen();
    // The light pass of this light in `window`.
    void RenderProjLight(Window& window);
    void BeginTexCoordGen();
    void EndTexCoordGen();
    void ResetTextureState();
    // Draws the light frustum as a cube in world space.
    void DrawLightVolume(bool flip);
    bool HasDepthMap() const { return depthTexture != 0; }
    bool IsDepthMapStale() const { return depthMapStale != 0; }
    void ClearDepthMapStale() { depthMapStale = 0; }

    // Settings and GL data.
    uint8_t hasProjectedTexture = 0;
    LightState state;
    uint32_t receiverCount = 0;
    RenderableObject* receivers[kMaxReceivers] = {};
    uint32_t depthMapWidthUsed = 0;
    uint32_t depthMapHeightUsed = 0;
    uint32_t glLight = 0;
    float spotDirection[3] = {0.0f, -1.0f, 0.0f};
    float position4[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    Vector directionVector;
    float spotIntensity = 0.1f;
    // Owned.
    Bitmap* bitmap = nullptr;
    GLuint depthTexture = 0;
    Matrix projectedTextureProjection;
    Matrix shadowProjection;
    Matrix lightModelView;
    Matrix inverseProjectedTextureProjection;
    Matrix inverseShadowProjection;
    Matrix inverseLightModelView;
    double nearPlane = 100.0;
    double farPlane = 1000.0;
    std::vector<uint8_t> depthBuffer;
    LightRotationHandle rotationHandle;
    // The shadow data must be made again before the next light pass.
    uint8_t depthMapStale = 0;
    // The eight corners of the shadow frustum, when computed.
    Vector frustumCorners[8];

protected:
    Model* NewOfSameKind() const override { return new LightSource; }

private:
    // After a move or turn: a spot light remakes its depth map and becomes the active
    // light; the bounds follow.
    void AfterPlacement();
    void SetColour(double red, double green, double blue);
    void GenerateFalloff();
    // The unprojected corners of the depth-map rectangle at window depth `depth`.
    void DepthMapCorners(double depth, Vector out[4]) const;
};
