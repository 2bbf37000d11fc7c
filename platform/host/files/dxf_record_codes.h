// Drawing files (stand-in internals): the codes of the records that are not
// entities (the header's variables, the classes, the tables' heads and
// records, a block's begin and end, the objects), named once for the
// schema (dxf_schema.cpp), the reader and the writer, as the entity kinds
// name theirs (dxf_kinds.h). Each struct is one subclass: its marker, its
// codes, and the lists Describe() reads (kAll, kSoft, kDerived).
#pragma once

#include <array>
#include <string_view>
#include <utility>
#include <vector>

#include "dxf_kinds.h"

namespace standin {
namespace dxf {

struct Subclass;

// The header's variables the writer gives values of, each under its name
// (kVariable).
struct HeaderCodes {
    static constexpr int kVariable = 9;
    static constexpr int kVersion = 1, kCodePage = 3, kHandseed = 5, kLayer = 8, kLinetype = 6, kTextStyle = 7,
                         kLinetypeScale = 40, kDimstyle = 2;
};

// A class the file declares (the CLASSES section's records).
struct ClassCodes {
    static constexpr int kRecord = 1, kCppName = 2, kApplication = 3, kFlags = 90, kInstances = 91, kWasProxy = 280,
                         kIsEntity = 281;
};

// A table's head: its name before the first marker, then the count of its
// records, which the writer counts afresh.
struct TableCodes {
    static constexpr const char* kMarker = "AcDbSymbolTable";
    static constexpr int kName = 2;
    static constexpr int kCount = 70;
    static constexpr int kAll[] = {kCount};
    static constexpr int kDerived[] = {kCount};
};

// What every table record holds first: a subclass with nothing in it.
struct TableRecordCodes {
    static constexpr const char* kMarker = "AcDbSymbolTableRecord";
    static constexpr std::array<int, 0> kAll{};
};

// Each table record's own subclass opens with its name and flags.
struct NamedRecordCodes {
    static constexpr int kName = 2, kFlags = 70;
};

struct LayerCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbLayerTableRecord";
    // A negative colour number is a layer turned off.
    static constexpr int kColour = 62, kTrueColour = 420, kLinetype = 6, kPlottable = 290, kLineWeight = 370;
    static constexpr int kAll[] = {kName, kFlags, kColour, kTrueColour, kLinetype, kPlottable, kLineWeight};
    // What a layer the file gives no weight means (the writer writes it
    // always).
    static constexpr Default kMeant[] = {{kLineWeight, "-3"}};
    static constexpr NamedCode kNames[] = {{kLinetype, NameOf::kLinetype}};
};

// A linetype's dashes follow its own values (LinetypeDashCodes), the count
// and the pattern's length worked out from them.
struct LinetypeCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbLinetypeTableRecord";
    static constexpr int kDescription = 3, kAlignment = 72, kDashCount = 73, kPatternLength = 40;
    static constexpr int kAll[] = {kName, kFlags, kDescription, kAlignment, kDashCount, kPatternLength};
    static constexpr int kDerived[] = {kDashCount, kPatternLength};
};
// A dash: its length opens it; its flags, and what places a shape or a
// text it carries, follow.
struct LinetypeDashCodes {
    static constexpr int kLength = 49;
    static constexpr int kFlags = 74, kShape = 75, kStyle = 340, kScale = 46, kRotation = 50, kOffsetX = 44,
                         kOffsetY = 45, kText = 9;
    // Those a dash holds one of each, after its length.
    static constexpr int kOfDash[] = {kFlags, kShape, kStyle, kScale, kRotation, kOffsetX, kOffsetY, kText};
    static constexpr int kAll[] = {kLength, kFlags, kShape, kStyle, kScale, kRotation, kOffsetX, kOffsetY, kText};
};

struct TextStyleCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbTextStyleTableRecord";
    static constexpr int kHeight = 40, kWidth = 41, kOblique = 50, kGeneration = 71, kPriorSize = 42, kFont = 3,
                         kBigFont = 4;
    static constexpr int kAll[] = {kName, kFlags, kHeight, kWidth, kOblique, kGeneration, kPriorSize, kFont, kBigFont};
};

