// Drawing files (stand-in internals): what a file held that the database
// does not model, kept as read so that saving writes it back in place.
//
// An object keeps the groups of its record that the writer does not
// produce, in runs: a run goes back at the end of the groups of the
// subclass it was read in (by the subclass marker and which occurrence of
// it), or, for a subclass the writer does not write at all, whole after the
// subclass before it. Handles in kept groups are kept as the objects they
// name, so a handle the reader had to change is written as the new one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "odgegeometry.h"
#include "oddbobject.h"

namespace standin {

struct KeptGroup {
    int code = 0;
    // How the value is held (dxf::Kind): text, real, integer or handle.
    uint8_t kind = 0;
    std::wstring text;
    // Text: its value line as the file wrote it, in UTF-8; a number: the
    // same, where the writer would spell it otherwise, else empty.
    std::string spelled;
    double real = 0;
    int64_t integer = 0;
    OdDbObjectId id;  // handles: the object named; null for none
    size_t at = SIZE_MAX;  // which group of the file it was, while reading
};

struct KeptRun {
    std::string subclass;  // the marker the run belongs to; "" before any
    int occurrence = 0;    // which occurrence of that marker
    // A subclass of its own, starting with its marker, that goes after
    // `subclass` (the last marker the writer writes before it).
    bool whole = false;
    std::vector<KeptGroup> groups;
};

// An Xrecord whose file gave no cloning flag (280) before its data.
constexpr int kNoCloningFlag = 1;
// A hatch whose file gave a pixel size of 0, which goes back.
constexpr int kZeroPixelSize = 2;
// A text of the default alignment whose file gave its alignment point: it
// goes back, and moves with the text.
constexpr int kAlignmentGiven = 4;

struct DxfKept {
    // The record's type when it is not the one the writer gives the object
    // (a dictionary with a default, for one).
    std::string dxfType;
    std::vector<KeptRun> runs;
    // A block's own records: the groups of its BLOCK and ENDBLK records.
    std::unique_ptr<DxfKept> blockBegin, blockEnd;
    // The records of a sequence the object is written with (its vertices
    // and the sequence end), in order.
    std::vector<std::unique_ptr<DxfKept>> subRecords;
    // The handles the file gave the records the database does not keep (a
    // block's BLOCK and ENDBLK: `handle` of `blockBegin` and `blockEnd`;
    // a sequence's: `subHandles`, in order; 0 for none), so that saving
    // what was read gives them the same ones.
    uint64_t handle = 0;
    std::vector<uint64_t> subHandles;
    // Points the file gave in the entity's own plane (a normal other than
    // +Z), by the slot the writer writes them in, with the world points
    // they were read as and the normal: while the entity still has both,
    // the file's values go back, so that saving does not move them by the
    // rounding of two conversions.
    struct PlanePoint {
        OdGePoint3d plane, world;
    };
    std::vector<PlanePoint> planePoints;
    OdGeVector3d planeNormal;
    // An MTEXT whose file cut its contents into pieces otherwise than the
    // writer cuts them (another program cuts after 250 bytes of escapes,
    // "\U+4E2D", not 250 characters): where each piece ended in the
    // contents read, and those contents. While the object holds them the
    // writer cuts there, so that each piece goes back as the file spelled it.
    std::vector<uint32_t> pieceEnds;
    std::wstring piecesOf;
    // A solid fill's pattern as the file gave it after the loops (angle,
    // scale, doubling, lines): a solid fill has none, and the writer writes
    // these where a pattern goes.
    std::vector<KeptGroup> solidPattern;
    // The colour number a file gave beside a true colour (420), and that
    // colour: the number goes back while the object has the colour.
    int colourNumber = -1;
    int64_t colourRgb = -1;
    // Flags of the record beyond what the object models (a dimension's;
    // of an Xrecord, kNoCloningFlag; of a hatch, kZeroPixelSize).
    int flags = 0;
    // A dictionary's entries the file gave as hard-owned, and its default
    // (of a dictionary with a default).
    std::vector<OdDbObjectId> hardOwned;
    OdDbObjectId defaultEntry;
    // A draw-order table as the file gave it: (entity, sort handle), and
    // the draw order that gives.
    std::vector<std::pair<OdDbObjectId, uint64_t>> sortHandles;
    OdDbObjectIdArray sortOrder;
};

// Objects copy and delete what they keep (oddbdatabase.cpp calls these).
// A copy leaves out what only the original may name (what it owns, the
// handles of its records); a whole copy, of the state an undo puts back
// into the same object, keeps them.
DxfKept* CopyKept(const DxfKept* k, bool whole = false);
// Whether a kept group owns what it names (360), which a copy leaves out;
// one that names nothing owns nothing, and a copy keeps it as written.
inline bool NamesWhatItOwns(const KeptGroup& g) { return g.code == 360 && !g.id.isNull(); }
// Which of a run's groups are in an application group of the object's own
// kept as written ("102 {ACAD_REACTORS" ... "102 }", one left open up to
// its last handle): they name the original's dictionary and reactors, and
// a copy goes without them.
std::vector<bool> OwnApplicationGroups(const KeptRun& run);
void DeleteKept(DxfKept* k);

// A value the file wrote otherwise than the writer writes what the
// object holds (a colour number beside a true colour, a declared count,
// an angle in degrees, a name in other letters, a default the file left
// out). Found at a save, by comparing the record written with the file's
// (DxfFileRecords) value by value, and put back as the file wrote it only
// where the value written is the one the file's spelling means (the same
// number, text or name however spelled), or the one the writer wrote of it
// when the file was read (a count, a flag it derives, a name it has no
// record of: DxfFileRecords::corrections); a default dropped or added
// back only where it is what leaving the code out means, or left out as
// it was then. docs/architecture.md lists every way a file's spelling
// goes back.
struct Respelling {
    enum Kind : uint8_t { kReplace, kDrop, kAdd };
    Kind kind = kReplace;
    // The group's GroupWriter::Tag: a value, the owner or an item of
    // extended data; a default written before a kept value, dropped where
    // the file's own goes back.
    uint8_t tag = 0;
    int code = 0;
    int occurrence = 0;    // of the code among the record's groups of that tag
    std::string written;   // the writer's value line (kReplace, kDrop)
    std::string file;      // the file's (kReplace, kAdd)
    std::string subclass;  // where an added group goes: the end of this
    int subOccurrence = 0; // subclass ("" before any marker), or in it
    // before the writer's `beforeOccurrence`-th value of `beforeCode`,
    // where the file gave it before that value (-1: none)
    int beforeCode = -1;
    int beforeOccurrence = 0;
    // A name of a record (a linetype, a text style, a dimension style,
    // the layer of a sequence's record or a block's begin or end): it
    // goes back only while the drawing has a record of that name, or
    // none, as it had when read (`named`).
    enum Names : uint8_t { kNoName, kLinetype, kTextStyle, kDimensionStyle, kLayer };
    Names names = kNoName;
    bool named = false;
};

// The records of a file as it wrote them, for finding at a save the values
// it wrote otherwise than the writer (Respelling): the file's text, and
// per record read into an object where it is and what the reader made of
// each of its groups. A save writes each record and compares it with the
// file's, value by value. When the file is read, only what the object
// holds otherwise than the file spells it is noted, with what the writer
// wrote of it then (`corrections`).
struct DxfFileRecords {
    std::string bytes;
    bool utf8 = true;
    unsigned codePage = 1252;
    bool codePageAssumed = false;  // TextCodec::assumed
    // The subclass lists records were read by (Loader's `written`).
    std::vector<std::vector<const char*>> written;
    // The reader's state of each group of the records, from their 0 group.
    std::vector<uint8_t> states;
    // The names, without case, of the drawing's linetypes, text styles,
    // dimension styles and layers when it was read (Respelling::Names).
    std::vector<std::wstring> names[4];
    // Records are found by their object's handle, which an undo that puts
    // an object's values back (OdDbDatabase::exchangeState) leaves as it
    // was; 0 is no object's.
    struct Record {
        uint64_t of = 0;        // the object's handle
        int sub = 0;            // which record of it (dxf_internal.h)
        uint32_t from = 0, to = 0;  // its bytes, from the line of its 0 group
        uint32_t state = 0;     // its groups' first state in `states`
        uint32_t groups = 0;    // how many, its 0 group included
        uint32_t valuesEnd = 0; // where its own values end (its extended data)
        uint32_t ownerAt = UINT32_MAX;  // its owner's group
        uint16_t written = 0;   // in `written`
        bool dataRecord = false;
    };
    std::vector<Record> records;  // by object and sub
    // What the writer wrote, when the file was read, of each value the
    // object holds otherwise than the file spells it (GroupState's
    // kCorrected: one its setter refused, a count or flag it works out, a
    // name it has no record of, a handle of an object not there, a value
    // it could not read), and of each code the file left out whose meaning
    // no description gives: the file's spelling goes back, or the code
    // stays out, while the writer writes it as then.
    struct Correction {
        enum Written : uint8_t { kLeftOut, kNumber, kText };
        uint32_t at = 0;  // its group's state in `states`; a code left out: the record's first
        int16_t code = -1;        // a code left out, of which this is the
        uint16_t occurrence = 0;  // `occurrence`-th value written; -1 for a group
        Written written = kLeftOut;
        double number = 0;  // kNumber
        std::string text;   // kText: the value line as the writer spelled it
        // Whether the value line written now is the one written then (null
        // for a value left out).
        bool writtenAs(const std::string_view* now) const;
    };
    std::vector<Correction> corrections;  // by `at`, `code`, `occurrence`
    const Correction* correctionAt(uint32_t at, int code = -1, int occurrence = 0) const
    {
        auto key = [](const Correction& c) { return std::make_tuple(c.at, (int)c.code, (int)c.occurrence); };
        auto it = std::lower_bound(corrections.begin(), corrections.end(), std::make_tuple(at, code, occurrence),
                                   [&key](const Correction& c, const std::tuple<uint32_t, int, int>& k) {
                                       return key(c) < k;
                                   });
        return it != corrections.end() && key(*it) == std::make_tuple(at, code, occurrence) ? &*it : nullptr;
    }
    // How many records the file gave the sequence of each object that has
    // one (its vertices and its end), by object.
    std::vector<std::pair<uint64_t, uint32_t>> sequences;
    static uint64_t keyOf(const OdDbObject* o) { return o ? (uint64_t)o->objectId().getHandle() : 0; }
    size_t sequenceLength(const OdDbObject* object) const { return sequenceLength(keyOf(object)); }
    size_t sequenceLength(uint64_t of) const
    {
        auto it = std::lower_bound(sequences.begin(), sequences.end(), of,
                                   [](const std::pair<uint64_t, uint32_t>& s, uint64_t k) { return s.first < k; });
        return of && it != sequences.end() && it->first == of ? it->second : 0;
    }
    const Record* find(const OdDbObject* object, int sub) const { return find(keyOf(object), sub); }
    const Record* find(uint64_t of, int sub) const
    {
        auto it = std::lower_bound(records.begin(), records.end(), std::make_pair(of, sub),
                                   [](const Record& r, const std::pair<uint64_t, int>& k) {
                                       return r.of != k.first ? r.of < k.first : r.sub < k.second;
                                   });
        return of && it != records.end() && it->of == of && it->sub == sub ? &*it : nullptr;
    }
};

// The records read under other handles than the file gave them, each in
// a few numbers and told as a line (the type, where, why) when asked: a
// file may give half a million records handles that are taken, and a line
// held as text costs more than the record.
class RenumberedRecords {
public:
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    // A record of `type` (as said) at `line` (0: not said) whose handle
    // `given` an earlier record has; it has `now`.
    void taken(std::string_view type, uint64_t line, uint64_t given, uint64_t now)
    {
        entries_.push_back({line, given, now, word(type), kTaken});
    }
    // One with another reason, `why` ("its handle ... is ..."); it has `now`.
    void other(std::string_view type, uint64_t line, std::string_view why, uint64_t now)
    {
        entries_.push_back({line, 0, now, word(type), word(why)});
    }
    // "TYPE at line N: why; it has handle H instead".
    std::wstring said(size_t i) const;

private:
    static const uint32_t kTaken = UINT32_MAX;
    struct Entry {
        uint64_t line, given, now;
        uint32_t type, why;  // in words_; why kTaken: an earlier record has it
    };
    // Types and reasons each held once (a hostile file may give many; an
    // ordered map, which no choice of them makes slower than its logarithm).
    uint32_t word(std::string_view w)
    {
        if (last_ < words_.size() && words_[last_] == w) return last_;
        auto it = index_.find(w);
        if (it == index_.end()) {
            it = index_.emplace(std::string(w), (uint32_t)words_.size()).first;
            words_.push_back(it->first);
        }
        return last_ = it->second;
    }
    std::vector<Entry> entries_;
    std::vector<std::string> words_;
    std::map<std::string, uint32_t, std::less<>> index_;
    uint32_t last_ = UINT32_MAX;
};

// What a file held beyond its objects: its header variables, class
// entries and sections the database has no use for, each kept as read.
struct DxfFileKept {
    // $NAME and the groups of its value.
    std::vector<std::pair<std::string, std::vector<KeptGroup>>> header;
    // The records of the classes section: their types ("CLASS") and the
    // groups after them.
    std::vector<std::pair<std::string, std::vector<KeptGroup>>> classes;
    // Sections other than the ones the database is built from, by name.
    std::vector<std::pair<std::string, std::vector<KeptGroup>>> sections;
    // What of the file the drawing does not hold, one line each (the type,
    // where, why); every save names it among what it could not carry. The
    // file's name, when it was read from one.
    std::vector<std::wstring> notRead;
    // The records read under other handles than the file gave them; every
    // save names them too.
    RenumberedRecords renumbered;
    std::wstring source;
    // The code page texts were read in where the file names none the reader
    // can read, and why (DxfCodePageAssumed).
    std::wstring codePageAssumed;
    // Objects the reader left out of the drawing (erased): what they own
    // is named when a save leaves it out with them.
    std::vector<uint64_t> leftOut;
    std::unique_ptr<DxfFileRecords> records;
};

}  // namespace standin
