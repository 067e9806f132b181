// Reads an outline from an element tree built from arbitrary bytes, then measures it,
// stores it and reads it back. Whatever the tree holds, the outline must come out as a
// ring of at most the stored-node limit that writes and reads again to the same nodes.
#include "geometry/Outline.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "foundation/KeyDataList.h"

namespace {

// Quadratic work stays within a bounded time on big outlines.
constexpr int kMaxQuadraticNodes = 1500;

void Exercise(Outline& outline) {
    outline.edgesRoundable = true;
    const int primary = outline.GetPrimaryCount();
    if (primary < 0 || primary > Outline::kMaxStoredNodes) std::abort();
    for (int i = 0; i < primary; ++i)
        if (!outline.GetPrimaryPoints()[i].OwnsEdge()) std::abort();
    const OutlinePoint* points = outline.GetPoints();
    for (int i = 0; i < outline.GetCount(); ++i)
        if (!points[i].edge) std::abort();

    (void)outline.GetArea();
    (void)outline.GetPerimeter(true);
    (void)outline.GetEdgeLengthSum();
    (void)outline.IsRectangle();
    if (primary > 0) {
        const OutlinePoint& first = outline.GetPrimaryPoints()[0];
        (void)outline.GetDistanceAlong(first.position, first.edge);
    }
    if (outline.GetCount() <= kMaxQuadraticNodes) {
        (void)outline.IsSimple();
        (void)outline.ContainsPoint(Vector(1, 2, 3));
        (void)outline.Relate(outline, true);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) std::abort();
    KeyDataList tree;
    tree.ReadBinary(file);
    std::fclose(file);

    // The outline under the first member's name, whatever that is.
    const BaseKeyDataElement* first = tree.GetFirstMember();
    if (!first) return 0;
    Outline outline;
    outline.edgesRoundable = true;
    outline.Load(tree, first->GetName());
    Exercise(outline);
    // Reading back looks each stored node up by name, which grows with the square of the
    // count.
    if (outline.GetPrimaryCount() > kMaxQuadraticNodes) return 0;

    KeyDataList stored;
    outline.Save(stored, "outline");
    Outline again;
    again.edgesRoundable = true;
    again.Load(stored, "outline");
    if (again.GetPrimaryCount() != outline.GetPrimaryCount()) std::abort();
    for (int i = 0; i < outline.GetPrimaryCount(); ++i) {
        const OutlinePoint& a = outline.GetPrimaryPoints()[i];
        const OutlinePoint& b = again.GetPrimaryPoints()[i];
        if (std::fabs(a.position.x - b.position.x) > 1e-6 * (1 + std::fabs(a.position.x)) ||
            a.constrainFollowing != b.constrainFollowing || a.ownEdge.IsArc() != b.ownEdge.IsArc())
            std::abort();
    }
    Exercise(again);
    return 0;
}
