#pragma once

#include <initializer_list>

#include "geometry/Outline.h"

// Fills an empty outline with nodes in ring order (the third node computes the normal).
inline void BuildOutline(Outline& outline, std::initializer_list<Vector> nodes) {
    for (const Vector& node : nodes) outline.InsertPoint(node, outline.GetPrimaryCount(), false);
}

// Curves the edge that starts at primary node `index` with the given bulge.
inline void CurveEdge(Outline& outline, int index, double bulge) {
    outline.edgesRoundable = true;
    OutlineEdge& edge = outline.GetPrimaryPoints()[index].ownEdge;
    edge.arcAllowed = true;
    edge.booleanParameter[edge.arcIndex] = true;
    edge.edgeR = bulge;
    outline.Refresh();
}
