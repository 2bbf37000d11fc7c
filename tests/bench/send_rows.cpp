// Sending: drawing entities converted to map-object records and framed into
// the buffer that goes to the peer.
#include <cstring>
#include <memory>

#include "bench_drawing.h"
#include "bench_inputs.h"
#include "bench_rows.h"
#include "exchange/arxoperation.h"
#include "exchange/convertcommon.h"
#include "exchange/objexchangebuffer.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbcurves.h"
#include "oddbhatch.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "state/drawingdata.h"
#include "state/settings.h"

namespace velkbench {

OdDbEntity* MakeMixedEntity(int i)
{
    const double x = 500000 + (i % 100) * 20.0, y = 3000000 + (i / 100) * 20.0;
    switch (i % 10) {
    case 0: return new OdDbLine(OdGePoint3d(x, y, 0), OdGePoint3d(x + 15, y + 4, 0));
    case 1: return new OdDbCircle(OdGePoint3d(x, y, 0), OdGeVector3d(0, 0, 1), 6);
    case 2: return new OdDbArc(OdGePoint3d(x, y, 0), 5, 0.3, 2.5);
    case 3: {
        auto* pl = new OdDbPolyline();
        for (unsigned k = 0; k < 12; ++k) pl->addVertexAt(k, OdGePoint2d(x + k, y + (k % 3)), k % 4 ? 0.0 : 0.2);
        return pl;
    }
    case 4: return new OdDbText(OdGePoint3d(x, y, 0), L"道路标注", OdDbObjectId::kNull, 2.5, 0.4);
    case 5: {
        auto* m = new OdDbMText();
        m->setContents(L"第一行\\P第二行");
        m->setLocation(OdGePoint3d(x, y, 0));
        m->setTextHeight(2);
        return m;
    }
    case 6: return new OdDbPoint(OdGePoint3d(x, y, 1));
    case 7: {
        auto* h = new OdDbHatch();
        OdGePoint2dArray ring;
        for (int k = 0; k < 8; ++k) ring.append(OdGePoint2d(x + (k < 4 ? k : 7 - k) * 3, y + (k < 4 ? 0 : 6)));
        h->appendLoop(OdDbHatch::kExternal | OdDbHatch::kPolyline, ring, OdGeDoubleArray());
        return h;
    }
    case 8: return new OdDbSolid(OdGePoint3d(x, y, 0), OdGePoint3d(x + 4, y, 0), OdGePoint3d(x, y + 3, 0),
                                 OdGePoint3d(x + 4, y + 3, 0));
    default:
        return new OdDbEllipse(OdGePoint3d(x, y, 0), OdGeVector3d(0, 0, 1), OdGeVector3d(8, 0, 0), 0.5, 0.2, 4.0);
    }
}

OdDbObjectIdArray AddMixedEntities(OdDbDatabase* db, int count)
{
    OdDbObjectIdArray ids;
    OdDbBlockTableRecord* ms = nullptr;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForWrite) != eOk) return ids;
    for (int i = 0; i < count; ++i) {
        OdDbEntity* e = MakeMixedEntity(i);
        OdDbObjectId id;
        if (ms->appendOdDbEntity(id, e) != eOk) {
            delete e;
            continue;
        }
        e->setColorIndex((uint16_t)(1 + i % 7));
        e->close();
        ids.append(id);
    }
    ms->close();
    return ids;
}

namespace {

struct Sending {
    OdDbObjectIdArray ids;
    ObjExchangeBuffer buffer;         // the module's last buffer
    Bytes framed;                     // the bytes of the first conversion
    std::unique_ptr<uint8_t[]> copy;  // the reference's last copy
};

void Convert(Sending& s)
{
    StartExchangeBuffer(&s.buffer, 7);
    std::vector<uint32_t> oldPeerIds;
    ArxOperation::ConvertEntities(&s.buffer, s.ids, 7, oldPeerIds, false);
    CloseExchangeBuffer(&s.buffer);
}

Pair ConvertRow(const Scale& scale)
{
    Pair pair;
    auto s = std::make_shared<Sending>();
    const int count = scale.Pick(10000, 100);
    GcApDocument* doc = standin::CreateDocument(L"C:\\bench\\send.dwg");
    OdDbDatabase* db = doc->database();
    g_ptagDocIdManager = GetDrawingData(drawingRecords, L"send.dwg", doc);
    g_settings.pointsAsIcons = 1;
    g_level19PixelSize = 0.3;
    s->ids = AddMixedEntities(db, count);
    if (s->ids.length() != count) {
        pair.error = "the entities were not made";
        return pair;
    }
    for (int i = 0; i < count; ++i) {
        // Every entity was sent before: the link names it (default names
        // would carry the time of day).
        auto* link = new MapObjInfo();
        link->handle = (uint64_t)s->ids[i].getHandle();
        link->peerId = 1000 + (uint32_t)i;
        link->name.Format(L"对象 %d", i);
        link->remark = L"备注";
        SetEntityLink(g_ptagDocIdManager->links, link->handle, link, 1);
    }
    Convert(*s);
    s->framed.assign(s->buffer.buffer.data, s->buffer.buffer.data + s->buffer.buffer.length);
    pair.module = [s]() { Convert(*s); };
    // The same bytes copied into a new block: what converting cannot beat.
    pair.reference = [s]() {
        s->copy.reset(new uint8_t[s->framed.size()]);
        memcpy(s->copy.get(), s->framed.data(), s->framed.size());
    };
    pair.check = [s]() {
        const uint8_t* data = s->buffer.buffer.data;
        return Compare(Bytes(data, data + s->buffer.buffer.length), s->framed, "buffer bytes") +
               Compare(Bytes(s->copy.get(), s->copy.get() + s->framed.size()), s->framed, "copied bytes");
    };
    return pair;
}

VELK_BENCH_ROWS({
    {"send", "converting and framing 10,000 mixed entities", "a plain copy of the same bytes", 0, 15, ConvertRow},
});

}  // namespace
}  // namespace velkbench
