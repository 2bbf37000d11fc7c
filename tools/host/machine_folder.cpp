#include "machine_folder.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace velkhost {

const char* const kMachineMarker = ".velkhost-machine";

namespace {

const char kMarkerText[] = "A machine folder of velkhost: it clears this folder's contents when it starts.\n";
// The line that ties the marker to its folder.
const char kFolderLine[] = "folder ";

// The folder itself, as the file system knows it: a marker copied into
// another folder names a different one. Empty when it cannot be read.
std::string Identity(const fs::path& folder)
{
    struct stat st;
    if (stat(folder.c_str(), &st) != 0) return std::string();
    return std::to_string((unsigned long long)st.st_dev) + ":" + std::to_string((unsigned long long)st.st_ino);
}

// Written beside and put in place, so that a marker that is a link to
// another file is replaced, not written through.
bool WriteMarker(const fs::path& folder)
{
    const std::string identity = Identity(folder);
    if (identity.empty()) return false;
    const fs::path marker = folder / kMachineMarker, fresh = folder / (std::string(kMachineMarker) + ".new");
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out << kMarkerText << kFolderLine << identity << "\n";
        if (!out.good()) return false;
    }
    std::error_code ec;
    fs::rename(fresh, marker, ec);
    return !ec;
}

enum class Marker { kNone, kThisFolder, kOtherFolder, kOlder };

Marker ReadMarker(const fs::path& folder)
{
    const fs::path marker = folder / kMachineMarker;
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(marker, ec)) || fs::file_size(marker, ec) > 4096) return Marker::kNone;
    std::ifstream in(marker, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    if (s.compare(0, sizeof kMarkerText - 1, kMarkerText) != 0) return Marker::kNone;
    // A marker of the first velkhost, which did not name its folder.
    if (s.size() == sizeof kMarkerText - 1) return Marker::kOlder;
    const std::string line = kFolderLine + Identity(folder) + "\n";
    return s.compare(sizeof kMarkerText - 1, std::string::npos, line) == 0 ? Marker::kThisFolder : Marker::kOtherFolder;
}

// What velkhost makes in a machine folder: the marker and the drives
// ("C", "UNC" for shares). Empty when the folder holds nothing else, else
// the first other name.
std::string ForeignEntry(const fs::path& folder, std::error_code& ec)
{
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const bool drive = (name.size() == 1 && name[0] >= 'A' && name[0] <= 'Z') || name == "UNC";
        std::error_code e;
        if (name == kMachineMarker || name == std::string(kMachineMarker) + ".new") continue;
        if (drive && fs::is_directory(fs::symlink_status(entry.path(), e))) continue;
        return name;
    }
    return std::string();
}

// The path as the file system resolves it, for comparisons; what does not
// exist yet is taken as written.
fs::path Resolved(const std::string& native)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(native, ec), ec);
    return ec ? fs::absolute(native).lexically_normal() : p;
}

bool Below(const fs::path& path, const fs::path& folder)
{
    const std::string p = path.string(), f = folder.string();
    return p.size() > f.size() && p.compare(0, f.size(), f) == 0 && (p[f.size()] == '/' || f == "/");
}

}  // namespace

