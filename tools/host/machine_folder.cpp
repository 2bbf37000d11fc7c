#include "machine_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace velkhost {

const char* const kMachineMarker = ".velkhost-machine";

namespace {

const char kMarkerText[] = "A machine folder of velkhost: it clears this folder's contents when it starts.\n";

bool WriteMarker(const fs::path& folder)
{
    std::ofstream out(folder / kMachineMarker, std::ios::binary | std::ios::trunc);
    out << kMarkerText;
    return out.good();
}

bool HasMarker(const fs::path& folder)
{
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(folder / kMachineMarker, ec));
}

// The path as the file system resolves it, for comparisons; what does not
// exist yet is taken as written.
fs::path Resolved(const std::string& native)
{
    std::error_code ec;
    fs::path p = fs::weakly_canonical(fs::absolute(native, ec), ec);
    return ec ? fs::absolute(native).lexically_normal() : p;
}

}  // namespace

bool MachineFolder::Prepare(const std::string& given, std::string& error)
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
    const fs::path folder = fs::absolute(given, ec).lexically_normal();
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
    if (!empty && !HasMarker(folder)) {
        error = "the machine folder " + name + " is refused: it is not empty and velkhost did not make it (it has no " +
                kMachineMarker + "); give a new or an empty folder";
        return false;
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
    // Beside it: in its folder or a folder below (where the images it
    // names relative to itself are).
    const std::string within = target.parent_path().string() + "/";
    const bool beside = within.compare(0, folder_.size() + 1, folder_ + "/") == 0 || folder_ == "/";
    if (beside && fs::exists(fs::symlink_status(target, ec))) {
        error = nativeFile + " is a file beside the input drawing; give --overwrite to replace it";
        return false;
    }
    return true;
}

}  // namespace velkhost
