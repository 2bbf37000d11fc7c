// Drawing files: which values a save puts back as the file spelled them.
// Each record written is compared with the file's, value by value (never by
// whether the record was edited): the file's spelling of a value goes back
// where the value written is the one it means, or the one the writer wrote
// of it when the file was read (dxf_respell.h); a code the file left out
// stays out where what is written is what leaving it out means, or what
// was written then. The writer's half is DxfOut::applyRespellings.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>

#include "dxf_respell.h"
#include "dxf_view.h"
#include "oddbcurves.h"
#include "oddbtext.h"

namespace standin {
namespace dxf {

// ---- the rules ----

WrittenValue ValueOfLine(int code, std::string_view line, std::wstring& room)
{
    WrittenValue w;
    Kind kind = Kind::kText;
    if (!KindOfCode(code, kind)) kind = Kind::kText;
    const char* end = line.data() + line.size();
    switch (kind) {
    case Kind::kReal:
    case Kind::kInt: {
        auto r = std::from_chars(line.data(), end, w.number);
        if (r.ec == std::errc() && r.ptr == end) w.form = WrittenValue::kNumber;
        break;
    }
    case Kind::kHandle: {
        auto r = std::from_chars(line.data(), end, w.handle, 16);
        if (r.ec == std::errc() && r.ptr == end) w.form = WrittenValue::kHandle;
        break;
    }
    case Kind::kText: {
        TextCodec utf8;
        room = utf8.decode(line);
        w.text = room;
        w.form = WrittenValue::kText;
        break;
    }
    }
    return w;
}

namespace {
bool SameName(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerLetter(a[i]) != LowerLetter(b[i])) return false;
    return true;
}

// The file's text as read, compared without decoding it where it is plain
// ASCII (most are): no caret codes or escapes to read.
bool SameText(const Group& file, const TextCodec& codec, std::wstring_view written, bool name)
{
    const std::string_view bytes = file.text;
    bool plain = true;
    for (char c : bytes) plain = plain && (unsigned char)c < 0x80 && c != '^' && c != '\\';
    if (plain) {
        if (bytes.size() != written.size()) return false;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const wchar_t c = (wchar_t)(unsigned char)bytes[i];
            if (name ? LowerLetter(c) != LowerLetter(written[i]) : c != written[i]) return false;
        }
        return true;
    }
    const std::wstring read = codec.decode(bytes);
    return name ? SameName(read, written) : std::wstring_view(read) == written;
}
}  // namespace

bool SameValue(const Group& file, const TextCodec& codec, ValueForm form, const WrittenValue& written)
{
    if (file.unreadable) return false;
    switch (form) {
    case ValueForm::kName:
    case ValueForm::kText:
        return file.kind == Kind::kText && written.form == WrittenValue::kText &&
               SameText(file, codec, written.text, form == ValueForm::kName);
    case ValueForm::kHandle:
        return file.kind == Kind::kHandle && written.form == WrittenValue::kHandle && file.handle == written.handle;
    case ValueForm::kInteger:
        return file.kind == Kind::kInt && written.form == WrittenValue::kNumber &&
               (double)file.integer == written.number;
    case ValueForm::kNumber:
    case ValueForm::kNormal:
    case ValueForm::kAngle: {
        if (file.kind != Kind::kReal || written.form != WrittenValue::kNumber) return false;
        const double x = file.real, d = written.number;
        // The very value: a zero of the other sign is another.
        if (x == d) return x != 0 || std::signbit(x) == std::signbit(d);
        // An angle the file gave outside a turn, a whole number of turns
        // from the one written: within the few units in the last place its
        // reading into radians and back may round by, never more, so that
        // a turn of the least the value can hold is an edit.
        if (form != ValueForm::kAngle || !std::isfinite(x) || !std::isfinite(d)) return false;
        const double scale = std::max({360.0, std::fabs(x), std::fabs(d)});
        const double unit = std::nextafter(scale, INFINITY) - scale;
        // (Past where a turn is below those units, a turn tells nothing.)
        const double apart = 8 * unit < 180 ? std::remainder(x - d, 360.0) : x - d;
        return std::fabs(apart) <= 8 * unit;
    }
    }
    return false;
}

bool SameDirection(const double a[3], const double b[3])
{
    const double f = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const double w = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    if (!std::isfinite(f) || !std::isfinite(w) || f < 1e-300 || w < 1e-300) return false;
    for (int axis = 0; axis < 3; ++axis)
        if (std::fabs(a[axis] / f - b[axis] / w) > 1e-12) return false;
    return true;
}

Silence DescribedSilence(std::string_view subclass, int code, std::string_view written)
{
    if (!HasMeaning(subclass, code)) return Silence::kUnsaid;
    return IsDefaultValue(subclass, code, written) ? Silence::kMeant : Silence::kOther;
}

bool SilenceToldByTheRecord(std::string_view type, bool vertexOf2dPolyline, int code, bool xAndYGiven)
{
    if (type == "MTEXT" && (code == 1 || code == 3 || code == 11 || code == 21 || code == 31 || code == 50))
        return true;
    if (code >= 30 && code <= 37) return xAndYGiven;
    if (type == "HATCH") return code == 63;
    return vertexOf2dPolyline && (code == 40 || code == 41);
}

