// Drawing files of the stand-in host (stand-in internals): the group reader
// every byte of a file passes through, the text decoding, the group writer,
// and the access to the objects' stored state that reading and writing
// need.
//
// A DXF file is a sequence of groups, each a line holding a group code and
// a line holding its value; the code fixes the value's kind. The reader
// checks every line against the kind before anything else looks at it, so
// the code that builds the database works on values that are known to be
// well formed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "oddbdatabase.h"
#include "odgegeometry.h"

namespace standin {
namespace dxf {

enum class Kind : uint8_t { kText, kReal, kInt, kHandle };

// The kind of value a group code carries; false for a code that DXF does
// not define.
bool KindOfCode(int code, Kind& kind);

struct Group {
    int code = 0;
    Kind kind = Kind::kText;
    uint32_t line = 0;      // line number of the code, counted from 1
    std::string_view text;  // the value line as stored (without its line end)
    double real = 0;        // kReal
    int64_t integer = 0;    // kInt
    uint64_t handle = 0;    // kHandle (0: none)
};

// Object ids as keys of hashed sets.
struct ObjectIdHash {
    size_t operator()(const OdDbObjectId& id) const { return std::hash<const void*>()(id.stub()); }
};

// Limits on what a file may hold; a file over them is refused.
const size_t kMaxFileBytes = size_t(256) << 20;
const size_t kMaxLineBytes = size_t(256) << 10;

// Splits the file into groups up to and including "0 EOF", checking each
// value against its code's kind. False, with a reason, for a file that ends
// early, a line that is too long or a value that does not fit its code.
// `groups` then holds the groups read before the fault. Comments (999) are
// no groups: the lines of their codes go to `comments`.
bool ReadGroups(std::string_view bytes, std::vector<Group>& groups, std::string& error,
                std::vector<uint32_t>* comments = nullptr);

// How the strings of a file are encoded: UTF-8 from the 2007 form on, the
// drawing's code page before it.
struct TextCodec {
    bool utf8 = true;
    unsigned codePage = 1252;
    // The value as wide text: bytes decoded, caret codes ("^J", "^ ") and
    // Unicode escapes ("\U+XXXX", "\M+nXXXX") resolved. Malformed bytes
    // become U+FFFD.
    std::wstring decode(std::string_view bytes) const;
    // The value in UTF-8 as the file spelled it: only the bytes decoded,
    // caret codes and escapes left as they are.
    std::string transcode(std::string_view bytes) const;
};
// The code page number of a $DWGCODEPAGE value ("ANSI_936" -> 936); 0 when
// it names none.
unsigned CodePageOfName(std::string_view name);
// Whether text of the code page can be read (iconv knows it).
bool CodePageReadable(unsigned codePage);

// Builds the text of a DXF file, one group at a time.
class GroupWriter {
public:
    // Strings go out as UTF-8; control characters and carets that would
    // read as one in caret form.
    void text(int code, const std::wstring& s) { put(code, TextValue(s)); }
    void ascii(int code, std::string_view s) { put(code, s); }
    void integer(int code, int64_t v) { put(code, IntegerValue(code, v)); }
    // The shortest form that reads back as the same double; values that are
    // not finite are written as 0.
    void real(int code, double v) { put(code, RealValue(v)); }
    void handle(int code, uint64_t h) { put(code, HandleValue(h)); }
    void point(int code, const OdGePoint3d& p);
    void point2(int code, double x, double y);
    void put(int code, std::string_view value);
    const std::string& bytes() const { return out_; }
    void append(const std::string& text) { out_ += text; }
    // The text so far, handed over; the writer starts empty again.
    std::string take()
    {
        std::string s;
        s.swap(out_);
        return s;
    }
    // The value lines the writer gives each kind of value.
    static std::string TextValue(const std::wstring& s);
    static std::string IntegerValue(int code, int64_t v);
    // Whether a file's group of the code can hold the value.
    static bool Holds(int code, int64_t v);
    static std::string RealValue(double v);
    static std::string HandleValue(uint64_t h);

    // What a group is to the record it is in, for putting back the values
    // nobody changed as the file wrote them (dxf_write.cpp).
    enum Tag : uint8_t {
        kValue,     // a value of the object
        kOwner,     // the record's owner
        kFrame,     // type, handle, markers, the object's own application
                    // groups, the name of a block the save makes
        kKeptGroup, // a group kept as read
        kExtended,  // extended data
        kDefault,   // a default written only to stand before a kept value
    };
    struct Noted {
        int code;
        Tag tag;
        size_t at, length;  // the value's bytes in the text
    };
    void setTag(Tag t) { tag_ = t; }
    // Notes each group written from here on, until `stopNoting`.
    void startNoting()
    {
        noting_ = true;
        noted_.clear();
    }
    void stopNoting() { noting_ = false; }
    const std::vector<Noted>& noted() const { return noted_; }
    // Drops the text from `at` on (noting stops).
    void cut(size_t at)
    {
        out_.resize(at);
        noting_ = false;
    }

private:
    std::string out_;
    bool noting_ = false;
    Tag tag_ = kValue;
    std::vector<Noted> noted_;
};

// An ellipse's angle (from its major axis) of a parameter and back, for
// the ratio minor/major; whole turns are kept.
double EllipseAngleOfParam(double ratio, double param);
double EllipseParamOfAngle(double ratio, double angle);

// The type a record of the object is written as and the subclass markers
// it is written with, in order (dxf_write.cpp); the reader keeps what the
// writer does not write by them. Sub-records are named by their type and
// the parent's own subclass ("VERTEX" of "AcDb2dPolyline").
std::vector<const char*> WrittenSubclasses(const OdDbObject* o, std::string& type);
std::vector<const char*> SubRecordSubclasses(std::string_view parentSubclass, std::string_view type, int vertexFlags);
// The same for the object a record of that type is read into, told by the
// record's flags (a polyline's kind, a dimension's type; for a reference,
// 1 for one in rows and columns); kinds the database keeps whole have the
// entity's marker alone.
std::vector<const char*> SubclassesOfRecord(std::string_view type, int flags, bool entity);

// A hash of a record's values (the groups noted as values or its owner),
// its text starting at `start` of the writer's text.
uint64_t ValuesHash(std::string_view text, const std::vector<GroupWriter::Noted>& noted, size_t start);

// Which record of an object a record is: its own, its block's begin or
// end, or (0 on) the n-th record of its sequence.
enum : int { kObjectRecord = -1, kBlockBeginRecord = -2, kBlockEndRecord = -3 };
// A record written of an object: its text (from `start` in the writer's
// text) and its groups.
using RecordSeen = std::function<void(const OdDbObject* of, int sub, std::string_view text,
                                      const std::vector<GroupWriter::Noted>& groups, size_t start)>;
// Writes the database as WriteDxf does, handing each record of an object to
// `seen` instead of keeping it (dxf_write.cpp).
void SeeRecords(OdDbDatabase* db, const RecordSeen& seen);

// Writes the database as a DXF file (dxf_write.cpp). `losses`, when given,
// gets a line for each thing the file cannot carry (kind, handle, what).
OdResult WriteDxf(OdDbDatabase* db, std::string& bytes, std::vector<std::wstring>* losses = nullptr);
// Reads a DXF file into an empty database (dxf_read.cpp). A file refused
// leaves the database empty and says why in `why`: what the file seems to
// be when it is no DXF file, the line and section where one cannot be
// read.
OdResult ReadDxf(OdDbDatabase* db, std::string_view bytes, std::string& why);

}  // namespace dxf
}  // namespace standin
