#include "common/interaction/namedidlist.h"

NamedIdList::~NamedIdList()
{
    while (first) {
        NamedIdNode* next = first->next;
        delete first;
        first = next;
    }
}

void NamedIdList::Set(OdDbObjectId id, CString name)
{
    if (current && current->name == name) {
        current->ids.append(id);
        return;
    }
    NamedIdNode* last = nullptr;
    for (NamedIdNode* n = first; n; n = n->next) {
        if (n->name == name) {
            n->ids.append(id);
            current = n;
            return;
        }
        last = n;
    }
    auto* node = new NamedIdNode();
    node->ids.append(id);
    node->name = name;
    if (last) last->next = node;
    else first = node;
    current = node;
}
