// Drawing files: the database written as DXF of the 2010 form (UTF-8 text,
// real handles, owners, extension dictionaries and Xrecords). Records that
// a file needs but the database does not keep (block begin and end, vertex
// and sequence ends, the dimension style) get handles above the
// database's, and the file's handle seed is set past them.
#include <cmath>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_access.h"
#include "dxf_internal.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {
namespace {

const double kRadToDeg = 180.0 / M_PI;

// 0x00RRGGBB of a colour given by index or by value.
int64_t RgbOf(const OdCmColor& c)
{
    if (c.isByColor()) return (int64_t)c.red() << 16 | (int64_t)c.green() << 8 | c.blue();
    uint32_t bgr = gcedGetRGB(c.isByACI() ? c.colorIndex() : 7);
    return (int64_t)(bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
}

class DxfOut {
public:
    explicit DxfOut(OdDbDatabase* db) : db_(db), synthetic_(db->handseed()) {}
    std::string run();

private:
    OdDbObject* obj(OdDbObjectId id) const { return DxfAccess::object(id); }
    bool written(OdDbObjectId id) const { return id.database() == db_ && out_.count(obj(id)) != 0; }
    uint64_t synthetic() { return synthetic_++; }
    void collect();
    void header(GroupWriter& w);
    void classes();
    void tables();
    void blocks();
    void objects();

    // The groups every object starts with: type, handle, extension
    // dictionary, reactors, owner.
    void begin(const char* type, const OdDbObject* o, OdDbObjectId owner, int handleCode = 5);
    void beginTable(const char* name, OdDbObjectId tableId, int count);
    void symbolRecord(const char* type, const char* subclass, const OdDbSymbolTableRecord* r);
    void entity(const OdDbEntity* e);
    void entityCommon(const char* type, const OdDbEntity* e);
    void circleBody(const OdGePoint3d& center, double radius, const OdGeVector3d& normal);
    void color(int aciCode, const OdCmColor& c);
    void text(const OdDbText* t, const char* type);
    void insert(const OdDbBlockReference* r);
    void hatch(const OdDbHatch* h);
    void dimension(const OdDbDimension* d);
    void dimensionPoints(const OdDbDimension* d, const char* sub);
    void mline(const OdDbMline* m);
    void xrecordData(const OdResBuf* chain);
    void rawGroups(const std::vector<std::pair<int, std::wstring>>& groups);
    OdString nameOf(OdDbObjectId id) const;

    OdDbDatabase* db_;
    uint64_t synthetic_;
    GroupWriter w_;
    std::unordered_set<const OdDbObject*> out_;
    std::vector<OdDbObjectId> blocks_;
    // Each dimension's block of graphics, which files must have: an empty
    // anonymous block (the database makes no dimension graphics).
    struct DimensionBlock {
        std::wstring name;
        uint64_t record = 0;
    };
    std::map<const OdDbObject*, DimensionBlock> dimensionBlocks_;
    uint64_t dimstyleTable_ = 0, dimstyle_ = 0, ucsTable_ = 0;
    // Applications whose extended data the file carries for the database
    // (a hatch's background colour, a dimension's text movement).
    std::set<std::wstring> apps_;
};

OdString DxfOut::nameOf(OdDbObjectId id) const
{
    auto* r = OdRxCast<OdDbSymbolTableRecord>(obj(id));
    return r ? r->getName() : OdString();
}

// A proxy that came from a file goes back as it came.
bool IsFileProxy(const OdDbObject* o)
{
    const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(o);
    return f && !f->dxfName.empty();
}

bool IsWrittenEntity(const OdDbObject* o)
{
    // Proxies made in memory keep graphics the file cannot describe; regions
    // made in memory have no modeller data to write (those read from a file
    // are kept as proxies).
    auto* mo = const_cast<OdDbObject*>(o);
    if (OdRxCast<OdDbProxyEntity>(mo)) return IsFileProxy(o);
    return OdRxCast<OdDbEntity>(mo) && !OdRxCast<OdDbRegion>(mo);
}

bool IsWrittenObject(const OdDbObject* o)
{
    auto* mo = const_cast<OdDbObject*>(o);
    return OdRxCast<OdDbDictionary>(mo) || OdRxCast<OdDbXrecord>(mo) || OdRxCast<OdDbRasterImageDef>(mo) ||
           OdRxCast<OdDbSortentsTable>(mo) || (OdRxCast<OdDbProxyObject>(mo) && IsFileProxy(o));
}

// Which objects go to the file: the live tables, records, blocks and their
// entities, and every dictionary, Xrecord, image definition and draw-order
// table whose owner goes (the named-objects dictionary always).
void DxfOut::collect()
{
    auto live = [this](OdDbObjectId id) { return id.database() == db_ && id.isValid() && !id.isErased(); };
    for (OdDbObjectId t : {db_->getViewportTableId(), db_->getLinetypeTableId(), db_->getLayerTableId(),
                           db_->getTextStyleTableId(), db_->getViewTableId(), db_->getRegAppTableId(),
                           db_->getBlockTableId()}) {
        auto* table = OdRxCast<OdDbSymbolTable>(obj(t));
        if (!table) continue;
        out_.insert(table);
        for (const auto& r : DxfAccess::records(table))
            if (live(r)) out_.insert(obj(r));
    }
    auto* bt = OdRxCast<OdDbSymbolTable>(obj(db_->getBlockTableId()));
    for (const auto& b : bt ? DxfAccess::records(bt) : std::vector<OdDbObjectId>()) {
        auto* block = OdRxCast<OdDbBlockTableRecord>(obj(b));
        if (!block || !live(b)) continue;
        blocks_.push_back(b);
        for (const auto& e : block->entityIds()) {
            if (!live(e) || !IsWrittenEntity(obj(e))) continue;
            out_.insert(obj(e));
            if (auto* ref = OdRxCast<OdDbBlockReference>(obj(e)))
                for (const auto& a : DxfAccess::attributes(ref))
                    if (live(a)) out_.insert(obj(a));
        }
    }
    std::set<std::wstring> names;
    for (const auto& b : blocks_) names.insert(nameOf(b).str());
    int next = 1;
    for (const auto& b : blocks_)
        for (const auto& e : static_cast<OdDbBlockTableRecord*>(obj(b))->entityIds())
            if (out_.count(obj(e)) && OdRxCast<OdDbDimension>(obj(e))) {
                std::wstring name;
                do name = L"*D" + std::to_wstring(next++);
                while (names.count(name));
                dimensionBlocks_[obj(e)].name = name;
            }
    for (const OdDbObject* o : out_) {
        auto* mo = const_cast<OdDbObject*>(o);
        if (auto* h = OdRxCast<OdDbHatch>(mo); h && h->backgroundColor().colorMethod() != OdCmEntityColor::kNone)
            apps_.insert(L"HATCHBACKGROUNDCOLOR");
        if (auto* d = OdRxCast<OdDbDimension>(mo); d && d->dimtmove() != 0) apps_.insert(L"ACAD");
    }
    if (auto* nod = obj(db_->getNamedObjectsDictionaryId())) out_.insert(nod);
    // Each owner chain is walked once: objects on it are decided together
    // (an owner cycle leads to nothing that goes).
    std::unordered_map<const OdDbObject*, bool> decided;
    std::vector<const OdDbObject*> path;
    for (const auto& id : db_->allObjectIds()) {
        path.clear();
        bool goes = false;
        for (const OdDbObject* cur = obj(id); cur;) {
            if (out_.count(cur)) {
                goes = true;
                break;
            }
            auto it = decided.find(cur);
            if (it != decided.end()) {
                goes = it->second;
                break;
            }
            if (cur->isErased() || !IsWrittenObject(cur)) break;
            decided[cur] = false;
            path.push_back(cur);
            cur = cur->ownerId().database() == db_ ? obj(cur->ownerId()) : nullptr;
        }
        for (const OdDbObject* o : path) {
            decided[o] = goes;
            if (goes) out_.insert(o);
        }
    }
}

void DxfOut::begin(const char* type, const OdDbObject* o, OdDbObjectId owner, int handleCode)
{
    w_.ascii(0, type);
    w_.handle(handleCode, o->handle());
    if (written(o->extensionDictionary())) {
        w_.ascii(102, "{ACAD_XDICTIONARY");
        w_.handle(360, o->extensionDictionary().getHandle());
        w_.ascii(102, "}");
    }
    std::vector<uint64_t> reactors;
    for (const auto& r : DxfAccess::reactors(o))
        if (written(r)) reactors.push_back(r.getHandle());
    if (!reactors.empty()) {
        w_.ascii(102, "{ACAD_REACTORS");
        for (uint64_t h : reactors) w_.handle(330, h);
        w_.ascii(102, "}");
    }
    w_.handle(330, written(owner) ? (uint64_t)owner.getHandle() : 0);
}

void DxfOut::header(GroupWriter& w)
{
    w.ascii(0, "SECTION");
    w.ascii(2, "HEADER");
    w.ascii(9, "$ACADVER");
    w.ascii(1, "AC1024");
    w.ascii(9, "$DWGCODEPAGE");
    w.ascii(3, "ANSI_936");
    w.ascii(9, "$HANDSEED");
    w.handle(5, synthetic_);
    w.ascii(9, "$CLAYER");
    w.text(8, nameOf(db_->clayer()).str());
    w.ascii(9, "$CELTYPE");
    w.text(6, nameOf(db_->celtype()).str());
    w.ascii(9, "$TEXTSTYLE");
    w.text(7, nameOf(db_->textstyle()).str());
    w.ascii(0, "ENDSEC");
}

void DxfOut::classes()
{
    struct Class {
        const char* record;
        const char* cppName;
        const char* app;
        int flags;
        int isEntity;
    };
    const Class kClasses[] = {{"IMAGE", "AcDbRasterImage", "ISM", 2175, 1},
                              {"IMAGEDEF", "AcDbRasterImageDef", "ISM", 0, 0},
                              {"SORTENTSTABLE", "AcDbSortentsTable", "ObjectDBX Classes", 0, 0}};
    w_.ascii(0, "SECTION");
    w_.ascii(2, "CLASSES");
    std::set<std::wstring> done;
    for (const auto& id : db_->allObjectIds())
        if (const OdDbProxyFileRecord* f = written(id) ? DxfAccess::fileRecordOf(obj(id)) : nullptr)
            if (!f->classGroups.empty() && done.insert(f->dxfName).second) {
                w_.ascii(0, "CLASS");
                rawGroups(f->classGroups);
            }
    for (const auto& c : kClasses) {
        w_.ascii(0, "CLASS");
        w_.ascii(1, c.record);
        w_.ascii(2, c.cppName);
        w_.ascii(3, c.app);
        w_.integer(90, c.flags);
        w_.integer(91, 0);
        w_.integer(280, 0);
        w_.integer(281, c.isEntity);
    }
    w_.ascii(0, "ENDSEC");
}

void DxfOut::beginTable(const char* name, OdDbObjectId tableId, int count)
{
    w_.ascii(0, "TABLE");
    w_.ascii(2, name);
    if (auto* t = obj(tableId)) {
        w_.handle(5, t->handle());
        if (written(t->extensionDictionary())) {
            w_.ascii(102, "{ACAD_XDICTIONARY");
            w_.handle(360, t->extensionDictionary().getHandle());
            w_.ascii(102, "}");
        }
    } else {
        w_.handle(5, tableId.isNull() ? synthetic() : (uint64_t)tableId.getHandle());
    }
    w_.handle(330, 0);
    w_.ascii(100, "AcDbSymbolTable");
    w_.integer(70, count);
}

void DxfOut::symbolRecord(const char* type, const char* subclass, const OdDbSymbolTableRecord* r)
{
    begin(type, r, r->ownerId());
    w_.ascii(100, "AcDbSymbolTableRecord");
    w_.ascii(100, subclass);
    w_.text(2, r->getName().str());
}

void DxfOut::color(int aciCode, const OdCmColor& c)
{
    switch (c.colorMethod()) {
    case OdCmEntityColor::kByLayer: break;
    case OdCmEntityColor::kByBlock: w_.integer(aciCode, 0); break;
    case OdCmEntityColor::kByACI: w_.integer(aciCode, c.colorIndex()); break;
    case OdCmEntityColor::kByColor:
        w_.integer(aciCode, 7);
        w_.integer(aciCode == 62 ? 420 : 421, RgbOf(c));
        break;
    default: w_.integer(aciCode, 7); break;
    }
}

void DxfOut::tables()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "TABLES");
    auto liveRecords = [this](OdDbObjectId tableId) {
        std::vector<const OdDbSymbolTableRecord*> recs;
        if (auto* t = OdRxCast<OdDbSymbolTable>(obj(tableId)))
            for (const auto& r : DxfAccess::records(t))
                if (written(r)) recs.push_back(static_cast<const OdDbSymbolTableRecord*>(obj(r)));
        return recs;
    };
    auto viewSettings = [this](const OdDbAbstractViewTableRecord* v, bool viewport) {
        int mode = (v->perspectiveEnabled() ? 1 : 0) | (v->frontClipEnabled() ? 2 : 0) |
                   (v->backClipEnabled() ? 4 : 0) | (v->frontClipAtEye() ? 0 : 16);
        if (viewport) {
            w_.point2(10, 0, 0);
            w_.point2(11, 1, 1);
            w_.point2(12, v->centerPoint().x, v->centerPoint().y);
        } else {
            w_.real(40, v->height());
            w_.point2(10, v->centerPoint().x, v->centerPoint().y);
            w_.real(41, v->width());
        }
        OdGeVector3d d = v->viewDirection();
        w_.point(viewport ? 16 : 11, OdGePoint3d(d.x, d.y, d.z));
        w_.point(viewport ? 17 : 12, v->target());
        if (viewport) {
            w_.real(40, v->height());
            w_.real(41, v->height() > 0 ? v->width() / v->height() : 1.0);
        }
        w_.real(42, v->lensLength());
        w_.real(43, v->frontClipDistance());
        w_.real(44, v->backClipDistance());
        w_.real(viewport ? 51 : 50, v->viewTwist());
        w_.integer(71, mode);
    };

