#include "building/Terrain.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "control/BaseControl.h"
#include "control/LengthFormat.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "foundation/ViewState.h"
#include "geometry/SpatialTree.h"
#include "model/SceneView.h"
#include "platform/Clock.h"
#include "platform/Menu.h"
#include "render/LightSource.h"
#include "render/Window.h"

namespace {

constexpr int kRow = Terrain::kNodesPerRow;
constexpr int kCount = Terrain::kNodeCount;
constexpr double kGroundRed = 0.68235;
constexpr double kGroundGreen = 0.68235;
constexpr double kGroundBlue = 0.36863;
constexpr double kWaterAngleStep = 3.141592653589793e-07;
constexpr double kWaterRadius = 5.0;
constexpr double kMarkerSize = 10.0;
// Where a point outside the ground square is looked up: just inside its edge.
constexpr double kInsideEdge = Terrain::kGroundHalfSide - 0.001;

int Column(int i) {
    return i % kRow;
}

Vector Minus(const Vector& a, const Vector& b) {
    return Vector(a.x - b.x, a.y - b.y, a.z - b.z);
}

Vector CrossOf(const Vector& a, const Vector& b) {
    Vector out;
    out.Cross(a, b);
    return out;
}

}  // namespace

double Terrain::GridCoordinate(int k) {
    const int m = k - kRow / 2;
    const int a = std::abs(m);
    if (a <= 15) return 58.0 * m;
    const double magnitude = 58.0 * a + 19.0 * (a - 15) * (a - 14);
    return m < 0 ? -magnitude : magnitude;
}

// ---- Construction -------------------------------------------------------------------

Terrain::Terrain() {
    tree = std::make_unique<NineTree>(0, nullptr, -kGroundHalfSide, kGroundHalfSide,
                                      -kGroundHalfSide, kGroundHalfSide, this);
    for (int i = 0; i < kCount; ++i) {
        TerrainNode& node = nodes[i];
        node.index = static_cast<uint32_t>(i);
        node.position.Set(GridCoordinate(Column(i)), 0.0, GridCoordinate(i / kRow), 1.0);
        node.committed = node.position;
        node.selected = 0;
        // Nodes of the first row and column lie outside the square; they are placed in
        // the leaf at the square's edge beside them.
        const Vector actual = node.position;
        node.position.x = std::clamp(actual.x, -kInsideEdge, kInsideEdge);
        node.position.z = std::clamp(actual.z, -kInsideEdge, kInsideEdge);
        NineTree* leaf = tree->AddNode(&node);
        node.position = actual;
        node.leaf = leaf && leaf->IsLeaf() ? leaf : nullptr;
    }
    surface.material = &groundMaterial;
    water.material = &waterMaterial;
    groundMaterial.SetColor(kGroundRed, kGroundGreen, kGroundBlue, 1.0);
    waterMaterial.modulateTexture = 1;
    water.SetMaterialVector(Vector(kWaterRadius, 0.0, 0.0));
    tree->InvalidateAll();
    showNodes = 0;
    wireframe = 0;
    MarkDirty();
}

void Terrain::LoadMaterials() {
    BaseControl* control = theControl();
    if (!control || !control->GetContentDomain()[0]) return;
    char address[BaseControl::kPathSize];
    if (control->AttachPathToDomain(kGrassTexture, address, sizeof address)[0])
        groundMaterial.LoadFromURLNow(address);
    if (control->AttachPathToDomain(kWaterTexture, address, sizeof address)[0])
        waterMaterial.LoadFromURLNow(address);
    waterMaterial.modulateTexture = 1;
}

Terrain::~Terrain() {
    tree.reset();
}

// ---- Key data -----------------------------------------------------------------------

void Terrain::WriteKeyData() {
    delete element;
    element = new KeyDataSublist("Terrain");
    KeyDataList& keys = *element->GetChildren();
    surface.SaveMaterial(keys, "surface");
    keys.AddDouble("transactionObjectId", GetObjectId());
    keys.AddDouble("maxTerrainPts", kCount);
    char key[16];
    for (int i = 0; i < kCount; ++i) {
        std::snprintf(key, sizeof key, "%d", i);
        keys.AddDouble(key, nodes[i].position.y);
    }
}