bool LeftOutAsAtTheOpen(const DxfFileRecords& file, const DxfFileRecords::Record& record, int code, int occurrence,
                        std::string_view written)
{
    const DxfFileRecords::Correction* c = file.correctionAt(record.state, code, occurrence);
    return c && c->writtenAs(&written);
}

// ---- comparing a record ----

namespace {

using R = Respelling;

// One record being saved and the file's, compared in named steps: the
// file's groups split again as the reader split them, both sides' values
// paired by (owner or value, code), then what each pair, each code the
// file left out and each the writer left out decides.
class Comparison {
public:
    Comparison(const DxfFileRecords& file, const DxfFileRecords::Record& record, const OdDbObject* of,
               std::string_view text, const std::vector<GroupWriter::Noted>& noted, size_t start)
        : file_(file), record_(record), of_(of), text_(text), noted_(noted), start_(start)
    {
        codec_.utf8 = file.utf8;
        codec_.codePage = file.codePage;
        codec_.assumed = file.codePageAssumed;
    }
    ~Comparison()
    {
        for (const Side& s : sides_) sideAt_[slot(s.tag, s.code)] = -1;
    }

    // The file's record again, as the reader split it; false when it
    // cannot be (the record goes as the object holds it).
    bool splitTheFilesRecord();
    // Each side's values in order: the file's (what the object took of a
    // code the writer does not write) and the writer's.
    void pairValuesByCode();
    // Several values of a code the writer gives in another form (a width
    // each vertex gave, written as one for all) would not come back where
    // they were: the record goes as the object holds it.
    bool writtenInAnotherForm() const;
    // A pair spelled otherwise goes back as the file spelled it where the
    // value written is the one it means, or the one written of it when the
    // file was read.
    void respellWhatBothGive();
    // Extended data's texts go back as the file spelled them (carets,
    // escapes) where the text written is the one that spelling means.
    void respellExtendedData();
    // A code the file left out stays out where what is written is what
    // leaving it out means (or what was written when it was read).
    void leaveOutWhatTheFileLeftOut();
    // A value the writer leaves out goes back where it was read, before
    // the writer's value of the group the file gave after it (or else at
    // the end of its subclass), where it is the default the writer leaves
    // out, or the writer left it out when the file was read too.
    void addBackWhatTheWriterLeftOut();
    // A default the writer put before a kept value gives way where the
    // file's own value of the code goes back, or the file had none.
    void dropDefaultsTheFileDidNotHave();
    std::vector<R> list();

private:
    struct Side {
        uint8_t tag;
        int code;
        uint32_t fileAt, fileCount, writtenAt, writtenCount;
    };

    static size_t slot(uint8_t tag, int code)
    {
        return (size_t)(tag == GroupWriter::kOwner) * 1072 + CodeSlot(code);
    }
    Side& sideOf(uint8_t tag, int code);
    const Side* side(int code) const
    {
        const int at = sideAt_[slot(GroupWriter::kValue, code)];
        return at < 0 ? nullptr : &sides_[(size_t)at];
    }
    bool isFileValue(size_t i) const { return (state_[i] & (kClassMask | kRefused)) == kObjectValue; }
    const Group& fileGroup(const Side& s, uint32_t k) const { return g_[files_[s.fileAt + k]]; }
    std::string_view writtenValue(const Side& s, uint32_t k) const
    {
        const GroupWriter::Noted& n = noted_[writtens_[s.writtenAt + k]];
        return text_.substr(n.at - start_, n.length);
    }
    // The subclass a written group is in, by its marker before it.
    std::string_view writtenIn(const Side& s, uint32_t k) const;
    bool isPresent(int code);
    std::string spelling(const Group& x, int code) const;
    bool spelledAlike(const Group& x, std::string_view w) const;
    bool means(const Group& x, const Side& s, uint32_t k);
    bool sameNormal(uint32_t k) const;
    bool contentsMeant();
    void directionOrRotationMeant();
    Silence silenceOf(const Side& s);
    Silence silence(const Side& s);
    R named(int code, std::string_view subclass, const Group& x, R r) const;
    R entry(R::Kind kind, uint8_t tag, int code, int occurrence, std::string written, std::string file,
            std::string subclass = {}, int subOccurrence = 0) const;

