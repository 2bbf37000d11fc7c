// The module's links survive a save and a reopen: a drawing whose links the
// module wrote is saved, opened on a fresh machine, and the module reads the
// same links back.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "dxf_test_support.h"
#include "exchange/entitylink.h"
#include "gcapdocmanager.h"
#include "hostdb_control.h"
#include "oddbdictionary.h"
#include "oddbentity.h"
#include "standin_control.h"
#include "state/drawingdata.h"
#include "test_support.h"

namespace {

// Each object holding a link, by handle, with the link as the module reads
// it (entities through ReadEntityLink, a folder's layer through
// GetEntityLink).
std::map<uint64_t, std::wstring> Links(OdDbDatabase* db)
{
    std::map<uint64_t, std::wstring> links;
    for (const auto& id : db->allObjectIds()) {
        OdDbObject* o = nullptr;
        if (id.isErased() || oddbOpenObject(o, id, OdDb::kForRead) != eOk) continue;
        OdDbObjectId xdict = o->extensionDictionary();
        bool linked = false;
        OdDbDictionary* d = nullptr;
        if (!xdict.isNull() && oddbOpenObject(d, xdict, OdDb::kForRead) == eOk) {
            linked = d->has(kLinkXrecordKey);
            d->close();
        }
        std::unique_ptr<MapObjInfo> link;
        if (linked) link.reset(OdRxCast<OdDbEntity>(o) ? nullptr : GetEntityLink(o, false, false));
        o->close();
        if (linked && !link) link.reset(ReadEntityLink(id));
        if (!link) continue;
        wchar_t pos[96];
        swprintf(pos, 96, L"%.17g,%.17g", link->labelPos.x, link->labelPos.y);
        links[id.getHandle()] = std::to_wstring(link->peerId) + L"|" + link->name.GetString() + L"|" +
                                link->remark.GetString() + L"|" + std::to_wstring(link->join) + L"|" +
                                std::to_wstring(link->companion) + L"|" + std::to_wstring(link->iconNumber) + L"|" + pos;
    }
    return links;
}

}  // namespace

TEST(DxfModuleLinks, TheModuleReadsItsLinksBackAfterSaveAndReopenOnAFreshMachine)
{
    OdDbDatabase* db = standin::CreateDocument(L"C:\\dwg\\links.dwg")->database();
    dxftest::BuildSampleDrawing(db);
    std::map<uint64_t, std::wstring> before = Links(db);
    ASSERT_EQ(before.size(), 4u);  // a text, an image, a line, a folder's layer
    CreateDirectoryW(L"C:\\dwg", nullptr);
    ASSERT_EQ(db->saveAs(L"C:\\dwg\\links.dxf"), eOk);
    std::string bytes = velktest::ReadNativeFile(standin::NativePath(L"C:\\dwg\\links.dxf"));

    standin::ResetMachine(velktest::MachineRoot() + "/fresh");
    velktest::WriteNativeFile(standin::NativePath(L"D:\\copy\\links.dxf"), bytes);
    OdDbDatabase reopened(false);
    ASSERT_EQ(reopened.readDwgFile(L"D:\\copy\\links.dxf"), eOk);
    EXPECT_EQ(Links(&reopened), before);
    EXPECT_EQ(standin::OpenObjectCount(), 0);
}
