// The stand-in host's picture of a drawing: model space drawn into a PNG
// with cairo, texts as glyphs of a FreeType font, written with the
// project's image library, so that a person can look at what the module
// did.
#pragma once

#include <string>
#include <utility>
#include <vector>

class OdDbDatabase;

namespace velkhost {

struct RenderStats {
    int entities = 0;       // looked at, block contents included
    int images = 0;         // raster images placed from their files
    int missingImages = 0;  // raster images whose file is not there (drawn as frames)
    // Raster images whose file is there but cannot be read (drawn as
    // frames), and each such file with why.
    int unreadableImages = 0;
    std::vector<std::pair<std::string, std::string>> unreadable;
    int undrawnImages = 0;  // raster images read but too large for cairo to draw at their size
    int undrawnCurves = 0;  // curves with no point a picture holds (coordinates or length beyond a number)
    // Entities of a kind the picture does not draw (kept as their file gave
    // them, without graphics: an XLINE, a 3DSOLID), or a LEADER, 3DFACE,
    // TRACE or dimension drawn from points that give nothing to draw; and
    // how many of each kind, "1 MESH, 2 XLINE". Counted among `entities`.
    int undrawnEntities = 0;
    std::string undrawnKinds;
    int texts = 0;          // texts, multiline texts and attributes drawn as glyphs
    int hatches = 0;        // hatches drawn (solid, pattern or gradient)
    int width = 0, height = 0;
    // Where a world point lands: x = (wx - originX) * pixelsPerUnit from
    // the left, y = (wy - originY) * pixelsPerUnit from the bottom.
    double originX = 0, originY = 0, pixelsPerUnit = 0;
};

// Draws the visible entities of model space (layers off or frozen are left
// out), in draw order, on white, scaled to fit `size` pixels (16 to 16384)
// on the longer side, antialiased: lines and curves as strokes in their
// line weight and line type, hatches in their pattern lines, solid or
// gradient, texts as glyphs, block references (any scale, nested) with
// their attributes, raster images placed at their corners. `pngPath` is a
// Windows path inside the machine or a native absolute path. False, with
// the reason, when model space has nothing to draw, a text needs the font
// and it cannot be read, or the file cannot be written. Drawing stops after
// a fixed number of entities, so a drawing of nested blocks cannot make it
// run away.
// With a window (drawing units, maximum above minimum in both directions)
// only that part of model space is drawn, fitted to the picture. Image
// names without a drive are found in the folder of `drawingFile` (a Windows
// path), as the host finds them beside the drawing.
struct RenderWindow {
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};
bool RenderModelSpace(OdDbDatabase* db, const std::wstring& pngPath, int size, RenderStats& stats,
                      std::string& error, const RenderWindow& window = RenderWindow(),
                      const std::wstring& drawingFile = std::wstring());

// A text's contents as the picture lays them out, lines separated by '\n':
// a multiline text's format codes read and its paragraphs wrapped to
// `wrapWidth` (0: not wrapped) at `height`, or a single-line text's special
// codes ("%%c" the diameter sign, "%%d" the degree sign, "%%p" plus-minus,
// "%%nnn" the character of that code, "%%%" a percent sign, "%%u" and
// "%%o" lines under and over, switched on and off). Empty when the font
// cannot be read. For the fuzz target of the
// text parsers, which read what a drawing file holds.
std::u32string LaidOutText(const std::wstring& contents, bool multiline, double height, double wrapWidth);

// The font every text is drawn in, whatever its style names: WenQuanYi
// Micro Hei of the fonts-wqy-microhei package, which holds Latin and
// Chinese glyphs alike. A character it lacks (the diameter sign of "%%c")
// is drawn from DejaVu Sans of fonts-dejavu-core when that has it.
extern const char* const kRenderFontFile;
extern const char* const kRenderFallbackFontFile;
// Another font file for the pictures that follow (a native path); empty
// goes back to kRenderFontFile. For tests of a missing font.
void SetRenderFontFile(const std::string& nativePath);

}  // namespace velkhost
