// Host SDK stand-in: the host's own drawing-file commands. OPEN, QSAVE,
// SAVEAS and CLOSE run through the command stack like any command; the
// file names are typed (gcedGetString). Drawings are DXF files.
#include <cwchar>
#include <string>

#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcedinput.h"
#include "gcutprint.h"
#include "dxf_control.h"
#include "text_internal.h"

namespace {

// An unsaved drawing has a bare name; a saved one its full path.
bool HasFolder(const OdString& name) { return wcschr(name.c_str(), L'\\') || wcschr(name.c_str(), L'/'); }

// The typed file name; false when the user cancels.
bool AskFileName(const std::wstring& prompt, std::wstring& name)
{
    wchar_t buf[4096];
    if (gcedGetString(1, prompt.c_str(), buf, sizeof buf / sizeof buf[0]) != RTNORM) {
        standin::SetCommandOutcome(standin::CommandOutcome::kCancelled);
        return false;
    }
    name = buf;
    return true;
}

void Failed() { standin::SetCommandOutcome(standin::CommandOutcome::kFailed); }

bool Save(GcApDocument* doc, const std::wstring& path)
{
    OdResult res = doc->database()->saveAs(path.c_str());
    if (res != eOk) {
        const wchar_t* why = res == eFileNotFound    ? L"its folder does not exist"
                             : res == eNotApplicable ? L"the file cannot be written (read-only, or no access)"
                                                     : L"the drawing cannot be written";
        gcutPrintf(L"\nThe drawing cannot be saved as %s: %s.", path.c_str(), why);
        Failed();
        return false;
    }
    // What the file could not carry is said, never dropped silently.
    for (const std::wstring& lost : standin::LastDxfSaveLosses())
        gcutPrintf(L"\nNot saved in %s: %s", path.c_str(), lost.c_str());
    gcDocManagerPtr()->setFileName(doc, path.c_str());
    return true;
}

void SaveAs()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return;
    std::wstring name;
    if (!AskFileName(L"Save drawing as <" + doc->fileName().str() + L">: ", name)) return;
    if (name.empty()) {
        if (!HasFolder(doc->fileName())) return standin::SetCommandOutcome(standin::CommandOutcome::kCancelled);
        name = doc->fileName().str();
    }
    Save(doc, name);
}

void QSave()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return;
    if (HasFolder(doc->fileName())) Save(doc, doc->fileName().str());
    else SaveAs();
}

void Open()
{
    std::wstring name;
    if (!AskFileName(L"Enter name of drawing to open: ", name)) return;
    if (name.empty()) return standin::SetCommandOutcome(standin::CommandOutcome::kCancelled);
    auto* db = new OdDbDatabase(false);
    OdResult res = db->readDwgFile(name.c_str());
    if (res != eOk) {
        delete db;
        std::wstring why = standin::Utf8ToWide(standin::LastDxfReadError());
        gcutPrintf(L"\nThe drawing %s cannot be opened: %s.", name.c_str(),
                   why.empty() ? L"it cannot be read" : why.c_str());
        return Failed();
    }
    // What of the file the drawing does not hold is said, never dropped
    // silently.
    for (const std::wstring& left : standin::DxfNotRead(db))
        gcutPrintf(L"\nNot read from %s: %s", name.c_str(), left.c_str());
    gcDocManagerPtr()->createDocument(name.c_str(), true, db);
}

void Close()
{
    if (GcApDocument* doc = gcDocManagerPtr()->curDocument()) gcDocManagerPtr()->close(doc);
}

}  // namespace

namespace standin {

GcRxFunctionPtr HostCommand(const std::wstring& name)
{
    static const HostCommandEntry kCommands[] = {
        {L"OPEN", Open}, {L"QSAVE", QSave}, {L"SAVEAS", SaveAs}, {L"CLOSE", Close}};
    GcRxFunctionPtr found = FindHostCommand(kCommands, sizeof kCommands / sizeof kCommands[0], name);
    return found ? found : EditHostCommand(name);
}

}  // namespace standin
