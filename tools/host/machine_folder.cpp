#include "machine_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace velkhost {

const char* const kMachineMarker = ".velkhost-machine";

namespace {

const char kMarkerText[] = "A machine folder of velkhost: it clears this folder's contents when it starts.\n";
// The line that ties the marker to its folder.
const char kFolderLine[] = "folder ";
// What a run made in a machine folder it keeps, written when it ends, so
// that the next run can name the files it clears that velkhost did not
// make: a line for each, "TYPE SIZE MTIME PATH" (TYPE d folder, f file,
// l link, o other; MTIME in nanoseconds; PATH relative, with "/").
const char kMadeList[] = ".velkhost-made";
const char kMadeHeader[] =
    "What velkhost made in this machine folder, as its run ended: it names any other file when it clears the folder.\n";

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

enum class Marker { kNone, kNotOurs, kThisFolder, kOtherFolder, kOlder };

Marker ReadMarker(const fs::path& folder)
{
    const fs::path marker = folder / kMachineMarker;
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(marker, ec);
    if (!fs::exists(status)) return Marker::kNone;
    if (!fs::is_regular_file(status) || fs::file_size(marker, ec) > 4096) return Marker::kNotOurs;
    std::ifstream in(marker, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    if (s.compare(0, sizeof kMarkerText - 1, kMarkerText) != 0) return Marker::kNotOurs;
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
        if (name == kMachineMarker || name == std::string(kMachineMarker) + ".new" || name == kMadeList ||
            name == std::string(kMadeList) + ".new")
            continue;
        if (drive && fs::is_directory(fs::symlink_status(entry.path(), e))) continue;
        return name;
    }
    return std::string();
}

// An entry of a machine folder as the list of what velkhost made keeps it.
struct Made {
    char type = 'o';
    unsigned long long size = 0;
    long long mtime = 0;
    bool operator==(const Made& o) const { return type == o.type && size == o.size && mtime == o.mtime; }
};

bool Facts(const fs::path& path, Made& made)
{
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return false;
    made.type = S_ISDIR(st.st_mode) ? 'd' : S_ISREG(st.st_mode) ? 'f' : S_ISLNK(st.st_mode) ? 'l' : 'o';
    // A folder changes as files come and go: only its being there counts.
    made.size = made.type == 'd' ? 0 : (unsigned long long)st.st_size;
    made.mtime = made.type == 'd' ? 0 : (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    return true;
}

// The marker, the list and their fresh copies lie beside the drives.
bool OwnBookkeeping(const fs::path& relative)
{
    const std::string name = relative.string();
    return name == kMachineMarker || name == std::string(kMachineMarker) + ".new" || name == kMadeList ||
           name == std::string(kMadeList) + ".new";
}

// A name a line of the list can hold; others (control characters) are left
// out, so they count as not made by velkhost, whose Windows paths cannot
// hold them.
bool Listable(const std::string& name)
{
    for (char c : name)
        if ((unsigned char)c < 0x20) return false;
    return !name.empty();
}

void WriteMadeList(const fs::path& folder)
{
    const fs::path list = folder / kMadeList, fresh = folder / (std::string(kMadeList) + ".new");
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out << kMadeHeader;
        std::error_code ec;
        for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const fs::path relative = it->path().lexically_relative(folder);
            const std::string name = relative.generic_string();
            Made made;
            const bool known = Facts(it->path(), made);
            if ((it.depth() == 0 && OwnBookkeeping(relative)) || !Listable(name) || !known) {
                if (made.type == 'd') it.disable_recursion_pending();
                continue;
            }
            out << made.type << ' ' << made.size << ' ' << made.mtime << ' ' << name << '\n';
        }
        if (ec || !out.good()) {
            out.close();
            fs::remove(fresh, ec);
            return;
        }
    }
    std::error_code ec;
    fs::rename(fresh, list, ec);
}

