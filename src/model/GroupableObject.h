#pragma once

class Group;

// An object that a group can hold: it knows the group that holds it (null when it stands
// alone in the scene).
class GroupableObject {
public:
    GroupableObject() = default;
    virtual ~GroupableObject() = default;
    GroupableObject(const GroupableObject&) = delete;
    GroupableObject& operator=(const GroupableObject&) = delete;

    Group* GetGroup() const { return group; }
    void SetGroup(Group* owner) { group = owner; }

protected:
    Group* group = nullptr;
};
