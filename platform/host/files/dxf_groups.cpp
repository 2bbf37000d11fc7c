// Drawing files: groups in and out, and the text of their values.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>

#include "dxf_internal.h"
#include "text_internal.h"
#include "windows.h"

namespace standin {
namespace dxf {

namespace {

bool KindOfCodeByRanges(int code, Kind& kind)
{
    auto in = [code](int lo, int hi) { return code >= lo && code <= hi; };
    if (code == 5 || code == 105 || in(320, 369) || in(390, 399) || in(480, 481)) kind = Kind::kHandle;
    else if (in(0, 9) || in(100, 102) || in(300, 319) || in(410, 419) || in(430, 439) ||
             in(470, 479) || code == 999 || in(1000, 1009))
        kind = Kind::kText;
    else if (in(10, 59) || in(110, 149) || in(210, 239) || in(460, 469) || in(1010, 1059)) kind = Kind::kReal;
    else if (in(60, 79) || in(90, 99) || in(160, 179) || in(270, 299) || in(370, 389) || in(400, 409) ||
             in(420, 429) || in(440, 459) || in(1060, 1071))
        kind = Kind::kInt;
    else
        return false;
    return true;
}

// Every code a file defines lies below 1072: their kinds in a table, as
// each group of a file read or compared asks.
const int8_t* CodeKinds()
{
    static const auto table = [] {
        std::array<int8_t, 1072> t{};
        for (int code = 0; code < (int)t.size(); ++code) {
            Kind kind = Kind::kText;
            t[(size_t)code] = KindOfCodeByRanges(code, kind) ? (int8_t)kind : (int8_t)-1;
        }
        return t;
    }();
    return table.data();
}

}  // namespace

bool KindOfCode(int code, Kind& kind)
{
    if (code < 0 || code >= 1072) return false;
    const int8_t k = CodeKinds()[code];
    if (k < 0) return false;
    kind = (Kind)k;
    return true;
}

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool ParseInt(std::string_view s, int64_t& v)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// A code line as writers give it, spaces and at most six digits, read
// directly; anything else as ParseInt reads it.
bool ParseCode(std::string_view s, int64_t& v)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i == s.size() || s.size() - i > 6) return ParseInt(s, v);
    int64_t n = 0;
    for (size_t j = i; j < s.size(); ++j) {
        const unsigned d = (unsigned)(unsigned char)s[j] - '0';
        if (d > 9) return ParseInt(s, v);
        n = n * 10 + d;
    }
    v = n;
    return true;
}

// The range a code's integer may take: 16-bit codes are stored signed or
// unsigned, 32-bit ones likewise, 160-169 are 64-bit.
void IntRange(int code, int64_t& lo, int64_t& hi)
{
    lo = INT64_MIN;
    hi = INT64_MAX;
    if (code >= 160 && code <= 169) return;
    bool wide = (code >= 90 && code <= 99) || (code >= 420 && code <= 429) || (code >= 440 && code <= 459) ||
                code == 1071;
    lo = wide ? INT32_MIN : INT16_MIN;
    hi = wide ? (int64_t)UINT32_MAX : (int64_t)UINT16_MAX;
}

bool IntFits(int code, int64_t v)
{
    int64_t lo, hi;
    IntRange(code, lo, hi);
    return v >= lo && v <= hi;
}

// Digits, a point and digits, at most 15 of them, as files mostly write
// reals: their whole number over a power of ten is exact on both sides,
// and the division rounds once, to the double from_chars gives.
bool ParsePlainDecimal(std::string_view s, double& v)
{
    static const double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const bool negative = !s.empty() && s.front() == '-';
    size_t i = negative ? 1 : 0, digits = 0, decimals = 0;
    uint64_t n = 0;
    bool point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (c >= '0' && c <= '9') {
            if (++digits > 15) return false;
            n = n * 10 + (uint64_t)(c - '0');
            if (point) ++decimals;
        } else if (c == '.' && !point && digits > 0) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0 || (point && decimals == 0)) return false;
    const double d = (double)n / kPowers[decimals];
    v = negative ? -d : d;
    return true;
}