    auto vports = liveRecords(db_->getViewportTableId());
    beginTable("VPORT", db_->getViewportTableId(), (int)vports.size());
    for (auto* r : vports) {
        symbolRecord("VPORT", "AcDbViewportTableRecord", r);
        w_.integer(70, 0);
        viewSettings(static_cast<const OdDbAbstractViewTableRecord*>(r), true);
    }
    w_.ascii(0, "ENDTAB");

    auto ltypes = liveRecords(db_->getLinetypeTableId());
    beginTable("LTYPE", db_->getLinetypeTableId(), (int)ltypes.size());
    for (auto* r : ltypes) {
        auto* lt = static_cast<const OdDbLinetypeTableRecord*>(r);
        symbolRecord("LTYPE", "AcDbLinetypeTableRecord", r);
        w_.integer(70, 0);
        w_.text(3, lt->comments().str());
        w_.integer(72, 65);
        w_.integer(73, lt->numDashes());
        w_.real(40, lt->patternLength());
        for (int i = 0; i < lt->numDashes(); ++i) {
            w_.real(49, lt->dashLengthAt(i));
            w_.integer(74, 0);
        }
    }
    w_.ascii(0, "ENDTAB");

    auto layers = liveRecords(db_->getLayerTableId());
    beginTable("LAYER", db_->getLayerTableId(), (int)layers.size());
    for (auto* r : layers) {
        auto* la = static_cast<const OdDbLayerTableRecord*>(r);
        symbolRecord("LAYER", "AcDbLayerTableRecord", r);
        w_.integer(70, (la->isFrozen() ? 1 : 0) | (la->isLocked() ? 4 : 0));
        OdCmColor c = la->color();
        int aci = c.isByACI() ? c.colorIndex() : 7;
        if (aci < 1 || aci > 255) aci = 7;
        w_.integer(62, la->isOff() ? -aci : aci);
        if (c.isByColor()) w_.integer(420, RgbOf(c));
        OdString lt = nameOf(la->linetypeObjectId());
        w_.text(6, lt.isEmpty() ? L"Continuous" : lt.str());
        w_.integer(370, -3);
    }
    w_.ascii(0, "ENDTAB");

