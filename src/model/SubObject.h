#pragma once

#include <cstddef>
#include <cstdio>

#include "model/Model.h"

class PartGroup;
class SubObjectPart;

// The carrier of a sub-object replacement: a short-lived model that reads another
// geometry file and hands its parts and materials to every sub-object part of that name
// in its parent model. It can also read just the sections of one name out of a geometry
// file into the parent. A sub-object never stands in the scene; once it has handed its
// parts over it goes to the control's deleted objects.
class SubObject : public Model {
public:
    static constexpr size_t kNameSize = 128;

    explicit SubObject(const char* name);
    // With the geometry file to read.
    SubObject(const char* name, const char* localPath);
    ~SubObject() override;

    // Stores the parent; a sub-object already loaded builds into it at once.
    void AttachTo(BaseModel* parent, bool withUndo);
    // Loaded: builds into the parent when there is one.
    int OnDownloadComplete() override;
    // Replaces the parent's sub-object parts of this name by this file's parts (inside an
    // undo step of the parent when asked), freeing the materials an earlier replacement
    // brought.
    void BuildIntoParent();
    // Gives the materials up to the parts and leaves for the control's deleted objects. (Release is
    // the download callback's reference count.)
    void ReleaseToParent();
    // The k-th sub-object part of this name in the tree (depth first, counting from 0
    // with `counter`); null when there are fewer.
    SubObjectPart* FindSectionPart(LinkedList& list, int k, int& counter);
    // Scans the open geometry file (without building) for the sections of this name and
    // reads each into the matching sub-object part of `partList`, in file order.
    void ReadSections(FILE* file, LinkedList& partList, BaseModel& model);

    const char* GetName() const { return name; }
    BaseModel* GetParent() const { return parent; }

protected:
    // A replacement that never arrived leaves for the deleted objects as well.
    void DownloadThreadBody() override;

private:
    void SetName(const char* text);

    uint8_t withUndo = 0;
    BaseModel* parent = nullptr;
    char name[kNameSize] = {};
};
