#include "geometry/Outline.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "platform/Menu.h"

// --- OutlineEdge ---

const char* const OutlineEdge::kRoundedLabel = "Make Edge Rounded";

int OutlineEdge::LabelCount() const {
    int count = 0;
    while (count < kFlagCount && labels[count] != nullptr) ++count;
    return count;
}

bool OutlineEdge::IsArc() const {
    return arcAllowed && arcIndex >= 0 && arcIndex < kFlagCount && booleanParameter[arcIndex];
}

OutlineEdge::OutlineEdge(const OutlineEdge& other) : SelectableObject() {
    CopyValues(other);
}

OutlineEdge& OutlineEdge::operator=(const OutlineEdge& other) {
    if (this != &other) CopyValues(other);
    return *this;
}

void OutlineEdge::CopyValues(const OutlineEdge& other) {
    selected = other.selected;
    std::copy(std::begin(other.booleanParameter), std::end(other.booleanParameter),
              booleanParameter);
    std::copy(std::begin(other.labels), std::end(other.labels), labels);
    arcAllowed = other.arcAllowed;
    edgeR = other.edgeR;
    direction = other.direction;
    arcIndex = other.arcIndex;
}

void OutlineEdge::BuildPropertyMenu(platform::Menu& menu) {
    auto isRounded = [](const char* label) {
        return label != nullptr && std::strcmp(label, kRoundedLabel) == 0;
    };
    auto append = [&](int index) {
        menu.AppendItem(kFirstCommand + index, labels[index], booleanParameter[index]);
        if (isRounded(labels[index])) menu.AppendSeparator();
    };

    const int count = LabelCount();
    for (int i = 0; i < count; ++i) append(i);
    if (!arcAllowed || (count > 0 && isRounded(labels[count - 1]))) return;
    if (!PRECONDITION(count < kFlagCount, "no flag left for rounded edges")) return;
    arcIndex = count;
    labels[count] = kRoundedLabel;
    labels[count + 1] = nullptr;
    append(count);
}

bool OutlineEdge::ProcessPropertyMenu(uint32_t id) {
    if (id >= kFirstCommand && id < kFirstCommand + kFlagCount) {
        bool& flag = booleanParameter[id - kFirstCommand];
        flag = !flag;
    }
    return false;
}

// --- OutlinePoint ---

OutlinePoint::OutlinePoint(const OutlinePoint& other)
    : SelectableObject(),
      position(other.position),
      constrainFollowing(other.constrainFollowing),
      edge(other.OwnsEdge() ? &ownEdge : other.edge),
      ownEdge(other.ownEdge) {
    selected = other.selected;
}

OutlinePoint& OutlinePoint::operator=(const OutlinePoint& other) {
    if (this == &other) return *this;
    selected = other.selected;
    position = other.position;
    constrainFollowing = other.constrainFollowing;
    ownEdge = other.ownEdge;
    edge = other.OwnsEdge() ? &ownEdge : other.edge;
    return *this;
}

void OutlinePoint::Save(KeyDataList& list, const char* name) const {
    KeyDataList* node = list.AddSublist(name);
    node->AddDouble("constrainFollowing", constrainFollowing ? 1.0 : 0.0);
    node->AddDouble("edgeR", edge->edgeR);
    for (int i = 0; i < OutlineEdge::kFlagCount; ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "booleanParameter%d", i);
        node->AddDouble(key, edge->booleanParameter[i] ? 1.0 : 0.0);
    }
    position.WriteChild(*node, "v");
}

// --- Outline: nodes ---

Outline::Outline() = default;
Outline::~Outline() = default;

int Outline::GetCount() const {
    return ViewIsCurved() ? curvedCount_ : GetPrimaryCount();
}

OutlinePoint* Outline::GetPoints() {
    if (GetCount() == 0) return nullptr;
    return ViewIsCurved() ? curved_.data() : primary_.data();
}

const OutlinePoint* Outline::GetPoints() const {
    if (GetCount() == 0) return nullptr;
    return ViewIsCurved() ? curved_.data() : primary_.data();
}