    auto styles = liveRecords(db_->getTextStyleTableId());
    beginTable("STYLE", db_->getTextStyleTableId(), (int)styles.size());
    for (auto* r : styles) {
        auto* st = static_cast<const OdDbTextStyleTableRecord*>(r);
        symbolRecord("STYLE", "AcDbTextStyleTableRecord", r);
        w_.integer(70, 0);
        w_.real(40, st->textSize());
        w_.real(41, st->xScale());
        w_.real(50, 0);
        w_.integer(71, 0);
        w_.real(42, st->textSize() > 0 ? st->textSize() : 2.5);
        w_.text(3, st->fileName().str());
        w_.text(4, st->bigFontFileName().str());
    }
    w_.ascii(0, "ENDTAB");

    auto views = liveRecords(db_->getViewTableId());
    beginTable("VIEW", db_->getViewTableId(), (int)views.size());
    for (auto* r : views) {
        auto* v = static_cast<const OdDbViewTableRecord*>(r);
        symbolRecord("VIEW", "AcDbViewTableRecord", r);
        w_.integer(70, v->isPaperspaceView() ? 1 : 0);
        viewSettings(v, false);
    }
    w_.ascii(0, "ENDTAB");

    ucsTable_ = synthetic();
    beginTable("UCS", OdDbObjectId(), 0);
    w_.ascii(0, "ENDTAB");

    auto apps = liveRecords(db_->getRegAppTableId());
    std::vector<std::wstring> missing;
    for (const auto& name : apps_)
        if (std::none_of(apps.begin(), apps.end(), [&](auto* r) { return r->getName().iCompare(name.c_str()) == 0; }))
            missing.push_back(name);
    beginTable("APPID", db_->getRegAppTableId(), (int)(apps.size() + missing.size()));
    for (auto* r : apps) {
        symbolRecord("APPID", "AcDbRegAppTableRecord", r);
        w_.integer(70, 0);
    }
    // An application the extended data needs is registered in the file, as
    // the host registers it when it sets the value.
    for (const auto& name : missing) {
        w_.ascii(0, "APPID");
        w_.handle(5, synthetic());
        w_.handle(330, db_->getRegAppTableId().getHandle());
        w_.ascii(100, "AcDbSymbolTableRecord");
        w_.ascii(100, "AcDbRegAppTableRecord");
        w_.text(2, name);
        w_.integer(70, 0);
    }
    w_.ascii(0, "ENDTAB");

    // Dimensions name a style; the database keeps none, so the file gets
    // the host's default one.
    w_.ascii(0, "TABLE");
    w_.ascii(2, "DIMSTYLE");
    dimstyleTable_ = synthetic();
    w_.handle(5, dimstyleTable_);
    w_.handle(330, 0);
    w_.ascii(100, "AcDbSymbolTable");
    w_.integer(70, 1);
    w_.ascii(100, "AcDbDimStyleTable");
    w_.integer(71, 0);
    w_.ascii(0, "DIMSTYLE");
    dimstyle_ = synthetic();
    w_.handle(105, dimstyle_);
    w_.handle(330, dimstyleTable_);
    w_.ascii(100, "AcDbSymbolTableRecord");
    w_.ascii(100, "AcDbDimStyleTableRecord");
    w_.ascii(2, "Standard");
    w_.integer(70, 0);
    w_.ascii(0, "ENDTAB");

    beginTable("BLOCK_RECORD", db_->getBlockTableId(), (int)(blocks_.size() + dimensionBlocks_.size()));
    for (const auto& b : blocks_) {
        symbolRecord("BLOCK_RECORD", "AcDbBlockTableRecord", static_cast<OdDbSymbolTableRecord*>(obj(b)));
        w_.integer(70, 0);
        w_.integer(280, 1);
        w_.integer(281, 0);
    }
    for (auto& [dim, block] : dimensionBlocks_) {
        block.record = synthetic();
        w_.ascii(0, "BLOCK_RECORD");
        w_.handle(5, block.record);
        w_.handle(330, db_->getBlockTableId().getHandle());
        w_.ascii(100, "AcDbSymbolTableRecord");
        w_.ascii(100, "AcDbBlockTableRecord");
        w_.text(2, block.name);
        w_.integer(70, 0);
        w_.integer(280, 1);
        w_.integer(281, 0);
    }
    w_.ascii(0, "ENDTAB");
    w_.ascii(0, "ENDSEC");
}

