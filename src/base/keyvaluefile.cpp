#include "base/keyvaluefile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/basefile.h"
#include "base/textutil.h"

bool ExtractTag(const char* text, const char* tag, char* out, int32_t size)
{
    char open[100], close[100];
    const int no = snprintf(open, sizeof open, "<%s>", tag);
    const int nc = snprintf(close, sizeof close, "</%s>", tag);
    if (no < 0 || nc < 0 || nc >= (int)sizeof close) return false;
    const char* start = strstr(text, open);
    if (!start) return false;
    start += no;
    const char* end = strstr(start, close);
    if (!end) return false;
    const int64_t len = end - start;
    SafeTextCopy(out, start, (int32_t)(len + 1 < size ? len + 1 : size));
    return true;
}

const char* FindKeyValue(const char* text, const char* key)
{
    const size_t n = strlen(key);
    if (n == 0) return nullptr;
    for (const char* hit = strstr(text, key); hit; hit = strstr(hit + 1, key)) {
        const char* before = hit;
        while (before > text && (before[-1] == ' ' || before[-1] == '\t')) --before;
        if (before != text && before[-1] != '\n') continue;
        const char* after = hit + n;
        while (*after == ' ' || *after == '\t') ++after;
        if (*after == '=') return after + 1;
    }
    return nullptr;
}

int64_t KvReadInt64(const char* text, const char* key)
{
    const char* value = FindKeyValue(text, key);
    long long v = 0;
    if (value) sscanf(value, "%lld", &v);
    return v;
}

int32_t KvReadQuoted(const char* text, const char* key, char* out, int32_t size)
{
    if (size <= 0) return 0;
    memset(out, 0, (size_t)size);
    const char* value = FindKeyValue(text, key);
    if (!value) return 0;
    const char* lineEnd = strchr(value, '\n');
    const char* open = strchr(value, '"');
    if (!lineEnd || !open || open > lineEnd) return 0;
    const char* close = strchr(open + 1, '"');
    if (!close || close > lineEnd) return 0;
    const int64_t len = close - open - 1;
    if (len >= size) return 0;
    memcpy(out, open + 1, (size_t)len);
    return (int32_t)len;
}

int64_t KvFileReadInt64(const char* path, const char* key, int64_t defaultValue)
{
    char* buffer = nullptr;
    if (ReadFileUtf8(path, &buffer) < 0) return defaultValue;
    const int64_t v = KvReadInt64(buffer, key);
    free(buffer);
    return v != 0 ? v : defaultValue;
}

const char* KvFileReadText(const char* path, const char* key, const char* defaultText)
{
    static char shared[40960];
    char* buffer = nullptr;
    const bool found = ReadFileUtf8(path, &buffer) >= 0 && KvReadQuoted(buffer, key, shared, sizeof shared) > 0;
    free(buffer);
    if (!found) SafeTextCopy(shared, defaultText, sizeof shared);
    return shared;
}

// Writes the file with the key's value replaced by `value`, or with the line
// `newLine` appended. The new text is built in a buffer sized for it.
static void WriteKeyValue(const char* path, const char* key, const char* value, const char* newLine)
{
    char* old = nullptr;
    std::string text;
    if (ReadFileUtf8(path, &old) >= 0) text = old;
    free(old);
    const char* at = FindKeyValue(text.c_str(), key);
    if (at) {
        const size_t offset = (size_t)(at - text.c_str());
        text.resize(text.size() + strlen(value));
        ReplaceLineValue(&text[offset], value);
        text.resize(strlen(text.c_str()));
    } else {
        text += newLine;
        text += "\r\n";
    }
    WriteFileUtf8(path, text.data(), (int32_t)text.size());
}

void KvFileWriteInt64(const char* path, const char* key, int64_t value)
{
    char number[24];
    snprintf(number, sizeof number, "%lld", (long long)value);
    WriteKeyValue(path, key, number, (std::string(key) + "=" + number).c_str());
}

void KvFileWriteText(const char* path, const char* key, const char* text)
{
    const std::string quoted = std::string("\"") + text + "\"";
    WriteKeyValue(path, key, quoted.c_str(), (std::string(key) + "=" + quoted).c_str());
}
