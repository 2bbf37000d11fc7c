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

#include <algorithm>
#include <bitset>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dxf_kept.h"
#include "oddbdatabase.h"
#include "odgegeometry.h"

namespace standin {
namespace dxf {

// A name's letters in lower case, as names are compared. ASCII directly
// (names mostly are): towlower asks the locale for each character, and the
// host keeps the C locale, which lowers only ASCII letters.
inline wchar_t LowerLetter(wchar_t c)
{
    return c < 0x80 ? (c >= L'A' && c <= L'Z' ? (wchar_t)(c + 32) : c) : (wchar_t)std::towlower((wint_t)c);
}
inline std::wstring Lower(std::wstring s)
{
    for (auto& c : s) c = LowerLetter(c);
    return s;
}

constexpr double kDegToRad = M_PI / 180.0;

enum class Kind : uint8_t { kText, kReal, kInt, kHandle };

// The kind of value a group code carries; false for a code that DXF does
// not define.
bool KindOfCode(int code, Kind& kind);

// A subclass marker (group 100) kept among a record's groups.
inline KeptGroup KeptMarker(const char* subclass)
{
    KeptGroup m;
    m.code = 100;
    m.kind = (uint8_t)Kind::kText;
    m.spelled = subclass;
    m.text.assign(m.spelled.begin(), m.spelled.end());
    return m;
}

// A group's value line as stored (without its line end): a view of the
// file's text in 12 bytes, so that a group fits in 24.
#pragma pack(push, 4)
class GroupText {
public:
    GroupText() = default;
    GroupText(std::string_view s) : data_(s.data()), size_((uint32_t)s.size()) {}
    GroupText(const char* s) : GroupText(std::string_view(s)) {}
    operator std::string_view() const { return std::string_view(data_, size_); }
    const char* data() const { return data_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    char operator[](size_t i) const { return data_[i]; }
    std::string_view substr(size_t from, size_t n = std::string_view::npos) const
    {
        return std::string_view(*this).substr(from, n);
    }
    size_t find_first_of(std::string_view chars) const { return std::string_view(*this).find_first_of(chars); }

private:
    const char* data_ = nullptr;
    uint32_t size_ = 0;  // a value line is at most kMaxLineBytes
};
#pragma pack(pop)

// A large file has millions of groups, all held while it is read: a
// group is kept to 24 bytes, its value in the one field its kind uses.
// (The line of its code is counted again where a message names it:
// Loader::lineOf.)
// A value that cannot be what its code says (a name where a handle goes,
// a number past its code's range) is held as its text, `unreadable`: it is
// never a value of an object, and goes back as the file wrote it.
struct Group {
    GroupText text;  // the value line as stored (without its line end)
    int16_t code = 0;
    Kind kind = Kind::kText;
    bool unreadable = false;
    union {
        int64_t integer = 0;  // kInt
        double real;          // kReal
        uint64_t handle;      // kHandle (0: none)
    };
};
static_assert(sizeof(Group) == 24, "a group is 24 bytes");

// Object ids as keys of hashed sets.
struct ObjectIdHash {
    size_t operator()(const OdDbObjectId& id) const { return std::hash<const void*>()(id.stub()); }
};

// Limits on what a file may hold; a file over them is refused.
const size_t kMaxFileBytes = size_t(256) << 20;
const size_t kMaxLineBytes = size_t(256) << 10;

// Splits the file into groups up to and including "0 EOF", checking each
// value against its code's kind: one that does not fit it is held as its
// text (`Group::unreadable`). False, with a reason, for a file that ends
// early, a line that is too long or a line that is no group code; `groups`
// then holds the groups read before the fault. Comments (999) are
// no groups: the lines of their codes go to `comments`.
bool ReadGroups(std::string_view bytes, std::vector<Group>& groups, std::string& error,
                std::vector<uint32_t>* comments = nullptr);

// The character a file's lines end in: CR when its first line ends in CR
// alone (files of old machines), LF otherwise (CR LF lines lose their CRs).
char LineEndOf(std::string_view bytes);

// Whether a value as a file spelled it would not stay one line in a saved
// file (a line feed in a file of CR lines, a CR at its end): such a
// spelling never goes back, the writer's form (^J) goes instead.
inline bool BreaksLine(std::string_view value)
{
    return value.find('\n') != std::string_view::npos || (!value.empty() && value.back() == '\r');
}

// The groups of part of a file that ReadGroups accepted (whole lines, from
// a group's code on), split as it splits them, without its checks.
void SplitGroups(std::string_view bytes, std::vector<Group>& groups);

// How the strings of a file are encoded: UTF-8 from the 2007 form on, the
// drawing's code page before it.
struct TextCodec {
    bool utf8 = true;
    unsigned codePage = 1252;
    // The file named no code page the reader can read (AssumedCodePage): a
    // text the page does not read whole is read in the first of UTF-8, the
    // host's page, ANSI_1252 and ISO8859-1 that does, so no byte is lost.
    bool assumed = false;
    // The value as wide text: bytes decoded, caret codes ("^J", "^ ") and
    // Unicode escapes ("\U+XXXX", "\M+nXXXX") resolved. Malformed UTF-8
    // becomes U+FFFD; a byte a code page does not read is kept
    // (IsKeptByte).
    std::wstring decode(std::string_view bytes) const;
    // The value in UTF-8 as the file spelled it: only the bytes decoded,
    // caret codes and escapes left as they are.
    std::string transcode(std::string_view bytes) const;

private:
    // The bytes as wide text, only decoded.
    std::wstring wide(std::string_view bytes) const;
};
// A byte of a file's code page that starts no character there (a lead byte
// without its trail byte) is held as U+DC00 plus the byte, as readers that
// keep bytes they cannot read hold it, and written as its escape
// "\U+DCxx", which reads back as the same.
constexpr wchar_t kKeptByte = 0xDC00;
inline bool IsKeptByte(wchar_t c) { return c >= 0xDC80 && c <= 0xDCFF; }

// The code page number of a $DWGCODEPAGE value ("ANSI_936" -> 936); 0 when
// it names none.
unsigned CodePageOfName(std::string_view name);
// Whether text of the code page can be read (iconv knows it).
bool CodePageReadable(unsigned codePage);
// The name files give a code page ("ANSI_1252", "UTF-8", "ISO8859-1").
std::string CodePageName(unsigned codePage);
// The code page for a file that names none the reader can read, chosen by
// what its values hold so that no byte of a text is lost: UTF-8 where it
// reads more than half of the texts that hold bytes past ASCII whole; else
// the host's page where it does, as text of its own script rather than
// Western text misread; else ANSI_1252 where it reads any; else ISO8859-1,
// which reads every byte. The texts it does not read are read another way
// (TextCodec::assumed). `why` counts what each page reads; it is
// empty when the values are ASCII, which every page reads alike (the
// host's page is given).
unsigned AssumedCodePage(const std::vector<Group>& groups, std::string& why);

// Builds the text of a DXF file, one group at a time.
class GroupWriter {
public:
    // Strings go out as UTF-8; control characters and carets that would
    // read as one in caret form. A piece of a longer text is read joined to
    // the next: `next` is the character after it (-1 for none).
    void text(int code, const std::wstring& s, int next = -1)
    {
        if (hashing()) {
            noteCode(code);
            noteText(code, s, next);
        }
        if (!hashOnly_) emit(code, TextValue(s, next));
    }
    void ascii(int code, std::string_view s) { put(code, s); }
    // A value is noted as it is written (clamped to what its code holds).
    void integer(int code, int64_t v)
    {
        if (hashing()) {
            const int64_t held = Clamped(code, v);
            noteCode(code);
            noteValue(code, true, (double)held);
        }
        if (!hashOnly_) emit(code, IntegerValue(code, v));
    }
    // The shortest form that reads back as the same double. A value that is
    // not finite has no form a file can hold: the first is noted
    // (`notFinite`), and the save that wrote it is refused.
    void real(int code, double v)
    {
        if (hashing()) {
            noteCode(code);
            noteValue(code, true, v);
        }
        if (!std::isfinite(v) && !hashOnly_ && notFinite_.empty())
            notFinite_ = record_ + (hasHandle_ ? " " + HandleValue(handle_) : std::string()) + " (group " +
                         std::to_string(code) + ")";
        if (!hashOnly_) emit(code, RealValue(v));
    }
    // The record being written, its type and the handle of its object if
    // any ("LINE 2F"), for naming a value not finite.
    void setRecord(std::string_view type, const uint64_t* handle)
    {
        record_.assign(type.data(), type.size());
        handle_ = handle ? *handle : 0;
        hasHandle_ = handle != nullptr;
    }
    const std::string& notFinite() const { return notFinite_; }
    void handle(int code, uint64_t h)
    {
        if (hashing()) {
            noteCode(code);
            if (noteValue(code)) values_.back().handle = h, values_.back().isHandle = true;
        }
        if (!hashOnly_) emit(code, HandleValue(h));
    }
    void point(int code, const OdGePoint3d& p);
    void point2(int code, double x, double y);
    // A group kept as read, its handle (if one) as given: a number goes
    // back as the file spelled it while it still holds the value read.
    void kept(const KeptGroup& g, uint64_t handle);
    // The spelling of a number a kept group must remember: the file's, or
    // none when the writer spells the value alike.
    static std::string NumberSpelling(const Group& g);
    void put(int code, std::string_view value)
    {
        // A name a file of CR lines gave with a line feed in it (a record
        // type, a section or header name) goes out in caret form, as texts
        // do, so that the saved file reads back.
        if (BreaksLine(value)) {
            const std::string oneLine = OnOneLine(value);
            return put(code, oneLine);
        }
        if (hashing()) {
            noteCode(code);
            noteNumber(code, value);
        } else if (hashOnly_ && noting_ && tag_ == kFrame && code == 100) {
            markers_.emplace_back((uint32_t)markerText_.size(), (uint32_t)value.size());
            markerText_.append(value.data(), value.size());
        }
        if (!hashOnly_) emit(code, value);
    }
    const std::string& bytes() const { return out_; }
    void append(const std::string& text) { out_ += text; }
    // The text so far is that text: the writer goes on at its end, in the
    // room it has.
    void continueIn(std::string text) { out_ = std::move(text); }
    // The text so far, handed over; the writer starts empty again.
    std::string take()
    {
        std::string s;
        s.swap(out_);
        return s;
    }
    // The value lines the writer gives each kind of value.
    static std::string TextValue(const std::wstring& s, int next = -1);
    // The value with its line feeds and CRs as ^J and ^M.
    static std::string OnOneLine(std::string_view value);
    static std::string IntegerValue(int code, int64_t v);
    // The nearest value a file's group of the code can hold.
    static int64_t Clamped(int code, int64_t v);
    // Whether a file's group of the code can hold the value.
    static bool Holds(int code, int64_t v);
    static std::string RealValue(double v);
    static std::string HandleValue(uint64_t h);

