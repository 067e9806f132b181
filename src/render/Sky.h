#pragma once

#include "model/BaseModel.h"

// A part of the surroundings rather than a placed object; the sky dome is kind 2001.
// Everything it shows comes from its catalogue model.
class EnvironmentObject : public BaseModel {
public:
    static constexpr int kSkyDome = 2001;

    explicit EnvironmentObject(int kind) : kind(kind) {}
    ~EnvironmentObject() override;

    uint64_t GetTypeMask() const override { return TypeMask::kEnvironmentObject; }

    // The sky dome writes its model keys as the element "Dome", once: an object that has
    // an element already, and every other kind, write nothing.
    void WriteKeyData() override;

    int GetKind() const { return kind; }

    int kind;
};