// False when the folder holds no list of what velkhost made (or one that is
// no list of velkhost's).
bool ReadMadeList(const fs::path& folder, std::map<std::string, Made>& made)
{
    const fs::path list = folder / kMadeList;
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(list, ec))) return false;
    std::ifstream in(list, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line + "\n" != kMadeHeader) return false;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Made m;
        std::string name;
        if (!(fields >> m.type >> m.size >> m.mtime) || fields.get() != ' ' || !std::getline(fields, name)) return false;
        made[name] = m;
    }
    return true;
}

// The files below a folder (links and other entries count as files).
size_t FilesBelow(const fs::path& folder)
{
    size_t n = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        n += !it->is_directory(ec) || it->is_symlink(ec);
    return n;
}

std::string InUse(const std::string& name)
{
    return "the machine folder " + name +
           " is in use by another velkhost run; give another folder, or wait for that run to end";
}

// The error folder locks fail with instead of flock's own; 0 for none.
int g_lockFailure = 0;

// Locks the folder for this run; false, with the reason naming it, when
// another run holds it or it cannot be opened. A file system that cannot
// lock a folder (NFS emulates flock with byte-range locks, which need a
// file open for writing) leaves it unlocked, with a warning: no file is
// made to lock instead, in a folder not yet known to be velkhost's.
bool LockFolder(const fs::path& folder, const std::string& name, int& fd, std::string& warning, std::string& error,
                bool* inUse = nullptr)
{
    fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error = "the machine folder " + name + " cannot be opened: " + strerror(errno);
        return false;
    }
    if (g_lockFailure == 0 && flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    const int e = g_lockFailure ? g_lockFailure : errno;
    if (e == EBADF || e == ENOLCK || e == EOPNOTSUPP || e == EINVAL) {
        warning = "the machine folder " + name + " cannot be locked on its file system (" + strerror(e) +
                  "): another velkhost run on it at the same time would not be noticed";
        return true;
    }
    close(fd);
    fd = -1;
    if (inUse) *inUse = e == EWOULDBLOCK;
    error = e == EWOULDBLOCK ? InUse(name) : "the machine folder " + name + " cannot be locked: " + strerror(e);
    return false;
}

// The path as the file system resolves it, for comparisons; what does not
// exist yet is taken as written. Followed a name at a time, as the kernel
// does, so a ".." after a link leaves the folder the link leads to. A link
// to a file not there yet counts as that file, which writing through the
// link would make.
fs::path Resolved(const std::string& native)
{
    std::error_code ec;
    const fs::path whole = fs::absolute(native, ec);
    // The names still to walk, the next one last.
    std::vector<std::string> ahead;
    const auto push = [&ahead](const fs::path& p) {
        std::vector<std::string> names;
        for (const fs::path& part : p.relative_path()) names.push_back(part.string());
        ahead.insert(ahead.end(), names.rbegin(), names.rend());
    };
    push(whole);
    fs::path done = "/";
    bool there = true;
    int links = 0;
    while (!ahead.empty()) {
        const std::string name = ahead.back();
        ahead.pop_back();
        if (name.empty() || name == ".") continue;
        if (name == "..") {
            done = done.parent_path();
            continue;
        }
        const fs::path next = done / name;
        struct stat st;
        if (there && lstat(next.c_str(), &st) != 0) there = false;
        if (there && S_ISLNK(st.st_mode) && links < 40) {
            ++links;
            const fs::path to = fs::read_symlink(next, ec);
            if (!ec) {
                if (to.is_absolute()) done = "/";
                push(to);
                continue;
            }
        }
        done = next;
    }
    return done;
}

// The temporary machine, for a run stopped by a signal (Ctrl-C, kill): the
// handler removes it with calls that are safe in a signal handler only.
char g_temporary[PATH_MAX];
// The output being written beside the file it replaces: removed likewise.
char g_output[PATH_MAX];