bool Terrain::ReadKeyData(KeyDataList& keys) {
    double count = 0.0;
    if (keys.GetDouble("maxTerrainPts", count) && count != kCount) {
        theTrace().WriteFormat("Terrain of %g points ignored", count);
        return false;
    }
    double value = 0.0;
    if (keys.GetDouble("transactionObjectId", value) && std::isfinite(value) && value >= 0.0 &&
        value < static_cast<double>(kNoTransactionId))
        SetObjectId(static_cast<TransactionId>(value));
    KeyDataList* surfaceKeys = keys.GetSublist("surface");
    if (!surfaceKeys->IsEmpty()) surface.Load(*surfaceKeys);
    char key[16];
    for (int i = 0; i < kCount; ++i) {
        std::snprintf(key, sizeof key, "%d", i);
        if (!keys.GetDouble(key, value)) continue;
        if (!std::isfinite(value)) {
            theTrace().WriteFormat("Terrain height %d is not a number; kept", i);
            continue;
        }
        nodes[i].position.y = value;
    }
    StoreNodePositions();
    tree->InvalidateAll();
    MarkDirty();
    return true;
}

// ---- Heights ------------------------------------------------------------------------

void Terrain::StoreNodePositions() {
    for (TerrainNode& node : nodes) node.committed = node.position;
}

void Terrain::UpdateRegion(TerrainNode& node) {
    if (node.leaf) node.leaf->ComputeHeightBounds();
}

void Terrain::Reset(bool restoreSurface) {
    if (restoreSurface) RestoreSurface(false);
    for (TerrainNode& node : nodes) {
        node.position.y = 0.0;
        node.committed = node.position;
        node.selected = 0;
    }
    tree->InvalidateAll();
    MarkDirty();
}

void Terrain::RestoreSurface(bool now) {
    groundMaterial.SetColor(kGroundRed, kGroundGreen, kGroundBlue, 1.0);
    BaseControl* control = theControl();
    if (!control || !control->GetContentDomain()[0]) return;
    char address[BaseControl::kPathSize];
    if (!control->AttachPathToDomain(kGrassTexture, address, sizeof address)[0]) return;
    if (now)
        groundMaterial.LoadFromURLNow(address);
    else
        groundMaterial.LoadFromURL(address);
}

double Terrain::GetHeightAt(double x, double z) const {
    if (!std::isfinite(x) || !std::isfinite(z)) return 0.0;
    const BoundingBox& bounds = tree->box;
    if (bounds.min.y == bounds.max.y) return bounds.min.y;
    // Outside the square the edge of the ground is used.
    const Vector p(std::clamp(x, -kInsideEdge, kInsideEdge), 0.0,
                   std::clamp(z, -kInsideEdge, kInsideEdge));
    const int64_t found = tree->NearestNodeId(p);
    if (found < 0 || found >= kCount) return 0.0;
    const int i = static_cast<int>(found);
    const Vector& at = nodes[i].position;
    if (at.HorizontalDistance(p) == 0.0) return at.y;
    int k1 = -1;
    int k2 = -1;
    double d1 = 0.0;
    double d2 = 0.0;
    for (int offset : {1, kRow + 1, kRow, -1, -kRow - 1, -kRow}) {
        const int k = i + offset;
        if (k < 0 || k >= kCount) continue;
        const double d = nodes[k].position.HorizontalDistance(p);
        if (k1 < 0 || d < d1) {
            k2 = k1, d2 = d1;
            k1 = k, d1 = d;
        } else if (k2 < 0 || d < d2) {
            k2 = k, d2 = d;
        }
    }
    if (k1 < 0 || k2 < 0) return at.y;
    Vector n = CrossOf(Minus(nodes[k1].position, at), Minus(nodes[k2].position, at));
    n.Normalize();
    if (n.Length() == 0.0) return at.y;
    if (n.y == 0.0) return (nodes[k1].position.y + nodes[k2].position.y) / 2.0;
    const double d = -n.Dot(at);
    return -(n.z * p.z + n.x * p.x + d) / n.y;
}