bool ParseReal(std::string_view s, double& v)
{
    s = Trim(s);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return false;
    if (ParsePlainDecimal(s, v)) return true;
    auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

bool ParseHandle(std::string_view s, uint64_t& v)
{
    s = Trim(s);
    v = 0;
    if (s.size() > 16) return false;
    for (char c : s) {
        int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return false;
        v = v << 4 | (uint64_t)d;
    }
    return true;
}

// An integer as files write one: digits, or a whole number written as a
// real ("1.0", as some writers give flags), within what the code holds.
bool ParseCodeInt(int code, std::string_view s, int64_t& v)
{
    double real = 0;
    if (!ParseInt(s, v)) {
        if (!ParseReal(s, real) || real != std::floor(real) || std::fabs(real) > 9.0e15) return false;
        v = (int64_t)real;
    }
    return IntFits(code, v);
}

// The value of a group as its kind says, or, when it cannot be that, its
// text alone (Group::unreadable).
void ReadValue(Group& g)
{
    bool ok = true;
    switch (g.kind) {
    case Kind::kText: break;
    case Kind::kReal: ok = ParseReal(g.text, g.real); break;
    case Kind::kInt: ok = ParseCodeInt(g.code, g.text, g.integer); break;
    case Kind::kHandle: ok = ParseHandle(g.text, g.handle); break;
    }
    if (ok) return;
    g.kind = Kind::kText;
    g.unreadable = true;
    g.integer = 0;
}

// A file's lines one after another, each without its end (and the CRs
// before it); false at the end of the bytes.
struct LineSplitter {
    std::string_view bytes;
    char eol;
    size_t pos = 0;
    bool next(std::string_view& line)
    {
        if (pos >= bytes.size()) return false;
        size_t end = bytes.find(eol, pos);
        if (end == std::string_view::npos) end = bytes.size();
        line = bytes.substr(pos, end - pos);
        pos = end + 1;
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return true;
    }
};

}  // namespace

