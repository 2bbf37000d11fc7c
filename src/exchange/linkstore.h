// Writing the links that changed in memory into the entities' Xrecords, in
// one pass before a drawing is saved or closed.
#pragma once

#include "state/drawingdata.h"

class OdDbDatabase;

// Writes the pending links of one drawing into the entities of `db` (the
// working database when null); each is marked saved, written or not.
void SaveEntityLinks(LinkMap& links, OdDbDatabase* db = nullptr);
// Writes the pending links of every drawing, each into its own drawing, in
// one transaction with the status-bar meter. Nothing pending: nothing shown.
void SaveAllXData(DrawingRecordMap& records);