bool MachineFolder::Prepare(const std::string& given, const std::vector<NamedFile>& files, std::string& error)
{
    std::error_code ec;
    if (given.empty()) {
        fs::path base = fs::temp_directory_path(ec);
        if (ec) base = "/tmp";
        std::string pattern = (base / "velkhost-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back(0);
        if (!mkdtemp(buf.data())) {
            error = "cannot make a machine folder under " + base.string();
            return false;
        }
        root_ = buf.data();
        temporary_ = true;
        WriteMarker(root_);
        return true;
    }
    fs::path folder = fs::absolute(given, ec).lexically_normal();
    // "DIR/" names DIR: a trailing separator must not make a link count as
    // the folder it leads to.
    while (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
    const std::string name = folder.string();
    const fs::file_status status = fs::symlink_status(folder, ec);
    if (fs::is_symlink(status)) {
        error = "the machine folder " + name + " is refused: it is a symbolic link";
        return false;
    }
    if (!fs::exists(status)) {
        if (!fs::create_directories(folder, ec) || !WriteMarker(folder)) {
            error = "the machine folder " + name + " cannot be made: " + (ec ? ec.message() : "no marker written");
            return false;
        }
        root_ = name;
        return true;
    }
    if (!fs::is_directory(status)) {
        error = "the machine folder " + name + " is refused: it is not a folder";
        return false;
    }
    const bool empty = fs::is_empty(folder, ec);
    if (ec) {
        error = "the machine folder " + name + " cannot be read: " + ec.message();
        return false;
    }
    const fs::path real = Resolved(name);
    for (const auto& [what, file] : files) {
        if (!file.empty() && Below(Resolved(file), real)) {
            error = "the machine folder " + name + " is refused: it holds " + what + " " + file +
                    ", and velkhost clears that folder; give another one";
            return false;
        }
    }
    if (!empty) {
        const Marker marker = ReadMarker(folder);
        const std::string foreign = marker == Marker::kNone ? std::string() : ForeignEntry(folder, ec);
        std::string why;
        if (marker == Marker::kNone)
            why = std::string("it is not empty and velkhost did not make it (it has no ") + kMachineMarker + ")";
        else if (marker == Marker::kOtherFolder)
            why = std::string("its ") + kMachineMarker + " was written for another folder, so velkhost did not make it";
        else if (marker == Marker::kOlder)
            why = std::string("its ") + kMachineMarker +
                  " comes from an earlier velkhost, which did not tie it to its folder (remove the folder)";
        else if (ec)
            why = "it cannot be read: " + ec.message();
        else if (!foreign.empty())
            why = "it holds " + foreign + ", which velkhost does not make there";
        if (!why.empty()) {
            error = "the machine folder " + name + " is refused: " + why + "; give a new or an empty folder";
            return false;
        }
    }
    // velkhost's own from an earlier run: a fresh machine in it. Links in
    // it are removed, not followed.
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().filename() == kMachineMarker) continue;
        fs::remove_all(entry.path(), ec);
        if (ec) {
            error = "the machine folder " + name + " cannot be cleared: " + ec.message();
            return false;
        }
    }
    if (!WriteMarker(folder)) {
        error = "the machine folder " + name + " cannot be written";
        return false;
    }
    root_ = name;
    return true;
}

void MachineFolder::Release()
{
    if (temporary_ && !root_.empty()) {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    temporary_ = false;
}

OutputGuard::OutputGuard(const std::string& input, bool overwrite) : overwrite_(overwrite)
{
    if (input.empty()) return;
    const fs::path p = Resolved(input);
    input_ = p.string();
    folder_ = p.parent_path().string();
}

void OutputGuard::Protect(const std::string& nativeFile) { protected_.push_back(Resolved(nativeFile).string()); }

bool OutputGuard::IsInput(const std::string& nativeFile) const
{
    if (input_.empty()) return false;
    std::error_code ec;
    if (fs::exists(nativeFile, ec) && fs::equivalent(nativeFile, input_, ec)) return true;
    return Resolved(nativeFile).string() == input_;
}

bool OutputGuard::MayWrite(const std::string& nativeFile, std::string& error) const
{
    if (input_.empty() || overwrite_) return true;
    if (IsInput(nativeFile)) {
        error = nativeFile + " is the input drawing; give --overwrite to replace it";
        return false;
    }
    const fs::path target = Resolved(nativeFile);
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(target, ec))) return true;
    if (target.parent_path().string() == folder_) {
        error = nativeFile + " is a file beside the input drawing; give --overwrite to replace it";
        return false;
    }
    for (const std::string& image : protected_) {
        if (target.string() == image || fs::equivalent(target, image, ec)) {
            error = nativeFile + " is an image the input drawing names; give --overwrite to replace it";
            return false;
        }
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    return Resolved(a) == Resolved(b) || fs::equivalent(a, b, ec);
}

}  // namespace velkhost
