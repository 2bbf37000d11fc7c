#include "base/textutil.h"

#include <cstring>

#include "base/basefile.h"
#include "win32_crt.h"

static char FoldLower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

static char FoldUpper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

static bool InSet(char c, const char* set)
{
    return c != 0 && strchr(set, c) != nullptr;
}

void AsciiToLower(char* text)
{
    for (; *text; ++text) *text = FoldLower(*text);
}

void AsciiToUpper(char* text)
{
    for (; *text; ++text) *text = FoldUpper(*text);
}

const char* SkipCharsOf(const char* text, const char* set)
{
    if (!text) return nullptr;
    while (InSet(*text, set)) ++text;
    return text;
}

int32_t HasAnyCharOf(const char* text, const char* set)
{
    return text && set && FindAnyCharOf(text, set) ? 1 : 0;
}

const char* FindAnyCharOf(const char* text, const char* set)
{
    if (!text || !set) return nullptr;
    for (; *text; ++text)
        if (InSet(*text, set)) return text;
    return nullptr;
}

int32_t CountCharsOf(const char* text, const char* set, int32_t limit)
{
    if (!text || !set) return 0;
    int32_t count = 0;
    for (int32_t i = 0; text[i] && (limit < 0 || i < limit); ++i)
        if (InSet(text[i], set)) ++count;
    return count;
}

int32_t OnlyCharsOf(const char* text, const char* set)
{
    if (!text || !set) return 0;
    return *SkipCharsOf(text, set) == 0 ? 1 : 0;
}

void ReplaceCharsOf(char* text, const char* set, char with)
{
    for (; *text; ++text)
        if (InSet(*text, set)) *text = with;
}

char* RemoveCharsOf(char* text, const char* set)
{
    char* out = text;
    for (const char* in = text; *in; ++in)
        if (!InSet(*in, set)) *out++ = *in;
    *out = 0;
    return text;
}

static const char kBlanks[] = " \t\r\n";

void TrimText(char* text)
{
    const char* start = SkipCharsOf(text, kBlanks);
    size_t len = strlen(start);
    memmove(text, start, len + 1);
    while (len > 0 && InSet(text[len - 1], kBlanks)) text[--len] = 0;
}

int32_t CountLines(const char* text)
{
    if (!*text) return 0;
    int32_t lines = 1;
    for (; *text; ++text)
        if (*text == '\n') ++lines;
    return lines;
}

void AppendCrLf(char* text)
{
    strcat(text, "\r\n");
}

int32_t StartsWithNoCase(const char* text, const char* prefix)
{
    return _strnicmp(text, prefix, strlen(prefix)) == 0 ? 0 : -1;
}

// The tail of the text as long as the suffix, or null when it is longer.
static const char* TailFor(const char* text, const char* suffix)
{
    if (!text || !suffix) return nullptr;
    const size_t lt = strlen(text), ls = strlen(suffix);
    return ls <= lt ? text + lt - ls : nullptr;
}

int32_t EndsWithText(const char* text, const char* suffix)
{
    const char* tail = TailFor(text, suffix);
    return tail && strcmp(tail, suffix) == 0 ? 0 : -1;
}

int32_t EndsWithNoCase(const char* text, const char* suffix)
{
    const char* tail = TailFor(text, suffix);
    return tail ? _stricmp(tail, suffix) : -1;
}

int32_t CompareNoCase(const char* a, const char* b)
{
    return _stricmp(a, b);
}

int32_t CompareNoCaseN(const char* a, const char* b, int32_t n)
{
    if (a == b) return 0;
    if (!a) return -1;
    if (!b) return 1;
    return _strnicmp(a, b, n < 0 ? 0 : (size_t)n);
}

// Case-insensitive occurrence of the first n characters of needle.
static const char* FindNoCaseN(const char* text, const char* needle, size_t n)
{
    for (;; ++text) {
        size_t i = 0;
        while (i < n && text[i] && FoldLower(text[i]) == FoldLower(needle[i])) ++i;
        if (i == n) return text;
        if (!*text) return nullptr;
    }
}

const char* FindTextNoCase(const char* text, const char* needle)
{
    return FindNoCaseN(text, needle, strlen(needle));
}

const char* FindTextNoCaseB(const char* text, const char* needle)
{
    return FindTextNoCase(text, needle);
}

const char* FindLastText(const char* text, const char* needle)
{
    const char* last = nullptr;
    for (const char* hit = strstr(text, needle); hit; hit = *hit ? strstr(hit + 1, needle) : nullptr)
        last = hit;
    return last;
}

