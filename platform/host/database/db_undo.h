// Host SDK stand-in: what the host's undo needs of the database: a copy of
// any object's whole state, to be put back in its place.
#pragma once

#include "oddbobject.h"

namespace standin {
// A copy of the object holding its whole state (OdDbObject::copyTiesTo), in
// no database, of the object's own class, for OdDbDatabase::exchangeState;
// null for a class the database does not know.
OdDbObject* StateCopy(const OdDbObject* o);
}  // namespace standin