bool ReadGroups(std::string_view bytes, std::vector<Group>& groups, std::string& error, std::vector<uint32_t>* comments)
{
    groups.clear();
    if (bytes.size() > kMaxFileBytes) {
        error = "the file is larger than the reader accepts";
        return false;
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    // Lines end in LF, CR LF (or more CRs before the LF), or, in files of
    // old machines, in CR alone: the first line's end says which.
    const char eol = LineEndOf(bytes);
    // A group is two lines: one allocation for all of them, instead of the
    // copies of a growing vector that cost a large file more than ten small.
    // No more than a file of short groups could hold, whatever it is made of.
    const size_t lines = (size_t)std::count(bytes.begin(), bytes.end(), eol);
    groups.reserve(std::min(lines / 2, bytes.size() / 8) + 1);
    LineSplitter split{bytes, eol};
    uint32_t lineNo = 0;
    auto nextLine = [&](std::string_view& line) {
        if (!split.next(line)) return false;
        ++lineNo;
        return true;
    };
    // The section being read, for saying where a file was cut.
    std::string section;
    std::string ended;  // the last section that ended
    bool sectionName = false;
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    auto quoted = [](std::string_view s) {
        std::string q(s.substr(0, 24));
        for (auto& c : q)
            if ((unsigned char)c < 0x20) c = '?';
        return "\"" + q + (s.size() > 24 ? "...\"" : "\"");
    };
    auto cut = [&]() {
        error = "the file is cut short: it ends at line " + std::to_string(lineNo) +
                (!section.empty()  ? ", inside section " + section
                 : !ended.empty() ? ", after section " + ended + " (no EOF ends it)"
                                  : std::string(" before any section"));
        return false;
    };
    // The type of the record being read: a dimension style's group 5 is
    // the name of an arrow block in every form, not a handle.
    std::string_view recordType;
    std::string_view codeLine, value;
    // In a file of CR lines a line feed is part of a line: no save puts it
    // back as it is (BreaksLine).
    while (nextLine(codeLine)) {
        if (codeLine.size() > 16) return fail("a group code line is too long");
        int64_t code = 0;
        Kind kind = Kind::kText;
        if (!ParseCode(codeLine, code) || code < INT16_MIN || code > INT16_MAX)
            return fail(quoted(codeLine) + " is not a group code");
        // A code no drawing file defines still pairs its lines: its value
        // is kept as written.
        const bool defined = KindOfCode((int)code, kind);
        if (code == 5 && recordType == "DIMSTYLE") kind = Kind::kText;
        uint32_t codeAt = lineNo;
        if (!nextLine(value)) return cut();
        if (value.size() > kMaxLineBytes) return fail("a value line is too long");
        Group g;
        g.code = (int)code;
        g.kind = kind;
        g.text = value;
        // A value its code cannot hold is kept as written: the drawing does
        // without it.
        ReadValue(g);
        g.unreadable = g.unreadable || !defined;
        if (g.code == 999) {
            if (comments) comments->push_back(codeAt);
            continue;
        }
        groups.push_back(g);
        if (g.code == 0) recordType = Trim(value);
        if (g.code == 0 && Trim(value) == "EOF") return true;
        if (sectionName && g.code == 2) section = std::string(Trim(value).substr(0, 40));
        sectionName = g.code == 0 && Trim(value) == "SECTION";
        if (g.code == 0 && Trim(value) == "ENDSEC") {
            ended = section.empty() ? std::string("without a name") : section;
            section.clear();
        }
    }
    // Without its end-of-file record a file may have lost whole sections:
    // it is not taken for a drawing.
    return cut();
}

std::string GroupWriter::OnOneLine(std::string_view value)
{
    std::string line;
    line.reserve(value.size() + 8);
    for (char c : value) line += c == '\n' ? std::string_view("^J") : c == '\r' ? std::string_view("^M") : std::string_view(&c, 1);
    return line;
}

char LineEndOf(std::string_view bytes)
{
    const size_t firstEnd = bytes.find_first_of("\r\n");
    const bool crAlone = firstEnd != std::string_view::npos && bytes[firstEnd] == '\r' &&
                         (firstEnd + 1 == bytes.size() || (bytes[firstEnd + 1] != '\n' && bytes[firstEnd + 1] != '\r'));
    return crAlone ? '\r' : '\n';
}

// The groups of part of a file ReadGroups has accepted, split the same way
// without checking again.
void SplitGroups(std::string_view bytes, std::vector<Group>& groups)
{
    groups.clear();
    const char eol = LineEndOf(bytes);
    LineSplitter split{bytes, eol};
    auto nextLine = [&](std::string_view& line) { return split.next(line); };
    std::string_view recordType, codeLine, value;
    while (nextLine(codeLine) && nextLine(value)) {
        int64_t code = 0;
        Kind kind = Kind::kText;
        if (!ParseCode(codeLine, code) || code < INT16_MIN || code > INT16_MAX) return;
        const bool defined = KindOfCode((int)code, kind);
        if (code == 5 && recordType == "DIMSTYLE") kind = Kind::kText;
        if (code == 999) continue;
        Group g;
        g.code = (int)code;
        g.kind = kind;
        g.text = value;
        ReadValue(g);
        g.unreadable = g.unreadable || !defined;
        groups.push_back(g);
        if (g.code == 0) recordType = Trim(value);
    }
}

// ---- text ----

unsigned CodePageOfName(std::string_view name)
{
    std::string upper(Trim(name));
    for (char& c : upper) c = (char)std::toupper((unsigned char)c);
    std::string_view n = upper;
    auto number = [](std::string_view digits, int64_t& v) { return ParseInt(digits, v) && v > 0 && v < 65536; };
    int64_t v = 0;
    for (std::string_view prefix : {"ANSI_", "DOS"})
        if (n.substr(0, prefix.size()) == prefix && number(n.substr(prefix.size()), v)) return (unsigned)v;
    // ISO 8859 parts by the numbers Windows gives them.
    for (std::string_view prefix : {"ISO8859-", "ISO-8859-", "ISO8859_", "ISO_8859-"})
        if (n.substr(0, prefix.size()) == prefix && number(n.substr(prefix.size()), v) && v <= 16 && v != 12)
            return (unsigned)(28590 + v);
    static const std::pair<const char*, unsigned> kNames[] = {
        {"UTF-8", 65001}, {"UTF8", 65001}, {"BIG5", 950},      {"GB2312", 936},    {"GBK", 936},
        {"KSC5601", 949}, {"JOHAB", 1361}, {"SJIS", 932},      {"SHIFT_JIS", 932}, {"MACINTOSH", 10000},
    };
    for (const auto& [known, page] : kNames)
        if (n == known) return page;
    return 0;
}

namespace {

// The name iconv gives a Windows code page.
std::string IconvName(unsigned codePage)
{
    if (codePage > 28590 && codePage <= 28606) return "ISO-8859-" + std::to_string(codePage - 28590);
    if (codePage == 1361) return "JOHAB";
    if (codePage == 10000) return "MACINTOSH";
    return "CP" + std::to_string(codePage);
}

// A code page's characters through iconv, one at a time, so that a byte
// no character starts with costs only itself.
class PageReader {
public:
    explicit PageReader(unsigned codePage) : cd_(iconv_open("UTF-32LE", IconvName(codePage).c_str())) {}
    ~PageReader()
    {
        if (ok()) iconv_close(cd_);
    }
    PageReader(const PageReader&) = delete;
    PageReader& operator=(const PageReader&) = delete;
    bool ok() const { return cd_ != (iconv_t)-1; }
    // The length of the character at bytes[i] (at most two bytes in the
    // code pages files use), 0 when none starts there.
    size_t read(std::string_view bytes, size_t i, char32_t& c)
    {
        for (size_t len = 1; len <= 2 && i + len <= bytes.size(); ++len) {
            char* in = const_cast<char*>(bytes.data() + i);
            size_t inLeft = len;
            char* o = reinterpret_cast<char*>(&c);
            size_t oLeft = sizeof c;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd_, &in, &inLeft, &o, &oLeft) != (size_t)-1 && oLeft == 0) return len;
        }
        return 0;
    }

private:
    iconv_t cd_;
};

