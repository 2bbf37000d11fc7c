#include "odrxobject.h"

bool OdRxClass::isDerivedFrom(const OdRxClass* other) const
{
    for (const OdRxClass* c = this; c; c = c->parent_)
        if (c == other) return true;
    return false;
}

OdRxClass* OdRxObject::desc()
{
    static OdRxClass c(L"AcRxObject", nullptr);
    return &c;
}
