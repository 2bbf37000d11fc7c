// The object exchange: records framed into the buffer sent to the peer.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bench_inputs.h"
#include "bench_rows.h"
#include "exchange/arxoperation.h"
#include "exchange/objexchangebuffer.h"
#include "peer/maprecords.h"
#include "state/drawingdata.h"

namespace velkbench {
namespace {

// Signs with a remark, and tracks of 12 points, in turn.
void* MakeRecord(int i, uint32_t& kind)
{
    char remark[40];
    snprintf(remark, sizeof remark, "remark of object %d", i);
    if (i % 2 == 0) {
        kind = kMapObjSign;
        SignRecord* r = NewSignRecord(&g_peerApi);
        snprintf(r->name, sizeof r->name, "sign %d", i);
        r->remark = strdup(remark);
        r->x = 500000 + i;
        r->y = 3000000 + i;
        r->coordMode = 2;
        r->signType = 1;
        return r;
    }
    kind = kMapObjTrack;
    TrackRecord* r = NewTrackRecord(&g_peerApi);
    snprintf(r->name, sizeof r->name, "track %d", i);
    r->remark = strdup(remark);
    r->count = 12;
    r->points = (TrackPoint*)calloc(r->count, sizeof(TrackPoint));
    for (uint32_t k = 0; k < r->count; ++k) {
        r->points[k].x = 500000 + i + 3.5 * k;
        r->points[k].y = 3000000 + i - 2.25 * k;
    }
    r->coordMode = 2;
    return r;
}

struct Framing {
    int count = 0;
    std::vector<void*> records;
    std::vector<uint32_t> kinds;
    std::vector<MapObjInfo> infos;
    ObjExchangeBuffer buffer;  // the module's last buffer
    std::unique_ptr<uint8_t[]> copy;  // the reference's last copy
    Bytes chunks;  // the packet head, the root header, then every record's header and body
};

Pair FramingRow(const Scale& scale)
{
    Pair pair;
    auto f = std::make_shared<Framing>();
    f->count = scale.Pick(100000, 200);
    f->infos.resize((size_t)f->count);
    f->chunks.resize(kExchangeHeadBytes);
    for (int i = 0; i < f->count; ++i) {
        MapObjInfo& info = f->infos[(size_t)i];
        info.handle = 0x1000 + (uint64_t)i;
        info.parentId = 7;
        info.name = L"named";  // so that the record's name is not read back
        uint32_t kind = 0;
        void* record = MakeRecord(i, kind);
        uint32_t size = 0;
        uint8_t* body = SerializeMapObjRecord(&g_peerApi, record, kind, &size);
        FreeMapObjRecord(&g_peerApi, record, kind);
        ObjRecordHeader header{};
        header.size = size;
        header.kind = kind;
        header.parentId = info.parentId;
        header.handle = info.handle;
        f->chunks.insert(f->chunks.end(), (uint8_t*)&header, (uint8_t*)&header + sizeof header);
        f->chunks.insert(f->chunks.end(), body, body + size);
        free(body);
    }
    PeerPacketHeader head{};
    head.magic = 101;
    head.field4 = 7;
    ObjRecordHeader root{};
    root.size = (uint32_t)(f->chunks.size() - kExchangeHeadBytes);
    root.parentId = 7;
    memcpy(f->chunks.data(), &head, sizeof head);
    memcpy(f->chunks.data() + sizeof head, &root, sizeof root);
    pair.prepare = [f]() {
        f->records.resize((size_t)f->count);
        f->kinds.resize((size_t)f->count);
        for (int i = 0; i < f->count; ++i) f->records[(size_t)i] = MakeRecord(i, f->kinds[(size_t)i]);
    };
    pair.module = [f]() {
        StartExchangeBuffer(&f->buffer, 7);
        for (int i = 0; i < f->count; ++i)
            ArxOperation::AppendMapObjRecord(f->records[(size_t)i], f->kinds[(size_t)i], &f->buffer,
                                             &f->infos[(size_t)i], SentTarget::kEntity);
        CloseExchangeBuffer(&f->buffer);
        f->records.clear();
    };
    // The same bytes copied into a new block: what framing cannot beat.
    pair.reference = [f]() {
        f->copy.reset(new uint8_t[f->chunks.size()]);
        memcpy(f->copy.get(), f->chunks.data(), f->chunks.size());
    };
    pair.check = [f]() {
        const uint8_t* data = f->buffer.buffer.data;
        return Compare(Bytes(data, data + f->buffer.buffer.length), f->chunks, "buffer bytes") +
               Compare(Bytes(f->copy.get(), f->copy.get() + f->chunks.size()), f->chunks, "copied bytes");
    };
    return pair;
}

VELK_BENCH_ROWS({
    {"exchange", "framing 100,000 records into an exchange buffer", "a plain copy of the same bytes", 0, 15,
     FramingRow},
});

}  // namespace
}  // namespace velkbench