    // What a group is to the record it is in, for putting back the values
    // nobody changed as the file wrote them (dxf_write_kept.cpp).
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
    // Notes each group written from here on, until `stopNoting`; writing
    // nothing (`setHashOnly`), notes the record's values (groups tagged as
    // values or its owner) and their codes instead.
    void startNoting()
    {
        noting_ = true;
        noted_.clear();
        valueCodes_.reset();
        values_.clear();
        texts_.clear();
        markers_.clear();
        markerText_.clear();
    }
    void stopNoting() { noting_ = false; }
    const std::vector<Noted>& noted() const { return noted_; }
    // The codes of the record's values. A save compares values, never a
    // hash of them (Respellings).
    const std::bitset<1072>& valueCodes() const { return valueCodes_; }
    // Writing nothing, the record's values in order, each by its code and
    // its value: what the object holds, for telling at the open which of
    // the file's values it holds otherwise (DxfFileRecords::corrections).
    struct HashedValue {
        int code = 0;
        bool isNumber = false;
        double number = 0;
        // A text, with the character after it as `text` took it; a
        // handle's value.
        bool isText = false, isHandle = false;
        std::wstring_view text;
        int next = -1;
        uint64_t handle = 0;
        // The marker of the subclass it is written in ("" before any).
        std::string_view subclass;
        uint32_t textAt = 0, marker = 0;  // where `text` and `subclass` are held
    };
    // The values of the record ended, their texts and markers in place.
    const std::vector<HashedValue>& hashedValues()
    {
        for (HashedValue& v : values_) {
            if (v.isText) v.text = std::wstring_view(texts_).substr(v.textAt, v.text.size());
            if (v.marker > 0 && v.marker <= markers_.size()) {
                const auto& m = markers_[v.marker - 1];
                v.subclass = std::string_view(markerText_).substr(m.first, m.second);
            }
        }
        return values_;
    }
    // Notes the values and writes nothing.
    void setHashOnly(bool only) { hashOnly_ = only; }
    // Drops the text from `at` on (noting stops).
    void cut(size_t at)
    {
        out_.resize(at);
        noting_ = false;
    }
    // Drops those spans of the text (from, length; in order, apart), the
    // rest closing up behind them (noting stops).
    void cutSpans(const std::vector<std::pair<size_t, size_t>>& spans)
    {
        noting_ = false;
        if (spans.empty()) return;
        size_t to = spans.front().first;
        for (size_t k = 0; k < spans.size(); ++k) {
            const size_t from = spans[k].first + spans[k].second;
            const size_t end = k + 1 < spans.size() ? spans[k + 1].first : out_.size();
            std::memmove(&out_[to], out_.data() + from, end - from);
            to += end - from;
        }
        out_.resize(to);
    }

private:
    // Writing nothing, a value or the owner is noted.
    bool hashing() const { return hashOnly_ && noting_ && (tag_ == kValue || tag_ == kOwner); }
    void noteCode(int code)
    {
        // Codes past the last a file defines share its place.
        if (tag_ == kValue) valueCodes_.set((size_t)std::clamp(code, 0, 1071));
    }
    bool noteValue(int code, bool isNumber = false, double v = 0)
    {
        if (!hashOnly_ || tag_ != kValue) return false;
        HashedValue h;
        h.code = code;
        h.isNumber = isNumber;
        h.number = v;
        h.marker = (uint32_t)markers_.size();
        values_.push_back(h);
        return true;
    }
    void noteText(int code, const std::wstring& s, int next)
    {
        if (!noteValue(code)) return;
        HashedValue& v = values_.back();
        v.isText = true;
        v.textAt = (uint32_t)texts_.size();
        v.text = std::wstring_view(s.data(), s.size());  // placed in `texts_` by hashedValues
        v.next = next;
        texts_ += s;
    }
    // A value written as it is spelled (a number among them).
    void noteNumber(int code, std::string_view value)
    {
        if (!hashOnly_ || tag_ != kValue) return;
        double d = 0;
        auto r = std::from_chars(value.data(), value.data() + value.size(), d);
        if (r.ec == std::errc() && r.ptr == value.data() + value.size()) {
            noteValue(code, true, d);
            return;
        }
        noteText(code, std::wstring(value.begin(), value.end()), -1);
    }
    void emit(int code, std::string_view value);