void DxfOut::blocks()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "BLOCKS");
    for (const auto& b : blocks_) {
        auto* block = static_cast<OdDbBlockTableRecord*>(obj(b));
        OdString name = block->getName();
        bool paper = name.iCompare(L"*Paper_Space") == 0;
        bool model = b == db_->getModelSpaceId();
        w_.ascii(0, "BLOCK");
        w_.handle(5, synthetic());
        w_.handle(330, block->handle());
        w_.ascii(100, "AcDbEntity");
        if (paper) w_.integer(67, 1);
        w_.ascii(8, "0");
        w_.ascii(100, "AcDbBlockBegin");
        w_.text(2, name.str());
        bool anonymous = !model && !paper && name.getLength() > 0 && name.c_str()[0] == L'*';
        w_.integer(70, (anonymous ? 1 : 0) | (block->hasAttributeDefinitions() ? 2 : 0));
        w_.point(10, block->origin());
        w_.text(3, name.str());
        w_.ascii(1, "");
        if (!model)
            for (const auto& e : block->entityIds())
                if (written(e)) entity(static_cast<OdDbEntity*>(obj(e)));
        w_.ascii(0, "ENDBLK");
        w_.handle(5, synthetic());
        w_.handle(330, block->handle());
        w_.ascii(100, "AcDbEntity");
        if (paper) w_.integer(67, 1);
        w_.ascii(8, "0");
        w_.ascii(100, "AcDbBlockEnd");
    }
    for (const auto& [dim, block] : dimensionBlocks_) {
        for (const char* type : {"BLOCK", "ENDBLK"}) {
            bool first = type[0] == 'B';
            w_.ascii(0, type);
            w_.handle(5, synthetic());
            w_.handle(330, block.record);
            w_.ascii(100, "AcDbEntity");
            w_.ascii(8, "0");
            w_.ascii(100, first ? "AcDbBlockBegin" : "AcDbBlockEnd");
            if (!first) continue;
            w_.text(2, block.name);
            w_.integer(70, 1);
            w_.point(10, OdGePoint3d());
            w_.text(3, block.name);
            w_.ascii(1, "");
        }
    }
    w_.ascii(0, "ENDSEC");

    w_.ascii(0, "SECTION");
    w_.ascii(2, "ENTITIES");
    if (auto* ms = OdRxCast<OdDbBlockTableRecord>(obj(db_->getModelSpaceId())))
        for (const auto& e : ms->entityIds())
            if (written(e)) entity(static_cast<OdDbEntity*>(obj(e)));
    w_.ascii(0, "ENDSEC");
}

// A circle's or an arc's centre goes in the coordinates of its own plane.
void DxfOut::circleBody(const OdGePoint3d& center, double radius, const OdGeVector3d& normal)
{
    OdGeVector3d x, y, n = normal;
    OdGePlaneAxes(n, x, y);
    const OdGeVector3d cv = center - OdGePoint3d::kOrigin;
    w_.ascii(100, "AcDbCircle");
    w_.point(10, OdGePoint3d(cv.dotProduct(x), cv.dotProduct(y), cv.dotProduct(n)));
    w_.real(40, radius);
    w_.point(210, OdGePoint3d(n.x, n.y, n.z));
}

void DxfOut::entityCommon(const char* type, const OdDbEntity* e)
{
    begin(type, e, e->ownerId());
    w_.ascii(100, "AcDbEntity");
    if (nameOf(e->ownerId()).iCompare(L"*Paper_Space") == 0) w_.integer(67, 1);
    OdString layer = nameOf(e->layerId());
    w_.text(8, layer.isEmpty() ? L"0" : layer.str());
    OdString lt = nameOf(e->linetypeId());
    if (!lt.isEmpty() && lt.iCompare(L"ByLayer") != 0) w_.text(6, lt.str());
    color(62, e->color());
    if (e->linetypeScale() != 1.0) w_.real(48, e->linetypeScale());
    if (e->transparency().method() != OdCmTransparency::kByLayer) w_.integer(440, e->transparency().serializeOut());
}

void DxfOut::text(const OdDbText* t, const char* type)
{
    entityCommon(type, t);
    w_.ascii(100, "AcDbText");
    w_.point(10, t->position());
    w_.real(40, t->height());
    w_.text(1, t->textString().str());
    w_.real(50, t->rotation() * kRadToDeg);
    w_.real(41, t->widthFactor());
    w_.real(51, t->oblique() * kRadToDeg);
    OdString style = nameOf(t->textStyle());
    if (!style.isEmpty()) w_.text(7, style.str());
    w_.integer(72, t->horizontalMode());
    if (!t->isDefaultAlignment()) w_.point(11, t->alignmentPoint());
    if (auto* def = OdRxCast<OdDbAttributeDefinition>(const_cast<OdDbText*>(t))) {
        w_.ascii(100, "AcDbAttributeDefinition");
        w_.text(3, def->prompt().str());
        w_.text(2, def->tag().str());
        w_.integer(70, (def->isInvisible() ? 1 : 0) | (def->isConstant() ? 2 : 0));
        w_.integer(73, def->fieldLength());
        w_.integer(74, t->verticalMode());
    } else if (auto* att = OdRxCast<OdDbAttribute>(const_cast<OdDbText*>(t))) {
        w_.ascii(100, "AcDbAttribute");
        w_.text(2, att->tag().str());
        w_.integer(70, att->isInvisible() ? 1 : 0);
        w_.integer(73, att->fieldLength());
        w_.integer(74, t->verticalMode());
    } else {
        w_.ascii(100, "AcDbText");
        w_.integer(73, t->verticalMode());
    }
}

void DxfOut::insert(const OdDbBlockReference* r)
{
    std::vector<const OdDbAttribute*> attrs;
    for (const auto& a : DxfAccess::attributes(r))
        if (written(a)) attrs.push_back(static_cast<const OdDbAttribute*>(obj(a)));
    entityCommon("INSERT", r);
    w_.ascii(100, "AcDbBlockReference");
    if (!attrs.empty()) w_.integer(66, 1);
    w_.text(2, nameOf(r->blockTableRecord()).str());
    w_.point(10, r->position());
    w_.real(41, r->scaleFactors().sx);
    w_.real(42, r->scaleFactors().sy);
    w_.real(43, r->scaleFactors().sz);
    w_.real(50, r->rotation() * kRadToDeg);
    if (attrs.empty()) return;
    for (auto* a : attrs) text(a, "ATTRIB");
    w_.ascii(0, "SEQEND");
    w_.handle(5, synthetic());
    w_.handle(330, r->handle());
    w_.ascii(100, "AcDbEntity");
    w_.text(8, nameOf(r->layerId()).str());
}

