#include "common/entity/blockutil.h"

#include "afxmsgbox.h"
#include "common/document/dwgdatabaseutil.h"
#include "gcutprint.h"
#include "odgeplane.h"
#include "win32_curdir.h"

namespace {

const int kShareDenyNone = 0x40;

// A new attribute of the definition for the reference, not yet appended.
OdDbAttribute* MakeAttribute(const OdDbBlockReference* ref, const OdDbAttributeDefinition* def)
{
    auto* attr = new OdDbAttribute();
    attr->setPropertiesFrom(ref);
    attr->setLayer(ref->layerId());
    attr->setInvisible(def->isInvisible());
    attr->setPosition(def->position());
    attr->setHeight(def->height());
    attr->setWidthFactor(def->widthFactor());
    attr->setRotation(def->rotation());
    attr->setHorizontalMode(def->horizontalMode());
    attr->setVerticalMode(def->verticalMode());
    attr->setAlignmentPoint(def->alignmentPoint());
    attr->setTextStyle(def->textStyle());
    attr->setAttributeFromBlock(def, ref->blockTransform());
    attr->setTag(def->tag());
    attr->setFieldLength(def->fieldLength());
    attr->setTextString(def->textString());
    return attr;
}

void Append(OdDbBlockReference* ref, OdDbAttribute* attr)
{
    OdDbObjectId id;
    if (ref->appendAttribute(id, attr) == eOk) attr->close();
    else delete attr;
}

// Calls the visitor with each attribute definition of the block.
template <class Visit>
void ForEachAttributeDefinition(const OdDbBlockTableRecord* block, Visit visit)
{
    OdDbBlockTableRecordIterator* it = nullptr;
    if (block->newIterator(it, true, true) != eOk) return;
    for (; !it->done(); it->step()) {
        OdDbEntity* ent = nullptr;
        if (it->getEntity(ent, OdDb::kForRead) != eOk) continue;
        if (auto* def = OdRxCast<OdDbAttributeDefinition>(ent)) visit(def);
        ent->close();
    }
    delete it;
}

OdDbBlockReference* NewBlockRef(OdDbObjectId blockDefId, const OdGePoint3d& position, double scale, double rotation)
{
    auto* ref = new OdDbBlockReference(position, blockDefId);
    ref->setRotation(rotation);
    CBlockUtil::SetScaleFactor(ref, scale);
    return ref;
}

}  // namespace

OdDbObjectId CBlockUtil::GetBlockDefId(const wchar_t* blockName, OdDbDatabase* db)
{
    OdDbBlockTable* table = nullptr;
    if (!db || db->getBlockTable(table, OdDb::kForRead) != eOk) return OdDbObjectId();
    OdDbObjectId id;
    table->getAt(blockName, id);
    table->close();
    return id;
}

OdDbObjectId CBlockUtil::InsertBlockRef(OdDbObjectId blockDefId, const OdGePoint3d& position, EntityProps props,
                                        double scale, double rotation)
{
    return CDwgDatabaseUtil::PostToModelSpace(NewBlockRef(blockDefId, position, scale, rotation), props);
}

OdDbObjectId CBlockUtil::InsertBlockRefWithAttribute(OdDbObjectId blockDefId, const OdGePoint3d& position,
                                                     EntityProps props, double scale, double rotation)
{
    OdDbBlockReference* ref = NewBlockRef(blockDefId, position, scale, rotation);
    OdDbBlockTableRecord* block = nullptr;
    if (oddbOpenObject(block, blockDefId, OdDb::kForRead) == eOk) {
        if (block->hasAttributeDefinitions())
            ForEachAttributeDefinition(block, [ref](OdDbAttributeDefinition* def) {
                AppendAttributeToBlockRef(ref, def);
            });
        block->close();
    }
    return CDwgDatabaseUtil::PostToModelSpace(ref, props);
}

void CBlockUtil::AppendAttributeToBlockRef(OdDbBlockReference* blockRef, const OdDbAttributeDefinition* attDef)
{
    Append(blockRef, MakeAttribute(blockRef, attDef));
}

bool CBlockUtil::SetBlockRefAttribute(OdDbBlockReference* blockRef, const wchar_t* tag, const wchar_t* text)
{
    OdDbBlockTableRecord* block = nullptr;
    if (oddbOpenObject(block, blockRef->blockTableRecord(), OdDb::kForRead) != eOk) return false;
    if (!block->hasAttributeDefinitions()) {
        block->close();
        return false;
    }
    ForEachAttributeDefinition(block, [&](OdDbAttributeDefinition* def) {
        if (def->tag().iCompare(tag) != 0) return;
        bool matched = false;
        if (OdDbObjectIterator* it = blockRef->attributeIterator()) {
            for (it->start(); !it->done(); it->step()) {
                OdDbAttribute* attr = nullptr;
                if (oddbOpenObject(attr, it->objectId(), OdDb::kForWrite) != eOk) continue;
                if (attr->tag().iCompare(tag) == 0) {
                    attr->setTextString(text);
                    matched = true;
                }
                attr->close();
            }
            delete it;
        }
        if (!matched) {
            OdDbAttribute* attr = MakeAttribute(blockRef, def);
            attr->setTextString(text);
            Append(blockRef, attr);
        }
    });
    block->close();
    return true;
}