int32_t WildcardMatchNoCase(const char* text, const char* pattern)
{
    const char* t = text;
    const char* p = pattern;
    while (*p) {
        if (*p == '*') {
            // The piece is searched where it stands in the pattern, so no
            // length limit applies to it.
            const char* piece = p + 1;
            const size_t n = strcspn(piece, "?*");
            if (n == 0) return 1;
            const char* hit = FindNoCaseN(t, piece, n);
            if (!hit) return 0;
            t = hit + n;
            p = piece + n;
            continue;
        }
        if (!*t) return 0;
        if (*p != '?' && FoldLower(*p) != FoldLower(*t)) return 0;
        ++p;
        ++t;
    }
    return *t ? 0 : 1;
}

// The next conversion in a printf format ("%%" is text), or null.
static const char* NextConversion(const char* f)
{
    while ((f = strchr(f, '%')) != nullptr) {
        if (f[1] != '%') return f;
        f += 2;
    }
    return nullptr;
}

bool SameFormatSpecs(const char* a, const char* b)
{
    for (;;) {
        a = NextConversion(a);
        b = NextConversion(b);
        if (!a || !b) return !a && !b;
        // The characters behind '%' up to the first of d, f, c or s, at most 5.
        int i = 1;
        for (; i <= 5; ++i) {
            if (a[i] != b[i]) return false;
            if (!a[i]) return true;
            if (strchr("dfcs", a[i])) break;
        }
        a += i;
        b += i;
    }
}

void SafeTextCopy(char* target, const char* source, int32_t size)
{
    if (!target || !source || target == source || size <= 0) return;
    memset(target, 0, (size_t)size);
    strncpy(target, source, (size_t)size - 1);
}

void SafeTextAppend(char* target, const char* source, int32_t size)
{
    if (!target || !source || size <= 0) return;
    const size_t len = strnlen(target, (size_t)size);
    if (len >= (size_t)size) return;
    memset(target + len, 0, (size_t)size - len);
    strncpy(target + len, source, (size_t)size - len - 1);
}

char* DupTextPadded(const char* text, int32_t extra)
{
    if (!text) return nullptr;
    const size_t len = strlen(text);
    char* copy = (char*)MemAllocZeroed(len + (extra < 10 ? 10 : (size_t)extra));
    if (copy) memcpy(copy, text, len);
    return copy;
}

void SplitAtText(const char* text, char* left, char* right, const char* separator)
{
    const char* hit = *separator ? strstr(text, separator) : nullptr;
    if (!hit) {
        strcpy(left, text);
        *right = 0;
        return;
    }
    memcpy(left, text, (size_t)(hit - text));
    left[hit - text] = 0;
    strcpy(right, hit + strlen(separator));
}

const char* ReadCrLfLine(const char* text, char* out, int32_t size)
{
    const char* end = strstr(text, "\r\n");
    if (!end) return nullptr;
    size_t n = (size_t)(end - text);
    if (size < 0) size = 0;
    if (n > (size_t)size) n = (size_t)size;
    memcpy(out, text, n);
    out[n] = 0;
    return end + 2;
}

void ReplaceAllText(char* text, const char* from, const char* to, int32_t maxCount, int32_t capacity)
{
    const size_t lf = strlen(from), lt = strlen(to);
    if (lf == 0) return;
    size_t len = strlen(text);
    int32_t count = 0;
    for (char* hit = strstr(text, from); hit; hit = strstr(hit, from)) {
        if (maxCount != 0 && count >= maxCount) break;
        if (lt > lf && (capacity <= 0 || len + (lt - lf) + 1 > (size_t)capacity)) break;
        memmove(hit + lt, hit + lf, strlen(hit + lf) + 1);
        memcpy(hit, to, lt);
        len = len + lt - lf;
        hit += lt;
        ++count;
    }
}

void RemoveSpans(char* text, const char* open, const char* close)
{
    if (!*open) return;
    for (char* start = strstr(text, open); start; start = strstr(start, open)) {
        const char* end = strstr(start + strlen(open), close);
        if (!end) return;
        end += strlen(close);
        memmove(start, end, strlen(end) + 1);
    }
}

void ReplaceLineValue(char* position, const char* value)
{
    char* end = strchr(position, '\n');
    if (!end)
        end = position + strlen(position);
    else if (end > position && end[-1] == '\r')
        --end;
    const size_t lv = strlen(value);
    memmove(position + lv, end, strlen(end) + 1);
    memcpy(position, value, lv);
}
