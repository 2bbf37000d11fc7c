// A drawing for the targets that build entities: one document and its
// per-drawing record, made with the first input and active for every one.
#pragma once

#include "exchange/drawingdata.h"
#include "hostdb_control.h"

namespace velkfuzz {

inline CDrawingData* UseDrawing()
{
    static CDrawingData* drawing = [] {
        GcApDocument* doc = standin::CreateDocument(L"C:\\fuzz.dwg");
        return GetDrawingData(drawingRecords, L"C:\\fuzz.dwg", doc);
    }();
    g_ptagDocIdManager = drawing;
    return drawing;
}

}  // namespace velkfuzz