// Whether the bytes are characters of page 936 throughout: no lead byte
// without its trail byte.
bool WholeGbk(std::string_view bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char b = (unsigned char)bytes[i];
        if (b < 0x81 || b == 0xFF) continue;
        const unsigned char t = i + 1 < bytes.size() ? (unsigned char)bytes[i + 1] : 0;
        if (t < 0x40 || t == 0x7F || t == 0xFF) return false;
        ++i;
    }
    return true;
}

// Bytes of a code page as wide text through iconv; Latin-1 when iconv does
// not know the code page. A byte that starts no character of the page (a
// lead byte without its trail byte) is kept as itself, U+DC00 plus the
// byte (KeptByte), as readers that keep bytes they cannot read hold it.
std::wstring FromCodePage(std::string_view bytes, unsigned codePage)
{
    std::wstring out;
    if (codePage == 936 && WholeGbk(bytes)) {
        if (bytes.empty()) return out;
        int n = MultiByteToWideChar(936, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
        out.resize(n > 0 ? (size_t)n : 0);
        if (n > 0) MultiByteToWideChar(936, 0, bytes.data(), (int)bytes.size(), &out[0], n);
        return out;
    }
    if (codePage == 65001) return Utf8ToWide(bytes);
    PageReader page(codePage);
    if (!page.ok()) {
        for (unsigned char c : bytes) out += (wchar_t)c;
        return out;
    }
    size_t i = 0;
    while (i < bytes.size()) {
        // A byte below 0x80 that starts a character is ASCII, as the
        // file's own structure is: iconv reads 0x5C in JOHAB as the won
        // sign, which would make "\P" another text than the file's.
        if ((unsigned char)bytes[i] < 0x80) {
            out += (wchar_t)bytes[i++];
            continue;
        }
        char32_t c = 0;
        if (const size_t len = page.read(bytes, i, c)) {
            out += (wchar_t)c;
            i += len;
            continue;
        }
        // A byte the Windows code pages 1250-1258 leave undefined reads
        // there as the control character of its number.
        const unsigned char b = (unsigned char)bytes[i];
        const bool windows = codePage >= 1250 && codePage <= 1258 && b >= 0x80 && b < 0xA0;
        out += windows ? (wchar_t)b : (wchar_t)(kKeptByte + b);
        ++i;
    }
    return out;
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// The value of `n` hex digits at s[i], or -1.
long HexAt(const std::wstring& s, size_t i, size_t n)
{
    if (i + n > s.size()) return -1;
    long v = 0;
    for (size_t k = 0; k < n; ++k) {
        int d = HexDigit(s[i + k]);
        if (d < 0) return -1;
        v = v * 16 + d;
    }
    return v;
}

// The code pages of the "\M+n" escapes.
const unsigned kEscapeCodePages[] = {0, 932, 950, 949, 1361, 936};

}  // namespace

bool CodePageReadable(unsigned codePage)
{
    if (codePage == 936 || codePage == 65001) return true;
    iconv_t cd = iconv_open("UTF-32LE", IconvName(codePage).c_str());
    if (cd == (iconv_t)-1) return false;
    // A page that reads letters and digits as other characters (the EBCDIC
    // pages iconv knows by numbers files use, 935 among them) is no page a
    // file of ASCII structure is written in.
    static const char kAlnum[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    char* in = const_cast<char*>(kAlnum);
    size_t inLeft = sizeof kAlnum - 1;
    char32_t read[sizeof kAlnum - 1] = {};
    char* o = reinterpret_cast<char*>(read);
    size_t oLeft = sizeof read;
    const bool ascii = iconv(cd, &in, &inLeft, &o, &oLeft) != (size_t)-1 && inLeft == 0 && oLeft == 0 &&
                       std::equal(std::begin(read), std::end(read), kAlnum,
                                  [](char32_t c, char a) { return c == (char32_t)(unsigned char)a; });
    iconv_close(cd);
    return ascii;
}

std::string CodePageName(unsigned codePage)
{
    if (codePage == 65001) return "UTF-8";
    if (codePage > 28590 && codePage <= 28606) return "ISO8859-" + std::to_string(codePage - 28590);
    return "ANSI_" + std::to_string(codePage);
}

namespace {

bool PastAscii(std::string_view s)
{
    return std::any_of(s.begin(), s.end(), [](char c) { return (unsigned char)c >= 0x80; });
}

bool WholeUtf8(std::string_view s) { return WideToUtf8(Utf8ToWide(s)) == s; }

// Whether the page reads the text whole, every byte part of one of its
// characters; its characters of two bytes are counted, and those of them
// that end in an ASCII byte.
bool ReadsWhole(PageReader& page, unsigned codePage, std::string_view s, size_t& pairs, size_t& asciiEnds)
{
    size_t p = 0, a = 0;
    for (size_t i = 0; i < s.size();) {
        const unsigned char b = (unsigned char)s[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        // Readers differ on 0x80 of page 936 (the euro sign, or nothing):
        // a text holding it is not taken for that page's.
        char32_t c = 0;
        const size_t len = codePage == 936 && b == 0x80 ? 0 : page.read(s, i, c);
        if (len == 0) return false;
        if (len == 2) {
            ++p;
            if ((unsigned char)s[i + 1] < 0x80) ++a;
        }
        i += len;
    }
    pairs += p;
    asciiEnds += a;
    return true;
}

bool ReadsWhole(std::string_view s, unsigned codePage)
{
    if (codePage == 65001) return WholeUtf8(s);
    PageReader page(codePage);
    size_t pairs = 0, asciiEnds = 0;
    return page.ok() && ReadsWhole(page, codePage, s, pairs, asciiEnds);
}

// The page a text is read in when the file's page was assumed: that page
// where it reads the text whole, else the first of the others that does.
unsigned PageOfText(std::string_view s, unsigned assumed)
{
    for (unsigned page : {assumed, 65001u, (unsigned)GetACP(), 1252u})
        if (ReadsWhole(s, page)) return page;
    return 28591;
}

}  // namespace

unsigned AssumedCodePage(const std::vector<Group>& groups, std::string& why)
{
    std::vector<std::string_view> texts;
    for (const Group& g : groups)
        if (PastAscii(g.text)) texts.push_back(g.text);
    const unsigned host = GetACP();
    why.clear();
    if (texts.empty()) return host;
    // How many texts each page reads whole.
    PageReader hostPage(host), western(1252);
    size_t byUtf8 = 0, byHost = 0, byWestern = 0, pairs = 0, asciiEnds = 0, unused = 0;
    for (std::string_view s : texts) {
        byUtf8 += WholeUtf8(s);
        byHost += hostPage.ok() && ReadsWhole(hostPage, host, s, pairs, asciiEnds);
        byWestern += western.ok() && ReadsWhole(western, 1252, s, unused, unused);
    }
    // Western text read in a page of two-byte characters pairs an accented
    // letter with the ASCII letter after it ("Straße" holds DF 65, one
    // character of page 936); most characters of Chinese text end in a
    // byte past ASCII.
    const bool misread = asciiEnds * 2 > pairs;
    // UTF-8 and the host's page read few texts of other pages whole, as
    // ANSI_1252 reads nearly any: each is taken where it reads most texts.
    const size_t half = texts.size() / 2;
    unsigned page = 28591;
    size_t most = texts.size();
    if (byUtf8 > half) page = 65001, most = byUtf8;
    else if (byHost > half && !misread) page = host, most = byHost;
    else if (byWestern > 0) page = 1252, most = byWestern;
    why = "of its " + std::to_string(texts.size()) + " texts past ASCII, " + std::to_string(byUtf8) +
          " read as UTF-8, " + std::to_string(byHost) + " in the host's code page " + CodePageName(host) +
          (misread && byHost ? " but only as Western text misread" : "") + ", " + std::to_string(byWestern) +
          " in ANSI_1252";
    if (most < texts.size())
        why += "; the " + std::string(most ? "other " : "") + std::to_string(texts.size() - most) +
               " each in the first of UTF-8, " + CodePageName(host) + ", ANSI_1252 and ISO8859-1 that reads it whole";
    return page;
}

std::string TextCodec::transcode(std::string_view bytes) const
{
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (unsigned char)c < 0x80; });
    if (utf8 || ascii) return std::string(bytes);
    // A byte the page does not read goes as its escape, which reads back
    // as that byte kept.
    std::wstring w = wide(bytes);
    std::wstring out;
    out.reserve(w.size());
    for (wchar_t c : w) {
        if (IsKeptByte(c)) {
            wchar_t escape[12];
            swprintf(escape, 12, L"\\U+%04X", (unsigned)c);
            out += escape;
        } else {
            out += c;
        }
    }
    return WideToUtf8(out);
}

std::wstring TextCodec::wide(std::string_view bytes) const
{
    if (utf8) return Utf8ToWide(bytes);
    return FromCodePage(bytes, assumed && PastAscii(bytes) ? PageOfText(bytes, codePage) : codePage);
}

std::wstring TextCodec::decode(std::string_view bytes) const
{
    std::wstring s = wide(bytes);
    std::wstring out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        wchar_t c = s[i];
        if (c == L'^' && i + 1 < s.size()) {
            wchar_t n = s[i + 1];
            if (n == L' ') {
                out += L'^';
                ++i;
                continue;
            }
            if (n >= L'@' && n <= L'_') {
                out += (wchar_t)(n - 64);
                ++i;
                continue;
            }
        }
        if (c == L'\\' && i + 2 < s.size() && s[i + 2] == L'+' && (s[i + 1] == L'U' || s[i + 1] == L'u')) {
            // Characters beyond the first plane may come as eight digits;
            // four digits and four more never make such a value, as the
            // four would name a control character.
            long wide = HexAt(s, i + 3, 8);
            if (wide >= 0x10000 && wide <= 0x10FFFF) {
                out += (wchar_t)wide;
                i += 10;
                continue;
            }
            long v = HexAt(s, i + 3, 4);
            if (v >= 0) {
                // A surrogate pair written as two escapes is one character.
                long lo = v >= 0xD800 && v < 0xDC00 && i + 10 <= s.size() && s.compare(i + 7, 3, L"\\U+") == 0
                              ? HexAt(s, i + 10, 4)
                              : -1;
                if (lo >= 0xDC00 && lo < 0xE000) {
                    out += (wchar_t)(0x10000 + ((v - 0xD800) << 10) + (lo - 0xDC00));
                    i += 13;
                } else {
                    // A byte a page did not read, escaped, is that byte kept.
                    out += v >= 0xD800 && v < 0xE000 && !IsKeptByte((wchar_t)v) ? L'\xFFFD' : (wchar_t)v;
                    i += 6;
                }
                continue;
            }
        }
        if (c == L'\\' && i + 3 < s.size() && s[i + 2] == L'+' && (s[i + 1] == L'M' || s[i + 1] == L'm')) {
            long page = HexAt(s, i + 3, 1);
            long v = HexAt(s, i + 4, 4);
            if (page >= 1 && page <= 5 && v >= 0) {
                char two[2] = {(char)(v >> 8), (char)(v & 0xFF)};
                out += FromCodePage(std::string_view(two, 2), kEscapeCodePages[page]);
                i += 7;
                continue;
            }
        }
        out += c;
    }
    return out;
}

