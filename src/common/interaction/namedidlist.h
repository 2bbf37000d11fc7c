// Entity ids grouped by a name (a layer name, for example), the groups in
// the order their names first arrived.
#pragma once

#include "afxstr.h"
#include "oddbobject.h"

struct NamedIdNode {
    // In order of addition; never empty once the node exists.
    OdDbObjectIdArray ids;
    // Compared exactly (case-sensitive).
    CString name;
    NamedIdNode* next = nullptr;
};

class NamedIdList {
public:
    NamedIdList() = default;
    ~NamedIdList();
    // The list owns its nodes.
    NamedIdList(const NamedIdList&) = delete;
    NamedIdList& operator=(const NamedIdList&) = delete;

    // Adds the id to the group of that name, which is made at the end of
    // the list when the name is new.
    void Set(OdDbObjectId id, CString name);

    NamedIdNode* first = nullptr;
    // The node last found or appended by Set.
    NamedIdNode* current = nullptr;
};