    std::string out_;
    std::string record_, notFinite_;
    uint64_t handle_ = 0;  // the record's object's, when it has one
    bool hasHandle_ = false;
    bool noting_ = false, hashOnly_ = false;
    Tag tag_ = kValue;
    std::vector<Noted> noted_;
    std::bitset<1072> valueCodes_;
    std::vector<HashedValue> values_;
    std::wstring texts_;
    std::vector<std::pair<uint32_t, uint32_t>> markers_;
    std::string markerText_;
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

// Which record of an object a record is: its own, its block's begin or
// end, or (0 on) the n-th record of its sequence.
enum : int { kObjectRecord = -1, kBlockBeginRecord = -2, kBlockEndRecord = -3 };
// Goes through the database as WriteDxf does but writes nothing: hands
// each record of an object, as `of` and `sub` above, to `hashed` with the
// codes of its values and the values themselves
// (GroupWriter::hashedValues); no hash of them is taken.
using RecordHashed = std::function<void(const OdDbObject* of, int sub, const std::bitset<1072>& codes,
                                        const std::vector<GroupWriter::HashedValue>& values)>;
void HashRecords(OdDbDatabase* db, const RecordHashed& hashed);

// The values of a record being saved that go back as the file wrote them
// (dxf_respellings.cpp): the record's text (from `start` of the writer's
// text) and groups compared with the file's record, value by value; none
// where the record cannot be compared and goes as the object holds it.
std::vector<Respelling> Respellings(const DxfFileRecords& file, const DxfFileRecords::Record& record,
                                    const OdDbObject* of, std::string_view text,
                                    const std::vector<GroupWriter::Noted>& noted, size_t start);

// Writes the database as a DXF file (dxf_write.cpp). `losses`, when given,
// gets a line for each thing the file cannot carry (kind, handle, what).
// A drawing holding a value that is not finite (a coordinate past the
// largest number) is not written: eInvalidInput, with `refused` naming the
// record and group.
OdResult WriteDxf(OdDbDatabase* db, std::string& bytes, std::vector<std::wstring>* losses = nullptr,
                  std::string* refused = nullptr);
// Reads a DXF file into an empty database (dxf_read.cpp). A file refused
// leaves the database empty and says why in `why`: what the file seems to
// be when it is no DXF file, the line and section where one cannot be
// read.
OdResult ReadDxf(OdDbDatabase* db, std::string_view bytes, std::string& why);
// The same, keeping the file's text it is given (as a drawing read keeps
// it) instead of a copy of it.
OdResult ReadDxf(OdDbDatabase* db, std::string&& bytes, std::string& why);

}  // namespace dxf
}  // namespace standin
