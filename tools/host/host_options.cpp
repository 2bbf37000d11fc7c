#include "host_options.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

namespace velkhost {

namespace {

bool Number(const std::string& text, double& value)
{
    if (text.empty()) return false;
    char* end = nullptr;
    value = strtod(text.c_str(), &end);
    return end && *end == 0;
}

bool ParseWindow(const std::string& text, RenderWindow& window)
{
    double v[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t comma = text.find(',', start);
        if ((i < 3) != (comma != std::string::npos)) return false;
        if (!Number(text.substr(start, i < 3 ? comma - start : std::string::npos), v[i])) return false;
        start = comma + 1;
    }
    window.minX = v[0], window.minY = v[1], window.maxX = v[2], window.maxY = v[3];
    // inf and nan are read as numbers; a window as wide as no number holds
    // has no scale either.
    return std::isfinite(window.maxX - window.minX) && std::isfinite(window.maxY - window.minY) &&
           window.maxX > window.minX && window.maxY > window.minY;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& o, std::string& error)
{
    // The options that take a value hold one: a second would silently win.
    std::map<std::string, std::string> given;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") {
            o.help = true;
            continue;
        }
        if (opt == "--demo") {
            o.demo = true;
            continue;
        }
        if (opt == "--quiet") {
            o.quiet = true;
            continue;
        }
        if (opt == "--overwrite") {
            o.overwrite = true;
            continue;
        }
        std::string* text = opt == "--module"    ? &o.module
                            : opt == "--machine" ? &o.machine
                            : opt == "--drawing" ? &o.drawing
                            : opt == "--script"  ? &o.script
                            : opt == "--save"    ? &o.save
                            : opt == "--png"     ? &o.png
                                                 : nullptr;
        const bool numeric = opt == "--png-size" || opt == "--png-window";
        if (!text && !numeric) {
            error = "unknown option " + opt;
            return false;
        }
        if (i + 1 >= argc || argv[i + 1][0] == 0) {
            error = opt + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        const auto [first, isNew] = given.emplace(opt, value);
        if (!isNew) {
            error = opt + " is given twice (" + first->second + " and " + value + "); give it once";
            return false;
        }
        if (text) {
            *text = value;
        } else if (opt == "--png-size") {
            double size = 0;
            if (!Number(value, size) || size != (int)size || size < 16 || size > 16384) {
                error = "--png-size takes a whole number of pixels from 16 to 16384, not " + value;
                return false;
            }
            o.pngSize = (int)size;
        } else {
            if (!ParseWindow(value, o.pngWindow)) {
                const RenderWindow& w = o.pngWindow;
                const bool tooWide = std::isfinite(w.minX) && std::isfinite(w.minY) && std::isfinite(w.maxX) &&
                                     std::isfinite(w.maxY) && w.maxX > w.minX && w.maxY > w.minY;
                error = "--png-window takes X0,Y0,X1,Y1, finite numbers with X1 > X0 and Y1 > Y0, not " + value +
                        (tooWide ? " (its width or height is beyond what a number holds)" : "");
                return false;
            }
            o.pngWindowGiven = true;
        }
    }
    return true;
}

const char* HelpText()
{
    return R"(usage: velkhost [options]

Plays the CAD host with the module loaded, on a machine of its own (a folder
in which Windows paths live: C:\a is <machine>/C/a). It opens the drawing,
loads the module (the stand-in peer map program is installed, and started
when the module offers to start it), runs the script, saves, draws the
picture and unloads, printing what happened. Without a script it adds,
moves and erases nothing. The input drawing, the files beside it and the
images it names are never written.

options:
  --drawing FILE.dxf   the drawing to open (a copy is opened in the machine;
                       images it names beside it are copied along); without
                       it a new drawing
  --script FILE        a host script run after the module loaded (forms below)
  --save FILE.dxf      saves the drawing there, with the images it names
                       beside it; never the input drawing, a file beside it
                       or an image it names unless --overwrite is given.
                       Its folder must exist: velkhost makes none. Standard
                       output (--save /dev/stdout | ...; --png too) takes
                       the output alone: the transcript then goes to
                       standard error (refused, exit 2, when that is the
                       same file)
  --overwrite          lets --save and --png replace the input drawing, the
                       files beside it and its images, and the images a
                       save takes along replace different files
  --png FILE.png       a picture of model space (into a folder that exists)
  --png-size PIXELS    the picture's longer side (1600)
  --png-window X0,Y0,X1,Y1
                       the part of model space pictured (the drawing's
                       extents by default)
  --machine DIR        the machine folder: one that does not exist, an empty
                       one or one velkhost made before (its file
                       .velkhost-machine written for it, beside nothing but
                       the machine's drives; its contents are cleared and it
                       is kept afterwards), never one holding a file the run
                       reads or writes. A run holds its folder to the end: a
                       second run naming it is refused (where the file
                       system cannot lock it, NFS, a warning says so). Files in it that
                       velkhost did not make are named as they are cleared.
                       Without it a new folder under the system's temporary
                       folder is used and removed at the end (also on
                       Ctrl-C or kill, not on kill -9).
  --module FILE        the module (the one built beside velkhost by default)
  --demo               runs the demo script (tools/host/demo.scr) on the
                       demo's drawing (tools/host/demo.dxf) unless --drawing
                       or --script says otherwise
  --quiet              prints only the outcome of each step
  --help               this text

exit status: 0 when every step asked for succeeded; 1 when one failed (the
last line names each step that failed), or an output's folder does not
exist (then nothing is run); 2 for a usage error (also an option that takes
a value given twice), a machine folder that is refused or in use by another
run, or an output that would overwrite the input. A run Ctrl-C or SIGTERM
stopped ends by that signal, as a shell shows it: 130, 143; so does one a
file-size limit (ulimit -f) stopped, 153, once the write past it failed
(the step that wrote names its file) and the temporary machine folder was
removed. A run whose
standard output is a pipe the reader closed stops as if interrupted and
ends by SIGPIPE (141; 1 when SIGPIPE is ignored); standard output that
cannot be written otherwise (a full disk) makes the exit status 1.

Ctrl-C (or SIGTERM) stops the run after the script line it is on (a command
waiting for its next answer is cancelled, as Esc cancels it); nothing more
is run, saved or pictured, the module is unloaded, and the last line says
what was not done. A second Ctrl-C stops it at once. It also ends a wait
on an output (a pipe no one reads) or on the script being read.

scripts: UTF-8 text (a byte-order mark is skipped, lines may end in CRLF) of
at most 16 MiB, no line longer than 65536 bytes and no NUL byte (UTF-16 is
refused as such: save it as UTF-8); each line is what a user types at the
command line.
  ; text               a comment (a line holding only a comment is skipped)
  "TEXT"               a text answer in quotes, for one holding ";" or blanks
                       at its ends (\" and \\ inside); elsewhere a quote is
                       just a character
  (empty line)         Enter (at the command prompt it does nothing)
  NAME                 starts a command: the host's own (LINE, POINT, TEXT,
                       MTEXT, RECTANG, HATCH, COPY, MOVE, ERASE, UNDO, REDO,
                       QSAVE, SAVEAS, OPEN, CLOSE, ZOOM, -LAYER, IMAGEFRAME)
                       or one the module registered; the lines after it
                       answer its prompts. Each command but UNDO, REDO,
                       OPEN and CLOSE is one step UNDO takes back, whether
                       or not it changed the drawing ("Undone: MOVE"):
  X,Y  or  X,Y,Z       a point;  @DX,DY[,DZ]  a point relative to the last one
  a number, a keyword or text, as the prompt asks
A command the module sends to the command line runs when the line that made
it send it is done; its prompts take the next lines too.
Lines beginning with ">" are what the user does with the mouse, and what
happens in the peer:
  > click CAPTION|ID   clicks the module's toolbar button
  > select FILTER...   selects entities: the answer at "Select objects:", at
                       other times the selection a toolbar button acts on.
                       Filters narrow each other:
                         all (not on a frozen layer) |
                         new (not in the drawing as opened) | last |
                         layer NAME[,NAME] | type T[,T...] (the records
                         a DXF file names T in group 0, in all their
                         forms: POLYLINE every 2-D and 3-D polyline and
                         mesh, LWPOLYLINE the light ones, DIMENSION every
                         dimension, INSERT also a MINSERT; also the kinds
                         kept as the file gave them: 3DFACE, LEADER ...;
                         a name no record has is refused) |
                         handle H[,H] | text STRING |
                         window X0,Y0 X1,Y1 (wholly inside) |
                         at X,Y [X,Y...] (what lies under those clicks);
                       FILTER... + FILTER... picks on at the same prompt:
                       the selections one after the other (what both name
                       is named twice; the host's set holds it once)
  > pick X,Y           picks the entity at the point, at a prompt for one
                       entity (or gives the point, at a prompt for a point)
  > answer yes|no|ok|cancel
                       answers the next message box
  > dialog ID, ACTION, ...
                       answers the next time dialog ID is shown. Actions:
                       type ITEM TEXT, choose ITEM N (the list's N-th row,
                       from 0), check ITEM, uncheck ITEM, click ITEM,
                       show ITEM...; last ok, cancel or press ITEM (ok if none)
  > browse FOLDER | > browse cancel
                       answers the next folder browser
  > window CAPTION[, ACTION, ...]
                       acts on a window that is open (the same actions);
                       alone it tells whether the window is shown
  > wait N s | > wait N ms
                       the clock moves on; timers that fall due run
  > picture FILE.png [PIXELS] [window X0,Y0 X1,Y1] [beside EARLIER.png]
                       a picture of model space in the machine (a name
                       without a folder goes to C:\Drawings); "beside" puts
                       it to the right of an earlier picture in one file
  > snapshot FILE.dxf  the drawing's bytes as a save writes them, into the
                       machine (a name without a folder goes to
                       C:\Drawings), with no command run: no UNDO step, and
                       the module hears nothing; the transcript says
                       IMAGEFRAME with it
  > show WHAT          prints: peer (its folders and objects), peer-state,
                       peer-changes (the peer's objects added, changed or
                       removed by the line before), links (entity -> peer
                       object), stored-links (the links saved in the
                       entities), added (entities the line before added),
                       layer NAME, tiles, toolbar, settings [SECTION],
                       file PATH, commands (the host's and the ones
                       applications registered)
  > peer folder NAME [in FOLDER]
  > peer sign NAME at X,Y [in FOLDER] [KEY=VALUE...]
                       keys: icon, colour, text-colour (6 hex digits as the
                       peer keeps them, BBGGRR), type (1 icon, 3 text),
                       level, font, rotation, remark, multi-line (0 or 1)
  > peer track NAME X,Y[,Z][/BULGE] X,Y... [/ X,Y... (a piece)] [in FOLDER]
             [KEY=VALUE...]
                       Z is the elevation; keys: colour, style, width,
                       remark, type (5 line, 6 point set, 7 circle or arc,
                       9 ellipse, 10 spline)
  > peer shape NAME X,Y... [/ X,Y... (a hole)] [in FOLDER] [KEY=VALUE...]
                       keys: colour, fill-colour, fill (solid, pattern,
                       gradient), pattern, opacity, outline, remark, start
                       and end (degrees, of a shape given by two corners)
  > peer multipart NAME X,Y... [/ X,Y... (a part)] [in FOLDER] [KEY=VALUE...]
                       keys: colour, remark
                       (objects are made in the peer; nothing is sent)
  > peer send NAME|#ID...
                       the peer's user chooses those objects or folders and
                       presses its button "发送所选对象到CAD"
  > peer relate-ok     the peer accepts the drawing's relate points
  > peer place LAT,LNG the peer's user clicks that place on its map
  > peer zoom X,Y LEVEL
                       the peer's user moves its map there
  > peer notice VERSION TEXT
                       the peer tells of a newer plug-in
  > peer hills X0,Y0 X1,Y1
                       the peer's elevation: three hills over the box
  > peer set KEY=VALUE...
                       status, map-level, resolution=UNITS@LEVEL (a pixel's
                       size at that level, halving per level),
                       tiles-pending-every, tiles-fail-every, contour-data
                       (0 none, 1 enough, 2 incomplete), contour-answers,
                       contour-progress
  > demo site-plan     the demo's site plan (arcs, a block with an
                       attribute, a hatch with an island, an image), which
                       the host's commands cannot draw
A line fails when its command is unknown, an answer is refused, a command is
cancelled or fails, or an action cannot be done; the run then stops the
script, goes on with the save and the picture, and exits 1 naming the line.
)";
}

}  // namespace velkhost