void DxfOut::hatch(const OdDbHatch* h)
{
    entityCommon("HATCH", h);
    w_.ascii(100, "AcDbHatch");
    w_.point(10, OdGePoint3d(0, 0, h->elevation()));
    OdGeVector3d n = h->normal();
    w_.point(210, OdGePoint3d(n.x, n.y, n.z));
    bool gradient = h->hatchObjectType() == OdDbHatch::kGradientObject;
    w_.text(2, gradient ? L"SOLID" : h->patternName().str());
    w_.integer(70, gradient || h->isSolidFill() ? 1 : 0);
    w_.integer(71, h->associative() ? 1 : 0);
    w_.integer(91, h->numLoops());
    for (int i = 0; i < h->numLoops(); ++i) {
        int type = h->loopTypeAt(i);
        w_.integer(92, type);
        OdGePoint2dArray verts;
        OdGeDoubleArray bulges;
        OdGeVoidPointerArray edges;
        OdGeIntArray edgeTypes;
        if (h->getLoopAt(i, type, verts, bulges) == eOk) {
            bool hasBulge = false;
            for (double b : bulges) hasBulge = hasBulge || b != 0;
            w_.integer(72, hasBulge ? 1 : 0);
            w_.integer(73, 1);
            w_.integer(93, verts.length());
            for (int k = 0; k < verts.length(); ++k) {
                w_.point2(10, verts[k].x, verts[k].y);
                if (hasBulge) w_.real(42, k < bulges.length() ? bulges[k] : 0.0);
            }
        } else if (h->getLoopAt(i, type, edges, edgeTypes) == eOk) {
            w_.integer(93, edges.length());
            for (int k = 0; k < edges.length(); ++k) {
                auto* c = static_cast<const OdGeCurve2d*>(edges[k]);
                int et = edgeTypes[k];
                w_.integer(72, et);
                if (et == OdDbHatch::kLine) {
                    OdGePoint2d s = c->startPoint(), e = c->endPoint();
                    w_.point2(10, s.x, s.y);
                    w_.point2(11, e.x, e.y);
                } else if (et == OdDbHatch::kCirArc) {
                    // A clockwise arc is stored by the complements of its
                    // angles, as drawing files keep them.
                    auto* a = static_cast<const OdGeCircArc2d*>(c);
                    double base = a->refVec().angle();
                    double sign = a->isClockWise() ? -1 : 1;
                    w_.point2(10, a->center().x, a->center().y);
                    w_.real(40, a->radius());
                    w_.real(50, (a->startAng() + sign * base) * kRadToDeg);
                    w_.real(51, (a->endAng() + sign * base) * kRadToDeg);
                    w_.integer(73, a->isClockWise() ? 0 : 1);
                } else if (et == OdDbHatch::kEllArc) {
                    auto* a = static_cast<const OdGeEllipArc2d*>(c);
                    OdGeVector2d maj = a->majorAxis() * a->majorRadius();
                    double ratio = a->majorRadius() > 0 ? a->minorRadius() / a->majorRadius() : 1.0;
                    w_.point2(10, a->center().x, a->center().y);
                    w_.point2(11, maj.x, maj.y);
                    w_.real(40, ratio);
                    w_.real(50, EllipseAngleOfParam(ratio, a->startAng()) * kRadToDeg);
                    w_.real(51, EllipseAngleOfParam(ratio, a->endAng()) * kRadToDeg);
                    w_.integer(73, a->majorAxis().crossProduct(a->minorAxis()) >= 0 ? 1 : 0);
                } else {
                    auto* s = static_cast<const OdGeSplineEnt2d*>(c);
                    w_.integer(94, s->degree());
                    w_.integer(73, s->isRational() ? 1 : 0);
                    w_.integer(74, 0);
                    w_.integer(95, s->numKnots());
                    w_.integer(96, s->numControlPoints());
                    for (int j = 0; j < s->numKnots(); ++j) w_.real(40, s->knotAt(j));
                    for (int j = 0; j < s->numControlPoints(); ++j) {
                        w_.point2(10, s->controlPointAt(j).x, s->controlPointAt(j).y);
                        if (s->isRational()) w_.real(42, s->weightAt(j));
                    }
                    w_.integer(97, 0);
                }
            }
        }
        std::vector<uint64_t> sources;
        for (const auto& id : DxfAccess::loopIds(h, i))
            if (written(id)) sources.push_back(id.getHandle());
        w_.integer(97, (int64_t)sources.size());
        for (uint64_t s : sources) w_.handle(330, s);
    }
    w_.integer(75, 0);
    w_.integer(76, h->patternType());
    if (!h->isSolidFill() && !gradient) {
        // The database keeps no pattern's lines: one family of lines at the
        // pattern's angle and scale stands for them, its base point the
        // pattern's origin.
        double a = h->patternAngle(), s = h->patternScale();
        w_.real(52, a * kRadToDeg);
        w_.real(41, s);
        w_.integer(77, 0);
        w_.integer(78, 1);
        w_.real(53, a * kRadToDeg);
        w_.real(43, h->originPoint().x);
        w_.real(44, h->originPoint().y);
        w_.real(45, -std::sin(a) * s);
        w_.real(46, std::cos(a) * s);
        w_.integer(79, 0);
    }
    w_.integer(98, 0);
    if (gradient) {
        unsigned count = 0;
        OdArray<OdCmColor> colors;
        OdGeDoubleArray values;
        h->getGradientColors(count, colors, values);
        w_.integer(450, 1);
        w_.integer(451, h->gradientType());
        w_.integer(452, h->getGradientOneColorMode() ? 1 : 0);
        w_.integer(453, colors.length());
        for (int i = 0; i < colors.length(); ++i) {
            w_.real(463, i < values.length() ? values[i] : 0.0);
            color(63, colors[i]);
            if (!colors[i].isByColor()) w_.integer(421, RgbOf(colors[i]));
        }
        w_.real(460, h->gradientAngle());
        w_.real(461, 0);
        w_.real(462, 0);
        w_.text(470, h->gradientName().str());
    }
    OdCmColor back = h->backgroundColor();
    if (back.colorMethod() != OdCmEntityColor::kNone) {
        // The colour's method in the top byte, its index or value below.
        uint32_t value = back.isByColor() ? (uint32_t)RgbOf(back) : back.isByACI() ? (uint32_t)back.colorIndex() : 0;
        w_.ascii(1001, "HATCHBACKGROUNDCOLOR");
        w_.integer(1071, (int32_t)((uint32_t)back.colorMethod() << 24 | value));
    }
}