int Outline::IndexOfPrimary(const OutlinePoint* node) const {
    for (int i = 0; i < GetPrimaryCount(); ++i)
        if (&primary_[i] == node) return i;
    return -1;
}

void Outline::RepointEdges() {
    for (OutlinePoint& node : primary_) {
        node.edge = &node.ownEdge;
        node.ownEdge.arcAllowed = edgesRoundable;
    }
}

OutlinePoint* Outline::InsertPoint(const Vector& position, int index, bool constrainFollowing) {
    if (!PRECONDITION(index >= 0 && index <= GetPrimaryCount(), "insertion index out of range"))
        return nullptr;
    try {
        primary_.insert(primary_.begin() + index, OutlinePoint(position, constrainFollowing));
    } catch (const std::bad_alloc&) {
        PRECONDITION(false, "realloc failed");
        Refresh();
        return nullptr;
    }
    RepointEdges();
    if (GetPrimaryCount() == 3) ComputeNormal();
    Refresh();
    return &primary_[index];
}

bool Outline::DeletePoint(const OutlinePoint* node) {
    const int index = IndexOfPrimary(node);
    if (!PRECONDITION(index >= 0, "attempt to delete a non-node")) return false;
    primary_.erase(primary_.begin() + index);
    if (primary_.empty()) primary_.shrink_to_fit();
    RepointEdges();
    Refresh();
    return true;
}

void Outline::Clear() {
    primary_.clear();
    Refresh();
}

OutlinePoint* Outline::GetNextPoint(const OutlinePoint* node, bool wrap) {
    int index = node != nullptr && node->OwnsEdge() ? IndexOfPrimary(node) : -1;
    OutlinePoint* array = primary_.data();
    int count = GetPrimaryCount();
    if (index < 0) {
        array = GetPoints();
        count = GetCount();
        for (int i = 0; i < count; ++i)
            if (&array[i] == node) index = i;
        if (index < 0) return nullptr;
    }
    if (index + 1 < count) return &array[index + 1];
    return wrap ? &array[0] : nullptr;
}

OutlinePoint* Outline::GetPreviousPoint(const OutlinePoint* node, bool wrap) {
    int index = node != nullptr && node->OwnsEdge() ? IndexOfPrimary(node) : -1;
    OutlinePoint* array = primary_.data();
    int count = GetPrimaryCount();
    if (index < 0) {
        array = GetPoints();
        count = GetCount();
        for (int i = 0; i < count; ++i)
            if (&array[i] == node) index = i;
        if (index < 0) return nullptr;
    }
    if (index > 0) return &array[index - 1];
    return wrap ? &array[count - 1] : nullptr;
}

void Outline::SetNormal(const Vector& v) {
    normal = v;
    normalFixed = true;
}

void Outline::ComputeNormal() {
    const int n = GetPrimaryCount();
    if (n <= 2 || normalFixed) return;
    for (int i = 0; i + 2 < n; ++i) {
        const Vector triple[3] = {primary_[i].position, primary_[i + 1].position,
                                  primary_[i + 2].position};
        normal.PlaneNormalFromPoints(triple);
        if (normal.x != 0.0 || normal.y != 0.0 || normal.z != 0.0) break;
    }

    // Each corner votes on which way the ring turns about the normal.
    int vote = 0;
    for (int k = 3; k <= n + 1; ++k) {
        const Vector& a = primary_[k - 2].position;
        const Vector& b = primary_[(k - 1) % n].position;
        const Vector& c = primary_[k % n].position;
        Vector turn;
        turn.Cross(Vector(a.x - b.x, a.y - b.y, a.z - b.z),
                   Vector(b.x - c.x, b.y - c.y, b.z - c.z));
        double product;
        if (std::fabs(normal.x) > 0.01)
            product = turn.x * normal.x;
        else if (std::fabs(normal.y) > 0.01)
            product = turn.y * normal.y;
        else if (std::fabs(normal.z) > 0.01)
            product = turn.z * normal.z;
        else
            continue;
        vote += product >= 0.0 ? -1 : 1;
    }
    if (vote > 0) normal.Negate();
}

