// Scripts of the stand-in host, run in-process on a small drawing as
// velkhost runs a user's script: any script ends (at its last line or at
// the line that fails), and whatever it left, moving everything by an
// offset and back with MOVE leaves the saved drawing as it was.
//
// The input's first two bytes are the offset (each a signed number of
// eighths), the rest is the script: at most kMaxLines lines, none that
// leaves the drawing (OPEN, CLOSE, QUIT, the saves, APPLOAD) and of the
// "> " actions only select and show. While every coordinate saved is a
// multiple of 1/64 (the drawing's are; a script's may not be), adding
// the offset and taking it away again is exact and the drawing must come
// back byte for byte; otherwise a coordinate may come back rounded, by
// no more than the sum it went through can round, and every other value
// must still be as it was. Then UNDO of every command gives back the
// drawing as it was opened, byte for byte, and REDO of them all what the
// commands had made of it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dxf_control.h"
#include "fuzz_support.h"
#include "gcapdocmanager.h"
#include "gced_cmd.h"
#include "gcutprint.h"
#include "editor_control.h"
#include "host_script.h"
#include "host_session.h"
#include "hostdb_control.h"

VELK_FUZZ_WITH_MACHINE()

namespace {

constexpr size_t kMaxLines = 40;
constexpr size_t kMaxBytes = 4096;

// Every kind MOVE carries, on a grid of eighths: a line, a circle, an arc
// with angles that are not whole, an ellipse, a polyline with a bulge, a
// text turned and an MTEXT, a point, a solid, a hatch, a spline, a circle
// under a normal of -Z, a block reference with an attribute, records kept
// whole (a 3DFACE, a TRACE, an XLINE, a RAY, a LEADER, a TOLERANCE, a
// MULTILEADER whose text ends in "{", a MESH, a TRACE in a plane of normal
// +Y, a RAY and a LEADER written without subclass markers), a line with
// extended data positions, and entities on a locked and on a frozen layer.
// The reference's sequence end has a handle of the file's, which the
// drawing keeps beside the reference: UNDO must give it back too.
const char kDrawing[] = R"(0
SECTION
2
TABLES
0
TABLE
2
LAYER
70
3
0
LAYER
2
0
70
0
62
7
6
CONTINUOUS
0
LAYER
2
LOCKED
70
4
62
1
6
CONTINUOUS
0
LAYER
2
FROZEN
70
1
62
2
6
CONTINUOUS
0
ENDTAB
0
TABLE
2
APPID
70
1
0
APPID
2
FUZZ
70
0
0
ENDTAB
0
ENDSEC
0
SECTION
2
BLOCKS
0
BLOCK
8
0
2
MARK
70
2
10
0.0
20
0.0
30
0.0
3
MARK
0
LINE
8
0
10
0.0
20
0.0
30
0.0
11
1.0
21
1.0
31
0.0
0
ATTDEF
8
0
10
0.5
20
-1.0
30
0.0
40
0.75
1
x
3
Tag?
2
TAG
70
0
0
ENDBLK
8
0
0
ENDSEC
0
SECTION
2
ENTITIES
0
LINE
8
0
10
1.5
20
2.25
30
0.0
11
7.125
21
-3.5
31
0.0
0
CIRCLE
8
0
10
4.0
20
4.0
30
0.0
40
1.875
0
ARC
8
0
10
-2.0
20
3.0
30
0.0
40
2.5
50
33.3
51
271.7
0
ELLIPSE
8
0
10
10.0
20
1.0
30
0.0
11
2.5
21
1.25
31
0.0
40
0.4
41
0.3
42
5.1
0
LWPOLYLINE
8
0
90
3
70
1
10
0.0
20
-5.0
42
0.41
10
3.0
20
-5.0
10
3.0
20
-2.0
0
TEXT
8
0
10
-6.0
20
-1.5
30
0.0
40
1.3
1
Fuzz
50
28.6
0
MTEXT
8
0
10
12.0
20
6.0
30
0.0
40
0.9
41
6.0
1
Two\Plines
50
0.7
0
POINT
8
0
10
0.125
20
0.25
30
0.0
0
SOLID
8
0
10
20.0
20
0.0
30
0.0
11
22.0
21
0.0
31
0.0
12
20.0
22
2.0
32
0.0
13
22.0
23
2.0
33
0.0
0
HATCH
100
AcDbEntity
8
0
100
AcDbHatch
10
0.0
20
0.0
30
0.0
210
0.0
220
0.0
230
1.0
2
ANSI31
70
0
71
0
91
1
92
2
72
0
73
1
93
3
10
30.0
20
0.0
10
34.0
20
0.0
10
32.0
20
3.0
97
0
75
0
76
1
52
15.0
41
0.7
77
0
78
1
53
45.0
43
0.0
44
0.0
45
-0.0883883476483184
46
0.0883883476483184
79
0
98
0
0
SPLINE
100
AcDbEntity
8
0
100
AcDbSpline
70
8
71
3
72
8
73
4
74
0
40
0.0
40
0.0
40
0.0
40
0.0
40
1.0
40
1.0
40
1.0
40
1.0
10
0.0
20
8.0
30
0.0
10
1.0
20
10.0
30
0.0
10
3.0
20
7.0
30
0.0
10
5.0
20
9.0
30
0.0
0
CIRCLE
8
0
10
-3.0
20
-4.0
30
0.5
40
0.625
210
0.0
220
0.0
230
-1.0
0
INSERT
8
0
66
1
2
MARK
10
-10.0
20
5.0
30
0.0
41
1.5
42
1.5
50
17.0
0
ATTRIB
8
0
10
-9.25
20
3.5
30
0.0
40
1.125
1
value
2
TAG
70
0
50
17.0
0
SEQEND
5
A0
8
0
0
3DFACE
8
0
10
0.0
20
12.0
30
0.0
11
2.0
21
12.0
31
0.5
12
2.0
22
14.0
32
0.0
13
0.0
23
14.0
33
0.0
0
TRACE
8
0
10
5.0
20
12.0
30
0.0
11
7.0
21
12.0
31
0.0
12
5.0
22
13.0
32
0.0
13
7.0
23
13.0
33
0.0
0
XLINE
100
AcDbEntity
8
0
100
AcDbXline
10
1.0
20
2.0
30
0.0
11
0.6
21
0.8
31
0.0
0
RAY
100
AcDbEntity
8
0
100
AcDbRay
10
3.0
20
4.0
30
0.0
11
0.0
21
1.0
31
0.0
0
LEADER
100
AcDbEntity
8
0
100
AcDbLeader
3
Standard
71
1
72
0
73
3
74
1
75
0
40
1.0
41
0.0
76
3
10
0.0
20
16.0
30
0.0
10
5.0
20
21.0
30
0.0
10
10.0
20
21.0
30
0.0
211
1.0
221
0.0
231
0.0
212
0.0
222
0.0
232
0.0
213
0.5
223
0.25
233
0.0
0
TOLERANCE
100
AcDbEntity
8
0
100
AcDbFcf
3
Standard
10
7.0
20
8.0
30
0.0
1
{\Fgdt;j}%%v0.1
11
0.8
21
0.6
31
0.0
0
LINE
8
0
10
-1.0
20
-1.0
30
0.0
11
-2.0
21
-3.0
31
0.0
1001
FUZZ
1011
-1.5
1021
-2.0
1031
0.0
1012
0.5
1022
0.25
1032
0.0
1013
0.6
1023
0.8
1033
0.0
1041
3.3
1042
1.1
0
MULTILEADER
100
AcDbEntity
8
0
100
AcDbMLeader
270
2
300
CONTEXT_DATA{
40
1.0
10
4.0
20
12.0
30
0.0
41
4.0
140
4.0
145
2.0
174
1
175
1
176
0
177
0
290
1
304
Open {
11
0.0
21
0.0
31
1.0
12
6.0
22
14.0
32
0.0
13
1.0
23
0.0
33
0.0
42
0.0
43
0.0
44
0.0
45
1.0
170
1
90
-1056964608
171
1
172
1
91
-939524096
141
1.5
92
0
291
0
292
0
173
0
293
0
142
0.0
143
0.0
294
0
295
1
296
0
110
0.0
120
0.0
130
0.0
111
1.0
121
0.0
131
0.0
112
0.0
122
1.0
132
0.0
297
0
302
LEADER{
290
1
291
1
10
-4.0
20
12.0
30
0.0
11
1.0
21
0.0
31
0.0
90
0
40
8.0
304
LEADER_LINE{
10
2.0
20
12.0
30
0.0
91
0
92
-1056964608
305
}
271
0
303
}
272
9
273
9
301
}
90
2147483647
170
1
91
-1056964608
171
-2
290
1
291
1
41
8.0
42
4.0
172
2
173
1
95
1
174
1
175
0
92
-1056964608
292
0
93
-1056964608
10
1.0
20
1.0
30
1.0
43
0.0
176
0
293
0
294
0
178
0
179
1
45
1.0
271
0
272
9
273
9
295
0
0
MESH
100
AcDbEntity
8
0
100
AcDbSubDMesh
71
2
72
0
91
0
92
3
10
50.0
20
0.0
30
0.0
10
52.0
20
0.0
30
0.0
10
51.0
20
2.0
30
1.0
93
4
90
3
90
0
90
1
90
2
94
0
95
0
90
0
0
TRACE
100
AcDbEntity
8
0
100
AcDbTrace
10
-3.0
20
0.5
30
6.0
11
-4.0
21
0.5
31
6.0
12
-3.0
22
0.5
32
7.0
13
-4.0
23
0.5
33
7.0
210
0.0
220
1.0
230
0.0
0
RAY
8
0
10
-7.0
20
9.0
30
0.0
11
1.0
21
0.0
31
0.0
0
LEADER
8
0
3
Standard
71
1
72
0
73
3
74
1
75
0
40
1.0
41
0.0
76
2
10
60.0
20
1.0
30
0.0
10
62.0
20
3.0
30
0.0
211
1.0
221
0.0
231
0.0
212
0.0
222
0.0
232
0.0
213
0.0
223
0.0
233
0.0
0
LINE
8
LOCKED
10
40.0
20
0.0
30
0.0
11
41.0
21
1.0
31
0.0
0
CIRCLE
8
FROZEN
10
40.0
20
5.0
30
0.0
40
1.0
0
ENDSEC
0
EOF
)";

std::string Upper(std::string s)
{
    for (char& c : s) c = (char)std::toupper((unsigned char)c);
    return s;
}

// Whether the script may run here: a line that would leave the drawing, or
// act outside it, is not run.
bool Runnable(const std::string& script)
{
    static const char* const kLeaving[] = {"OPEN", "CLOSE", "CLOSEALL", "QUIT", "EXIT", "SAVE",
                                           "SAVEAS", "QSAVE", "APPLOAD", "NEW", "QNEW"};
    std::istringstream in(script);
    std::string line;
    size_t lines = 0;
    while (std::getline(in, line)) {
        if (++lines > kMaxLines) return false;
        size_t b = line.find_first_not_of(" \t\r");
        if (b == std::string::npos) continue;
        if (line[b] == '>') {
            const std::string what = Upper(line.substr(line.find_first_not_of(" \t", b + 1) == std::string::npos
                                                           ? line.size()
                                                           : line.find_first_not_of(" \t", b + 1)));
            if (what.rfind("SELECT", 0) != 0 && what.rfind("SHOW", 0) != 0) return false;
            continue;
        }
        // A command name may carry the host's prefixes (_OPEN, .QSAVE).
        while (b < line.size() && (line[b] == '_' || line[b] == '.' || line[b] == '\'' || line[b] == '+')) ++b;
        std::string word = Upper(line.substr(b, line.find_first_of(" \t\r;", b) - b));
        if (!word.empty() && word[0] == '"') word.erase(0, 1);
        for (const char* leaving : kLeaving)
            if (word == leaving || word == std::string("-") + leaving) return false;
    }
    return true;
}

std::string Number(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// Runs script text in the current drawing as velkhost does, quietly.
bool RunScript(const std::string& text)
{
    std::ostringstream out;
    velkhost::Options options;
    velkhost::Transcript log(out, true);
    velkhost::Session session(options, log);
    velkhost::ScriptRunner runner(session);
    return runner.Run(text, "fuzz.scr");
}

std::vector<std::string> Lines(const std::string& s)
{
    std::vector<std::string> lines;
    std::istringstream in(s);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool IsCoordinateCode(int code)
{
    return (code >= 10 && code <= 38) || (code >= 110 && code <= 139) || (code >= 1010 && code <= 1039);
}

// A coordinate in the record of type `record`: a hatch's pattern lines
// also have their base points (43, 44), which move with it.
bool IsPositionCode(int code, const std::string& record)
{
    const std::string type = record.substr(0, record.find_last_not_of(" \r") + 1);
    return IsCoordinateCode(code) || ((code == 43 || code == 44) && (type == "HATCH" || type == "MPOLYGON"));
}

// Every coordinate the file holds is a multiple of 1/64 well inside the
// range where a double holds such a value exactly.
bool OnGrid(const std::vector<std::string>& lines)
{
    std::string record;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        const int code = std::atoi(lines[i].c_str());
        if (code == 0) record = lines[i + 1];
        if (!IsPositionCode(code, record)) continue;
        const double v = std::strtod(lines[i + 1].c_str(), nullptr);
        if (!(std::fabs(v) < 0x1p40) || v * 64 != std::floor(v * 64)) return false;
    }
    return true;
}

// The line at which two saves first differ.
size_t FirstDifference(const std::string& a, const std::string& b)
{
    const std::vector<std::string> x = Lines(a), y = Lines(b);
    size_t i = 0;
    while (i < x.size() && i < y.size() && x[i] == y[i]) ++i;
    return i;
}

void Mismatch(const std::vector<std::string>& a, const std::vector<std::string>& b, size_t at,
              const char* what = "the drawing moved there and back")
{
    std::fprintf(stderr, "%s differs at line %zu:\n", what, at + 1);
    for (size_t i = at > 6 ? at - 6 : 0; i < at + 4 && i < std::max(a.size(), b.size()); ++i)
        std::fprintf(stderr, "  %-30s | %s\n", i < a.size() ? a[i].c_str() : "", i < b.size() ? b[i].c_str() : "");
    FUZZ_CHECK(!"the drawing is as it was");
}

void Compare(const std::string& before, const std::string& after, double offset)
{
    if (before == after) return;
    const std::vector<std::string> a = Lines(before), b = Lines(after);
    const bool exact = OnGrid(a);
    std::string record;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (i % 2 == 1 && std::atoi(a[i - 1].c_str()) == 0) record = a[i];
        if (a[i] == b[i]) continue;
        // A value line of a coordinate, off the grid: within the rounding
        // of a sum with the offset there and back.
        if (!exact && i % 2 == 1 && IsPositionCode(std::atoi(a[i - 1].c_str()), record)) {
            const double x = std::strtod(a[i].c_str(), nullptr), y = std::strtod(b[i].c_str(), nullptr);
            if (std::fabs(x - y) <= (std::fabs(x) + offset) * 0x1p-50) continue;
        }
        Mismatch(a, b, i);
    }
    if (a.size() != b.size()) Mismatch(a, b, std::min(a.size(), b.size()));
}

// An entity of the saved drawing: its record and those that belong to it
// (a polyline's vertices, a block reference's attributes, the sequence end).
struct Unit {
    std::string type, handle, layer;
    bool paper = false;
    std::vector<std::pair<int, double>> reals;  // the coordinate and normal groups, in order
};

std::string Trimmed(std::string v)
{
    while (!v.empty() && (v.back() == '\r' || v.back() == ' ')) v.pop_back();
    const size_t b = v.find_first_not_of(' ');
    return b == std::string::npos ? "" : v.substr(b);
}

std::vector<Unit> Units(const std::vector<std::string>& lines, std::map<std::string, int>& layerFlags)
{
    std::vector<Unit> units;
    std::string section, record, layerName;
    for (size_t i = 0; i + 1 < lines.size(); i += 2) {
        const int code = std::atoi(lines[i].c_str());
        const std::string value = Trimmed(lines[i + 1]);
        if (code == 0) {
            record = value;
            if (value == "ENDSEC") section.clear();
            if (section == "ENTITIES" &&
                (units.empty() || (value != "VERTEX" && value != "ATTRIB" && value != "SEQEND")))
                units.push_back({value, "", "", false, {}});
            continue;
        }
        if (record == "SECTION" && code == 2) section = value;
        if (record == "LAYER" && section == "TABLES") {
            if (code == 2) layerName = value;
            if (code == 70) layerFlags[layerName] = std::atoi(value.c_str());
        }
        if (section != "ENTITIES" || units.empty()) continue;
        Unit& u = units.back();
        if (IsCoordinateCode(code) || code == 210 || code == 220 || code == 230) u.reals.push_back({code, std::strtod(value.c_str(), nullptr)});
        if (record != u.type) continue;  // the unit's own record names it
        if (code == 5 && u.handle.empty()) u.handle = value;
        if (code == 8 && u.layer.empty()) u.layer = value;
        if (code == 67 && std::atoi(value.c_str()) == 1) u.paper = true;
    }
    return units;
}

// The plane axes of a normal, as drawing files define them.
void PlaneAxes(const double n[3], double ax[3], double ay[3])
{
    double x[3];
    if (std::fabs(n[0]) < 1.0 / 64 && std::fabs(n[1]) < 1.0 / 64) x[0] = n[2], x[1] = 0, x[2] = -n[0];
    else x[0] = -n[1], x[1] = n[0], x[2] = 0;
    const double l = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
    for (int k = 0; k < 3; ++k) ax[k] = x[k] / l;
    ay[0] = n[1] * ax[2] - n[2] * ax[1];
    ay[1] = n[2] * ax[0] - n[0] * ax[2];
    ay[2] = n[0] * ax[1] - n[1] * ax[0];
}

// A point of a unit: which occurrence of its code, its x, y and z (as
// many as the groups give).
struct Point {
    int code = 0, occurrence = 0, size = 0;
    double v[3] = {0, 0, 0};
};

std::vector<Point> Points(const Unit& u)
{
    std::vector<Point> points;
    std::map<int, int> seen;
    for (size_t i = 0; i < u.reals.size(); ++i) {
        const int code = u.reals[i].first;
        if (!((code >= 10 && code <= 18) || (code >= 110 && code <= 112) || code == 1011 || code == 210)) continue;
        Point p;
        p.code = code;
        p.occurrence = seen[code]++;
        while (p.size < 3 && i + p.size < u.reals.size() && u.reals[i + p.size].first == code + 10 * p.size) {
            p.v[p.size] = u.reals[i + p.size].second;
            ++p.size;
        }
        i += p.size - 1;
        points.push_back(p);
    }
    return points;
}

// After MOVE by (dx, dy): an entity on a locked or frozen layer is as it
// was; every other has moved: each of its points is where it was (a
// direction, a size) or moved by the offset, in the world or in its plane,
// and at least one has moved.
void CheckMoved(const std::string& before, const std::string& after, double dx, double dy)
{
    std::map<std::string, int> layers, unused;
    const std::vector<Unit> a = Units(Lines(before), layers), b = Units(Lines(after), unused);
    FUZZ_CHECK(a.size() == b.size());
    for (size_t u = 0; u < a.size() && u < b.size(); ++u) {
        const Unit& x = a[u];
        const Unit& y = b[u];
        FUZZ_CHECK(x.type == y.type && x.handle == y.handle);
        if (x.paper) continue;
        const int flags = layers.count(x.layer) ? layers[x.layer] : 0;
        const std::vector<Point> from = Points(x), to = Points(y);
        double n[3] = {0, 0, 1};
        for (const Point& p : from)
            if (p.code == 210 && p.size == 3) n[0] = p.v[0], n[1] = p.v[1], n[2] = p.v[2];
        double ax[3], ay[3];
        PlaneAxes(n, ax, ay);
        const double world[3] = {dx, dy, 0};
        const double plane[3] = {dx * ax[0] + dy * ax[1], dx * ay[0] + dy * ay[1], dx * n[0] + dy * n[1]};
        bool moved = false;
        for (const Point& p : from) {
            if (p.code == 210) continue;
            const Point* q = nullptr;
            for (const Point& c : to)
                if (c.code == p.code && c.occurrence == p.occurrence) q = &c;
            if (!q || q->size != p.size) {
                std::fprintf(stderr, "%s %s: group %d lost\n", x.type.c_str(), x.handle.c_str(), p.code);
                FUZZ_CHECK(!"a move keeps every point");
                continue;
            }
            bool same = true, byWorld = true, byPlane = true;
            for (int c = 0; c < p.size; ++c) {
                const double v0 = p.v[c], v1 = q->v[c];
                const double tolerance = 1e-9 * (1 + std::fabs(v0) + std::fabs(dx) + std::fabs(dy));
                same = same && v0 == v1;
                byWorld = byWorld && std::fabs(v1 - (v0 + world[c])) <= tolerance;
                byPlane = byPlane && std::fabs(v1 - (v0 + plane[c])) <= tolerance;
            }
            if ((flags & 5) && !same) {
                std::fprintf(stderr, "%s %s on the locked or frozen layer %s moved\n", x.type.c_str(),
                             x.handle.c_str(), x.layer.c_str());
                FUZZ_CHECK(!"what is on a locked or frozen layer stays");
            }
            if (!same && !byWorld && !byPlane) {
                std::fprintf(stderr, "%s %s: group %d moved by other than the offset\n", x.type.c_str(),
                             x.handle.c_str(), p.code);
                FUZZ_CHECK(!"a move moves points by its offset");
            }
            moved = moved || !same;
        }
        if (!(flags & 5) && (dx != 0 || dy != 0) && !moved) {
            std::fprintf(stderr, "%s %s on layer %s did not move\n", x.type.c_str(), x.handle.c_str(),
                         x.layer.c_str());
            FUZZ_CHECK(!"a move moves every entity it selects");
        }
    }
}

void CloseAll()
{
    GcApDocManager* m = gcDocManagerPtr();
    while (m->documentCount() > 0) standin::CloseDocument(m->documentAt(m->documentCount() - 1));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > kMaxBytes) return 0;
    const double dx = (int8_t)data[0] / 8.0, dy = (int8_t)data[1] / 8.0;
    const std::string script((const char*)data + 2, size - 2);
    if (!Runnable(script)) return 0;

