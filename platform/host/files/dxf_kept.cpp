// Drawing files: copying and freeing what objects keep of their records.
#include "dxf_kept.h"

#include <algorithm>

namespace standin {

DxfKept* CopyKept(const DxfKept* k, bool whole)
{
    if (!k) return nullptr;
    auto* c = new DxfKept;
    c->dxfType = k->dxfType;
    c->runs = k->runs;
    // What the original owns (360: an image's reactor, say) stays the
    // original's: a copy that named it would own it too.
    if (!whole)
        for (KeptRun& r : c->runs)
            r.groups.erase(std::remove_if(r.groups.begin(), r.groups.end(), [](const KeptGroup& g) { return g.code == 360; }),
                           r.groups.end());
    // A copy is another object: its records get handles of their own.
    if (k->blockBegin) c->blockBegin.reset(CopyKept(k->blockBegin.get(), whole));
    if (k->blockEnd) c->blockEnd.reset(CopyKept(k->blockEnd.get(), whole));
    for (const auto& s : k->subRecords) c->subRecords.emplace_back(CopyKept(s.get(), whole));
    if (whole) {
        c->handle = k->handle;
        c->subHandles = k->subHandles;
    }
    c->flags = k->flags;
    c->colourNumber = k->colourNumber;
    c->colourRgb = k->colourRgb;
    c->planePoints = k->planePoints;
    c->planeNormal = k->planeNormal;
    c->pieceEnds = k->pieceEnds;
    c->piecesOf = k->piecesOf;
    c->hardOwned = k->hardOwned;
    c->sortHandles = k->sortHandles;
    c->sortOrder = k->sortOrder;
    return c;
}

void DeleteKept(DxfKept* k) { delete k; }

}  // namespace standin
