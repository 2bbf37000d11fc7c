#include "drawing_files.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "editor_control.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "machine_folder.h"
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
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    for (char& c : s)
        if (c == '\n' || c == '\r') c = ' ';
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
        // Only images are opened: a drawing of a million lines asks each
        // its class, which costs far less than an open.
        const OdDbObject* object = id.stub() ? id.stub()->object : nullptr;
        if (!object || object->isErased() || !OdRxCast<OdDbRasterImage>(object)) continue;
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

std::string NativeRelative(const std::wstring& name)
{
    std::string native = standin::WideToUtf8(name);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

bool SameContent(const fs::path& a, const fs::path& b)
{
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    if (!x || !y) return false;
    return std::equal(std::istreambuf_iterator<char>(x), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(y), std::istreambuf_iterator<char>());
}

// Copies a file out of the machine through the guard.
bool CopyOut(const fs::path& from, const std::string& to, const OutputGuard& guard, std::string& error)
{
    std::error_code ec;
    if (!guard.MayWrite(to, error)) return false;
    fs::create_directories(fs::absolute(to).parent_path(), ec);
    return ReplaceFile(from, to, error);
}

}  // namespace

namespace {

// Copies what is left of `in` to `out`; false, with errno set, when a read
// or a write fails. An output that takes no more for now (a pipe no one
// reads) is waited for, until the run is asked to stop (errno EINTR).
bool CopyBytes(int in, int out)
{
    char buf[65536];
    while (true) {
        const ssize_t n = read(in, buf, sizeof buf);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        for (ssize_t at = 0; at < n;) {
            const ssize_t w = write(out, buf + at, (size_t)(n - at));
            if (w > 0) at += w;
            else if (w < 0 && errno == EAGAIN) {
                if (!WaitForFile(out, POLLOUT)) return false;
            } else if (w == 0 || errno != EINTR) {
                // The reader of a pipe went away: the run stops, as the
                // signal would have stopped it.
                if (w < 0 && errno == EPIPE) AskRunToStop(SIGPIPE);
                return false;
            }
        }
    }
}

// Opens the file that is there to be written over. A pipe no one reads
// yet is waited for, until the run is asked to stop: open would block
// where no signal can end it. The file is opened not to block. Anything
// else open refuses (a socket) fails at once.
int OpenToWriteThrough(const std::string& target)
{
    for (int ms = 1;; ms = std::min(ms * 2, 100)) {
        const int out = open(target.c_str(), O_WRONLY | O_TRUNC | O_NONBLOCK | O_CLOEXEC);
        if (out >= 0 || errno != ENXIO) return out;
        struct stat st;
        if (stat(target.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) {
            errno = ENXIO;
            return -1;
        }
        if (!WaitUnlessStopped(ms)) return -1;
    }
}

// Gives the new file the extended attributes (ACLs among them) the file it
// replaces has; false when one cannot be read or given.
bool CopyAttributes(const std::string& from, int to)
{
    ssize_t size = llistxattr(from.c_str(), nullptr, 0);
    if (size < 0) return errno == ENOTSUP;
    if (size == 0) return true;
    if (size > 1 << 20) return false;
    std::vector<char> names((size_t)size);
    size = llistxattr(from.c_str(), names.data(), names.size());
    if (size < 0) return false;
    for (ssize_t at = 0; at < size; at += (ssize_t)strlen(names.data() + at) + 1) {
        const char* name = names.data() + at;
        const ssize_t length = lgetxattr(from.c_str(), name, nullptr, 0);
        if (length < 0 || length > 1 << 20) return false;
        std::vector<char> value((size_t)length + 1), now((size_t)length + 1);
        const ssize_t got = lgetxattr(from.c_str(), name, value.data(), (size_t)length);
        if (got < 0) return false;
        // One the new file has already (a security label) is left as it is.
        const ssize_t has = fgetxattr(to, name, now.data(), (size_t)length);
        if (has == got && memcmp(now.data(), value.data(), (size_t)got) == 0) continue;
        if (fsetxattr(to, name, value.data(), (size_t)got, 0) != 0) return false;
    }
    return true;
}

// Writes `in` over the file that is there, as cp does: for a device or a
// pipe, for a file whose folder takes no new names, and for one whose
// links or owner a new file would not keep.
bool WriteThrough(int in, const std::string& target, bool sync)
{
    const int out = OpenToWriteThrough(target);
    if (out < 0) return false;
    bool ok = CopyBytes(in, out) && (!sync || fsync(out) == 0);
    const int e = errno;
    ok = close(out) == 0 && ok;
    if (!ok) errno = e ? e : EIO;
    return ok;
}

std::string WriteError(int e)
{
    return e == EINTR && InterruptSignal() ? std::string("the run was stopped while it waited to write it")
                                           : std::string(strerror(e));
}

}  // namespace

bool ReplaceFile(const fs::path& from, const std::string& to, std::string& error)
{
    auto failed = [&](const std::string& why) {
        error = "cannot write " + to + ": " + why;
        return false;
    };
    std::string target = fs::absolute(to).string();
    struct stat link, file;
    bool exists = false, regular = false;
    if (lstat(target.c_str(), &link) == 0) {
        exists = true;
        if (stat(target.c_str(), &file) != 0) {
            // A link to nothing: the file it names is made.
            std::error_code ec;
            if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec)) return failed(ec.message());
            return true;
        }
        regular = S_ISREG(file.st_mode);
        // A link is kept: the file it leads to is replaced.
        if (regular && S_ISLNK(link.st_mode)) {
            char* real = realpath(target.c_str(), nullptr);
            if (!real) return failed(strerror(errno));
            target = real;
            free(real);
        }
        // A file that may not be written is not replaced either.
        if (regular && access(target.c_str(), W_OK) != 0) return failed(strerror(errno));
    } else if (errno != ENOENT) {
        return failed(strerror(errno));
    }
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat source;
    if (in < 0 || fstat(in, &source) != 0) {
        const std::string why = strerror(errno);
        if (in >= 0) close(in);
        return failed(why);
    }
    auto inPlace = [&](bool sync) {
        const bool ok = WriteThrough(in, target, sync);
        const int e = errno;
        close(in);
        return ok || failed(WriteError(e));
    };
    // A device or a pipe is filled, not renamed over; a file with other
    // names (hard links) is written in place, as editors write it, so that
    // each of them shows the new content.
    if (exists && (!regular || file.st_nlink > 1)) return inPlace(regular);
    const fs::path place(target);
    std::string temporary;
    const int out = MakeOutputTemporary(place.parent_path().string(), place.filename().string(), temporary);
    if (out < 0) {
        // A folder that takes no new names may still let its file be
        // written, as it was before.
        if (exists && (errno == EACCES || errno == EPERM)) return inPlace(true);
        const std::string why = strerror(errno);
        close(in);
        return failed(why);
    }
    // The file replaced keeps its owner, group, extended attributes (ACLs)
    // and mode; one velkhost may not give them to (another user's, a group
    // the user is not in, an attribute it may not set) is written in place
    // instead, which keeps them. The new file's group may be the folder's
    // (a setgid folder), not the user's.
    struct stat made;
    if (exists && (fstat(out, &made) != 0 ||
                   ((made.st_uid != file.st_uid || made.st_gid != file.st_gid) &&
                    fchown(out, file.st_uid, file.st_gid) != 0) ||
                   !CopyAttributes(target, out))) {
        close(out);
        RemoveOutputTemporary(temporary);
        return inPlace(true);
    }
    // A new file has the mode the copy had in the machine: the source's.
    bool ok = fchmod(out, (exists ? file.st_mode : source.st_mode) & 07777) == 0 && CopyBytes(in, out);
    // On the disk before its name is: a crash after the rename must not
    // leave an empty file in place of the old one.
    ok = ok && fsync(out) == 0;
    const int e = errno;
    ok = close(out) == 0 && ok;
    close(in);
    if (!ok) {
        RemoveOutputTemporary(temporary);
        return failed(strerror(e ? e : EIO));
    }
    if (!PutOutputInPlace(temporary, target)) return failed(strerror(errno));
    const int folder = open(place.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

size_t ModelSpaceCount(OdDbDatabase* db)
{
    OdDbBlockTableRecord* ms = nullptr;
    if (!db || oddbOpenObject(ms, db->getModelSpaceId(), OdDb::kForRead) != eOk) return 0;
    size_t n = 0;
    for (const OdDbObjectId& id : ms->entityIds()) n += id.isErased() ? 0 : 1;
    ms->close();
    return n;
}

bool OpenDrawing(const std::string& nativeFile, std::wstring& opened, std::vector<std::string>& images,
                 std::vector<std::string>& missingImages, std::string& error)
{
    std::error_code ec;
    if (!fs::exists(nativeFile, ec)) {
        error = "the drawing " + nativeFile + " does not exist";
        return false;
    }
    if (!fs::is_regular_file(nativeFile, ec)) {
        error = "the drawing " + nativeFile + " is not a file";
        return false;
    }
    opened = InDrawingsFolder(nativeFile);
    CreateDirectoryW(kDrawingsFolder, nullptr);
    bool reading = false;
    std::string why;
    if (!CopyFileInto(nativeFile, standin::NativePath(opened), reading, why)) {
        error = reading ? "cannot read " + nativeFile + ": " + why
                        : "cannot copy the drawing into the machine: writing " + standin::NativePath(opened) +
                              " failed: " + why;
        return false;
    }
    size_t before = standin::CommandLineText().size();
    GcApDocument* current = gcDocManagerPtr()->curDocument();
    standin::QueueText(opened);
    standin::InvokeCommand(L"OPEN");
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc || doc == current || doc->fileName().compare(opened.c_str()) != 0) {
        // The host names its copy; the user knows the file they gave.
        error = Printed(before);
        const std::string copy = standin::WideToUtf8(opened);
        for (size_t at = error.find(copy); at != std::string::npos; at = error.find(copy, at + nativeFile.size()))
            error.replace(at, copy.size(), nativeFile);
        if (error.empty()) error = "the host did not open " + nativeFile;
        return false;
    }
    // The images it names beside it come along, as they would be found
    // beside the drawing.
    const fs::path beside = fs::absolute(nativeFile).parent_path();
    for (const std::wstring& name : RelativeImages(doc->database())) {
        const std::string native = NativeRelative(name);
        const fs::path to = standin::NativePath(std::wstring(kDrawingsFolder) + L"\\" + name);
        fs::create_directories(to.parent_path(), ec);
        if (!fs::is_regular_file(beside / native, ec)) {
            missingImages.push_back(native);
            continue;
        }
        // One that cannot be read counts as missing; a machine that takes
        // no copy (a full disk) stops the open.
        if (!CopyFileInto((beside / native).string(), to.string(), reading, why)) {
            if (reading) {
                missingImages.push_back(native);
                continue;
            }
            error = "cannot copy the image " + native + " the drawing names into the machine: writing " +
                    to.string() + " failed: " + why;
            return false;
        }
        images.push_back(native);
    }
    return true;
}

