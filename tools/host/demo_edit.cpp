#include "demo_edit.h"

#include <string>

#include "afxmsgbox.h"
#include "dialog_control.h"
#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "oddbcurves.h"
#include "oddbdictionary.h"
#include "oddbsymboltable.h"
#include "oddbtext.h"
#include "peer_objects.h"
#include "shell_demo.h"
#include "toolbar_control.h"
#include "window_control.h"

namespace velkhost {

namespace {

// The first entity of model space of that class (and text, for texts).
OdDbObjectId FindEntity(OdDbDatabase* db, const wchar_t* className, const wchar_t* text = nullptr)
{
    OdDbBlockTableRecord* ms = nullptr;
    OdDbObjectId found;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return found;
    for (const OdDbObjectId& id : ms->entityIds()) {
        OdDbEntity* e = nullptr;
        if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) continue;
        auto* t = OdRxCast<OdDbText>(e);
        bool match = e->isA()->name() == className && (!text || (t && t->textString() == text));
        e->close();
        if (match) {
            found = id;
            break;
        }
    }
    ms->close();
    return found;
}

// The peer id stored in the entity's link Xrecord; empty without one.
std::string StoredPeerId(const OdDbObjectId& id)
{
    OdDbEntity* e = nullptr;
    std::string value;
    if (oddbOpenObject(e, id, OdDb::kForRead) != eOk) return value;
    OdDbDictionary* dict = nullptr;
    if (!e->extensionDictionary().isNull() && oddbOpenObject(dict, e->extensionDictionary(), OdDb::kForRead) == eOk) {
        OdDbXrecord* xrec = nullptr;
        if (dict->getAt(L"VelkArx", xrec, OdDb::kForRead) == eOk) {
            OdResBuf* chain = xrec->rbChain();
            if (chain) value = Utf8(chain->getString().str());
            OdResBuf::releaseChain(chain);
            xrec->close();
        }
        dict->close();
    }
    e->close();
    return value;
}

void Command(const wchar_t* name, std::ostream& out)
{
    out << "\nCommand: " << Utf8(name) << "\n";
    standin::InvokeCommand(name);
    standin::PumpMessages();
}

void PeerObjectOf(velkpeer::StandinPeer* peer, uint64_t handle, std::ostream& out)
{
    for (const auto& o : velkpeer::DecodeAll(peer->ObjectStore()))
        if (o.handle == handle && o.kind != 30) out << "  the peer holds: " << velkpeer::DescribeObject(o) << "\n";
}

}  // namespace

void RunEditDemo(velkpeer::StandinPeer* peer, std::ostream& out)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!peer || !doc) return;
    OdDbDatabase* db = doc->database();
    NewTraffic(peer, out);  // what the steps before left
    out << "\nToolbar: 设置属性 (automatic synchronisation on)\n";
    standin::QueueDialogAnswer(8133, [](HWND d) {
        standin::DialogItem(d, 8181).check = 1;
        return IDOK;
    });
    for (HWND bar : standin::ToolBars()) standin::ClickToolBarButton(bar, 32773);
    standin::PumpMessages();

    const OdDbObjectId text = FindEntity(db, L"AcDbText", L"滨江路");
    const OdDbObjectId line = FindEntity(db, L"AcDbLine");
    const uint64_t textHandle = text.getHandle(), lineHandle = line.getHandle();
    NewTraffic(peer, out);
    out << "  sent before: text " << Utf8(OdDbHandle(textHandle).ascii().str()) << " and line "
        << Utf8(OdDbHandle(lineHandle).ascii().str()) << "\n";
    PeerObjectOf(peer, textHandle, out);
    PeerObjectOf(peer, lineHandle, out);

    // The user moves the text 30 east and 20 north.
    standin::QueueSelection(OdDbObjectIdArray().append(text));
    standin::QueuePoint(OdGePoint3d(0, 0, 0));
    standin::QueuePoint(OdGePoint3d(30, 20, 0));
    Command(L"MOVE", out);
    NewTraffic(peer, out);
    PeerObjectOf(peer, textHandle, out);

    standin::QueueSelection(OdDbObjectIdArray().append(line));
    Command(L"ERASE", out);
    NewTraffic(peer, out);
    bool gone = true;
    for (const auto& o : velkpeer::DecodeAll(peer->ObjectStore())) gone = gone && o.handle != lineHandle;
    out << "  the line's object " << (gone ? "is gone from the peer" : "is still in the peer") << "\n";
    out << "  (links written into the entities' Xrecords so far: " << (StoredPeerId(text).empty() ? "none" : "some")
        << ")\n";

    CreateDirectoryW(L"C:\\dwg", nullptr);
    Command(L"QSAVE", out);
    NewTraffic(peer, out);
    out << "  links stored in the saved drawing " << Utf8(doc->fileName().str()) << ":\n";
    OdDbBlockTableRecord* ms = nullptr;
    if (oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) == eOk) {
        for (const OdDbObjectId& id : ms->entityIds()) {
            std::string peerId = StoredPeerId(id);
            if (!peerId.empty())
                out << "    " << Utf8(id.getHandle().ascii().str()) << " -> " << peerId << "\n";
        }
        ms->close();
    }
}

}  // namespace velkhost