// The signals whose handler reads the two names: held off while they change.
class HoldSignals {
public:
    HoldSignals()
    {
        sigset_t all;
        sigemptyset(&all);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&all, signal);
        sigprocmask(SIG_BLOCK, &all, &was_);
    }
    ~HoldSignals() { sigprocmask(SIG_SETMASK, &was_, nullptr); }

private:
    sigset_t was_;
};

struct DirEntry64 {
    uint64_t ino;
    int64_t off;
    unsigned short reclen;
    unsigned char type;
    char name[1];
};

// Removes what the folder holds; links are removed, never followed.
void RemoveBelow(int folder, int depth)
{
    char buf[4096];
    // Entries removed while the folder is read may hide others: read it
    // again until it is empty.
    for (int pass = 0; pass < 64; ++pass) {
        bool any = false;
        lseek(folder, 0, SEEK_SET);
        long n;
        while ((n = syscall(SYS_getdents64, folder, buf, sizeof buf)) > 0) {
            for (long at = 0; at < n;) {
                const DirEntry64* e = reinterpret_cast<const DirEntry64*>(buf + at);
                at += e->reclen;
                if (strcmp(e->name, ".") == 0 || strcmp(e->name, "..") == 0) continue;
                any = true;
                if (unlinkat(folder, e->name, 0) == 0 || depth > 64) continue;
                const int sub = openat(folder, e->name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (sub < 0) continue;
                RemoveBelow(sub, depth + 1);
                close(sub);
                unlinkat(folder, e->name, AT_REMOVEDIR);
            }
        }
        if (!any) return;
    }
}

extern "C" void RemoveTemporaryAndStop(int signal)
{
    if (g_output[0]) unlink(g_output);
    if (g_temporary[0]) {
        const int root = open(g_temporary, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (root >= 0) {
            RemoveBelow(root, 0);
            close(root);
            rmdir(g_temporary);
        }
    }
    std::signal(signal, SIG_DFL);
    raise(signal);
}

// The signal that asked the run to stop (SIGINT, SIGTERM).
volatile sig_atomic_t g_interrupt = 0;
// Standard error is a terminal: the handler says at once that the run
// stops. Elsewhere (a file, a pipe the transcript shares) the note would
// cut a line of the transcript, which says it when the run stops.
bool g_noteOnTerminal = false;
// The caller had velkhost ignore SIGPIPE.
bool g_pipeIgnored = false;

// Who sent the signal that asked the run to stop (a process, by kill), and
// when: timeout sends its signal twice, to the run and to its group.
volatile sig_atomic_t g_sender = 0;
timespec g_askedAt;

extern "C" void AskToStop(int signal, siginfo_t* info, void*)
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const bool sent = info && info->si_code == SI_USER && info->si_pid > 0;
    // A file-size limit comes again with each write past it: once is
    // enough to stop the run, and it never stops it at once.
    if (signal == SIGXFSZ && g_interrupt) return;
    if (g_interrupt) {
        // The same signal again from the same process within a second is
        // that one signal; another (a second Ctrl-C) stops the run at once.
        const long long ms = (now.tv_sec - g_askedAt.tv_sec) * 1000LL + (now.tv_nsec - g_askedAt.tv_nsec) / 1000000;
        if (sent && signal == g_interrupt && info->si_pid == g_sender && ms < 1000) return;
        RemoveTemporaryAndStop(signal);
        return;
    }
    g_interrupt = signal;
    g_sender = sent ? info->si_pid : 0;
    g_askedAt = now;
    if (!g_noteOnTerminal) return;
    static const char kNote[] =
        "\nvelkhost: interrupted: the run stops after the line it is on (interrupt again to stop at once)\n";
    const ssize_t written = write(STDERR_FILENO, kNote, sizeof kNote - 1);
    (void)written;
}

// A signal the caller has velkhost ignore (nohup, a job a script starts in
// the background) stays ignored.
void CatchUnlessIgnored(int signal, const struct sigaction& action)
{
    struct sigaction was;
    if (sigaction(signal, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) return;
    sigaction(signal, &action, nullptr);
}

// A signal that stops the run at once removes the temporary folder.
void RemoveOnSignals(const std::string& root)
{
    if (root.size() >= sizeof g_temporary) return;
    HoldSignals held;
    memcpy(g_temporary, root.c_str(), root.size() + 1);
}

// The folder's entries; false (errno set) when it cannot be read. `fd`
// stays open.
bool EntriesOf(int fd, std::vector<std::string>& names)
{
    const int own = dup(fd);
    DIR* dir = own < 0 ? nullptr : fdopendir(own);
    if (!dir) {
        if (own >= 0) close(own);
        return false;
    }
    rewinddir(dir);
    errno = 0;
    while (const dirent* e = readdir(dir)) {
        if (strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
        errno = 0;
    }
    const int e = errno;
    closedir(dir);
    errno = e;
    return e == 0;
}

std::string Shown(const std::string& relative) { return relative.empty() ? std::string("the folder") : relative; }

const int kDeepest = 256;

// An immutable or append-only entry, which not even its owner may remove.
bool Fixed(const struct statx& st)
{
    const uint64_t fixed = STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND;
    return (st.stx_attributes_mask & fixed) && (st.stx_attributes & fixed);
}

// Whether everything below the folder can be removed (the marker at the top
// stays): each folder in it that holds anything can be read, searched and
// written. False, with what cannot be cleared and why.
bool Clearable(int fd, const std::string& relative, int depth, std::string& why)
{
    std::vector<std::string> names;
    if (!EntriesOf(fd, names)) {
        why = Shown(relative) + " cannot be read (" + strerror(errno) + ")";
        return false;
    }
    if (depth == 0) names.erase(std::remove(names.begin(), names.end(), kMachineMarker), names.end());
    if (names.empty()) return true;
    if (depth > kDeepest) {
        why = Shown(relative) + " lies too deep to be cleared";
        return false;
    }
    struct statx self = {};
    if (faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        why = Shown(relative) + " cannot be cleared (" + strerror(errno) + ")";
        return false;
    }
    if (statx(fd, "", AT_EMPTY_PATH, STATX_MODE | STATX_UID, &self) == 0 && Fixed(self)) {
        why = Shown(relative) + " cannot be cleared (" + strerror(EPERM) + ")";
        return false;
    }
    const uid_t user = geteuid();
    for (const std::string& n : names) {
        const std::string inside = relative.empty() ? n : relative + "/" + n;
        struct statx st;
        if (statx(fd, n.c_str(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MODE | STATX_UID, &st) != 0) continue;
        // In a sticky folder only its owner and the entry's may remove it;
        // an immutable or append-only entry no one may.
        const bool theirs = user != 0 && (self.stx_mode & S_ISVTX) && self.stx_uid != user && st.stx_uid != user;
        if (theirs || Fixed(st)) {
            why = inside + " cannot be removed (" + strerror(EPERM) + ")";
            return false;
        }
        if (!S_ISDIR(st.stx_mode)) continue;
        const int sub = openat(fd, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub < 0) {
            why = inside + " cannot be read (" + strerror(errno) + ")";
            return false;
        }
        const bool ok = Clearable(sub, inside, depth + 1, why);
        close(sub);
        if (!ok) return false;
    }
    return true;
}

// Removes everything below the folder (the marker at the top stays); false,
// with what could not be removed and why.
bool ClearThrough(int fd, const std::string& relative, int depth, std::string& why)
{
    std::vector<std::string> names;
    if (!EntriesOf(fd, names)) {
        why = Shown(relative) + ": " + strerror(errno);
        return false;
    }
    for (const std::string& n : names) {
        if (depth == 0 && n == kMachineMarker) continue;
        const std::string inside = relative.empty() ? n : relative + "/" + n;
        if (unlinkat(fd, n.c_str(), 0) == 0) continue;
        // A folder is refused as EISDIR, or EPERM as POSIX has it; a file
        // refused EPERM is one that may not be removed.
        const int e = errno;
        struct stat st;
        if ((e != EISDIR && e != EPERM) || fstatat(fd, n.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISDIR(st.st_mode)) {
            why = inside + ": " + strerror(e);
            return false;
        }
        const int sub = depth <= kDeepest ? openat(fd, n.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (sub < 0) {
            why = inside + ": " + strerror(depth <= kDeepest ? errno : ELOOP);
            return false;
        }
        const bool ok = ClearThrough(sub, inside, depth + 1, why);
        close(sub);
        if (!ok) return false;
        if (unlinkat(fd, n.c_str(), AT_REMOVEDIR) != 0) {
            why = inside + ": " + strerror(errno);
            return false;
        }
    }
    return true;
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
        // Locked as a given folder is: a run naming it must not clear it.
        bool inUse = false;
        if (!LockFolder(buf.data(), buf.data(), lock_, lockWarning_, error, &inUse)) {
            // Held, it is another run's the moment it was made.
            if (!inUse) rmdir(buf.data());
            return false;
        }
        root_ = buf.data();
        temporary_ = true;
        WriteMarker(root_);
        RemoveOnSignals(root_);
        return true;
    }
    fs::path folder = fs::absolute(given, ec).lexically_normal();
    // "DIR/" names DIR: a trailing separator must not make a link count as
    // the folder it leads to.
    while (!folder.has_filename() && folder.has_relative_path()) folder = folder.parent_path();
    const std::string name = folder.string();
    fs::file_status status = fs::symlink_status(folder, ec);
    if (fs::is_symlink(status)) {
        error = "the machine folder " + name + " is refused: it is a symbolic link";
        return false;
    }
    // The lock is let go on every refusal below; a run that is killed lets
    // it go with its process.
    struct Unlock {
        int& fd;
        bool keep = false;
        ~Unlock()
        {
            if (!keep && fd >= 0) close(fd), fd = -1;
        }
    } unlock{lock_};
    bool created = false;
    if (!fs::exists(status)) {
        created = fs::create_directories(folder, ec);
        if (ec) {
            error = "the machine folder " + name + " cannot be made: " + ec.message();
            return false;
        }
    }
    if (created) {
        if (!LockFolder(folder, name, lock_, lockWarning_, error)) return false;
        if (!WriteMarker(folder)) {
            error = "the machine folder " + name + " cannot be made: no marker written";
            return false;
        }
        root_ = name;
        unlock.keep = true;
        return true;
    }
    // Another run may have made it since it was looked at: it is then taken
    // as a folder that was there, locked first, so that run holds it.
    if (!fs::exists(status)) status = fs::symlink_status(folder, ec);
    if (fs::is_symlink(status)) {
        error = "the machine folder " + name + " is refused: it is a symbolic link";
        return false;
    }
    if (!fs::is_directory(status)) {
        error = "the machine folder " + name + " is refused: it is not a folder";
        return false;
    }
    // Before anything is read to be cleared: a run that holds it is using it.
    if (!LockFolder(folder, name, lock_, lockWarning_, error)) return false;
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
        const bool ours = marker != Marker::kNone && marker != Marker::kNotOurs;
        const std::string foreign = ours ? ForeignEntry(folder, ec) : std::string();
        std::string why;
        if (marker == Marker::kNone)
            why = std::string("it is not empty and velkhost did not make it (it has no ") + kMachineMarker + ")";
        else if (marker == Marker::kNotOurs)
            why = std::string("it is not empty and velkhost did not make it (its ") + kMachineMarker +
                  " is not one velkhost wrote)";
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
    // What is cleared that the run before did not make is named.
    std::map<std::string, Made> made;
    untold_ = !ReadMadeList(folder, made);
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(folder);
        if (it.depth() == 0 && OwnBookkeeping(relative)) continue;
        Made now;
        if (!Facts(it->path(), now)) continue;
        if (now.type != 'd') ++clearedCount_;
        if (untold_) continue;
        const auto was = made.find(relative.generic_string());
        if (was != made.end() && was->second == now) continue;
        if (now.type == 'd') {
            const size_t files = FilesBelow(it->path());
            it.disable_recursion_pending();
            clearedCount_ += files;
            foreign_.push_back(relative.generic_string() + "/ (a folder" +
                               (files ? ", with " + std::to_string(files) + (files == 1 ? " file" : " files") : "") +
                               ")");
        } else {
            foreign_.push_back(relative.generic_string() +
                               (was != made.end() ? " (changed since velkhost made it)" : std::string()));
        }
    }
    // velkhost's own from an earlier run: a fresh machine in it, cleared
    // through the handle that holds the lock, so that what is cleared is
    // the folder locked, whatever its name leads to by then. Links in it are
    // removed, not followed. What cannot be cleared is found before
    // anything is.
    struct stat locked, named;
    if (fstat(lock_, &locked) != 0 || lstat(folder.c_str(), &named) != 0 || locked.st_dev != named.st_dev ||
        locked.st_ino != named.st_ino) {
        error = "the machine folder " + name + " is refused: it was replaced while velkhost looked at it";
        return false;
    }
    std::string blocked;
    if (!Clearable(lock_, std::string(), 0, blocked)) {
        error = "the machine folder " + name + " is refused: " + blocked + "; nothing in it was cleared";
        return false;
    }
    if (!ClearThrough(lock_, std::string(), 0, blocked)) {
        error = "the machine folder " + name + " cannot be cleared: " + blocked;
        return false;
    }
    if (!WriteMarker(folder)) {
        error = "the machine folder " + name + " cannot be written";
        return false;
    }
    root_ = name;
    unlock.keep = true;
    return true;
}

void MachineFolder::Release()
{
    if (temporary_ && !root_.empty()) {
        // A signal that stops the process at once waits until the folder is
        // gone: its handler no longer knows it.
        HoldSignals held;
        g_temporary[0] = 0;
        // Through the handle, as a kept folder is cleared; only the empty
        // folder goes by its name.
        std::string why;
        if (lock_ >= 0 && ClearThrough(lock_, std::string(), 0, why) && unlinkat(lock_, kMachineMarker, 0) == 0) {
            rmdir(root_.c_str());
        } else {
            std::error_code ec;
            fs::remove_all(root_, ec);
        }
    } else if (lock_ >= 0 && !root_.empty()) {
        WriteMadeList(root_);
    }
    if (lock_ >= 0) {
        close(lock_);
        lock_ = -1;
    }
    temporary_ = false;
}

void CatchInterrupts()
{
    g_noteOnTerminal = isatty(STDERR_FILENO) == 1;
    // A hang-up or SIGQUIT stops the run at once, as they would, removing
    // the temporary folder and an output half written.
    struct sigaction now;
    memset(&now, 0, sizeof now);
    now.sa_handler = RemoveTemporaryAndStop;
    sigemptyset(&now.sa_mask);
    for (int signal : {SIGHUP, SIGQUIT}) CatchUnlessIgnored(signal, now);
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_sigaction = AskToStop;
    // Reads and writes go on: the run stops between steps.
    action.sa_flags = SA_RESTART | SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGXFSZ);
    // A file-size limit (ulimit -f) stops the run as SIGTERM does, the write
    // past it failing with EFBIG, which the step that wrote names; by
    // default it would end the process where it stands and leave the
    // temporary folder.
    for (int signal : {SIGINT, SIGTERM, SIGXFSZ}) CatchUnlessIgnored(signal, action);
    // A closed output pipe fails the write instead of killing the process
    // where it stands: the run stops as if interrupted, and removes what it
    // made.
    struct sigaction was;
    g_pipeIgnored = sigaction(SIGPIPE, nullptr, &was) == 0 && was.sa_handler == SIG_IGN;
    signal(SIGPIPE, SIG_IGN);
}

int InterruptSignal() { return g_interrupt; }

void AskRunToStop(int signal)
{
    HoldSignals held;
    if (!g_interrupt) g_interrupt = signal;
}

bool BrokenPipeIgnored() { return g_pipeIgnored; }

namespace {

// Waits in ppoll with Ctrl-C and SIGTERM let through only while it waits:
// one that comes just before is held until then, so it is never missed.
bool WaitStoppable(pollfd* file, int ms)
{
    sigset_t stops, was;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    sigprocmask(SIG_BLOCK, &stops, &was);
    sigset_t during = was;
    sigdelset(&during, SIGINT);
    sigdelset(&during, SIGTERM);
    timespec limit = {ms / 1000, (long)(ms % 1000) * 1000000L};
    bool ready = false;
    while (!g_interrupt) {
        const int n = ppoll(file, file ? 1 : 0, ms < 0 ? nullptr : &limit, &during);
        // An error other than a signal is the caller's to find out.
        if (n > 0 || (n < 0 && errno != EINTR) || (n == 0 && ms >= 0)) {
            ready = true;
            break;
        }
    }
    sigprocmask(SIG_SETMASK, &was, nullptr);
    if (!ready) errno = EINTR;
    return ready;
}

}  // namespace

bool WaitForFile(int fd, short events)
{
    pollfd file = {fd, events, 0};
    return WaitStoppable(&file, -1);
}

bool WaitUnlessStopped(int ms) { return WaitStoppable(nullptr, ms); }

void FailFolderLocksWith(int error) { g_lockFailure = error; }

int MakeOutputTemporary(const std::string& folder, const std::string& name, std::string& path)
{
    // ".NAME.velkhost-XXXXXX", the name cut to keep within a file name's
    // 255 bytes.
    const std::string suffix = ".velkhost-XXXXXX";
    const std::string base = "." + name.substr(0, std::min(name.size(), (size_t)255 - 1 - suffix.size()));
    std::string pattern = (fs::path(folder) / (base + suffix)).string();
    if (pattern.size() >= sizeof g_output) {
        errno = ENAMETOOLONG;
        return -1;
    }
    HoldSignals held;
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    memcpy(g_output, pattern.c_str(), pattern.size() + 1);
    path = pattern;
    return fd;
}

bool PutOutputInPlace(const std::string& temporary, const std::string& to)
{
    HoldSignals held;
    const bool ok = rename(temporary.c_str(), to.c_str()) == 0;
    const int e = errno;
    if (!ok) unlink(temporary.c_str());
    g_output[0] = 0;
    errno = e;
    return ok;
}

void RemoveOutputTemporary(const std::string& temporary)
{
    HoldSignals held;
    unlink(temporary.c_str());
    g_output[0] = 0;
}

bool CopyFileInto(const std::string& from, const std::string& to, bool& reading, std::string& why)
{
    reading = true;
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (in < 0 || fstat(in, &st) != 0) {
        why = strerror(errno);
        if (in >= 0) close(in);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        why = strerror(EISDIR);
        close(in);
        return false;
    }
    reading = false;
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        why = strerror(errno);
        close(in);
        return false;
    }
    char buf[65536];
    int failed = 0;
    while (!failed) {
        const ssize_t n = read(in, buf, sizeof buf);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            failed = errno, reading = true;
            break;
        }
        for (ssize_t at = 0; at < n && !failed;) {
            const ssize_t w = write(out, buf + at, (size_t)(n - at));
            if (w > 0) at += w;
            else if (w == 0 || errno != EINTR) failed = w == 0 ? EIO : errno;
        }
    }
    if (close(out) != 0 && !failed) failed = errno;
    close(in);
    if (!failed) return true;
    unlink(to.c_str());
    why = strerror(failed);
    return false;
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