void Terrain::RaiseNode(int start, double amount) {
    if (start < 0 || start >= kCount || !std::isfinite(amount) || amount == 0.0) return;
    // The raise of a node, then of each neighbour it leaves too far behind, one after
    // the other as nested raises would go; a neighbour's distance is taken when its turn
    // comes. Each frame is a raised node and the next of its four neighbours to look at.
    struct Frame {
        int node;
        bool up;
        int next;
    };
    std::vector<Frame> frames;
    auto raise = [&](int i, double by) {
        nodes[i].position.y += by;
        frames.push_back({i, by > 0.0, 0});
    };
    raise(start, amount);
    // Every raise moves a node to within the limit of a higher one, so the work ends; the
    // bound stops it whatever the heights.
    const size_t bound = static_cast<size_t>(kCount) * 256;
    size_t steps = 0;
    while (!frames.empty()) {
        Frame& frame = frames.back();
        const int i = frame.node;
        if (frame.next >= 4 || ++steps > bound) {
            if (steps > bound) {
                TraceWrite("Terrain: the slope limit did not settle");
                for (const Frame& f : frames) UpdateRegion(nodes[f.node]);
                frames.clear();
                break;
            }
            UpdateRegion(nodes[i]);
            frames.pop_back();
            continue;
        }
        const int column = Column(i);
        int j = -1;
        switch (frame.next++) {
            case 0:
                j = column < kRow - 1 && i < kCount - kRow ? i + kRow + 1 : -1;
                break;
            case 1:
                j = column > 0 ? i - 1 : -1;
                break;
            case 2:
                j = i < kCount - kRow ? i + kRow : -1;
                break;
            default:
                j = i >= kRow ? i - kRow : -1;
                break;
        }
        if (j < 0) continue;
        const bool up = frame.up;
        const double dy = nodes[i].position.y - nodes[j].position.y;
        if (up && dy > kSlopeLimit)
            raise(j, dy - kSlopeLimit);
        else if (!up && dy < -kSlopeLimit)
            raise(j, dy + kSlopeLimit);
    }
    StoreNodePositions();
}

void Terrain::MoveSelectedNodes(double amount) {
    if (!std::isfinite(amount)) return;
    for (TerrainNode& node : nodes) {
        if (!node.selected) continue;
        node.position.y += amount;
        UpdateRegion(node);
    }
    StoreNodePositions();
    MarkDirty();
    FlagLightsForUpdate();
}

void Terrain::DragNodeOrSelection(TerrainNode* node, double amount) {
    if (node && node >= nodes && node < nodes + kCount) {
        RaiseNode(static_cast<int>(node - nodes), amount);
        ShowHeight(node->position.y);
    } else {
        MoveSelectedNodes(amount);
    }
    MarkDirty();
    FlagLightsForUpdate();
}

void Terrain::SetAllNodesSelected(bool flag) {
    for (TerrainNode& node : nodes) node.selected = flag ? 1 : 0;
}

int Terrain::SelectedCount() const {
    int count = 0;
    for (const TerrainNode& node : nodes) count += node.selected ? 1 : 0;
    return count;
}

void Terrain::SelectNodesInBand(const Vector& c1, const Vector& c2, bool clearOutside) {
    const double lowX = std::fmin(c1.x, c2.x), highX = std::fmax(c1.x, c2.x);
    const double lowZ = std::fmin(c1.z, c2.z), highZ = std::fmax(c1.z, c2.z);
    for (TerrainNode& node : nodes) {
        const Vector& p = node.position;
        if (p.x >= lowX && p.x <= highX && p.z >= lowZ && p.z <= highZ)
            node.selected = 1;
        else if (clearOutside)
            node.selected = 0;
    }
}

void Terrain::Flatten() {
    double lowest = 0.0;
    bool any = false;
    for (const TerrainNode& node : nodes) {
        if (!node.selected) continue;
        if (!any || node.position.y < lowest) lowest = node.position.y;
        any = true;
    }
    if (!any) return;
    for (TerrainNode& node : nodes) {
        if (!node.selected) continue;
        node.position.y = lowest;
        UpdateRegion(node);
    }
    StoreNodePositions();
    MarkDirty();
}

