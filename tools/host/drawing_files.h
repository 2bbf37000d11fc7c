// The stand-in host's drawing files on the command line of velkhost: a
// drawing given as a native file is copied into the machine and opened with
// the host's OPEN command, saved there with SAVEAS and copied out, and
// pictured.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "drawing_render.h"

class OdDbDatabase;

namespace velkhost {

class OutputGuard;

// The folder of the machine that drawings are opened from and saved to.
extern const wchar_t* const kDrawingsFolder;  // C:\Drawings

// Copies the native file into the drawings folder and runs OPEN on it; the
// drawing becomes the current document. The images it names relative to
// its folder are copied along from beside the native file (`images`,
// native relative names); those missing there are listed in
// `missingImages`. False, with the reason (what the host printed), when it
// cannot be opened.
bool OpenDrawing(const std::string& nativeFile, std::wstring& opened, std::vector<std::string>& images,
                 std::vector<std::string>& missingImages, std::string& error);
// Runs SAVEAS on the current drawing into the drawings folder under the
// name of `nativeOut`, then copies the saved file there with the image
// files its images name relative to its folder (`images`, native relative
// names), so that the copy opens with them. Images the drawing names but
// the machine does not hold are listed in `missingImages` (not copied).
// Nothing the guard refuses is written.
bool SaveDrawing(const std::string& nativeOut, const OutputGuard& guard, std::wstring& saved,
                 std::vector<std::string>& images, std::vector<std::string>& missingImages, std::string& error);
// The same with no input to guard and missing images left out.
bool SaveDrawing(const std::string& nativeOut, std::wstring& saved, std::vector<std::string>& images,
                 std::string& error);
// Pictures the current drawing's model space into a PNG file (a Windows
// path inside the machine); image names relative to the drawing are found
// beside it. `size` is the longer side in pixels; a window with no area
// pictures the drawing's extents. Its folder must exist: none is made.
bool PictureDrawing(const std::wstring& windowsPng, int size, const RenderWindow& window, RenderStats& stats,
                    std::string& error);
// The same, into a native file outside the machine, through the guard.
bool PictureDrawingTo(const std::string& nativePng, const OutputGuard& guard, int size, const RenderWindow& window,
                      RenderStats& stats, std::string& error);

// Writes a copy of `from` as the native file `to`: into a new file beside
// it, synced, then renamed over it, so that `to` is at every moment its old
// self or the whole copy, and a failed write leaves it as it was; the file
// replaced keeps its owner, group and mode. A link is kept and the file it
// leads to replaced. Written through instead, as cp writes: a `to` that is
// no regular file (a device, a pipe: one no one reads is waited for until
// the run is asked to stop), a file with more than one hard link (each
// then sees the new content), one whose folder takes no new names, and one
// whose owner or group a new file could not be given. False, with the
// reason, when it cannot be written.
bool ReplaceFile(const std::filesystem::path& from, const std::string& to, std::string& error);

// The entities of model space (not erased).
size_t ModelSpaceCount(OdDbDatabase* db);

}  // namespace velkhost