void Outline::Translate(double dx, double dy, double dz) {
    for (OutlinePoint& node : primary_) node.position.Offset(dx, dy, dz);
    if (hasCurves_)
        for (int i = 0; i < curvedCount_; ++i) curved_[i].position.Offset(dx, dy, dz);
}

std::vector<Vector> Outline::GetPositions() const {
    return CurrentPositions();
}

std::vector<Vector> Outline::CurrentPositions() const {
    std::vector<Vector> positions;
    const OutlinePoint* points = GetPoints();
    const int n = GetCount();
    positions.reserve(n);
    for (int i = 0; i < n; ++i) positions.push_back(points[i].position);
    return positions;
}

void Outline::UsePrimaryPoints() {
    primaryView_ = true;
}

void Outline::UseAlternatePoints() {
    primaryView_ = false;
}

void Outline::Refresh() {
    // The current view follows primaryView_ and hasCurves_, so re-tessellating is all
    // there is to do.
    Tessellate();
}

// --- Outline: persistence ---

void Outline::Save(KeyDataList& list, const char* name) const {
    KeyDataList* outline = list.AddSublist(name);
    normal.WriteChild(*outline, "normal");
    outline->AddDouble("nodeCount", GetPrimaryCount());
    KeyDataList* points = outline->AddSublist("outlinePoints");
    for (int i = 0; i < GetPrimaryCount(); ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "Point%d", i);
        primary_[i].Save(*points, key);
    }
}

namespace {

// A stored node count as a count of nodes: rounded and kept within 0 .. limit; false
// when it is not a number at all.
bool SafeNodeCount(double stored, int limit, int& count) {
    if (std::isnan(stored)) return false;
    if (stored <= 0.0) {
        count = 0;
    } else if (stored >= limit) {
        count = limit;
    } else {
        count = static_cast<int>(std::lround(stored));
    }
    return true;
}

}  // namespace

void Outline::Load(const KeyDataList& list, const char* name) {
    const KeyDataList* outline = list.GetSublist(name);
    if (outline->IsEmpty()) return;

    const int before = GetPrimaryCount();
    int nodeCount = before;
    double stored;
    if (outline->GetDouble("nodeCount", stored)) {
        int wanted;
        if (SafeNodeCount(stored, kMaxStoredNodes, wanted)) {
            if (stored != wanted) TraceWrite("Outline: stored node count adjusted");
            try {
                primary_.resize(wanted);
                nodeCount = wanted;
            } catch (const std::bad_alloc&) {
                PRECONDITION(false, "realloc failed");
            }
            RepointEdges();
        } else {
            TraceWrite("Outline: stored node count is not a number");
        }
    }

    const KeyDataList* points = outline->GetSublist("outlinePoints");
    if (!points->IsEmpty()) {
        for (int i = 0; i < nodeCount; ++i) {
            char key[32];
            std::snprintf(key, sizeof key, "Point%d", i);
            const KeyDataList* entry = points->GetSublist(key);
            if (entry->IsEmpty()) continue;
            OutlinePoint& node = primary_[i];
            node.position.ReadChild(*entry, "v");
            entry->GetBool("constrainFollowing", node.constrainFollowing);
            ReadFiniteDouble(*entry, "edgeR", node.ownEdge.edgeR);
            for (int f = 0; f < OutlineEdge::kFlagCount; ++f) {
                std::snprintf(key, sizeof key, "booleanParameter%d", f);
                entry->GetBool(key, node.ownEdge.booleanParameter[f]);
            }
        }
    }
    // Nodes that arrived here take their plane from their own positions; a stored normal
    // still has the last word.
    if (before < 3 && GetPrimaryCount() >= 3) ComputeNormal();
    normal.ReadChild(*outline, "normal");
    Refresh();
    if (hasCurves_) UseAlternatePoints();
}

void Outline::CopyFrom(const Outline& other) {
    if (&other == this) return;
    KeyDataList temporary;
    other.Save(temporary, "Temp");
    Load(temporary, "Temp");
}