void Terrain::Slope() {
    int high = -1, previous = -1, low = -1;
    for (int i = 0; i < kCount; ++i) {
        if (!nodes[i].selected) continue;
        if (high < 0) {
            high = previous = low = i;
        } else if (nodes[i].position.y >= nodes[high].position.y) {
            previous = high;
            high = low = i;
        }
    }
    if (high < 0) return;
    for (int i = 0; i < kCount; ++i) {
        if (!nodes[i].selected) continue;
        const double y = nodes[i].position.y;
        const double lowY = nodes[low].position.y;
        if (y < lowY ||
            (y == lowY && nodes[i].position.Distance(nodes[high].position) >
                              nodes[low].position.Distance(nodes[high].position)))
            low = i;
    }
    if (nodes[high].position.y == nodes[low].position.y) return;
    const Vector& P = nodes[previous].position;
    Vector u = Minus(nodes[high].position, P);
    u.Normalize();
    Vector w = Minus(nodes[low].position, P);
    w.Normalize();
    Vector n = CrossOf(w, u);
    n.Normalize();
    const double d = -n.Dot(P);
    // A plane that stands nearly upright would send the heights to infinity.
    if (std::fabs(n.y) > 1e-6) {
        for (TerrainNode& node : nodes) {
            if (!node.selected) continue;
            const double y = -(n.x * node.position.x + n.z * node.position.z + d) / n.y;
            if (std::isfinite(y)) node.position.y = y;
        }
    }
    StoreNodePositions();
    tree->ComputeHeightBounds();
    for (TerrainNode& node : nodes)
        if (node.selected) UpdateRegion(node);
    MarkDirty();
}

void Terrain::ShowHeight(double height) {
    BaseControl* control = theControl();
    if (!control || !control->activeWindow) return;
    std::string text = FormatLength(std::fabs(height), false, 6);
    text += height < 0.0 ? " below sea level" : " above sea level";
    StatusBar& bar = control->activeWindow->statusBar1;
    bar.SetShown(true);
    bar.SetText(text.c_str(), false);
}

void Terrain::FlagLightsForUpdate() {
    BaseControl* control = theControl();
    if (!control) return;
    LinkedListIterator it(control->scene);
    it.LockList();
    for (LinkedListObject* node = it.First(); !it.IsDone(); node = it.Next()) {
        auto* light = dynamic_cast<LightSource*>(node);
        if (light && light->HasType(TypeBit::kLight) && light->IsPositional())
            light->FlagForRebuild();
    }
    it.UnlockList();
}

// ---- Menu ---------------------------------------------------------------------------

void Terrain::BuildPropertyMenu(platform::Menu& menu) {
    menu.AppendItem(kToggleWireframe, "Toggle Wireframe");
    menu.AppendItem(kResetTerrain, "Reset Terrain");
    menu.AppendItem(kFlattenSelected, "Flatten Selected Terrain");
    menu.AppendItem(kSlopeSelected, "Slope Selected Terrain");
}

bool Terrain::ProcessPropertyMenu(uint32_t id) {
    switch (id) {
        case kToggleWireframe:
            wireframe = wireframe ? 0 : 1;
            return true;
        case kResetTerrain:
            BeginUndoStep();
            Reset(false);
            EndUndoStep();
            FlagLightsForUpdate();
            return true;
        case kFlattenSelected:
            BeginUndoStep();
            Flatten();
            EndUndoStep();
            FlagLightsForUpdate();
            return true;
        case kSlopeSelected:
            BeginUndoStep();
            Slope();
            EndUndoStep();
            FlagLightsForUpdate();
            return true;
        default:
            return OnCommand(id);
    }
}

// ---- Drawing ------------------------------------------------------------------------

const BoundingBox& Terrain::GetBoundingBox() const {
    return tree->box;
}

void Terrain::AndFlags(uint32_t mask) {
    RenderableObject::AndFlags(mask);
    tree->AndVisibilityMask(mask);
}

void Terrain::UpdateWindowVisibility() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetActiveView() : nullptr;
    if (view) tree->UpdateVisibility(*view);
}

bool Terrain::IsShownInCurrentView() {
    BaseControl* control = theControl();
    SceneView* view = control ? control->GetCurrentView() : nullptr;
    const int mode = view ? view->GetRenderState().GetInteger(0) : 0;
    const bool hidden = view && (view->GetRenderState().GetInt64(0) & GetTypeMask());
    drawn = (mode == 1 || mode == 2 || hidden) ? 0 : 1;
    shownInView = drawn;
    return drawn != 0;
}

