// Where a Windows path lies on the stand-in machine. Every path is completed
// and cleaned as Windows does it (the current directory, "." and "..", both
// separators), so nothing a caller writes names a place outside the machine
// folder: ".." stops at a drive's root or a share, a path that begins with a
// separator starts at the current drive's root, and a symbolic link that
// leads out of the machine is refused.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "machine_control.h"
#include "paths_internal.h"
#include "standin_control.h"
#include "text_internal.h"

namespace standin {
namespace {

// A host started from its shortcut runs in its own folder.
const char kStartDirectory[] = "C:\\Program Files\\CadHost";

std::string& Current()
{
    static std::string dir = kStartDirectory;
    return dir;
}

// Drives that stand for native folders outside the machine root.
std::map<char, std::string> g_mapped;
unsigned g_mappedVersion = 0;

ResetHook g_reset([] {
    Current() = kStartDirectory;
    g_mapped.clear();
    ++g_mappedVersion;
});

// Links followed in one path before it counts as a loop, as Linux allows.
const int kMaxLinks = 40;

struct FullPath {
    std::string top;                 // "C:" or "\\server\share"
    std::vector<std::string> parts;  // no ".", "..", or empty part
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsWithDrive(std::string_view p) { return p.size() >= 2 && IsLetter(p[0]) && p[1] == ':'; }

// Adds the parts of `rest`; ".." takes one part back but never goes above
// the top (a drive's root or a share).
void Append(std::vector<std::string>& parts, std::string_view rest, bool trim = true)
{
    size_t i = 0;
    while (i < rest.size()) {
        size_t end = i;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::string_view part = rest.substr(i, end - i);
        // As Windows completes a path: a last part loses its trailing dots
        // and blanks, another part a single trailing dot, so "a.txt." and
        // "a.txt" are one file ("\\?\" paths are taken as they stand).
        if (trim && part != "." && part != "..") {
            if (end == rest.size()) {
                while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.remove_suffix(1);
            } else if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.') {
                part.remove_suffix(1);
            }
        }
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.emplace_back(part);
        }
        i = end + 1;
    }
}

// `trim`: trailing dots and blanks go as Windows completes a path.
std::optional<FullPath> Parse(std::string_view p, bool trim = true);

FullPath CurrentFull()
{
    // Completed when it was set: trimming it again could name another folder.
    std::optional<FullPath> cur = Parse(Current(), false);
    return cur ? *cur : FullPath{"C:", {}};
}

// "\\server\share\rest": the server and the share are the top.
std::optional<FullPath> ParseShare(std::string_view p, bool trim)
{
    std::string_view rest = p.substr(2);
    std::string names[2];
    for (std::string& name : names) {
        size_t end = 0;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        name = std::string(rest.substr(0, end));
        if (name.empty() || name == "." || name == "..") return std::nullopt;
        rest = rest.substr(end < rest.size() ? end + 1 : end);
    }
    FullPath full{"\\\\" + names[0] + "\\" + names[1], {}};
    Append(full.parts, rest, trim);
    return full;
}

std::optional<FullPath> Parse(std::string_view p, bool trim)
{
    if (p.empty()) return std::nullopt;
    std::string unprefixed;
    // "\\?\" and "\\.\" name a drive or a share behind them as well as
    // devices and volumes; only the first two are on the machine.
    if (p.size() >= 4 && IsSeparator(p[0]) && IsSeparator(p[1]) && (p[2] == '?' || p[2] == '.') &&
        IsSeparator(p[3])) {
        std::string_view rest = p.substr(4);
        trim = trim && p[2] == '.';
        if (StartsWithDrive(rest) && (rest.size() == 2 || IsSeparator(rest[2]))) {
            p = rest;
        } else if (rest.size() >= 4 && (rest[0] | 0x20) == 'u' && (rest[1] | 0x20) == 'n' &&
                   (rest[2] | 0x20) == 'c' && IsSeparator(rest[3])) {
            unprefixed = "\\\\" + std::string(rest.substr(4));
            p = unprefixed;
        } else {
            return std::nullopt;
        }
    }
    if (p.size() >= 2 && IsSeparator(p[0]) && IsSeparator(p[1])) return ParseShare(p, trim);

    FullPath full;
    if (StartsWithDrive(p)) {
        full.top = std::string(1, (char)(p[0] & ~0x20)) + ":";
        std::string_view rest = p.substr(2);
        // "C:name" is relative to the current directory when that is on C.
        if (!rest.empty() && !IsSeparator(rest[0])) {
            FullPath cur = CurrentFull();
            if (cur.top == full.top) full.parts = cur.parts;
        }
        Append(full.parts, rest, trim);
        return full;
    }
    FullPath cur = CurrentFull();
    full.top = cur.top;
    if (!IsSeparator(p[0])) full.parts = cur.parts;  // a leading separator: the current drive's root
    Append(full.parts, p);
    return full;
}

// A name Windows gives no file: a device's (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9 and COM/LPT with a superscript 1 to 3, in any case, with or without an extension or blanks before
// it), or one holding a character no name may hold (< > : " | ? * and the
// control characters). `pattern`: "*" and "?" are a search's wildcards.
bool NoFileName(std::string_view name, bool pattern)
{
    for (char c : name) {
        const unsigned char u = (unsigned char)c;
        if (u < 0x20 || ((c == '*' || c == '?') && !pattern) || (c != '*' && c != '?' && strchr("<>:\"|", c)))
            return true;
    }
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = (char)toupper((unsigned char)c);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL") return true;
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    // The digit may also be a superscript one, two or three (UTF-8 C2 B9, C2 B2, C2 B3).
    const std::string digit = base.substr(3);
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" || digit == "\xC2\xB2" ||
           digit == "\xC2\xB3";
}

// True when a part of the path, or its server or share, is no file's name;
// with `pattern` the last part may hold wildcards.
bool HasNoFileName(const FullPath& full, bool pattern)
{
    if (full.top.size() > 2) {
        const std::string names = full.top.substr(2);
        const size_t cut = names.find('\\');
        if (NoFileName(std::string_view(names).substr(0, cut), false) ||
            NoFileName(std::string_view(names).substr(cut + 1), false))
            return true;
    }
    for (size_t i = 0; i < full.parts.size(); ++i)
        if (NoFileName(full.parts[i], pattern && i + 1 == full.parts.size())) return true;
    return false;
}

std::string WindowsText(const FullPath& full)
{
    std::string text = full.top;
    for (const std::string& part : full.parts) text += "\\" + part;
    if (full.parts.empty()) text += "\\";
    return text;
}

std::string NativeOf(const FullPath& full)
{
    std::string native = MachineRoot();
    if (full.top.size() == 2) {
        auto mapped = g_mapped.find(full.top[0]);
        native = mapped != g_mapped.end() ? mapped->second : native + "/" + full.top.substr(0, 1);
    } else {
        std::string share = full.top.substr(2);
        for (char& c : share) c = c == '\\' ? '/' : c;
        native += "/UNC/" + share;
    }
    for (const std::string& part : full.parts) native += "/" + part;
    return native;
}

std::deque<std::string> NativeParts(const std::string& path)
{
    std::deque<std::string> parts;
    size_t i = 0;
    while (i <= path.size()) {
        size_t end = path.find('/', i);
        if (end == std::string::npos) end = path.size();
        if (end > i) parts.emplace_back(path, i, end - i);
        i = end + 1;
    }
    return parts;
}

std::string Absolute(const std::string& path)
{
    if (!path.empty() && path[0] == '/') return path;
    char buf[PATH_MAX];
    return std::string(getcwd(buf, sizeof buf) ? buf : "") + "/" + path;
}

// The native path with its symbolic links followed, the last part only when
// `followLast`; empty for a loop. Parts that do not exist are kept as
// written.
std::string Resolve(const std::string& path, bool followLast)
{
    std::deque<std::string> todo = NativeParts(Absolute(path));
    std::string done;  // empty stands for "/"
    int links = 0;
    while (!todo.empty()) {
        std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == ".") continue;
        if (part == "..") {
            done.erase(done.rfind('/') == std::string::npos ? 0 : done.rfind('/'));
            continue;
        }
        std::string next = done + "/" + part;
        struct stat st;
        if ((followLast || !todo.empty()) && lstat(next.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            if (++links > kMaxLinks) return std::string();
            std::vector<char> target((size_t)st.st_size + PATH_MAX);
            ssize_t n = readlink(next.c_str(), target.data(), target.size());
            if (n <= 0) return std::string();
            std::string to(target.data(), (size_t)n);
            std::deque<std::string> more = NativeParts(to);
            todo.insert(todo.begin(), more.begin(), more.end());
            if (to[0] == '/') done.clear();
            continue;
        }
        done = std::move(next);
    }
    return done.empty() ? "/" : done;
}

bool Below(const std::string& path, const std::string& folder)
{
    return path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                              (path[folder.size()] == '/' || folder == "/"));
}

