// The stand-in host's drawing files on the command line of velkhost: a
// drawing given as a native file is opened in the machine with the host's
// OPEN command, saved with SAVEAS and copied out, and pictured.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "drawing_render.h"

namespace velkhost {

// The folder of the machine that drawings are opened from and saved to.
extern const wchar_t* const kDrawingsFolder;  // C:\Drawings

// Copies the native file into the drawings folder and runs OPEN on it; the
// drawing becomes the current document. False, with the reason (what the
// host printed), when it cannot be opened.
bool OpenDrawing(const std::string& nativeFile, std::wstring& opened, std::string& error);
// Runs SAVEAS on the current drawing into the drawings folder under the
// name of `nativeOut`, then copies the saved file there with the image
// files its images name relative to its folder (`images`, native relative
// names), so that the copy opens with them.
bool SaveDrawing(const std::string& nativeOut, std::wstring& saved, std::vector<std::string>& images,
                 std::string& error);
// Pictures the current drawing's model space into a native PNG file; image
// names relative to the drawing are found beside it.
bool PictureDrawing(const std::string& nativePng, RenderStats& stats, std::string& error);

// The steps above as velkhost runs them, each writing its lines of the
// transcript; false when the step failed (the reason is in the transcript).
bool OpenForTranscript(const std::string& nativeFile, std::ostream& out);
bool SaveForTranscript(const std::string& nativeOut, std::ostream& out);
bool PictureForTranscript(const std::string& nativePng, std::ostream& out);

}  // namespace velkhost
