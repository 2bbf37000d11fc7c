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
#include "paths_internal.h"
#include "text_internal.h"
#include "windows.h"

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

// Why a drawing cannot be saved under the name, as the file system tells
// it: the name first, then its drive and folder, then what the write said.
std::wstring WhyNotSaved(const std::wstring& path, OdResult res)
{
    if (!standin::LastDxfSaveRefusal().empty())
        return L"the drawing holds a value no file can hold, a number past the largest or none, in the " +
               standin::LastDxfSaveRefusal();
    DWORD error = 0;
    if (standin::MachinePath(path, true, &error).empty()) {
        if (error == ERROR_INVALID_NAME)
            return L"it is a name Windows gives no file (a device's name, or one holding < > : \" | ? *)";
        if (error == ERROR_ACCESS_DENIED) return L"it leads out of the machine through a link";
        return L"it is no path a file can have";
    }
    if (path.size() >= 2 && path[1] == L':') {
        const std::wstring drive = path.substr(0, 2);
        const DWORD a = GetFileAttributesW((drive + L"\\").c_str());
        if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return L"there is no drive " + drive;
    }
    // A share, \\server\share, is there or not as a whole.
    if (path.compare(0, 2, L"\\\\") == 0) {
        const size_t server = path.find_first_of(L"\\/", 2);
        const size_t share = server == std::wstring::npos ? server : path.find_first_of(L"\\/", server + 1);
        const std::wstring root = path.substr(0, share);
        const DWORD a = GetFileAttributesW((root + L"\\").c_str());
        if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY)) return L"there is no share " + root;
    }
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && path[slash - 1] != L':') {
        const std::wstring folder = path.substr(0, slash);
        const DWORD a = GetFileAttributesW(folder.c_str());
        if (a == INVALID_FILE_ATTRIBUTES) return L"its folder does not exist";
        if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return folder + L" is not a folder";
    }
    const DWORD a = GetFileAttributesW(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY)) return L"it is a folder";
    // The system's reason when a write failed (a full disk, a file-size
    // limit); a file refused before anything was written is read-only.
    const std::string& failed = standin::LastDxfWriteError();
    if (res == eNotApplicable && !failed.empty())
        return L"the file cannot be written: " + standin::Utf8ToWide(failed);
    return res == eNotApplicable ? L"the file cannot be written (read-only, or no access)"
                                 : L"the drawing cannot be written";
}

bool Save(GcApDocument* doc, const std::wstring& path)
{
    OdResult res = doc->database()->saveAs(path.c_str());
    if (res != eOk) {
        const std::wstring why = WhyNotSaved(path, res);
        gcutPrintf(L"\nThe drawing cannot be saved as %s: %s.", path.c_str(), why.c_str());
        Failed();
        return false;
    }
    // What the file could not carry is said, never dropped silently.
    for (const std::wstring& lost : standin::LastDxfSaveLosses())
        gcutPrintf(L"\nNot saved in %s: %s", path.c_str(), lost.c_str());
    for (size_t i = 0, n = standin::DxfRenumberedCount(doc->database()); i < n; ++i)
        gcutPrintf(L"\nSaved in %s under a new handle: %s", path.c_str(),
                   standin::DxfRenumberedSaid(doc->database(), i).c_str());
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
    const std::wstring page = standin::DxfCodePageAssumed(db);
    if (!page.empty()) gcutPrintf(L"\nThe texts of %s are read as %s.", name.c_str(), page.c_str());
    for (size_t i = 0, n = standin::DxfRenumberedCount(db); i < n; ++i)
        gcutPrintf(L"\nRead from %s under a new handle: %s", name.c_str(), standin::DxfRenumberedSaid(db, i).c_str());
    gcDocManagerPtr()->createDocument(name.c_str(), true, db);
}

void Close()
{
    if (GcApDocument* doc = gcDocManagerPtr()->curDocument()) gcDocManagerPtr()->close(doc);
}

const standin::HostCommandEntry kFileCommands[] = {
    {L"OPEN", Open}, {L"QSAVE", QSave}, {L"SAVEAS", SaveAs}, {L"CLOSE", Close}};

}  // namespace

namespace standin {

GcRxFunctionPtr HostCommand(const std::wstring& name)
{
    GcRxFunctionPtr found = FindHostCommand(kFileCommands, sizeof kFileCommands / sizeof kFileCommands[0], name);
    return found ? found : EditHostCommand(name);
}

std::vector<std::wstring> HostCommands()
{
    std::vector<std::wstring> names = HostCommandNames(kFileCommands, sizeof kFileCommands / sizeof kFileCommands[0]);
    for (const std::wstring& name : EditHostCommands()) names.push_back(name);
    return names;
}

}  // namespace standin