// True when the path, its links followed, is in the machine root or a
// mapped drive.
bool Inside(const std::string& native, bool followLast)
{
    // The folders themselves may be reached through links.
    static std::string rootSeen;
    static unsigned versionSeen = ~0u;
    static std::vector<std::string> bases;
    if (rootSeen != MachineRoot() || versionSeen != g_mappedVersion) {
        rootSeen = MachineRoot();
        versionSeen = g_mappedVersion;
        bases = {Resolve(rootSeen, true)};
        for (const auto& [letter, folder] : g_mapped) bases.push_back(Resolve(folder, true));
    }
    std::string real = Resolve(native, followLast);
    if (real.empty()) return false;
    for (const std::string& base : bases)
        if (!base.empty() && Below(real, base)) return true;
    return false;
}

}  // namespace

namespace {

std::string Place(std::string_view windowsPath, bool followLast, bool pattern, DWORD* error)
{
    // A search's "*." means names without an extension, not "*".
    std::optional<FullPath> full = Parse(windowsPath, !pattern);
    if (!full) {
        if (error) *error = ERROR_BAD_PATHNAME;
        return std::string();
    }
    if (HasNoFileName(*full, pattern)) {
        if (error) *error = ERROR_INVALID_NAME;
        return std::string();
    }
    std::string native = NativeOf(*full);
    if (!Inside(native, followLast)) {
        if (error) *error = ERROR_ACCESS_DENIED;
        return std::string();
    }
    return native;
}

}  // namespace