// A viewport and a view hold the same settings under codes of their own:
// a viewport's width is its aspect, a view's its width.
struct ViewportCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbViewportTableRecord";
    static constexpr int kCenter = 12, kDirection = 16, kTarget = 17, kHeight = 40, kWidth = 41, kLens = 42,
                         kFrontClip = 43, kBackClip = 44, kTwist = 51, kMode = 71;
    // The corners of its place on the screen, which the drawing does not
    // hold: written only where the file gave none.
    static constexpr int kLowerLeft = 10, kUpperRight = 11;
    static constexpr int kAll[] = {kName,  kFlags,     kCenter,    kDirection, kTarget, kHeight,
                                   kWidth, kLens,      kFrontClip, kBackClip,  kTwist,  kMode};
    static constexpr int kSoft[] = {kLowerLeft, kUpperRight};
    static constexpr Default kMeant[] = {{kLens, "50.0"}, {kFrontClip, "0.0"}, {kBackClip, "0.0"}, {kTwist, "0.0"}};
};
struct ViewCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbViewTableRecord";
    static constexpr int kHeight = 40, kCenter = 10, kWidth = 41, kDirection = 11, kTarget = 12, kLens = 42,
                         kFrontClip = 43, kBackClip = 44, kTwist = 50, kMode = 71;
    static constexpr int kAll[] = {kName,   kFlags, kHeight,    kCenter,   kWidth, kDirection,
                                   kTarget, kLens,  kFrontClip, kBackClip, kTwist, kMode};
    static constexpr Default kMeant[] = {{kLens, "50.0"}, {kFrontClip, "0.0"}, {kBackClip, "0.0"}, {kTwist, "0.0"}};
};

struct UcsCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbUCSTableRecord";
    static constexpr int kOrigin = 10, kXAxis = 11, kYAxis = 12;
    static constexpr int kAll[] = {kName, kFlags, kOrigin, kXAxis, kYAxis};
};

struct RegAppCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbRegAppTableRecord";
    static constexpr int kAll[] = {kName, kFlags};
};

// A dimension style's handle has a code of its own. Its values are kept as
// the file gave them; the reader looks only at the arrow blocks, named
// (the oldest form, three codes from kArrowName) or by their records
// (three from kArrowRecord).
struct DimStyleCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbDimStyleTableRecord";
    static constexpr int kHandle = 105;
    static constexpr int kArrowName = 5, kArrowRecord = 342, kArrows = 3;
    static constexpr int kAll[] = {kName, kFlags};
};

// A block's record: its flags and what says whether it may be exploded and
// scaled are the file's, the writer's only where the file gave none.
struct BlockRecordCodes : NamedRecordCodes {
    static constexpr const char* kMarker = "AcDbBlockTableRecord";
    static constexpr int kExplodable = 280, kScalable = 281;
    static constexpr int kAll[] = {kName};
    static constexpr int kSoft[] = {kFlags, kExplodable, kScalable};
};

// A block's begin, after the entity's subclass; its name is given twice,
// the second worked out from the first. The path of an external reference
// is the file's.
struct BlockBeginCodes {
    static constexpr const char* kMarker = "AcDbBlockBegin";
    static constexpr int kName = 2, kFlags = 70, kBase = 10, kNameAgain = 3, kPath = 1;
    static constexpr int kAll[] = {kName, kFlags, kBase, kNameAgain};
    static constexpr int kDerived[] = {kNameAgain};
    static constexpr int kSoft[] = {kPath};
};
struct BlockEndCodes {
    static constexpr const char* kMarker = "AcDbBlockEnd";
    static constexpr std::array<int, 0> kAll{};
};

// A dictionary's entries: a key, then the object it names, by a hard
// reference where the dictionary owns it so.
struct DictionaryCodes {
    static constexpr const char* kMarker = "AcDbDictionary";
    static constexpr int kHardOwner = 280, kKey = 3, kEntry = 350, kHardEntry = 360, kCloning = 281;
    static constexpr int kAll[] = {kHardOwner, kKey, kEntry, kHardEntry};
    static constexpr int kSoft[] = {kCloning};
};

// A dictionary with a default: the object its lookups give for a key it
// lacks, in a subclass after the dictionary's own.
struct DictionaryWithDefaultCodes {
    static constexpr const char* kMarker = "AcDbDictionaryWithDefault";
    static constexpr int kDefault = 340;
    static constexpr int kAll[] = {kDefault};
};

// An Xrecord's subclass holds its cloning flag, then data of any codes.
struct XrecordCodes {
    static constexpr const char* kMarker = "AcDbXrecord";
    static constexpr int kCloning = 280;
};

struct ImageDefCodes {
    static constexpr const char* kMarker = "AcDbRasterImageDef";
    // The size in pixels is a point's x and y.
    static constexpr int kFileName = 1, kSize = 10, kLoaded = 280;
    static constexpr int kVersion = 90, kPixelSize = 11, kUnits = 281;
    static constexpr int kAll[] = {kFileName, kSize, kLoaded};
    static constexpr int kSoft[] = {kVersion, kPixelSize, kUnits};
};

// A draw order: its block, then pairs of an entity and its sort handle.
struct SortentsCodes {
    static constexpr const char* kMarker = "AcDbSortentsTable";
    static constexpr int kBlock = 330, kEntity = 331, kSortHandle = 5;
    static constexpr int kAll[] = {kBlock, kEntity, kSortHandle};
};

// Every subclass above that the schema describes, with the type of each
// record written in it; an Xrecord's, which owns every code, is not among
// them.
const std::vector<std::pair<std::string_view, const Subclass*>>& RecordSubclasses();

}  // namespace dxf
}  // namespace standin
