// What velkhost may write: the machine folder it plays the Windows machine
// in, and the outputs it is asked for, never the input drawing or the files
// beside it.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace velkhost {

// The file that marks a machine folder as velkhost's own.
extern const char* const kMachineMarker;  // ".velkhost-machine"

// A file the run reads or writes outside the machine, with what it is
// ("the input drawing", "--save"): it must not lie in a machine folder that
// is cleared.
using NamedFile = std::pair<std::string, std::string>;  // what, native path

class MachineFolder {
public:
    // `given` empty: a new folder under the system's temporary folder,
    // removed by Release. Otherwise the folder must not exist, be empty or
    // be one velkhost made: its marker written for this very folder (a
    // marker copied into another folder does not count) and nothing beside
    // it but the machine's drives. It is then locked for the run (flock on
    // the folder, so a run that is killed leaves no lock behind), a new
    // temporary one too: a folder another run holds is refused, also one
    // another run made a moment before. Its contents are cleared, the marker
    // kept. A folder holding one of `files` is refused, since clearing it
    // would lose them. False, with the reason naming the folder, when it is
    // refused or cannot be made, and nothing was touched.
    bool Prepare(const std::string& given, const std::vector<NamedFile>& files, std::string& error);
    // What Prepare cleared that velkhost had not made there: files added or
    // changed since the run before ended (names relative to the folder, a
    // folder with "/" and what it held). Told by the list of what it made
    // that a run leaves in the folder when it ends; `Untold` when the run
    // before left none (it was killed, or was an older velkhost), and then
    // `ClearedCount` says how many files were cleared.
    const std::vector<std::string>& ClearedForeign() const { return foreign_; }
    bool Untold() const { return untold_; }
    // Why the folder is used unlocked (its file system cannot lock it);
    // empty when it is locked.
    const std::string& LockWarning() const { return lockWarning_; }
    size_t ClearedCount() const { return clearedCount_; }
    // Removes a temporary folder; a given one is kept, with the list of what
    // the run made in it, and unlocked.
    void Release();
    ~MachineFolder() { Release(); }

    const std::string& Root() const { return root_; }
    bool Temporary() const { return temporary_; }

private:
    std::string root_;
    bool temporary_ = false;
    int lock_ = -1;
    std::vector<std::string> foreign_;
    bool untold_ = false;
    size_t clearedCount_ = 0;
    std::string lockWarning_;
};

// Ctrl-C (SIGINT) and SIGTERM: the first asks the run to stop after the
// step or script line it is on (its handler only sets a flag, and says so
// on standard error when that is a terminal); a second, a hang-up or
// SIGQUIT stops the process at once, removing a temporary machine folder
// and an output's temporary file. Installed once, before the machine is
// made.
void CatchInterrupts();
// The signal that asked the run to stop; 0 when none did. SIGPIPE when the
// reader of standard output went away (velkhost ignores SIGPIPE: a write
// into a closed pipe fails with EPIPE, and the run stops as if interrupted).
int InterruptSignal();
// Asks the run to stop as a first Ctrl-C does, for `signal`.
void AskRunToStop(int signal);
// SIGPIPE was ignored when velkhost started (its caller ignores it).
bool BrokenPipeIgnored();
// Waits until the file is ready for `events` (poll's), or the run is asked
// to stop: false then, errno EINTR. A signal cannot slip in between the
// look at the stop flag and the wait.
bool WaitForFile(int fd, short events);
// Waits `ms` milliseconds, or less when the run is asked to stop: false then.
bool WaitUnlessStopped(int ms);
// For tests: folder locks fail with this error as flock would (EBADF, as
// on NFS; 0 for the real flock).
void FailFolderLocksWith(int error);

// An output is written into a new file beside it and renamed over it, so
// that it is at every moment its old self or the whole new one. Makes that
// file, ".NAME.velkhost-XXXXXX" in `folder`, open for writing (-1, errno
// set, when it cannot be made); a signal that stops the process at once
// removes it.
int MakeOutputTemporary(const std::string& folder, const std::string& name, std::string& path);
// Renames it over `to`; false (errno set) when it cannot be, the temporary
// then removed.
bool PutOutputInPlace(const std::string& temporary, const std::string& to);
// Removes it, the write having failed.
void RemoveOutputTemporary(const std::string& temporary);

// Copies the native file `from` to `to` (made, or replaced in place), as a
// file is copied into the machine. False when it cannot be, with `why` the
// system's reason (a full disk, a file-size limit) and `reading` whether
// reading `from` failed rather than writing `to`; a copy cut short is
// removed.
bool CopyFileInto(const std::string& from, const std::string& to, bool& reading, std::string& why);

// Guards the input drawing, the files beside it (in its folder) and the
// images it names: `input` empty guards nothing.
class OutputGuard {
public:
    OutputGuard(const std::string& input, bool overwrite);
    // Guards an image file the input drawing names, in a folder below it.
    void Protect(const std::string& nativeFile);
    // False, with the reason, when writing the native file would replace the
    // input drawing, a file beside it or an image it names (unless
    // overwriting was allowed).
    bool MayWrite(const std::string& nativeFile, std::string& error) const;
    // True when the file is the input drawing itself.
    bool IsInput(const std::string& nativeFile) const;
    // --overwrite was given: files the user did not name may be replaced too.
    bool Overwrites() const { return overwrite_; }

private:
    std::string input_;   // canonical, empty for none
    std::string folder_;  // the input's folder, canonical
    std::vector<std::string> protected_;  // canonical
    bool overwrite_;
};

// The two native names are one file (through links, "..", hard links).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace velkhost