bool SaveDrawing(const std::string& nativeOut, const OutputGuard& guard, std::wstring& saved,
                 std::vector<std::string>& images, std::vector<std::string>& missingImages, std::string& error)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) {
        error = "no drawing is open";
        return false;
    }
    if (!guard.MayWrite(nativeOut, error)) return false;
    saved = InDrawingsFolder(nativeOut);
    CreateDirectoryW(kDrawingsFolder, nullptr);
    size_t before = standin::CommandLineText().size();
    standin::QueueText(saved);
    standin::InvokeCommand(L"SAVEAS");
    if (doc->fileName().compare(saved.c_str()) != 0 ||
        standin::LastCommandOutcome() != standin::CommandOutcome::kEnded) {
        error = Printed(before);
        if (error.empty()) error = "the host did not save the drawing";
        return false;
    }
    // The images it names beside it go along, so that it opens with them;
    // one already there with the same bytes is left as it is, and one that
    // would replace a different file the user did not name stops the save
    // before anything is written.
    const std::wstring folder(kDrawingsFolder);
    const fs::path outFolder = fs::absolute(nativeOut).parent_path();
    std::error_code ec;
    std::vector<std::pair<fs::path, fs::path>> copies;
    for (const std::wstring& name : RelativeImages(doc->database())) {
        const std::string native = NativeRelative(name);
        const fs::path from = standin::NativePath(folder + L"\\" + name);
        if (!fs::is_regular_file(from, ec)) {
            missingImages.push_back(native);
            continue;
        }
        images.push_back(native);
        const fs::path to = outFolder / native;
        if (fs::exists(fs::symlink_status(to, ec)) && SameContent(from, to)) continue;
        if (!guard.MayWrite(to.string(), error)) {
            error = "the image " + native + " the drawing names: " + error + "; nothing was written";
            return false;
        }
        if (fs::exists(fs::symlink_status(to, ec)) && !guard.Overwrites()) {
            error = "the image " + native + " the drawing names would replace a different file " + to.string() +
                    "; nothing was written (give --overwrite to replace it)";
            return false;
        }
        copies.emplace_back(from, to);
    }
    if (!CopyOut(standin::NativePath(saved), nativeOut, guard, error)) return false;
    for (const auto& [from, to] : copies) {
        if (!CopyOut(from, to.string(), guard, error)) {
            error = "the image " + to.string() + " the drawing names: " + error;
            return false;
        }
    }
    return true;
}

bool SaveDrawing(const std::string& nativeOut, std::wstring& saved, std::vector<std::string>& images,
                 std::string& error)
{
    std::vector<std::string> missing;
    return SaveDrawing(nativeOut, OutputGuard(std::string(), false), saved, images, missing, error);
}

bool PictureDrawing(const std::wstring& windowsPng, int size, const RenderWindow& window, RenderStats& stats,
                    std::string& error)
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) {
        error = "no drawing is open";
        return false;
    }
    // No folder is made for it: a name typed wrong is said, not made.
    return RenderModelSpace(doc->database(), windowsPng, size, stats, error, window, doc->fileName().c_str());
}

bool PictureDrawingTo(const std::string& nativePng, const OutputGuard& guard, int size, const RenderWindow& window,
                      RenderStats& stats, std::string& error)
{
    if (!guard.MayWrite(nativePng, error)) return false;
    const std::wstring inMachine = std::wstring(kDrawingsFolder) + L"\\velkhost-picture.png";
    if (!PictureDrawing(inMachine, size, window, stats, error)) return false;
    return CopyOut(standin::NativePath(inMachine), nativePng, guard, error);
}

}  // namespace velkhost