Vector Terrain::ComputeNodeNormal(int v) const {
    const int column = Column(v);
    const bool firstRow = v < kRow;
    const bool lastRow = v >= kCount - kRow;
    const bool firstColumn = column == 0;
    const bool lastColumn = column == kRow - 1;
    const Vector& p = nodes[v].position;
    Vector sum(0.0, 0.0, 0.0);
    auto add = [&](int a, int b) {
        const Vector n = CrossOf(Minus(nodes[a].position, p), Minus(nodes[b].position, p));
        sum.Add(n);
    };
    if (!firstRow && !firstColumn) add(v - 1, v - kRow - 1), add(v - kRow - 1, v - kRow);
    if (!firstRow && !lastColumn) add(v - kRow, v + 1);
    if (!lastRow && !lastColumn) add(v + 1, v + kRow + 1), add(v + kRow + 1, v + kRow);
    if (!lastRow && !firstColumn) add(v + kRow, v - 1);
    sum.Normalize();
    return sum;
}

void Terrain::GetTexCoord(const Vector& p, double out[2]) const {
    const Vector& d = textureDirection;
    if (d.x == 0.0 && d.y == 1.0 && d.z == 0.0) {
        out[0] = p.x + p.z;
        out[1] = p.y;
    } else {
        out[0] = p.x + d.x * p.y;
        out[1] = p.z + d.z * p.y;
    }
}

void Terrain::DrawTriangle(int a, int b, int c) {
    const Vector normals[3] = {ComputeNodeNormal(a), ComputeNodeNormal(b), ComputeNodeNormal(c)};
    Vector n = normals[0];
    n.Add(normals[1]);
    n.Add(normals[2]);
    n.Normalize();
    if (std::fabs(n.y) >= 0.5) {
        textureDirection = Vector(0.0, 0.0, 0.0);
    } else {
        textureDirection = Vector(-(n.x * n.y), n.x * n.x + n.z * n.z, -(n.y * n.z));
        textureDirection.Normalize();
    }
    glNormal3d(n.x, n.y, n.z);
    const int corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        const Vector& p = nodes[corners[k]].position;
        double uv[2];
        GetTexCoord(p, uv);
        glNormal3d(normals[k].x, normals[k].y, normals[k].z);
        glTexCoord2d(uv[0], uv[1]);
        glVertex3d(p.x, p.y, p.z);
    }
}

void Terrain::UpdateCell(TerrainNode& node) {
    const int i = static_cast<int>(node.index);
    if (i < 0 || i >= kCount - kRow || Column(i) >= kRow - 1) return;
    glBegin(GL_TRIANGLES);
    DrawTriangle(i, i + kRow, i + kRow + 1);
    DrawTriangle(i, i + kRow + 1, i + 1);
    glEnd();
}

void Terrain::DrawFlatQuad(const Vector corners[4]) {
    glBegin(GL_POLYGON);
    glNormal3d(0.0, 1.0, 0.0);
    textureDirection = Vector(0.0, 0.0, 0.0);
    for (int k = 0; k < 4; ++k) {
        double uv[2];
        GetTexCoord(corners[k], uv);
        glTexCoord2d(uv[0], uv[1]);
        glVertex3d(corners[k].x, corners[k].y, corners[k].z);
    }
    glEnd();
}

void Terrain::DrawNodeHandles(bool picking) {
    BaseControl* control = theControl();
    if (!control || control->globalState.GetBoolean(15)) return;
    SceneView* view = control->GetCurrentView();
    if (picking) {
        // Handles are picked from any side.
        glPushAttrib(GL_ENABLE_BIT);
        glDisable(GL_CULL_FACE);
        for (TerrainNode& node : nodes) {
            if (node.leaf && node.leaf->IsCulledInActiveView()) continue;
            glPushMatrix();
            glTranslated(node.position.x, node.position.y, node.position.z);
            glPushName(node.GetPickName());
            // A square of the marker's size, as the marker cube's top is picked.
            const double h = kMarkerSize / 2.0;
            glBegin(GL_QUADS);
            glVertex3d(-h, h, -h);
            glVertex3d(-h, h, h);
            glVertex3d(h, h, h);
            glVertex3d(h, h, -h);
            glEnd();
            glPopName();
            glPopMatrix();
        }
        glPopAttrib();
        return;
    }
    if (view && view->GetRenderState().GetBoolean(9)) return;
    glPushAttrib(GL_CURRENT_BIT | GL_POINT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_TEXTURE_2D);
    glPointSize(10.0f);
    glBegin(GL_POINTS);
    tree->RenderNodePoints();
    glEnd();
    glPopAttrib();
}