void DxfOut::dimension(const OdDbDimension* d)
{
    entityCommon("DIMENSION", d);
    w_.ascii(100, "AcDbDimension");
    w_.integer(280, 0);
    w_.text(2, dimensionBlocks_[d].name);
    int type = 0;
    OdGePoint3d defPoint;
    const char* sub = nullptr;
    if (auto* a = OdRxCast<OdDbAlignedDimension>(const_cast<OdDbDimension*>(d))) {
        type = 1, defPoint = a->dimLinePoint(), sub = "AcDbAlignedDimension";
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(const_cast<OdDbDimension*>(d))) {
        type = 0, defPoint = r->dimLinePoint(), sub = "AcDbAlignedDimension";
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(const_cast<OdDbDimension*>(d))) {
        type = 2, defPoint = a2->xLine2End(), sub = "AcDb2LineAngularDimension";
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(const_cast<OdDbDimension*>(d))) {
        type = 3, defPoint = dd->farChordPoint(), sub = "AcDbDiametricDimension";
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(const_cast<OdDbDimension*>(d))) {
        type = 4, defPoint = rd->center(), sub = "AcDbRadialDimension";
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(const_cast<OdDbDimension*>(d))) {
        type = 5, defPoint = a3->arcPoint(), sub = "AcDb3PointAngularDimension";
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(const_cast<OdDbDimension*>(d))) {
        type = 6 | (o->isUsingXAxis() ? 64 : 0), defPoint = OdGePoint3d(), sub = "AcDbOrdinateDimension";
    }
    w_.point(10, defPoint);
    w_.point(11, d->textPosition());
    w_.integer(70, type | 128);
    w_.text(1, d->dimensionText().str());
    w_.ascii(3, "Standard");
    if (sub) dimensionPoints(d, sub);
    if (d->dimtmove() != 0) {
        // A setting of the dimension's own, as the host overrides its style.
        w_.ascii(1001, "ACAD");
        w_.ascii(1000, "DSTYLE");
        w_.ascii(1002, "{");
        w_.integer(1070, 279);
        w_.integer(1070, d->dimtmove());
        w_.ascii(1002, "}");
    }
}

void DxfOut::dimensionPoints(const OdDbDimension* d, const char* sub)
{
    w_.ascii(100, sub);
    if (auto* a = OdRxCast<OdDbAlignedDimension>(const_cast<OdDbDimension*>(d))) {
        w_.point(13, a->xLine1Point());
        w_.point(14, a->xLine2Point());
    } else if (auto* r = OdRxCast<OdDbRotatedDimension>(const_cast<OdDbDimension*>(d))) {
        w_.point(13, r->xLine1Point());
        w_.point(14, r->xLine2Point());
        w_.real(50, r->rotation() * kRadToDeg);
        w_.ascii(100, "AcDbRotatedDimension");
    } else if (auto* a2 = OdRxCast<OdDb2LineAngularDimension>(const_cast<OdDbDimension*>(d))) {
        w_.point(13, a2->xLine1Start());
        w_.point(14, a2->xLine1End());
        w_.point(15, a2->xLine2Start());
        w_.point(16, a2->arcPoint());
    } else if (auto* dd = OdRxCast<OdDbDiametricDimension>(const_cast<OdDbDimension*>(d))) {
        w_.point(15, dd->chordPoint());
        w_.real(40, dd->leaderLength());
    } else if (auto* rd = OdRxCast<OdDbRadialDimension>(const_cast<OdDbDimension*>(d))) {
        w_.point(15, rd->chordPoint());
        w_.real(40, rd->leaderLength());
    } else if (auto* a3 = OdRxCast<OdDb3PointAngularDimension>(const_cast<OdDbDimension*>(d))) {
        w_.point(13, a3->xLine1Point());
        w_.point(14, a3->xLine2Point());
        w_.point(15, a3->centerPoint());
    } else if (auto* o = OdRxCast<OdDbOrdinateDimension>(const_cast<OdDbDimension*>(d))) {
        w_.point(13, o->definingPoint());
        w_.point(14, o->leaderEndPoint());
    }
}

// A multiline of the host's standard style (two lines half a unit either
// side, times the scale); the style object is named when the drawing has
// one kept from a file.
void DxfOut::mline(const OdDbMline* m)
{
    int n = m->numVertices();
    uint64_t style = 0;
    if (auto* nod = OdRxCast<OdDbDictionary>(obj(db_->getNamedObjectsDictionaryId()))) {
        OdDbObjectId styles, standard;
        auto* dict = nod->getAt(L"ACAD_MLINESTYLE", styles) == eOk ? OdRxCast<OdDbDictionary>(obj(styles)) : nullptr;
        if (dict && dict->getAt(L"Standard", standard) == eOk && written(standard)) style = standard.getHandle();
    }
    entityCommon("MLINE", m);
    w_.ascii(100, "AcDbMline");
    w_.ascii(2, "Standard");
    if (style) w_.handle(340, style);
    w_.real(40, m->scale());
    w_.integer(70, 1);
    w_.integer(71, (n > 0 ? 1 : 0) | (m->closedMline() ? 2 : 0));
    w_.integer(72, n);
    w_.integer(73, 2);
    w_.point(10, n > 0 ? m->vertexAt(0) : OdGePoint3d());
    w_.point(210, OdGePoint3d(0, 0, 1));
    for (int i = 0; i < n; ++i) {
        OdGePoint3d p = m->vertexAt(i);
        int next = i + 1 < n ? i + 1 : m->closedMline() ? 0 : i - 1;
        OdGeVector3d dir = next >= 0 && next != i ? m->vertexAt(next) - p : OdGeVector3d(1, 0, 0);
        if (next < i && !m->closedMline()) dir = -dir;
        dir = dir.isZeroLength() ? OdGeVector3d(1, 0, 0) : dir.normal();
        w_.point(11, p);
        w_.point(12, OdGePoint3d(dir.x, dir.y, dir.z));
        w_.point(13, OdGePoint3d(-dir.y, dir.x, 0));
        for (double offset : {0.5, -0.5}) {
            w_.integer(74, 1);
            w_.real(41, offset * m->scale());
            w_.integer(75, 0);
        }
    }
}

