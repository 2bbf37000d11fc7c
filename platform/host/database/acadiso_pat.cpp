// The stand-in host's hatch pattern file: the predefined patterns in the
// pattern-file form ("*NAME, description" then one line per family:
// angle, base x, base y, shift along the line, step to the next line,
// dashes), in millimetres, read once when a pattern is first asked for.
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <map>
#include <sstream>
#include <string>

#include "oddbhatch.h"

namespace {

const char kAcadIsoPat[] = R"(
*SOLID, Solid fill
45, 0,0, 0,3.175
*ANGLE, Angle steel
0, 0,0, 0,6.985, 5.08,-1.905
90, 0,0, 0,6.985, 5.08,-1.905
*ANSI31, ANSI iron, brick, stone masonry
45, 0,0, 0,3.175
*ANSI32, ANSI steel
45, 0,0, 0,9.525
45, 4.490128,0, 0,9.525
*ANSI33, ANSI bronze, brass, copper
45, 0,0, 0,6.35
45, 4.490128,0, 0,6.35, 3.175,-1.5875
*ANSI34, ANSI plastic, rubber
45, 0,0, 0,19.05
45, 4.490128,0, 0,19.05
45, 8.980256,0, 0,19.05
45, 13.470384,0, 0,19.05
*ANSI35, ANSI fire brick, refractory material
45, 0,0, 0,6.35
45, 4.490128,0, 0,6.35, 7.9375,-1.5875,0,-1.5875
*ANSI36, ANSI marble, slate, glass
45, 0,0, 5.55625,3.175, 7.9375,-1.5875,0,-1.5875
*ANSI37, ANSI lead, zinc, magnesium, sound insulation
45, 0,0, 0,3.175
135, 0,0, 0,3.175
*ANSI38, ANSI aluminium
45, 0,0, 0,3.175
135, 0,0, 6.35,3.175, 7.9375,-4.7625
*BOX, Box steel
90, 0,0, 0,25.4
90, 6.35,0, 0,25.4
0, 0,0, 0,25.4, -6.35,6.35
0, 0,6.35, 0,25.4, -6.35,6.35
0, 0,0, 0,25.4, 6.35,-6.35
0, 0,6.35, 0,25.4, 6.35,-6.35
90, 0,0, 0,25.4, 6.35,-6.35
90, 6.35,0, 0,25.4, 6.35,-6.35
*BRICK, Brick or masonry
0, 0,0, 0,6.35
90, 0,0, 0,12.7, 6.35,-6.35
90, 6.35,0, 0,12.7, -6.35,6.35
*CROSS, Crosses
0, 0,0, 6.35,6.35, 3.175,-9.525
90, 1.5875,-1.5875, 6.35,6.35, 3.175,-9.525
*DASH, Dashed lines
0, 0,0, 3.175,3.175, 3.175,-3.175
*DOTS, Dots
0, 0,0, 0.79375,1.5875, 0,-1.5875
*EARTH, Earth or ground
0, 0,0, 6.35,6.35, 6.35,-6.35
0, 0,2.38125, 6.35,6.35, 6.35,-6.35
0, 0,4.7625, 6.35,6.35, 6.35,-6.35
90, 0.79375,5.55625, 6.35,6.35, 6.35,-6.35
90, 3.175,5.55625, 6.35,6.35, 6.35,-6.35
90, 5.55625,5.55625, 6.35,6.35, 6.35,-6.35
*GRASS, Grass area
90, 0,0, 17.960512,17.960512, 4.7625,-31.158488
45, 0,0, 0,25.4, 4.7625,-31.158488
135, 0,0, 0,25.4, 4.7625,-31.158488
*GRAVEL, Gravel
228.0128, 18.288,25.4, 3.6576,-4.1184, 4.0988,-17.5396
184.9697, 16.002,22.86, 3.8101,-25.3997, 2.5398,-35.5601
132.5104, 10.16,22.86, 3.5557,-3.8862, 1.6512,-20.5014
267.9946, 0.254,16.002, 0.0887,-25.3999, 4.4998,-30.9089
292.8337, 0,10.668, -2.2861,-5.3851, 7.3661,-17.1859
357.3974, 2.794,4.318, 1.1522,-25.3996, 5.9513,-34.5077
37.4054, 8.7376,4.0386, 4.8262,3.6813, 6.2342,-31.4558
*HEX, Hexagons
0, 0,0, 0,5.49926, 3.175,-6.35
120, 0,0, 0,5.49926, 3.175,-6.35
60, 3.175,0, 0,5.49926, 3.175,-6.35
*HONEY, Honeycomb
0, 0,0, 4.7625,2.749630, 3.175,-6.35
120, 0,0, 4.7625,2.749630, 3.175,-6.35
60, 0,0, 4.7625,2.749630, -6.35,3.175
*LINE, Parallel horizontal lines
0, 0,0, 0,3.175
*NET, Horizontal and vertical grid
0, 0,0, 0,3.175
90, 0,0, 0,3.175
*NET3, Network pattern 0-60-120
0, 0,0, 0,3.175
60, 0,0, 0,3.175
120, 0,0, 0,3.175
*SQUARE, Small aligned squares
0, 0,0, 0,3.175, 3.175,-3.175
90, 0,0, 0,3.175, 3.175,-3.175
*STARS, Star of David
0, 0,0, 0,5.49926, 3.175,-3.175
60, 0,0, 0,5.49926, 3.175,-3.175
120, 1.5875,2.749630, 0,5.49926, 3.175,-3.175
*STEEL, Steel material
45, 0,0, 0,3.175
45, 0,1.5875, 0,3.175
*TRIANG, Equilateral triangles
60, 0,0, 4.7625,8.248889, 4.7625,-4.7625
120, 0,0, 4.7625,8.248889, 4.7625,-4.7625
0, -2.38125,4.124445, 4.7625,8.248889, 4.7625,-4.7625
*ZIGZAG, Staircase effect
0, 0,0, 3.175,3.175, 3.175,-3.175
90, 3.175,0, 3.175,3.175, 3.175,-3.175
*ACAD_ISO02W100, dashed line
0, 0,0, 0,5, 12,-3
*ACAD_ISO03W100, dashed space line
0, 0,0, 0,5, 12,-18
*ACAD_ISO04W100, long dashed dotted line
0, 0,0, 0,5, 24,-3,0.5,-3
*ACAD_ISO05W100, long dashed double dotted line
0, 0,0, 0,5, 24,-3,0.5,-3,0.5,-3
*ACAD_ISO06W100, long dashed triplicate dotted line
0, 0,0, 0,5, 24,-3,0.5,-3,0.5,-6.5
0, 0,0, 0,5, -34,0.5,-3
*ACAD_ISO07W100, dotted line
0, 0,0, 0,5, 0.5,-3
*ACAD_ISO08W100, long dashed short dashed line
0, 0,0, 0,5, 24,-3,6,-3
*ACAD_ISO09W100, long dashed double short dashed line
0, 0,0, 0,5, 24,-3,6,-3,6,-3
*ACAD_ISO10W100, dashed dotted line
0, 0,0, 0,5, 12,-3,0.5,-3
*ACAD_ISO11W100, double dashed dotted line
0, 0,0, 0,5, 12,-3,12,-3,0.5,-3
*ACAD_ISO12W100, dashed double dotted line
0, 0,0, 0,5, 12,-3,0.5,-3,0.5,-3
*ACAD_ISO13W100, double dashed double dotted line
0, 0,0, 0,5, 12,-3,12,-3,0.5,-6.5
0, 0,0, 0,5, -33.5,0.5,-3
*ACAD_ISO14W100, dashed triplicate dotted line
0, 0,0, 0,5, 12,-3,0.5,-3,0.5,-6.5
0, 0,0, 0,5, -22,0.5,-3
*ACAD_ISO15W100, double dashed triplicate dotted line
0, 0,0, 0,5, 12,-3,12,-3,0.5,-10
0, 0,0, 0,5, -33.5,0.5,-3,0.5,-3
)";