// ---- writing ----

void GroupWriter::emit(int code, std::string_view value)
{
    // Codes right-aligned in three places, as files write them. A group
    // with a short value goes out as one piece.
    char line[64];
    char* p = line;
    char digits[8];
    auto r = std::to_chars(digits, digits + sizeof digits, code);
    const size_t n = (size_t)(r.ptr - digits);
    for (size_t pad = n; pad < 3; ++pad) *p++ = ' ';
    std::memcpy(p, digits, n);
    p += n;
    *p++ = '\r';
    *p++ = '\n';
    if (noting_) noted_.push_back(Noted{code, tag_, out_.size() + (size_t)(p - line), value.size()});
    if (value.size() + 2 <= (size_t)(line + sizeof line - p)) {
        std::memcpy(p, value.data(), value.size());
        p += value.size();
        *p++ = '\r';
        *p++ = '\n';
        out_.append(line, (size_t)(p - line));
        return;
    }
    out_.append(line, (size_t)(p - line));
    out_.append(value.data(), value.size());
    out_.append("\r\n", 2);
}

std::string GroupWriter::TextValue(const std::wstring& s, int next)
{
    // Most texts (names of layers, of styles) are printable ASCII with no
    // caret: their bytes are their characters.
    if (std::all_of(s.begin(), s.end(), [](wchar_t c) { return c >= 0x20 && c < 0x7F && c != L'^'; }))
        return std::string(s.begin(), s.end());
    std::wstring escaped;
    escaped.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const wchar_t c = s[i];
        if (c == L'^') {
            // A caret is written as "^ " only where the reader would take
            // it and what follows for a caret code ("^J", "^ ", "^^"): a
            // stacked text such as "5^6" goes back as it was read.
            const int n = i + 1 < s.size() ? (int)s[i + 1] : next;
            const bool code = (n >= 0 && n < 0x20) || n == L' ' || (n >= L'@' && n <= L'_');
            escaped += code ? L"^ " : L"^";
        } else if (c >= 0 && c < 0x20) {
            escaped += L'^';
            escaped += (wchar_t)(c + 64);
        } else if (IsKeptByte(c)) {
            // A byte of a file's page that read as no character: UTF-8
            // holds it only as its escape.
            wchar_t escape[12];
            swprintf(escape, 12, L"\\U+%04X", (unsigned)c);
            escaped += escape;
        } else if ((c >= 0xD800 && c < 0xE000) || (uint32_t)c > 0x10FFFF) {
            escaped += L'\xFFFD';
        } else {
            escaped += c;
        }
    }
    return WideToUtf8(escaped);
}