void Terrain::DrawWireframe() {
    auto vertex = [&](int i) {
        const Vector& p = nodes[i].position;
        glVertex3d(p.x, p.y, p.z);
    };
    glPushAttrib(GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glPushMatrix();
    glTranslated(0.0, 0.25, 0.0);
    glColor4d(0.0, 0.0, 0.0, 1.0);
    glBegin(GL_LINE_LOOP);
    vertex(0);
    vertex(kRow);
    for (int r = 1; r < kRow; ++r) {
        vertex(r * kRow - 1);
        vertex(r * kRow + kRow - 1);
        vertex(r * kRow);
        for (int c = 0; c < kRow - 1; ++c) {
            vertex((r - 1) * kRow + c);
            vertex(r * kRow + c + 1);
        }
    }
    glEnd();
    glPopMatrix();
    glPopAttrib();
}

void Terrain::DrawWater() {
    BaseControl* control = theControl();
    if (!control) return;
    SceneView* view = control->GetCurrentView();
    const GlobalState& global = control->globalState;
    if (global.GetBoolean(17) || global.GetBoolean(8) || global.GetBoolean(15) || !view ||
        !view->GetRenderState().GetBoolean(9) || view->GetRenderState().GetBoolean(3))
        return;
    Vector o(waterMaterial.textureOffset.x, waterMaterial.textureOffset.y, 0.0);
    const uint32_t tick = static_cast<uint32_t>(platform::QueryCounter());
    const uint32_t elapsed = tickStarted ? tick - lastTick : 0u;
    lastTick = tick;
    tickStarted = true;
    const double step = elapsed * kWaterAngleStep;
    double angle = std::atan2(o.y, o.x);
    auto* window = dynamic_cast<Window*>(view);
    const int layer = window ? window->layerCounter : 0;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    waterMaterial.Apply(true, false);
    glPushMatrix();
    double alpha = 0.45;
    if (layer == 0) {
        glTranslated(0.0, -6.0, 0.0);
        glColor4d(0.4, 0.8, 1.0, 0.17);
        tree->RenderGround();
        glTranslated(0.0, 3.0, 0.0);
        o.Negate();
        water.SetMaterialVector(o);
        glColor4d(0.4, 0.8, 1.0, 0.19);
        tree->RenderGround();
        o.x = -o.x;
        glTranslated(0.0, 3.0, 0.0);
        alpha = 0.2;
    } else {
        o.y = -o.y;
        o.z = -o.z;
    }
    glColor4d(0.4, 0.8, 1.0, alpha);
    water.SetMaterialVector(o);
    tree->RenderGround();
    glPopMatrix();
    glPopAttrib();
    angle += step;
    water.SetMaterialVector(
        Vector(kWaterRadius * std::cos(angle), kWaterRadius * std::sin(angle), 0.0));
}

void Terrain::Render() {
    BaseControl* control = theControl();
    if (!control || !IsShownInCurrentView()) return;
    SceneView* view = control->GetCurrentView();
    const bool picking = view && view->GetRenderState().GetBoolean(3);
    if (picking && !control->globalState.GetBoolean(27)) return;
    SetStencilForSelection();
    glLoadName(GetPickName());
    if (control->globalState.GetBoolean(17)) {
        control->globalState.SetBoolean(26, true);
        control->globalState.SetBoolean(26, false);
    } else if (showNodes) {
        DrawNodeHandles(picking);
    }
    if (view) view->GetRenderState().SetBoolean(8, false);
    if (!picking) groundMaterial.Apply(true, false);
    // The mesh is picked as the terrain's surface, under the terrain.
    glPushName(surface.GetPickName());
    tree->Render();
    glPopName();
    if (wireframe && !picking) DrawWireframe();
    DrawWater();
}