// The file read into families of lines in the drawing's form: the step to
// the next line given in the drawing's axes rather than along the line.
std::map<std::wstring, OdHatchPattern> Parse()
{
    std::map<std::wstring, OdHatchPattern> patterns;
    std::istringstream in(kAcadIsoPat);
    std::wstring current;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '*') {
            std::string name = line.substr(1, line.find(',') - 1);
            current.assign(name.begin(), name.end());
            patterns[current];
            continue;
        }
        std::vector<double> v;
        std::istringstream fields(line);
        for (std::string f; std::getline(fields, f, ',');) v.push_back(std::strtod(f.c_str(), nullptr));
        if (v.size() < 5 || current.empty()) continue;
        OdHatchPatternLine l;
        l.m_dLineAngle = v[0] * M_PI / 180.0;
        l.m_basePoint.set(v[1], v[2]);
        double c = std::cos(l.m_dLineAngle), s = std::sin(l.m_dLineAngle);
        l.m_patternOffset = OdGeVector2d(v[3] * c - v[4] * s, v[3] * s + v[4] * c);
        for (size_t i = 5; i < v.size(); ++i) l.m_dashes.append(v[i]);
        patterns[current].append(l);
    }
    return patterns;
}

}  // namespace

bool standin::PredefinedPattern(const wchar_t* name, OdHatchPattern& lines)
{
    static const std::map<std::wstring, OdHatchPattern> patterns = Parse();
    if (!name) return false;
    std::wstring key(name);
    for (auto& c : key) c = (wchar_t)std::towupper(c);
    auto it = patterns.find(key);
    if (it == patterns.end()) return false;
    lines = it->second;
    return true;
}
