#include "common/symboltable/textstyleutil.h"

#include "afxmsgbox.h"

namespace {
OdDbDatabase* WorkingDb() { return oddbHostApplicationServices()->workingDatabase(); }
}  // namespace

OdDbObjectId CTextStyleUtil::GetAt(const wchar_t* styleName)
{
    OdDbObjectId id;
    OdDbDatabase* db = WorkingDb();
    if (!styleName || !*styleName || !db) return id;
    OdDbTextStyleTable* table = nullptr;
    if (db->getTextStyleTable(table, OdDb::kForRead) != eOk) return id;
    table->getAt(styleName, id);
    table->close();
    return id;
}

void CTextStyleUtil::GetAll(std::vector<CString>& names)
{
    names.clear();
    OdDbDatabase* db = WorkingDb();
    OdDbTextStyleTable* table = nullptr;
    if (!db || db->getTextStyleTable(table, OdDb::kForRead) != eOk) return;
    OdDbTextStyleTableIterator* it = nullptr;
    table->newIterator(it, true, true);
    for (it->start(true, true); !it->done(); it->step(true, true)) {
        OdDbTextStyleTableRecord* rec = nullptr;
        if (it->getRecord(rec, OdDb::kForRead) != eOk) continue;
        OdString name = rec->getName();
        if (!name.isEmpty()) names.push_back(CString(name.c_str()));
        rec->close();
    }
    delete it;
    table->close();
}

OdDbObjectId CTextStyleUtil::Add(const wchar_t* styleName, const wchar_t* fontFile, const wchar_t* bigFontFile)
{
    OdDbDatabase* db = WorkingDb();
    OdDbTextStyleTable* table = nullptr;
    OdResult res = db ? db->getTextStyleTable(table, OdDb::kForWrite) : eNullObjectId;
    if (res != eOk) {
        CString msg;
        msg.Format(L"CTextStyleUtil::Add ErrorCode:%d", (int)res);
        AfxMessageBox(msg, MB_OK);
        return OdDbObjectId();
    }
    auto* rec = new OdDbTextStyleTableRecord();
    rec->setName(styleName ? styleName : L"");
    rec->setBigFontFileName(bigFontFile ? bigFontFile : L"");
    rec->setFileName(fontFile ? fontFile : L"");
    rec->setXScale(1.0);
    OdDbObjectId id;
    if (table->add(id, rec) != eOk) {
        table->close();
        delete rec;
        return OdDbObjectId();
    }
    table->close();
    rec->close();
    return id;
}