// An integer past what its code can hold is written as the nearest value it
// holds: a saved file must never hold a value that its reader refuses.
int64_t GroupWriter::Clamped(int code, int64_t v)
{
    int64_t lo, hi;
    IntRange(code, lo, hi);
    return std::clamp(v, lo, hi);
}

std::string GroupWriter::IntegerValue(int code, int64_t v)
{
    v = Clamped(code, v);
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool GroupWriter::Holds(int code, int64_t v) { return IntFits(code, v); }

std::string GroupWriter::RealValue(double v)
{
    if (!std::isfinite(v)) v = 0;
    // The shortest form, with ".0" after a whole number; a zero keeps its
    // sign ("-0.0"), so that the value read back is the very one held.
    char buf[40];
    // Most coordinates have a few decimals: a value of at most six, from
    // 0.001 on and below 100000, is its millionths, n / 10^6 with n of at
    // most 11 digits. Decimals of 15 digits or fewer name distinct
    // doubles, so these digits are the shortest that read back as the
    // value, and written plainly they are shorter than with an exponent.
    const double magnitude = std::fabs(v);
    if (magnitude < 1e5 && (magnitude >= 1e-3 || v == 0)) {
        const int64_t n = std::llround(v * 1e6);
        if ((double)n / 1e6 == v) {
            uint64_t u = n < 0 ? (uint64_t)-n : (uint64_t)n;
            char digits[24];
            char* d = digits + sizeof digits;
            int decimals = 6;
            while (decimals > 0 && u % 10 == 0) {
                u /= 10;
                --decimals;
            }
            if (decimals == 0) *--d = '0';  // a whole number: "12.0"
            for (int i = 0; i < decimals; ++i, u /= 10) *--d = (char)('0' + u % 10);
            *--d = '.';
            do *--d = (char)('0' + u % 10);
            while ((u /= 10) != 0);
            if (std::signbit(v)) *--d = '-';
            return std::string(d, digits + sizeof digits);
        }
    }
    auto r = std::to_chars(buf, buf + sizeof buf - 2, v);
    char* end = r.ptr;
    bool plain = true;
    for (const char* c = buf; c < end; ++c)
        if (*c == '.' || *c == 'e') {
            plain = false;
            break;
        }
    if (plain) {
        *end++ = '.';
        *end++ = '0';
    }
    return std::string(buf, end);
}

std::string GroupWriter::HandleValue(uint64_t h)
{
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, h, 16);
    for (char* c = buf; c < r.ptr; ++c)
        if (*c >= 'a' && *c <= 'f') *c = (char)(*c - 'a' + 'A');
    return std::string(buf, r.ptr);
}