    const DxfFileRecords& file_;
    const DxfFileRecords::Record& record_;
    const OdDbObject* of_;
    std::string_view text_;
    const std::vector<GroupWriter::Noted>& noted_;
    size_t start_;
    TextCodec codec_;
    const uint8_t* state_ = nullptr;
    std::string_view type_;
    size_t b_ = 1, e_ = 1, ownerAt_ = SIZE_MAX;
    // Every save compares every record read: nothing here allocates while
    // the record is as the writer writes it.
    static thread_local std::vector<Group> g_;
    static thread_local std::vector<int> sideAt_;
    static thread_local std::vector<Side> sides_;
    static thread_local std::vector<uint32_t> files_, writtens_;
    static thread_local std::vector<uint8_t> silences_;
    bool replace_ = true, contentsAsHeld_ = false;
    std::optional<bool> contents_;
    CodeSet present_;
    bool presentKnown_ = false;
    bool directionMeant_ = false, rotationMeant_ = false;
    struct Added {
        size_t at;
        std::string sub;
        int occurrence;
        Silence meaning;
        bool seen;
        int beforeCode = -1, beforeOccurrence = 0;
        // A value the writer left out at the open and writes now (a default
        // edited): the writer's value, to go where the file gave its own.
        std::string moved = {};
    };
    // The writer's value a file's group is paired with, by its code and
    // occurrence, where what goes before it in the file can go before it
    // in the save.
    bool pairedValue(size_t i, int& code, int& occurrence) const;
    std::vector<Added> added_;
    std::vector<Group> walked_;
    std::vector<R> out_;
};

thread_local std::vector<Group> Comparison::g_;
thread_local std::vector<int> Comparison::sideAt_(2 * 1072, -1);
thread_local std::vector<Comparison::Side> Comparison::sides_;
thread_local std::vector<uint32_t> Comparison::files_, Comparison::writtens_;
thread_local std::vector<uint8_t> Comparison::silences_;

Comparison::Side& Comparison::sideOf(uint8_t tag, int code)
{
    int& at = sideAt_[slot(tag, code)];
    if (at < 0) {
        at = (int)sides_.size();
        sides_.push_back(Side{tag, code, 0, 0, 0, 0});
    }
    return sides_[(size_t)at];
}

bool Comparison::splitTheFilesRecord()
{
    sides_.clear();
    if (record_.to > file_.bytes.size() || record_.from >= record_.to || record_.written >= file_.written.size() ||
        (size_t)record_.state + record_.groups > file_.states.size())
        return false;
    SplitGroups(std::string_view(file_.bytes).substr(record_.from, record_.to - record_.from), g_);
    if (g_.size() != record_.groups || g_.empty() || g_[0].code != 0) return false;
    state_ = file_.states.data() + record_.state;
    e_ = std::min<size_t>(record_.valuesEnd, g_.size());
    ownerAt_ = record_.ownerAt < g_.size() ? record_.ownerAt : SIZE_MAX;
    type_ = TrimView(g_[0].text);
    return true;
}

void Comparison::pairValuesByCode()
{
    auto isWritten = [&](size_t n) {
        return noted_[n].tag == GroupWriter::kValue || noted_[n].tag == GroupWriter::kOwner;
    };
    // Counted, then placed, in two flat lists.
    for (size_t i = b_; i < e_; ++i)
        if (isFileValue(i)) sideOf(GroupWriter::kValue, g_[i].code).fileCount++;
    if (ownerAt_ != SIZE_MAX) sideOf(GroupWriter::kOwner, 330).fileCount++;
    for (size_t n = 0; n < noted_.size(); ++n)
        if (isWritten(n)) sideOf(noted_[n].tag, noted_[n].code).writtenCount++;
    uint32_t f = 0, w = 0;
    for (Side& s : sides_) {
        s.fileAt = f;
        s.writtenAt = w;
        f += s.fileCount;
        w += s.writtenCount;
        s.fileCount = s.writtenCount = 0;
    }
    files_.resize(f);
    writtens_.resize(w);
    for (size_t i = b_; i < e_; ++i)
        if (isFileValue(i)) {
            Side& s = sideOf(GroupWriter::kValue, g_[i].code);
            files_[s.fileAt + s.fileCount++] = (uint32_t)i;
        }
    if (ownerAt_ != SIZE_MAX) {
        Side& s = sideOf(GroupWriter::kOwner, 330);
        files_[s.fileAt + s.fileCount++] = (uint32_t)ownerAt_;
    }
    for (size_t n = 0; n < noted_.size(); ++n)
        if (isWritten(n)) {
            Side& s = sideOf(noted_[n].tag, noted_[n].code);
            writtens_[s.writtenAt + s.writtenCount++] = (uint32_t)n;
        }
    // Values the object did not take, of a code the writer does not write
    // for it, were kept where they were when the file was read.
    for (Side& s : sides_) {
        if (s.tag != GroupWriter::kValue || s.writtenCount) continue;
        uint32_t kept = 0;
        for (uint32_t k = 0; k < s.fileCount; ++k)
            if (state_[files_[s.fileAt + k]] & kTaken) files_[s.fileAt + kept++] = files_[s.fileAt + k];
        s.fileCount = kept;
    }
    // Values are replaced by what was written of them when the file was
    // read only where every code has as many values as the file gave it:
    // a count spelled as the file did must still count the values written
    // with it.
    for (const Side& s : sides_)
        if (s.fileCount && s.writtenCount && s.fileCount != s.writtenCount) replace_ = false;
    // An MTEXT's contents are its chunks (3) and then its last part (1):
    // cut otherwise than the writer cuts them, a chunk added back would
    // come after the part it goes before. They go as the object holds them.
    if (record_.sub == kObjectRecord && OdRxCast<OdDbMText>(const_cast<OdDbObject*>(of_)))
        for (const Side& s : sides_)
            if (s.tag == GroupWriter::kValue && s.code == 3 && s.fileCount != s.writtenCount) contentsAsHeld_ = true;
    silences_.assign(sides_.size(), 0xFF);
}

bool Comparison::writtenInAnotherForm() const
{
    for (const Side& s : sides_)
        if (s.fileCount > 1 && !s.writtenCount && s.tag == GroupWriter::kValue) return true;
    return false;
}

std::string_view Comparison::writtenIn(const Side& s, uint32_t k) const
{
    for (uint32_t j = writtens_[s.writtenAt + k] + 1; j-- > 0;)
        if (noted_[j].tag == GroupWriter::kFrame && noted_[j].code == 100)
            return text_.substr(noted_[j].at - start_, noted_[j].length);
    return {};
}

// Every code the record's own subclasses hold, kept groups too; not what
// another application's group holds, which is never a value.
bool Comparison::isPresent(int code)
{
    if (!presentKnown_) {
        for (size_t i = b_; i < e_; ++i)
            if ((state_[i] & kClassMask) != kFrame && !(state_[i] & (kWhole | kOtherApp))) present_.set(CodeSlot(g_[i].code));
        presentKnown_ = true;
    }
    return present_.test(CodeSlot(code));
}

// The file's value as the writer spells it; text as the file wrote it
// where that can go in a file of UTF-8 text and stays one line. A whole
// number a file wrote as a real for an integer's code goes back so.
namespace {
bool RealSpelt(const Group& x) { return x.kind == Kind::kInt && x.text.find_first_of(".eE") != std::string_view::npos; }
}  // namespace

std::string Comparison::spelling(const Group& x, int code) const
{
    switch (x.kind) {
    case Kind::kText: return BreaksLine(x.text) ? GroupWriter::TextValue(codec_.decode(x.text)) : codec_.transcode(x.text);
    case Kind::kReal: return GroupWriter::RealValue(x.real);
    case Kind::kInt: return RealSpelt(x) ? std::string(x.text) : GroupWriter::IntegerValue(code, x.integer);
    case Kind::kHandle: return GroupWriter::HandleValue(x.handle);
    }
    return std::string(x.text);
}

// Whether the value line written is the file's as the writer spells it:
// nothing to put back.
bool Comparison::spelledAlike(const Group& x, std::string_view w) const
{
    if (w == x.text && (codec_.utf8 || x.kind != Kind::kText)) return true;
    switch (x.kind) {
    case Kind::kReal: {
        double d = 0;
        auto r = std::from_chars(w.data(), w.data() + w.size(), d);
        return r.ec == std::errc() && d == x.real;
    }
    case Kind::kInt: {
        int64_t n = 0;
        auto r = std::from_chars(w.data(), w.data() + w.size(), n);
        return r.ec == std::errc() && n == x.integer && !RealSpelt(x);
    }
    case Kind::kHandle: {
        uint64_t h = 0;
        auto r = std::from_chars(w.data(), w.data() + w.size(), h, 16);
        return r.ec == std::errc() && h == x.handle;
    }
    default: return w == codec_.transcode(x.text);
    }
}

// A normal (210) is held as a unit vector: the file's (its k-th, a part it
// left out as the reader takes it) means the one written when it points
// the same way, and then goes back as the file gave it, the parts it left
// out left out (`silenceOf`).
bool Comparison::sameNormal(uint32_t k) const
{
    double given[3] = {0, 0, 1}, written[3] = {0, 0, 0};
    for (int axis = 0; axis < 3; ++axis) {
        const Side* s = side(210 + 10 * axis);
        if (!s || s->writtenCount <= k) return false;
        if (k < s->fileCount) {
            const Group& y = fileGroup(*s, k);
            if (y.kind != Kind::kReal) return false;
            given[axis] = y.real;
        }
        const std::string_view wv = writtenValue(*s, k);
        auto r = std::from_chars(wv.data(), wv.data() + wv.size(), written[axis]);
        if (r.ec != std::errc() || r.ptr != wv.data() + wv.size()) return false;
    }
    return SameDirection(given, written);
}

// An MTEXT's contents, cut into pieces (3) and a last part (1), mean what
// they say joined: an escape may be cut between two.
bool Comparison::contentsMeant()
{
    if (contents_) return *contents_;
    std::string fileText, writtenText, eachSpelled;
    for (int code : {3, 1}) {
        const Side* s = side(code);
        if (!s) continue;
        for (uint32_t k = 0; k < s->fileCount; ++k) {
            fileText += fileGroup(*s, k).text;
            if (!codec_.utf8) eachSpelled += codec_.transcode(fileGroup(*s, k).text);
        }
        for (uint32_t k = 0; k < s->writtenCount; ++k) writtenText += writtenValue(*s, k);
    }
    TextCodec written;
    contents_ = codec_.decode(fileText) == written.decode(writtenText);
    // Pieces of a code page that cut a character in two cannot each go
    // back as spelled: the contents go as held, in the writer's pieces.
    if (*contents_ && !codec_.utf8 && eachSpelled != codec_.transcode(fileText)) contents_ = false;
    return *contents_;
}

// Whether the value written is the one the file's spelling means, compared
// as the code's description says (FormOfValue).
bool Comparison::means(const Group& x, const Side& s, uint32_t k)
{
    const ValueForm form = FormOfValue(writtenIn(s, k), s.code);
    if (form == ValueForm::kNormal) return x.kind == Kind::kReal && sameNormal(k);
    if (form == ValueForm::kText && type_ == "MTEXT" && (s.code == 1 || s.code == 3)) return contentsMeant();
    std::wstring room;
    const WrittenValue w = ValueOfLine(s.code, writtenValue(s, k), room);
    // A whole number the file wrote as a real for an integer's code.
    if (x.kind == Kind::kInt && !RealSpelt(x)) return false;
    return SameValue(x, codec_, form, w);
}

// An MTEXT's direction (11) and rotation (50) say one thing: the writer
// writes the direction always and the rotation when not 0. What the file
// gave of them says it alone; where it gave neither, a direction along the
// world's x axis in the text's plane is what it meant.
void Comparison::directionOrRotationMeant()
{
    if (type_ != "MTEXT") return;
    auto inFile = [&](int code) { return side(code) && side(code)->fileCount > 0; };
    auto written = [&](int code, double otherwise) {
        const Side* s = side(code);
        if (!s || s->writtenCount != 1) return otherwise;
        double d = otherwise;
        const std::string_view wv = writtenValue(*s, 0);
        std::from_chars(wv.data(), wv.data() + wv.size(), d);
        return d;
    };
    if (inFile(11) && !inFile(50)) rotationMeant_ = true;
    if (inFile(50) && !inFile(11)) directionMeant_ = true;
    if (!inFile(11) && !inFile(50) && !inFile(21) && !inFile(31)) {
        const double n[3] = {written(210, 0), written(220, 0), written(230, 1)};
        double d[3] = {1 - n[0] * n[0], -n[0] * n[1], -n[0] * n[2]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const double w[3] = {written(11, NAN), written(21, NAN), written(31, NAN)};
        bool along = length > 1e-9;
        for (int i = 0; i < 3 && along; ++i) along = std::fabs(d[i] / length - w[i]) <= 1e-12;
        directionMeant_ = rotationMeant_ = along;
    }
}

// What a file's silence of a code means, against the values the writer
// writes of it: that value, another, or nothing the record's description
// says.
Silence Comparison::silenceOf(const Side& s)
{
    if (s.tag != GroupWriter::kValue) return Silence::kUnsaid;
    const bool normal = s.code == 210 || s.code == 220 || s.code == 230;
    if (normal && s.writtenCount == 1 && sameNormal(0)) return Silence::kMeant;
    auto number = [](std::string_view v, double& d) {
        auto r = std::from_chars(v.data(), v.data() + v.size(), d);
        return r.ec == std::errc() && r.ptr == v.data() + v.size();
    };
    const auto* polyline = OdRxCast<OdDb2dPolyline>(const_cast<OdDbObject*>(of_));
    const bool xAndY = s.code >= 30 && s.code <= 37 && isPresent(s.code - 20) && isPresent(s.code - 10);
    // (Where the record does not tell, the descriptions below may.)
    if (SilenceToldByTheRecord(type_, record_.sub >= 0 && polyline, s.code, xAndY)) {
        if ((s.code == 11 || s.code == 21 || s.code == 31) && directionMeant_) return Silence::kMeant;
        if (s.code == 50 && rotationMeant_) return Silence::kMeant;
        // A 2-D polyline's vertex without widths has its polyline's.
        if ((s.code == 40 || s.code == 41) && s.writtenCount == 1) {
            double d = 0;
            return number(writtenValue(s, 0), d) &&
                           d == (s.code == 40 ? polyline->defaultStartWidth() : polyline->defaultEndWidth())
                       ? Silence::kMeant
                       : Silence::kOther;
        }
        // A gradient's colours each given only as a true colour: the
        // writer's colour numbers beside them are white, for readers
        // without true colours.
        if (s.code == 63) {
            const Side* rgb = side(421);
            bool white = rgb && rgb->writtenCount == s.writtenCount && rgb->fileCount == s.writtenCount;
            for (uint32_t k = 0; white && k < s.writtenCount; ++k) white = writtenValue(s, k) == "7";
            return white ? Silence::kMeant : Silence::kOther;
        }
        // A point given by its x and y alone lies in the plane z = 0.
        if (xAndY) {
            for (uint32_t k = 0; k < s.writtenCount; ++k) {
                double d = 0;
                if (!number(writtenValue(s, k), d) || d != 0) return Silence::kOther;
            }
            return Silence::kMeant;
        }
    }
    Silence m = Silence::kMeant;
    for (uint32_t k = 0; k < s.writtenCount; ++k) {
        const std::string_view wv = writtenValue(s, k);
        const Silence said = DescribedSilence(writtenIn(s, k), s.code, wv);
        if (said == Silence::kOther) return Silence::kOther;
        if (said == Silence::kUnsaid) m = Silence::kUnsaid;
    }
    return m;
}

Silence Comparison::silence(const Side& s)
{
    uint8_t& m = silences_[(size_t)(&s - sides_.data())];
    if (m == 0xFF) m = (uint8_t)silenceOf(s);
    return (Silence)m;
}

R Comparison::entry(R::Kind kind, uint8_t tag, int code, int occurrence, std::string written, std::string file,
                    std::string subclass, int subOccurrence) const
{
    R r;
    r.kind = kind;
    r.tag = tag;
    r.code = code;
    r.occurrence = occurrence;
    r.written = std::move(written);
    r.file = std::move(file);
    r.subclass = std::move(subclass);
    r.subOccurrence = subOccurrence;
    return r;
}

// A name of a table's record goes back only while the drawing has a record
// of that name, or none, as it had when read (the writer checks).
R Comparison::named(int code, std::string_view subclass, const Group& x, R r) const
{
    switch (NameTableOf(subclass, code)) {
    case NameOf::kLinetype: r.names = R::kLinetype; break;
    case NameOf::kTextStyle: r.names = R::kTextStyle; break;
    case NameOf::kDimensionStyle: r.names = R::kDimensionStyle; break;
    case NameOf::kLayer: r.names = R::kLayer; break;
    default: r.names = R::kNoName; break;
    }
    if (r.names == R::kNoName || x.kind != Kind::kText) {
        r.names = R::kNoName;
        return r;
    }
    const std::vector<std::wstring>& known = file_.names[r.names - 1];
    r.named = std::binary_search(known.begin(), known.end(), Lower(codec_.decode(x.text)));
    return r;
}

void Comparison::respellWhatBothGive()
{
    for (const Side& s : sides_) {
        if (s.fileCount != s.writtenCount || !s.fileCount) continue;
        if (contentsAsHeld_ && s.tag == GroupWriter::kValue && (s.code == 1 || s.code == 3)) continue;
        for (uint32_t k = 0; k < s.fileCount; ++k) {
            const uint32_t at = files_[s.fileAt + k];
            const Group& x = g_[at];
            const std::string_view wv = writtenValue(s, k);
            // An owner names where the object is: only one the object does
            // not have (none, or one that is not there) goes back as the
            // file wrote it.
            if (s.tag == GroupWriter::kOwner && wv != "0") continue;
            if (spelledAlike(x, wv)) continue;
            if (s.tag == GroupWriter::kValue && !means(x, s, k)) {
                // Held otherwise than the file spells it, the value goes
                // back while it is written as when the file was read.
                const DxfFileRecords::Correction* c =
                    (state_[at] & kCorrected) ? file_.correctionAt(record_.state + at) : nullptr;
                if (!replace_ || !c || !c->writtenAs(&wv)) continue;
                // A value the reader could not read stood for what leaving
                // the code out means: where the object holds another (one
                // it works out from the rest, an image's size from its
                // definition), the one written goes.
                if (x.unreadable && DescribedSilence(writtenIn(s, k), s.code, wv) == Silence::kOther) continue;
            }
            R r = named(s.code, s.tag == GroupWriter::kValue ? writtenIn(s, k) : std::string_view(), x,
                        entry(R::kReplace, s.tag, s.code, (int)k, std::string(wv), {}));
            r.file = spelling(x, s.code);
            if (r.file != wv) out_.push_back(std::move(r));
        }
    }
}

void Comparison::respellExtendedData()
{
    // The file's items (from its first application on) and the writer's,
    // paired by code and occurrence: codes 1000 to 1071, the file's items
    // of each in order.
    constexpr size_t kCodes = 72;
    std::array<uint32_t, kCodes + 1> firstOf{};
    std::array<uint32_t, kCodes> seen{};
    thread_local std::vector<uint32_t> items;
    const size_t from = std::min<size_t>(record_.valuesEnd, g_.size());
    auto item = [&](size_t i, bool& inApp) {
        if (g_[i].code == 1001) inApp = true;
        return inApp && g_[i].code >= 1000 && g_[i].code < 1000 + (int)kCodes;
    };
    bool inApp = false;
    for (size_t i = from; i < g_.size(); ++i)
        if (item(i, inApp)) ++firstOf[(size_t)g_[i].code - 1000 + 1];
    if (std::all_of(firstOf.begin(), firstOf.end(), [](uint32_t n) { return n == 0; })) return;
    for (size_t c = 0; c < kCodes; ++c) firstOf[c + 1] += firstOf[c];
    items.resize(firstOf[kCodes]);
    inApp = false;
    for (size_t i = from; i < g_.size(); ++i)
        if (item(i, inApp)) {
            const size_t c = (size_t)g_[i].code - 1000;
            items[firstOf[c] + seen[c]++] = (uint32_t)i;
        }
    seen.fill(0);
    for (const GroupWriter::Noted& n : noted_) {
        if (n.tag != GroupWriter::kExtended || n.code < 1000 || n.code >= 1000 + (int)kCodes) continue;
        const size_t c = (size_t)n.code - 1000;
        const uint32_t k = seen[c]++;
        if (firstOf[c] + k >= firstOf[c + 1]) continue;
        const Group& x = g_[items[firstOf[c] + k]];
        if (x.kind != Kind::kText || x.unreadable) continue;
        const std::string_view wv = text_.substr(n.at - start_, n.length);
        if (spelledAlike(x, wv)) continue;
        std::wstring room;
        if (!SameValue(x, codec_, ValueForm::kText, ValueOfLine(n.code, wv, room))) continue;
        std::string file = spelling(x, n.code);
        if (file != wv)
            out_.push_back(entry(R::kReplace, GroupWriter::kExtended, n.code, (int)k, std::string(wv), std::move(file)));
    }
}

void Comparison::leaveOutWhatTheFileLeftOut()
{
    directionOrRotationMeant();
    for (const Side& s : sides_) {
        // An owner is always written.
        if (s.fileCount || !s.writtenCount || s.tag != GroupWriter::kValue) continue;
        if (contentsAsHeld_ && (s.code == 1 || s.code == 3)) continue;
        // Only what the record has none of at all: dropping the writer's
        // value would put one the record kept in its place.
        if (isPresent(s.code)) continue;
        const Silence m = silence(s);
        if (m == Silence::kOther) continue;
        // What no description says leaving the code out means stays out
        // while it is written as when the file was read.
        bool asThen = true;
        for (uint32_t k = 0; k < s.writtenCount && m == Silence::kUnsaid && asThen; ++k)
            asThen = LeftOutAsAtTheOpen(file_, record_, s.code, (int)k, writtenValue(s, k));
        if (!asThen) continue;
        for (uint32_t k = 0; k < s.writtenCount; ++k)
            out_.push_back(entry(R::kDrop, s.tag, s.code, (int)k, std::string(writtenValue(s, k)), {}));
    }
}

void Comparison::addBackWhatTheWriterLeftOut()
{
    // The file's groups the writer leaves out, each with the subclass it
    // was read in, in file order: they may go back at the end of it.
    for (const Side& s : sides_)
        if (s.tag == GroupWriter::kValue && s.fileCount && !s.writtenCount &&
            !(contentsAsHeld_ && (s.code == 1 || s.code == 3)))
            for (uint32_t k = 0; k < s.fileCount; ++k)
                added_.push_back(Added{files_[s.fileAt + k], {}, 0, Silence::kUnsaid, false});
    // A value the file gave once that the writer left out at the open and
    // now writes otherwise (an elevation of 0 moved up) goes where the
    // file gave it: a record keeps its groups in the file's order.
    for (const Side& s : sides_) {
        if (s.tag != GroupWriter::kValue || s.fileCount != 1 || s.writtenCount != 1) continue;
        const uint32_t at = files_[s.fileAt];
        const DxfFileRecords::Correction* c =
            (state_[at] & kCorrected) ? file_.correctionAt(record_.state + at) : nullptr;
        // (A point goes whole: not a y or z of its own.)
        if (!c || !c->writtenAs(nullptr) || (s.code >= 20 && s.code <= 37)) continue;
        added_.push_back(Added{at, {}, 0, Silence::kUnsaid, false});
        added_.back().moved = std::string(writtenValue(s, 0));
    }
    if (added_.empty()) return;
    // The record is walked as when it was read.
    walked_ = g_;
    std::vector<uint8_t> states(state_, state_ + record_.groups);
    Rec rec;
    rec.type = type_;
    rec.b = b_;
    rec.e = walked_.size();
    View v(walked_, rec, codec_, states.data(), file_.written[record_.written], record_.dataRecord);
    std::sort(added_.begin(), added_.end(), [](const Added& x, const Added& y) { return x.at < y.at; });
    // Those read since the last group that was none of them: they go
    // before the group that follows them in their subclass.
    size_t run = 0, runEnd = 0;
    Walk(v, [&](size_t i, uint8_t, const std::string& sub, int occ, bool, bool) {
        auto it = std::lower_bound(added_.begin(), added_.end(), i, [](const Added& x, size_t at) { return x.at < at; });
        if (it == added_.end() || it->at != i) {
            int code = -1, occurrence = 0;
            if (run < runEnd && pairedValue(i, code, occurrence))
                for (size_t a = run; a < runEnd; ++a)
                    if (added_[a].seen && added_[a].sub == sub && added_[a].occurrence == occ) {
                        added_[a].beforeCode = code;
                        added_[a].beforeOccurrence = occurrence;
                    }
            run = runEnd = 0;
            return;
        }
        if (run == runEnd) run = (size_t)(it - added_.begin());
        runEnd = (size_t)(it - added_.begin()) + 1;
        if (it->seen) return;
        it->seen = true;
        it->sub = sub;
        it->occurrence = occ;
        // The writer leaves out the default: the file's value goes back
        // only if it is that.
        const Group& x = walked_[i];
        it->meaning = DescribedSilence(sub, x.code, spelling(x, x.code));
    });
    for (const Added& a : added_) {
        if (!a.seen) continue;
        // Held otherwise (a value its setter refused, one it has no record
        // of) and left out when the file was read, it goes back while the
        // writer leaves it out.
        const bool leftOutThen = (state_[a.at] & kCorrected) && [&] {
            const DxfFileRecords::Correction* c = file_.correctionAt(record_.state + (uint32_t)a.at);
            return c && c->writtenAs(nullptr);
        }();
        if (a.meaning != Silence::kMeant && !leftOutThen) continue;
        const Group& x = walked_[a.at];
        if (!a.moved.empty()) {
            // Where the file gave it, or else where the writer writes it.
            if (a.beforeCode < 0) continue;
            out_.push_back(entry(R::kDrop, GroupWriter::kValue, x.code, 0, a.moved, {}));
            R r = entry(R::kAdd, GroupWriter::kValue, x.code, 0, {}, a.moved, a.sub, a.occurrence);
            r.beforeCode = a.beforeCode;
            r.beforeOccurrence = a.beforeOccurrence;
            out_.push_back(std::move(r));
            continue;
        }
        R r = named(x.code, a.sub, x,
                    entry(R::kAdd, GroupWriter::kValue, x.code, 0, {}, spelling(x, x.code), a.sub, a.occurrence));
        r.beforeCode = a.beforeCode;
        r.beforeOccurrence = a.beforeOccurrence;
        out_.push_back(std::move(r));
    }
}

// A value of the object whose code has as many values written as the file
// gave, so that the k-th of each is the k-th of the other; not a point's y
// or z, which nothing may come before but its x.
bool Comparison::pairedValue(size_t i, int& code, int& occurrence) const
{
    const int c = g_[i].code;
    if (!isFileValue(i) || IsPointCode(c - 10) || IsPointCode(c - 20)) return false;
    const Side* s = side(c);
    if (!s || s->fileCount != s->writtenCount) return false;
    for (uint32_t k = 0; k < s->fileCount; ++k)
        if (files_[s->fileAt + k] == i) {
            code = c;
            occurrence = (int)k;
            return true;
        }
    return false;
}

void Comparison::dropDefaultsTheFileDidNotHave()
{
    for (size_t n = 0; n < noted_.size(); ++n) {
        const GroupWriter::Noted& d = noted_[n];
        if (d.tag != GroupWriter::kDefault) continue;
        // A value of the code the object took.
        const Side* s = side(d.code);
        bool fileHad = false;
        for (uint32_t k = 0; s && k < s->fileCount && !fileHad; ++k) fileHad = state_[files_[s->fileAt + k]] & kTaken;
        const bool addedBack = std::any_of(out_.begin(), out_.end(),
                                           [&d](const R& r) { return r.kind == R::kAdd && r.code == d.code; });
        if (fileHad && !addedBack) continue;
        if (std::none_of(out_.begin(), out_.end(), [&d](const R& r) {
                return r.kind == R::kDrop && r.tag == GroupWriter::kDefault && r.code == d.code;
            }))
            out_.push_back(entry(R::kDrop, GroupWriter::kDefault, d.code, 0, {}, {}));
    }
}

std::vector<R> Comparison::list()
{
    // Replacements and drops by (tag, code, occurrence), for the writer's
    // lookup; additions after them in file order.
    std::stable_sort(out_.begin(), out_.end(), [](const R& a, const R& b) {
        if ((a.kind == R::kAdd) != (b.kind == R::kAdd)) return b.kind == R::kAdd;
        if (a.kind == R::kAdd) return false;
        return std::tie(a.tag, a.code, a.occurrence) < std::tie(b.tag, b.code, b.occurrence);
    });
    return std::move(out_);
}

}  // namespace

std::vector<Respelling> Respellings(const DxfFileRecords& file, const DxfFileRecords::Record& record,
                                    const OdDbObject* of, std::string_view text,
                                    const std::vector<GroupWriter::Noted>& noted, size_t start)
{
    Comparison c(file, record, of, text, noted, start);
    if (!c.splitTheFilesRecord()) return {};
    c.respellExtendedData();
    c.pairValuesByCode();
    if (c.writtenInAnotherForm()) return c.list();
    c.respellWhatBothGive();
    c.leaveOutWhatTheFileLeftOut();
    c.addBackWhatTheWriterLeftOut();
    c.dropDefaultsTheFileDidNotHave();
    return c.list();
}

}  // namespace dxf

bool DxfFileRecords::Correction::writtenAs(const std::string_view* now) const
{
    if (!now) return written == kLeftOut;
    switch (written) {
    case kLeftOut: return false;
    case kText: return *now == text;
    case kNumber: {
        double d = 0;
        auto r = std::from_chars(now->data(), now->data() + now->size(), d);
        return r.ec == std::errc() && r.ptr == now->data() + now->size() && d == number;
    }
    }
    return false;
}

}  // namespace standin
