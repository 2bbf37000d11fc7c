// A drawing for the targets that build entities: one document and its
// per-drawing record, active for every input.
#pragma once

#include "afxmsgbox.h"
#include "hostdb_control.h"
#include "state/drawingdata.h"

namespace velkfuzz {

inline CDrawingData* UseDrawing()
{
    // A new document every few hundred inputs: what the inputs draw would
    // otherwise pile up in one drawing for the whole run.
    static const wchar_t kName[] = L"C:\\fuzz.dwg";
    static GcApDocument* doc = nullptr;
    static CDrawingData* drawing = nullptr;
    static unsigned uses = 0;
    if (!doc || ++uses % 256 == 0) {
        if (doc) {
            RemoveDrawingData(drawingRecords, kName, doc);
            standin::CloseDocument(doc);
        }
        doc = standin::CreateDocument(kName);
        drawing = GetDrawingData(drawingRecords, kName, doc);
    }
    g_ptagDocIdManager = drawing;
    // The stand-in keeps every message box shown for the tests to read:
    // over millions of inputs they would fill the memory.
    standin::ClearMessageBoxes();
    return drawing;
}

}  // namespace velkfuzz