std::string MachinePathUtf8(std::string_view windowsPath, bool followLast, DWORD* error)
{
    return Place(windowsPath, followLast, false, error);
}

std::string MachinePath(std::wstring_view windowsPath, bool followLast, DWORD* error)
{
    return Place(WideToUtf8(windowsPath), followLast, false, error);
}

std::string MachinePatternPath(std::wstring_view windowsPattern, DWORD* error)
{
    return Place(WideToUtf8(windowsPattern), false, true, error);
}

std::string FullWindowsPathUtf8(std::string_view windowsPath)
{
    std::optional<FullPath> full = Parse(windowsPath);
    return full && !HasNoFileName(*full, false) ? WindowsText(*full) : std::string();
}

void MapDrive(wchar_t letter, const std::string& nativeFolder)
{
    if (!((letter >= L'A' && letter <= L'Z') || (letter >= L'a' && letter <= L'z'))) return;
    std::string folder = nativeFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    g_mapped[(char)(letter & ~0x20)] = folder;
    ++g_mappedVersion;
}

const std::string& CurrentDirectoryUtf8() { return Current(); }
void SetCurrentDirectoryUtf8(const std::string& fullWindowsPath) { Current() = fullWindowsPath; }

std::string NativePathUtf8(std::string_view windowsPath) { return MachinePathUtf8(windowsPath, true); }
std::string NativePath(std::wstring_view windowsPath) { return MachinePath(windowsPath, true); }

}  // namespace standin