std::string GroupWriter::NumberSpelling(const Group& g)
{
    const std::string_view text = g.text;
    if (g.kind == Kind::kReal && text != RealValue(g.real)) return std::string(text);
    if (g.kind == Kind::kInt && text != IntegerValue(g.code, g.integer)) return std::string(text);
    return {};
}

void GroupWriter::kept(const KeptGroup& g, uint64_t handle)
{
    double real = 0;
    int64_t integer = 0;
    switch ((Kind)g.kind) {
    case Kind::kText: put(g.code, g.spelled); break;
    case Kind::kReal:
        // A kept point that was moved is written as it now is.
        if (!g.spelled.empty() && ParseReal(g.spelled, real) && std::memcmp(&real, &g.real, sizeof real) == 0)
            put(g.code, g.spelled);
        else
            this->real(g.code, g.real);
        break;
    case Kind::kInt:
        if (!g.spelled.empty() && ParseCodeInt(g.code, g.spelled, integer) && integer == g.integer)
            put(g.code, g.spelled);
        else
            this->integer(g.code, g.integer);
        break;
    case Kind::kHandle: this->handle(g.code, handle); break;
    }
}

void GroupWriter::point(int code, const OdGePoint3d& p)
{
    real(code, p.x);
    real(code + 10, p.y);
    real(code + 20, p.z);
}

void GroupWriter::point2(int code, double x, double y)
{
    real(code, x);
    real(code + 10, y);
}

namespace {
double KeepTurns(double value, double reference)
{
    const double turn = 2 * M_PI;
    return value + std::floor((reference - value) / turn + 0.5) * turn;
}

// At a quarter turn (the ends of the axes) the angle is the parameter:
// kept as it is, so that a full ellipse read and saved stays one exactly.
bool AtQuarterTurn(double t)
{
    const double q = M_PI / 2;
    return std::isfinite(t) && std::fabs(t - std::round(t / q) * q) <= 8 * DBL_EPSILON * std::max(1.0, std::fabs(t));
}
}  // namespace

double EllipseAngleOfParam(double ratio, double t)
{
    if (AtQuarterTurn(t)) return t;
    return KeepTurns(std::atan2(ratio * std::sin(t), std::cos(t)), t);
}

double EllipseParamOfAngle(double ratio, double a)
{
    if (AtQuarterTurn(a)) return a;
    return KeepTurns(std::atan2(std::sin(a), ratio * std::cos(a)), a);
}

}  // namespace dxf
}  // namespace standin