void DxfOut::entity(const OdDbEntity* e)
{
    auto* ent = const_cast<OdDbEntity*>(e);
    if (auto* l = OdRxCast<OdDbLine>(ent)) {
        entityCommon("LINE", e);
        w_.ascii(100, "AcDbLine");
        w_.point(10, l->startPoint());
        w_.point(11, l->endPoint());
    } else if (auto* c = OdRxCast<OdDbCircle>(ent)) {
        entityCommon("CIRCLE", e);
        circleBody(c->center(), c->radius(), c->normal());
    } else if (auto* a = OdRxCast<OdDbArc>(ent)) {
        entityCommon("ARC", e);
        circleBody(a->center(), a->radius(), a->normal());
        w_.ascii(100, "AcDbArc");
        w_.real(50, a->startAngle() * kRadToDeg);
        w_.real(51, a->endAngle() * kRadToDeg);
    } else if (auto* el = OdRxCast<OdDbEllipse>(ent)) {
        double s, t;
        el->getStartParam(s);
        el->getEndParam(t);
        OdGeVector3d maj = el->majorAxis(), n = el->normal();
        entityCommon("ELLIPSE", e);
        w_.ascii(100, "AcDbEllipse");
        w_.point(10, el->center());
        w_.point(11, OdGePoint3d(maj.x, maj.y, maj.z));
        w_.point(210, OdGePoint3d(n.x, n.y, n.z));
        w_.real(40, el->radiusRatio());
        w_.real(41, s);
        w_.real(42, t);
    } else if (auto* pl = OdRxCast<OdDbPolyline>(ent)) {
        entityCommon("LWPOLYLINE", e);
        w_.ascii(100, "AcDbPolyline");
        w_.integer(90, pl->numVerts());
        w_.integer(70, pl->isClosed() ? 1 : 0);
        bool widths = pl->hasWidth();
        if (!widths) w_.real(43, 0);
        if (pl->elevation() != 0) w_.real(38, pl->elevation());
        for (unsigned i = 0; i < pl->numVerts(); ++i) {
            OdGePoint2d p;
            double sw = 0, ew = 0;
            pl->getPointAt(i, p);
            pl->getWidthsAt(i, sw, ew);
            w_.point2(10, p.x, p.y);
            if (widths) {
                w_.real(40, sw);
                w_.real(41, ew);
            }
            if (pl->getBulgeAt(i) != 0) w_.real(42, pl->getBulgeAt(i));
        }
    } else if (auto* p2 = OdRxCast<OdDb2dPolyline>(ent)) {
        const int kFlags[] = {0, 2, 4, 4}, kCurve[] = {0, 0, 5, 6};
        int type = p2->polyType();
        entityCommon("POLYLINE", e);
        w_.ascii(100, "AcDb2dPolyline");
        w_.integer(66, 1);
        w_.point(10, OdGePoint3d(0, 0, p2->elevation()));
        w_.integer(70, (p2->isClosed() ? 1 : 0) | kFlags[type & 3]);
        w_.integer(75, kCurve[type & 3]);
        for (int i = 0; i < p2->numVerts(); ++i) {
            OdGePoint3d p;
            double b, sw, ew;
            p2->getVertexAt(i, p, b, sw, ew);
            w_.ascii(0, "VERTEX");
            w_.handle(5, synthetic());
            w_.handle(330, e->handle());
            w_.ascii(100, "AcDbEntity");
            w_.text(8, nameOf(e->layerId()).str());
            w_.ascii(100, "AcDbVertex");
            w_.ascii(100, "AcDb2dVertex");
            w_.point(10, p);
            w_.real(40, sw);
            w_.real(41, ew);
            w_.real(42, b);
            w_.integer(70, 0);
        }
        w_.ascii(0, "SEQEND");
        w_.handle(5, synthetic());
        w_.handle(330, e->handle());
        w_.ascii(100, "AcDbEntity");
        w_.text(8, nameOf(e->layerId()).str());
    } else if (auto* p3 = OdRxCast<OdDb3dPolyline>(ent)) {
        const int kCurve[] = {0, 5, 6};
        int type = p3->polyType();
        entityCommon("POLYLINE", e);
        w_.ascii(100, "AcDb3dPolyline");
        w_.integer(66, 1);
        w_.point(10, OdGePoint3d());
        w_.integer(70, 8 | (p3->isClosed() ? 1 : 0) | (type != 0 ? 4 : 0));
        w_.integer(75, type >= 0 && type <= 2 ? kCurve[type] : 0);
        for (int i = 0; i < p3->numVerts(); ++i) {
            OdGePoint3d p;
            p3->getVertexAt(i, p);
            w_.ascii(0, "VERTEX");
            w_.handle(5, synthetic());
            w_.handle(330, e->handle());
            w_.ascii(100, "AcDbEntity");
            w_.text(8, nameOf(e->layerId()).str());
            w_.ascii(100, "AcDbVertex");
            w_.ascii(100, "AcDb3dPolylineVertex");
            w_.point(10, p);
            w_.integer(70, 32);
        }
        w_.ascii(0, "SEQEND");
        w_.handle(5, synthetic());
        w_.handle(330, e->handle());
        w_.ascii(100, "AcDbEntity");
        w_.text(8, nameOf(e->layerId()).str());
    } else if (auto* sp = OdRxCast<OdDbSpline>(ent)) {
        const OdGeDoubleArray& weights = DxfAccess::weights(sp);
        const OdGePoint3dArray& fit = DxfAccess::fitPoints(sp);
        entityCommon("SPLINE", e);
        w_.ascii(100, "AcDbSpline");
        w_.integer(70, (sp->isClosed() ? 1 : 0) | (weights.isEmpty() ? 0 : 4) | 8);
        w_.integer(71, sp->degree());
        w_.integer(72, sp->numKnots());
        w_.integer(73, sp->numControlPoints());
        w_.integer(74, fit.length());
        for (double k : sp->knots()) w_.real(40, k);
        for (int i = 0; i < sp->numControlPoints(); ++i) {
            OdGePoint3d p;
            sp->getControlPointAt(i, p);
            w_.point(10, p);
        }
        for (double wt : weights) w_.real(41, wt);
        for (const auto& p : fit) w_.point(11, p);
    } else if (auto* pt = OdRxCast<OdDbPoint>(ent)) {
        entityCommon("POINT", e);
        w_.ascii(100, "AcDbPoint");
        w_.point(10, pt->position());
    } else if (auto* t = OdRxCast<OdDbText>(ent)) {
        text(t, OdRxCast<OdDbAttributeDefinition>(ent) ? "ATTDEF" : OdRxCast<OdDbAttribute>(ent) ? "ATTRIB" : "TEXT");
    } else if (auto* mt = OdRxCast<OdDbMText>(ent)) {
        entityCommon("MTEXT", e);
        w_.ascii(100, "AcDbMText");
        w_.point(10, mt->location());
        w_.real(40, mt->textHeight());
        w_.real(41, mt->width());
        w_.integer(71, mt->attachment());
        w_.integer(72, mt->flowDirection());
        std::wstring s = mt->contents().str();
        // Long contents go in pieces of 250 characters, the last under 1.
        size_t pos = 0;
        for (; s.size() - pos > 250; pos += 250) w_.text(3, s.substr(pos, 250));
        w_.text(1, s.substr(pos));
        OdString style = nameOf(mt->textStyle());
        if (!style.isEmpty()) w_.text(7, style.str());
        w_.point(11, OdGePoint3d(std::cos(mt->rotation()), std::sin(mt->rotation()), 0));
    } else if (auto* r = OdRxCast<OdDbBlockReference>(ent)) {
        insert(r);
    } else if (auto* h = OdRxCast<OdDbHatch>(ent)) {
        hatch(h);
    } else if (auto* so = OdRxCast<OdDbSolid>(ent)) {
        entityCommon("SOLID", e);
        w_.ascii(100, "AcDbTrace");
        for (int i = 0; i < 4; ++i) {
            OdGePoint3d p;
            so->getPointAt(i, p);
            w_.point(10 + i, p);
        }
    } else if (auto* img = OdRxCast<OdDbRasterImage>(ent)) {
        OdGePoint3d origin;
        OdGeVector3d u, v;
        img->getOrientation(origin, u, v);
        auto* def = OdRxCast<OdDbRasterImageDef>(obj(img->imageDefId()));
        OdGeVector2d size = def ? def->size() : OdGeVector2d();
        if (!(size.x >= 1 && size.y >= 1)) size = OdGeVector2d(1, 1);
        entityCommon("IMAGE", e);
        w_.ascii(100, "AcDbRasterImage");
        w_.integer(90, 0);
        w_.point(10, origin);
        OdGeVector3d up = u / size.x, vp = v / size.y;
        w_.point(11, OdGePoint3d(up.x, up.y, up.z));
        w_.point(12, OdGePoint3d(vp.x, vp.y, vp.z));
        w_.point2(13, size.x, size.y);
        w_.handle(340, written(img->imageDefId()) ? (uint64_t)img->imageDefId().getHandle() : 0);
        int display = 0;
        for (auto opt : {OdDbRasterImage::kShow, OdDbRasterImage::kShowUnAligned, OdDbRasterImage::kClip,
                         OdDbRasterImage::kTransparent})
            if (img->isSetDisplayOpt(opt)) display |= opt;
        w_.integer(70, display);
        w_.integer(280, img->isSetDisplayOpt(OdDbRasterImage::kClip) ? 1 : 0);
        w_.integer(281, 50);
        w_.integer(282, 50);
        w_.integer(283, 0);
        w_.integer(71, 1);
        w_.integer(91, 2);
        w_.point2(14, -0.5, -0.5);
        w_.point2(14, size.x - 0.5, size.y - 0.5);
    } else if (auto* d = OdRxCast<OdDbDimension>(ent)) {
        dimension(d);
    } else if (auto* ml = OdRxCast<OdDbMline>(ent)) {
        mline(ml);
    } else if (const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(e)) {
        std::string type(f->dxfName.begin(), f->dxfName.end());
        entityCommon(type.c_str(), e);
        rawGroups(f->groups);
    }
}

