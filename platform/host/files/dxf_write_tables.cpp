// Drawing files: the header, classes, other sections, tables and blocks of
// a file written.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "dxf_out.h"
#include "dxf_record_codes.h"
#include "oddbdimension.h"
#include "oddbproxy.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

// ---- header, classes and other sections ----

void DxfOut::header(GroupWriter& w)
{
    w.ascii(0, "SECTION");
    w.ascii(2, "HEADER");
    using H = HeaderCodes;
    w.ascii(H::kVariable, "$ACADVER");
    w.ascii(H::kVersion, "AC1024");
    // The code page goes back as the file named it (a save's text is
    // UTF-8 whatever it names); a drawing that named none names the host's.
    const DxfFileKept* k = DxfAccess::fileKept(db_);
    const std::vector<KeptGroup>* filePage = nullptr;
    if (k)
        for (const auto& [name, groups] : k->header)
            if (name == "$DWGCODEPAGE" && !groups.empty()) {
                filePage = &groups;
                break;
            }
    w.ascii(H::kVariable, "$DWGCODEPAGE");
    if (filePage)
        for (const KeptGroup& g : *filePage) w.kept(g, 0);
    else
        w.ascii(H::kCodePage, "ANSI_936");
    w.ascii(H::kVariable, "$HANDSEED");
    // The next handle free: past the last, a free one below.
    w.handle(H::kHandseed, nextSynthetic());
    w.ascii(H::kVariable, "$CLAYER");
    w.text(H::kLayer, nameOf(db_->clayer()).str());
    w.ascii(H::kVariable, "$CELTYPE");
    w.text(H::kLinetype, nameOf(db_->celtype()).str());
    w.ascii(H::kVariable, "$TEXTSTYLE");
    w.text(H::kTextStyle, nameOf(db_->textstyle()).str());
    // A scale the file gave that is no number goes back as written while
    // the drawing keeps the default it read instead.
    const KeptGroup* fileScale = nullptr;
    if (k)
        for (const auto& [name, groups] : k->header)
            if (name == "$LTSCALE") {
                if (!groups.empty() && groups[0].code == H::kLinetypeScale && (Kind)groups[0].kind == Kind::kText)
                    fileScale = &groups[0];
                break;
            }
    w.ascii(H::kVariable, "$LTSCALE");
    if (fileScale && db_->getLTSCALE() == 1.0) w.kept(*fileScale, 0);
    else w.real(H::kLinetypeScale, db_->getLTSCALE());
    // The current dimension style as the file named it (a file may name
    // one it does not define), else the drawing's.
    bool fileNamesDimstyle =
        k && std::any_of(k->header.begin(), k->header.end(), [](const auto& h) { return h.first == "$DIMSTYLE"; });
    if (!fileNamesDimstyle) {
        w.ascii(H::kVariable, "$DIMSTYLE");
        w.text(H::kDimstyle, written(db_->dimstyle()) ? nameOf(db_->dimstyle()).str() : std::wstring(L"Standard"));
    }
    // What says the file's form is this file's own (the code page above as
    // the file named it); the drawing's values above are the first the
    // file gave, and a second goes back as read.
    static const std::set<std::string> kForm = {"$ACADVER", "$DWGCODEPAGE", "$HANDSEED"};
    std::set<std::string> own = {"$CLAYER", "$CELTYPE", "$TEXTSTYLE", "$LTSCALE"};
    if (k)
        for (const auto& [name, groups] : k->header) {
            if (kForm.count(name) || own.erase(name)) continue;
            w.ascii(H::kVariable, name);
            for (const KeptGroup& g : groups) w.kept(g, (Kind)g.kind == Kind::kHandle ? handleOf(g.id) : 0);
        }
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
    if (const DxfFileKept* k = DxfAccess::fileKept(db_))
        // Every record as read, of whatever kind; the host's own classes
        // follow where the file has none of their names.
        for (const auto& [type, groups] : k->classes) {
            if (type == "CLASS")
                for (const KeptGroup& g : groups)
                    if (g.code == ClassCodes::kRecord) done.insert(g.text);
            open(type);
            for (const KeptGroup& g : groups) keptGroup(g);
        }
    for (const auto& c : kClasses) {
        std::string r = c.record;
        if (!done.insert(std::wstring(r.begin(), r.end())).second) continue;
        using C = ClassCodes;
        open("CLASS");
        w_.ascii(C::kRecord, c.record);
        w_.ascii(C::kCppName, c.cppName);
        w_.ascii(C::kApplication, c.app);
        w_.integer(C::kFlags, c.flags);
        w_.integer(C::kInstances, 0);
        w_.integer(C::kWasProxy, 0);
        w_.integer(C::kIsEntity, c.isEntity);
    }
    open("ENDSEC");
    rec_.open = false;
}