bool CBlockUtil::GetBlockRefAttribute(OdDbBlockReference* blockRef, const wchar_t* tag, CString& text)
{
    OdDbObjectIterator* it = blockRef->attributeIterator();
    if (!it) return false;
    CString upper = tag;
    upper.MakeUpper();
    bool found = false;
    for (it->start(); !it->done(); it->step()) {
        OdDbAttribute* attr = nullptr;
        if (oddbOpenObject(attr, it->objectId(), OdDb::kForRead) != eOk) continue;
        if (attr->tag().compare(upper) == 0) {
            text = attr->textString().c_str();
            found = true;
        }
        attr->close();
    }
    delete it;
    return found;
}

void CBlockUtil::SetScaleFactor(OdDbBlockReference* blockRef, double scale)
{
    blockRef->setScaleFactors(OdGeScale3d(scale, scale, scale));
}

void CBlockUtil::IntersectWithBlockRef(OdDbBlockReference* blockRef, OdDbEntity* entity, OdGePoint3dArray& points,
                                       bool withText, bool inXYPlane, bool extend)
{
    OdGeMatrix3d transform = blockRef->blockTransform();
    OdDbBlockTableRecord* block = nullptr;
    if (oddbOpenObject(block, blockRef->blockTableRecord(), OdDb::kForRead) != eOk) return;
    OdDbBlockTableRecordIterator* it = nullptr;
    if (block->newIterator(it, true, true) == eOk) {
        OdDb::Intersect mode = extend ? OdDb::kExtendArg : OdDb::kOnBothOperands;
        for (; !it->done(); it->step()) {
            OdDbEntity* ent = nullptr;
            if (it->getEntity(ent, OdDb::kForRead) != eOk) continue;
            bool isText = ent->isKindOf(OdDbMText::desc()) || ent->isKindOf(OdDbText::desc());
            OdDbEntity* copy = nullptr;
            if ((withText || !isText) && ent->getTransformedCopy(transform, copy) == eOk) {
                if (inXYPlane) copy->intersectWith(entity, mode, OdGePlane::kXYPlane, points);
                else copy->intersectWith(entity, mode, points);
                delete copy;
            }
            ent->close();
        }
        delete it;
    }
    block->close();
}

OdDbObjectId CBlockUtil::CopyBlockDefFromDwg(const wchar_t* fileName, const wchar_t* blockName)
{
    auto* fileDb = new OdDbDatabase(false);
    if (fileDb->readDwgFile(fileName, kShareDenyNone) != eOk) {
        delete fileDb;
        gcutPrintf(L"\n读入dwg图形错误, 图形名称: %s", fileName);
        return OdDbObjectId();
    }
    OdDbObjectId id;
    OdDbBlockTable* table = nullptr;
    if (fileDb->getBlockTable(table, OdDb::kForRead) == eOk) {
        OdDbObjectId blockId;
        if (table->getAt(blockName, blockId) != eOk) {
            gcutPrintf(L"\n给定的DWG文件中, 不存在指定名称的块表记录.");
        } else {
            OdDbDatabase* temp = nullptr;
            OdDbDatabase* working = oddbHostApplicationServices()->workingDatabase();
            if (fileDb->wblock(temp, blockId) == eOk && working) working->insert(id, blockName, temp, true);
            delete temp;
        }
        table->close();
    }
    delete fileDb;
    return id;
}

OdDbObjectId CBlockUtil::InsertDwgBlockDef(const wchar_t* fileName, const wchar_t* blockName, bool overwrite,
                                           OdDbDatabase* db)
{
    OdDbObjectId id = GetBlockDefId(blockName, db);
    if (!id.isNull() && !overwrite) return id;
    if (_waccess(fileName, 0) != 0) {
        AfxMessageBox(L"CBlockUtil::InsertDwgBlockDef函数, 未找到指定的图块文件.");
        return id;
    }
    auto* fileDb = new OdDbDatabase(false);
    CString msg;
    OdResult res = fileDb->readDwgFile(fileName, kShareDenyNone);
    if (res != eOk) {
        msg.Format(L"CBlockUtil::InsertDwgBlockDef函数, readDwgFile失败:%d.", (int)res);
    } else {
        OdDbObjectId inserted;
        res = db ? db->insert(inserted, blockName, fileDb, true) : eNullObjectId;
        if (res == eOk) id = inserted;
        else msg.Format(L"CBlockUtil::InsertDwgBlockDef函数, insert失败:%d.", (int)res);
    }
    if (!msg.IsEmpty()) AfxMessageBox(msg);
    delete fileDb;
    return id;
}