    CloseAll();
    standin::ClearCommandLine();
    static const std::wstring drawing = velkfuzz::WriteMachineFile("fuzz-small.dxf", kDrawing, sizeof kDrawing - 1);
    standin::QueueText(drawing);
    standin::InvokeCommand(L"OPEN");
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    FUZZ_CHECK(doc && doc->fileName().compare(drawing.c_str()) == 0);
    std::string opened;
    FUZZ_CHECK(standin::WriteDxfBytes(doc->database(), opened) == eOk);

    RunScript(script);
    standin::ClearCommandLine();
    FUZZ_CHECK(standin::OpenObjectCount() == 0);
    if (gcDocManagerPtr()->curDocument() == doc) {
        std::string before, after;
        FUZZ_CHECK(standin::WriteDxfBytes(doc->database(), before) == eOk);
        const std::string there = Number(dx) + "," + Number(dy), back = Number(-dx) + "," + Number(-dy);
        // Every kind of the drawing and all a script makes can be moved:
        // both moves succeed when there is something to select.
        std::map<std::string, int> layers;
        bool selectable = false;
        for (const Unit& u : Units(Lines(before), layers))
            selectable = selectable || (!u.paper && !((layers.count(u.layer) ? layers[u.layer] : 0) & 1));
        FUZZ_CHECK(RunScript("MOVE\n> select all\n0,0\n" + there + "\n") == selectable);
        standin::ClearCommandLine();
        std::string moved;
        FUZZ_CHECK(standin::WriteDxfBytes(doc->database(), moved) == eOk);
        CheckMoved(before, moved, dx, dy);
        FUZZ_CHECK(RunScript("MOVE\n> select all\n0,0\n" + back + "\n") == selectable);
        standin::ClearCommandLine();
        FUZZ_CHECK(standin::OpenObjectCount() == 0);
        FUZZ_CHECK(standin::WriteDxfBytes(doc->database(), after) == eOk);
        Compare(before, after, std::fabs(dx) + std::fabs(dy));

        const size_t done = standin::UndoDepth(doc);
        std::string undos, redos;
        for (size_t i = 0; i < done; ++i) undos += "UNDO\n", redos += "REDO\n";
        RunScript(undos);
        standin::ClearCommandLine();
        std::string undone, redone;
        FUZZ_CHECK(standin::UndoDepth(doc) == 0 && standin::UndoDepth(doc, true) == done);
        FUZZ_CHECK(standin::WriteDxfBytes(doc->database(), undone) == eOk);
        if (undone != opened) Mismatch(Lines(opened), Lines(undone), FirstDifference(opened, undone), "the drawing after UNDO of every command");
        RunScript(redos);
        standin::ClearCommandLine();
        FUZZ_CHECK(standin::WriteDxfBytes(doc->database(), redone) == eOk);
        if (redone != after) Mismatch(Lines(after), Lines(redone), FirstDifference(after, redone), "the drawing after UNDO and REDO");
    }
    CloseAll();
    standin::ClearCommandLine();
    return 0;
}