// Groups kept from a file: text as text, the rest as the file wrote it.
void DxfOut::rawGroups(const std::vector<std::pair<int, std::wstring>>& groups)
{
    for (const auto& [code, value] : groups) {
        Kind kind;
        if (code <= 0 || !KindOfCode(code, kind)) continue;
        if (kind == Kind::kText) w_.text(code, value);
        else w_.ascii(code, std::string(value.begin(), value.end()));
    }
}

void DxfOut::xrecordData(const OdResBuf* rb)
{
    for (; rb; rb = rb->next()) {
        int code = rb->restype();
        Kind kind;
        // Code 0 would end the record; codes the file form does not know
        // cannot be stored.
        if (code <= 0 || code > 1071 || !KindOfCode(code, kind) || code == 999) continue;
        bool pointCode = (code >= 10 && code <= 18) || (code >= 1010 && code <= 1013);
        switch (kind) {
        case Kind::kText: w_.text(code, rb->getString().str()); break;
        case Kind::kReal:
            if (pointCode) w_.point(code, rb->getPoint3d());
            else w_.real(code, rb->getDouble());
            break;
        case Kind::kInt:
            w_.integer(code, (code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 289) ||
                                     (code >= 370 && code <= 409) || (code >= 1060 && code <= 1070)
                                 ? rb->getInt16()
                                 : rb->getInt32());
            break;
        case Kind::kHandle:
            w_.handle(code, written(rb->getObjectId()) ? (uint64_t)rb->getObjectId().getHandle() : 0);
            break;
        }
    }
}

void DxfOut::objects()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "OBJECTS");
    std::vector<const OdDbObject*> list;
    for (const auto& id : db_->allObjectIds()) {
        OdDbObject* o = obj(id);
        if (o && out_.count(o) && IsWrittenObject(o)) list.push_back(o);
    }
    // The named-objects dictionary comes first, as readers expect.
    std::stable_partition(list.begin(), list.end(),
                          [this](const OdDbObject* o) { return o->objectId() == db_->getNamedObjectsDictionaryId(); });
    for (const OdDbObject* o : list) {
        auto* mo = const_cast<OdDbObject*>(o);
        if (auto* d = OdRxCast<OdDbDictionary>(mo)) {
            begin("DICTIONARY", o, o->ownerId());
            w_.ascii(100, "AcDbDictionary");
            w_.integer(281, 1);
            for (const auto& [key, id] : DxfAccess::entries(d)) {
                if (!written(id)) continue;
                w_.text(3, key.str());
                w_.handle(350, id.getHandle());
            }
        } else if (auto* x = OdRxCast<OdDbXrecord>(mo)) {
            begin("XRECORD", o, o->ownerId());
            w_.ascii(100, "AcDbXrecord");
            w_.integer(280, 1);
            xrecordData(DxfAccess::chain(x));
        } else if (auto* def = OdRxCast<OdDbRasterImageDef>(mo)) {
            OdGeVector2d size = def->size();
            if (!(size.x >= 1 && size.y >= 1)) size = OdGeVector2d(1, 1);
            begin("IMAGEDEF", o, o->ownerId());
            w_.ascii(100, "AcDbRasterImageDef");
            w_.integer(90, 0);
            w_.text(1, def->sourceFileName().str());
            w_.point2(10, size.x, size.y);
            w_.point2(11, 1, 1);
            w_.integer(280, def->isLoaded() ? 1 : 0);
            w_.integer(281, 0);
        } else if (const OdDbProxyFileRecord* f = DxfAccess::fileRecordOf(o)) {
            std::string type(f->dxfName.begin(), f->dxfName.end());
            begin(type.c_str(), o, o->ownerId());
            rawGroups(f->groups);
        } else if (auto* st = OdRxCast<OdDbSortentsTable>(mo)) {
            begin("SORTENTSTABLE", o, o->ownerId());
            w_.ascii(100, "AcDbSortentsTable");
            w_.handle(330, written(st->blockId()) ? (uint64_t)st->blockId().getHandle() : 0);
            // The whole draw order: the entities' own handles, sorted, given
            // out in drawing order as their sort handles.
            OdDbObjectIdArray order;
            st->getFullDrawOrder(order);
            std::vector<uint64_t> handles;
            for (const auto& id : order)
                if (written(id)) handles.push_back(id.getHandle());
            std::vector<uint64_t> sorted = handles;
            std::sort(sorted.begin(), sorted.end());
            for (size_t i = 0; i < handles.size(); ++i) {
                w_.handle(331, handles[i]);
                w_.handle(5, sorted[i]);
            }
        }
    }
    w_.ascii(0, "ENDSEC");
}

std::string DxfOut::run()
{
    collect();
    classes();
    tables();
    blocks();
    objects();
    w_.ascii(0, "EOF");
    GroupWriter head;
    header(head);
    return head.bytes() + w_.bytes();
}

}  // namespace

OdResult WriteDxf(OdDbDatabase* db, std::string& bytes)
{
    if (!db || DxfAccess::object(db->getBlockTableId()) == nullptr) return eInvalidInput;
    bytes = DxfOut(db).run();
    return eOk;
}

}  // namespace dxf
}  // namespace standin
