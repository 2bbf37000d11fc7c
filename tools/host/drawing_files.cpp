#include "drawing_files.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "oddbblockreference.h"
#include "oddbsymboltable.h"
#include "standin_control.h"
#include "text_internal.h"
#include "windows.h"

namespace fs = std::filesystem;

namespace velkhost {

const wchar_t* const kDrawingsFolder = L"C:\\Drawings";

namespace {

std::wstring InDrawingsFolder(const std::string& nativeFile)
{
    return std::wstring(kDrawingsFolder) + L"\\" + standin::Utf8ToWide(fs::path(nativeFile).filename().string());
}

// What the last command printed.
std::string Printed(size_t from)
{
    const std::wstring& text = standin::CommandLineText();
    std::string s = standin::WideToUtf8(text.substr(std::min(from, text.size())));
    while (!s.empty() && (s.front() == '\n' || s.front() == '\r')) s.erase(0, 1);
    return s;
}

// The image files model space's images name relative to the drawing's
// folder, without repeats; names that climb out of the folder are left out.
std::vector<std::wstring> RelativeImages(OdDbDatabase* db)
{
    std::vector<std::wstring> names;
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return names;
    for (const OdDbObjectId& id : ms->entityIds()) {
        OdDbRasterImage* image = nullptr;
        if (oddbOpenObject(image, id, OdDb::kForRead) != eOk) continue;
        OdDbRasterImageDef* def = nullptr;
        if (oddbOpenObject(def, image->imageDefId(), OdDb::kForRead) == eOk) {
            std::wstring name = def->sourceFileName().c_str();
            const bool relative = !name.empty() && name[0] != L'\\' && name[0] != L'/' &&
                                  name.find(L':') == std::wstring::npos && name.find(L"..") == std::wstring::npos;
            if (relative && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
            def->close();
        }
        image->close();
    }
    ms->close();
    return names;
}

}  // namespace

bool OpenDrawing(const std::string& nativeFile, std::wstring& opened, std::string& error)
{
    std::error_code ec;
    opened = InDrawingsFolder(nativeFile);
    CreateDirectoryW(kDrawingsFolder, nullptr);
    if (!fs::copy_file(nativeFile, standin::NativePath(opened), fs::copy_options::overwrite_existing, ec)) {
        error = "cannot copy " + nativeFile + ": " + ec.message();
        return false;
    }
    size_t before = standin::CommandLineText().size();
    GcApDocument* current = gcDocManagerPtr()->curDocument();
    standin::QueueText(opened);
    standin::InvokeCommand(L"OPEN");
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc || doc == current || doc->fileName().compare(opened.c_str()) != 0) {
        error = Printed(before);
        return false;
    }
    return true;
}

bool SaveDrawing(const std::string& nativeOut, std::wstring& saved, std::vector<std::string>& images,
                 std::string& error)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) {
        error = "no drawing is open";
        return false;
    }
    saved = InDrawingsFolder(nativeOut);
    CreateDirectoryW(kDrawingsFolder, nullptr);
    size_t before = standin::CommandLineText().size();
    standin::QueueText(saved);
    standin::InvokeCommand(L"SAVEAS");
    if (doc->fileName().compare(saved.c_str()) != 0) {
        error = Printed(before);
        return false;
    }
    std::error_code ec;
    fs::create_directories(fs::absolute(nativeOut).parent_path(), ec);
    if (!fs::copy_file(standin::NativePath(saved), nativeOut, fs::copy_options::overwrite_existing, ec)) {
        error = "cannot copy the saved drawing to " + nativeOut + ": " + ec.message();
        return false;
    }
    // The images it names beside it go along, so that it opens with them.
    const std::wstring folder(kDrawingsFolder);
    for (const std::wstring& name : RelativeImages(doc->database())) {
        std::string native = standin::WideToUtf8(name);
        std::replace(native.begin(), native.end(), '\\', '/');
        const fs::path to = fs::absolute(nativeOut).parent_path() / native;
        fs::create_directories(to.parent_path(), ec);
        if (!fs::copy_file(standin::NativePath(folder + L"\\" + name), to, fs::copy_options::overwrite_existing, ec)) {
            error = "cannot copy the image " + native + " beside the drawing: " + ec.message();
            return false;
        }
        images.push_back(native);
    }
    return true;
}

bool PictureDrawing(const std::string& nativePng, RenderStats& stats, std::string& error)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) {
        error = "no drawing is open";
        return false;
    }
    // Drawn inside the machine, as every file the module's code writes, then
    // copied out.
    const std::wstring inside = std::wstring(kDrawingsFolder) + L"\\picture.png";
    CreateDirectoryW(kDrawingsFolder, nullptr);
    if (!RenderModelSpace(doc->database(), inside, 1600, stats, error, RenderWindow(), doc->fileName().c_str()))
        return false;
    std::error_code ec;
    fs::path target = fs::absolute(nativePng);
    fs::create_directories(target.parent_path(), ec);
    if (!fs::copy_file(standin::NativePath(inside), target, fs::copy_options::overwrite_existing, ec)) {
        error = "cannot copy the picture to " + target.string() + ": " + ec.message();
        return false;
    }
    return true;
}

bool OpenForTranscript(const std::string& nativeFile, std::ostream& out)
{
    std::wstring opened;
    std::string error;
    out << "\nCommand: OPEN " << nativeFile << "\n";
    if (!OpenDrawing(nativeFile, opened, error)) {
        out << "  the drawing was not opened: " << error << "\n";
        return false;
    }
    out << "  opened as " << standin::WideToUtf8(opened) << "\n";
    return true;
}

bool SaveForTranscript(const std::string& nativeOut, std::ostream& out)
{
    std::wstring saved;
    std::vector<std::string> images;
    std::string error;
    out << "\nCommand: SAVEAS\n";
    if (!SaveDrawing(nativeOut, saved, images, error)) {
        out << "  the drawing was not saved: " << error << "\n";
        return false;
    }
    out << "  saved as " << standin::WideToUtf8(saved) << "\n  copied to " << nativeOut;
    if (!images.empty()) {
        out << " with the images it names beside it:";
        for (const std::string& image : images) out << " " << image;
    }
    out << "\n";
    return true;
}

bool PictureForTranscript(const std::string& nativePng, std::ostream& out)
{
    RenderStats stats;
    std::string error;
    if (!PictureDrawing(nativePng, stats, error)) {
        out << "\nno picture of model space: " << error << "\n";
        return false;
    }
    out << "\npicture of model space: " << nativePng << " (" << stats.width << " x " << stats.height << " pixels, "
        << stats.entities << " entities";
    if (stats.images || stats.missingImages)
        out << ", " << stats.images << " images, " << stats.missingImages << " image files missing";
    out << ")\n";
    return true;
}

}  // namespace velkhost