void DxfOut::extraSections()
{
    const DxfFileKept* k = DxfAccess::fileKept(db_);
    if (!k) return;
    for (const auto& [name, groups] : k->sections) {
        w_.ascii(0, "SECTION");
        w_.ascii(2, name);
        for (const KeptGroup& g : groups) keptGroup(g);
        w_.ascii(0, "ENDSEC");
    }
}

// ---- tables ----

uint64_t DxfOut::beginTable(const char* name, OdDbObjectId tableId, int count)
{
    open("TABLE", obj(tableId));
    w_.ascii(TableCodes::kName, name);
    uint64_t h = 0;
    w_.setTag(GroupWriter::kFrame);
    if (auto* t = obj(tableId)) {
        w_.handle(5, h = t->handle());
        if (written(t->extensionDictionary())) {
            w_.ascii(102, "{ACAD_XDICTIONARY");
            w_.handle(360, t->extensionDictionary().getHandle());
            w_.ascii(102, "}");
        }
    } else {
        w_.handle(5, h = synthetic());
    }
    w_.setTag(GroupWriter::kOwner);
    w_.handle(330, 0);
    w_.setTag(GroupWriter::kValue);
    marker(TableCodes::kMarker);
    // The count only tells readers what to expect; past what a signed
    // 16-bit value holds it is written as the most that does.
    integer(TableCodes::kCount, std::min(count, 32767));
    return h;
}

void DxfOut::symbolRecord(const char* type, const char* subclass, const OdDbSymbolTableRecord* r)
{
    begin(type, r, r->ownerId(), std::string(type) == "DIMSTYLE" ? DimStyleCodes::kHandle : 5);
    marker(TableRecordCodes::kMarker);
    marker(subclass);
    text(NamedRecordCodes::kName, r->getName().str());
}

// A record's flags: those the database models, the rest as the file gave
// them.
int DxfOut::recordFlags(const OdDbSymbolTableRecord* r, int modelled, int mask)
{
    return (DxfAccess::fileFlags(r) & ~mask) | (modelled & mask);
}

void DxfOut::color(int aciCode, int rgbCode, const OdCmColor& c)
{
    switch (c.colorMethod()) {
    case OdCmEntityColor::kByLayer: break;
    case OdCmEntityColor::kByBlock: integer(aciCode, 0); break;
    case OdCmEntityColor::kByACI: integer(aciCode, c.colorIndex()); break;
    case OdCmEntityColor::kByColor: {
        // The number the file gave beside the colour, while it has that
        // colour; else white, as readers without true colours show it.
        const DxfKept* k = aciCode == EntityCodes::kColour ? rec_.kept : nullptr;
        const bool asRead = k && k->colourNumber >= 0 && k->colourRgb == RgbOf(c);
        integer(aciCode, asRead ? k->colourNumber : 7);
        integer(rgbCode, RgbOf(c));
        break;
    }
    default: integer(aciCode, 7); break;
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
    auto endTable = [this] {
        open("ENDTAB");
        rec_.open = false;
    };
    // A viewport's or a view's settings, in the codes and the order of its
    // subclass (ViewportCodes or ViewCodes).
    auto viewSettings = [this](auto codes, const OdDbAbstractViewTableRecord* v) {
        using C = typename decltype(codes)::type;
        constexpr bool viewport = std::is_same_v<C, ViewportCodes>;
        int mode = (v->perspectiveEnabled() ? 1 : 0) | (v->frontClipEnabled() ? 2 : 0) |
                   (v->backClipEnabled() ? 4 : 0) | (v->frontClipAtEye() ? 0 : 16);
        if (viewport) {
            point2(C::kCenter, v->centerPoint().x, v->centerPoint().y);
        } else {
            real(C::kHeight, v->height());
            point2(C::kCenter, v->centerPoint().x, v->centerPoint().y);
            real(C::kWidth, v->width());
        }
        OdGeVector3d d = v->viewDirection();
        point(C::kDirection, AsPoint(d));
        point(C::kTarget, v->target());
        if (viewport) {
            real(C::kHeight, v->height());
            real(C::kWidth, v->height() > 0 ? v->width() / v->height() : 1.0);
        }
        real(C::kLens, v->lensLength());
        real(C::kFrontClip, v->frontClipDistance());
        real(C::kBackClip, v->backClipDistance());
        real(C::kTwist, v->viewTwist());
        integer(C::kMode, mode);
        // Defaults go where the values a file gave go back: at the end.
        if constexpr (viewport) {
            if (!keptHas(C::kLowerLeft)) w_.point2(C::kLowerLeft, 0, 0);
            if (!keptHas(C::kUpperRight)) w_.point2(C::kUpperRight, 1, 1);
        }
    };

    auto vports = liveRecords(db_->getViewportTableId());
    beginTable("VPORT", db_->getViewportTableId(), (int)vports.size());
    for (auto* r : vports) {
        symbolRecord("VPORT", ViewportCodes::kMarker, r);
        integer(ViewportCodes::kFlags, DxfAccess::fileFlags(r));
        viewSettings(std::common_type<ViewportCodes>{}, static_cast<const OdDbAbstractViewTableRecord*>(r));
    }
    endTable();

    auto ltypes = liveRecords(db_->getLinetypeTableId());
    beginTable("LTYPE", db_->getLinetypeTableId(), (int)ltypes.size());
    for (auto* r : ltypes) {
        using C = LinetypeCodes;
        using D = LinetypeDashCodes;
        auto* lt = static_cast<const OdDbLinetypeTableRecord*>(r);
        symbolRecord("LTYPE", C::kMarker, r);
        integer(C::kFlags, DxfAccess::fileFlags(r));
        text(C::kDescription, lt->comments().str());
        integer(C::kAlignment, lt->isScaledToFit() ? 'S' : 'A');
        integer(C::kDashCount, lt->numDashes());
        real(C::kPatternLength, lt->patternLength());
        for (int i = 0; i < lt->numDashes(); ++i) {
            real(D::kLength, lt->dashLengthAt(i));
            bool shape = lt->shapeNumberAt(i) != 0, words = !lt->textAt(i).isEmpty();
            int flags = (lt->shapeIsUcsOrientedAt(i) ? 1 : 0) | (words ? 2 : 0) | (shape ? 4 : 0) |
                        (lt->shapeIsUprightAt(i) ? 8 : 0);
            integer(D::kFlags, flags);
            if (!shape && !words) continue;
            integer(D::kShape, shape ? lt->shapeNumberAt(i) : 0);
            handle(D::kStyle, handleOf(lt->shapeStyleAt(i)));
            real(D::kScale, lt->shapeScaleAt(i));
            real(D::kRotation, Degrees(lt->shapeRotationAt(i)));
            real(D::kOffsetX, lt->shapeOffsetAt(i).x);
            real(D::kOffsetY, lt->shapeOffsetAt(i).y);
            if (words) text(D::kText, lt->textAt(i).str());
        }
    }
    endTable();

    auto layers = liveRecords(db_->getLayerTableId());
    beginTable("LAYER", db_->getLayerTableId(), (int)layers.size());
    for (auto* r : layers) {
        using C = LayerCodes;
        auto* la = static_cast<const OdDbLayerTableRecord*>(r);
        symbolRecord("LAYER", C::kMarker, r);
        integer(C::kFlags, recordFlags(r, (la->isFrozen() ? 1 : 0) | (la->isLocked() ? 4 : 0), 1 | 4));
        OdCmColor c = la->color();
        int aci = c.isByACI() ? c.colorIndex() : 7;
        // Beside a true colour, the number the file gave while the layer
        // has that colour.
        if (const DxfKept* k = rec_.kept; c.isByColor() && k && k->colourRgb >= 0 && k->colourRgb == RgbOf(c))
            aci = std::abs(k->colourNumber);
        if (aci < 1 || aci > 255) aci = 7;
        integer(C::kColour, la->isOff() ? -aci : aci);
        if (c.isByColor()) integer(C::kTrueColour, RgbOf(c));
        OdString lt = nameOf(la->linetypeObjectId());
        text(C::kLinetype, lt.isEmpty() ? L"Continuous" : lt.str());
        if (!la->isPlottable()) integer(C::kPlottable, 0);
        integer(C::kLineWeight, la->lineWeight());
    }
    endTable();

    auto styles = liveRecords(db_->getTextStyleTableId());
    beginTable("STYLE", db_->getTextStyleTableId(), (int)styles.size());
    for (auto* r : styles) {
        using C = TextStyleCodes;
        auto* st = static_cast<const OdDbTextStyleTableRecord*>(r);
        symbolRecord("STYLE", C::kMarker, r);
        integer(C::kFlags, recordFlags(r, (st->isShapeFile() ? 1 : 0) | (st->isVertical() ? 4 : 0), 1 | 4));
        real(C::kHeight, st->textSize());
        real(C::kWidth, st->xScale());
        real(C::kOblique, Degrees(st->obliquingAngle()));
        integer(C::kGeneration, st->flagBits());
        real(C::kPriorSize, st->priorSize());
        text(C::kFont, st->fileName().str());
        text(C::kBigFont, st->bigFontFileName().str());
    }
    endTable();

    auto views = liveRecords(db_->getViewTableId());
    beginTable("VIEW", db_->getViewTableId(), (int)views.size());
    for (auto* r : views) {
        auto* v = static_cast<const OdDbViewTableRecord*>(r);
        symbolRecord("VIEW", ViewCodes::kMarker, r);
        integer(ViewCodes::kFlags, recordFlags(r, v->isPaperspaceView() ? 1 : 0, 1));
        viewSettings(std::common_type<ViewCodes>{}, v);
    }
    endTable();

    auto ucss = liveRecords(db_->getUCSTableId());
    beginTable("UCS", db_->getUCSTableId(), (int)ucss.size());
    for (auto* r : ucss) {
        auto* u = static_cast<const OdDbUCSTableRecord*>(r);
        using C = UcsCodes;
        symbolRecord("UCS", C::kMarker, r);
        integer(C::kFlags, DxfAccess::fileFlags(r));
        point(C::kOrigin, u->origin());
        point(C::kXAxis, AsPoint(u->xAxis()));
        point(C::kYAxis, AsPoint(u->yAxis()));
    }
    endTable();

    auto apps = liveRecords(db_->getRegAppTableId());
    std::set<std::wstring> registered;  // names compare without case
    for (auto* r : apps) registered.insert(Lower(r->getName().str()));
    // (A table record needs a name: data under an empty one stays as it is.)
    std::vector<std::wstring> missing;
    for (const auto& name : apps_)
        if (!name.empty() && registered.insert(Lower(name)).second) missing.push_back(name);
    beginTable("APPID", db_->getRegAppTableId(), (int)(apps.size() + missing.size()));
    for (auto* r : apps) {
        symbolRecord("APPID", RegAppCodes::kMarker, r);
        integer(RegAppCodes::kFlags, DxfAccess::fileFlags(r));
    }
    // An application the extended data needs is registered in the file, as
    // the host registers it when the data is set.
    for (const auto& name : missing) {
        open("APPID");
        head(synthetic(), db_->getRegAppTableId().getHandle());
        marker(TableRecordCodes::kMarker);
        marker(RegAppCodes::kMarker);
        text(RegAppCodes::kName, name);
        integer(RegAppCodes::kFlags, 0);
    }
    endTable();

    auto dimstyles = liveRecords(db_->getDimStyleTableId());
    const uint64_t dimstyleTable =
        beginTable("DIMSTYLE", db_->getDimStyleTableId(), (int)std::max<size_t>(1, dimstyles.size()));
    for (auto* r : dimstyles) {
        symbolRecord("DIMSTYLE", DimStyleCodes::kMarker, r);
        integer(DimStyleCodes::kFlags, DxfAccess::fileFlags(r));
    }
    if (dimstyles.empty()) {
        // Dimensions name a style: a drawing with none gets the host's
        // default one.
        open("DIMSTYLE");
        dimstyleHandle_ = synthetic();
        head(dimstyleHandle_, dimstyleTable, DimStyleCodes::kHandle);
        marker(TableRecordCodes::kMarker);
        marker(DimStyleCodes::kMarker);
        text(DimStyleCodes::kName, L"Standard");
        integer(DimStyleCodes::kFlags, 0);
    }
    endTable();

    beginTable("BLOCK_RECORD", db_->getBlockTableId(), (int)(blocks_.size() + dimensionBlocks_.size()));
    using B = BlockRecordCodes;
    for (const auto& b : blocks_) {
        symbolRecord("BLOCK_RECORD", B::kMarker, static_cast<OdDbSymbolTableRecord*>(obj(b)));
        softInteger(B::kFlags, 0);
        softInteger(B::kExplodable, 1);
        softInteger(B::kScalable, 0);
    }
    for (const DimensionBlock& block : dimensionBlocks_) {
        open("BLOCK_RECORD");
        head(block.record, db_->getBlockTableId().getHandle());
        marker(TableRecordCodes::kMarker);
        marker(B::kMarker);
        text(B::kName, block.name);
        w_.integer(B::kFlags, 0);
        w_.integer(B::kExplodable, 1);
        w_.integer(B::kScalable, 0);
    }
    endTable();
    w_.ascii(0, "ENDSEC");
}

// ---- blocks and entities ----

// Model space's entities are written first: dimensions among them may need
// blocks of graphics, which the blocks section then holds.
void DxfOut::blocks()
{
    w_.ascii(0, "SECTION");
    w_.ascii(2, "ENTITIES");
    if (auto* ms = OdRxCast<OdDbBlockTableRecord>(obj(db_->getModelSpaceId()))) writeEntities(ms);
    close();
    w_.ascii(0, "ENDSEC");
    std::string entities = w_.take();

    w_.ascii(0, "SECTION");
    w_.ascii(2, "BLOCKS");
    using C = BlockBeginCodes;
    for (const auto& b : blocks_) {
        auto* block = static_cast<OdDbBlockTableRecord*>(obj(b));
        const DxfKept* kept = DxfAccess::kept(block);
        OdString name = block->getName();
        bool paper = name.iCompare(L"*Paper_Space") == 0;
        bool model = b == db_->getModelSpaceId();
        open("BLOCK", nullptr, kept ? kept->blockBegin.get() : nullptr, block, kBlockBeginRecord);
        head(recordHandle(kept && kept->blockBegin ? kept->blockBegin->handle : 0), block->handle());
        marker(EntityCodes::kMarker);
        if (paper) integer(EntityCodes::kPaperSpace, 1);
        text(EntityCodes::kLayer, L"0");
        marker(C::kMarker);
        text(C::kName, name.str());
        bool anonymous = !model && !paper && name.getLength() > 0 && name.c_str()[0] == L'*';
        // Spaces hold no attribute definitions of their own to flag.
        bool attdefs = !model && !paper && block->hasAttributeDefinitions();
        integer(C::kFlags, (DxfAccess::fileFlags(block) & ~3) | (anonymous ? 1 : 0) | (attdefs ? 2 : 0));
        point(C::kBase, block->origin());
        text(C::kNameAgain, name.str());
        softText(C::kPath, L"");
        if (!model) writeEntities(block);
        open("ENDBLK", nullptr, kept ? kept->blockEnd.get() : nullptr, block, kBlockEndRecord);
        head(recordHandle(kept && kept->blockEnd ? kept->blockEnd->handle : 0), block->handle());
        marker(EntityCodes::kMarker);
        if (paper) integer(EntityCodes::kPaperSpace, 1);
        text(EntityCodes::kLayer, L"0");
        marker(BlockEndCodes::kMarker);
    }
    for (const DimensionBlock& block : dimensionBlocks_) {
        for (const char* type : {"BLOCK", "ENDBLK"}) {
            bool first = type[0] == 'B';
            open(type);
            head(synthetic(), block.record);
            marker(EntityCodes::kMarker);
            w_.ascii(EntityCodes::kLayer, "0");
            marker(first ? C::kMarker : BlockEndCodes::kMarker);
            if (!first) continue;
            text(C::kName, block.name);
            integer(C::kFlags, 1);
            point(C::kBase, OdGePoint3d());
            text(C::kNameAgain, block.name);
            w_.ascii(C::kPath, "");
        }
    }
    close();
    w_.ascii(0, "ENDSEC");
    // The blocks go before the entities, in the room their text was given.
    entities.insert(0, w_.take());
    w_.continueIn(std::move(entities));
}

}  // namespace dxf
}  // namespace standin
