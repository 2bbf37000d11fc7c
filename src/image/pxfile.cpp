#include "image/pxfile.h"

#include <climits>
#include <cstdlib>
#include <cstring>

bool PxFile::PutC(unsigned char c)
{
    return Write(&c, 1, 1) == 1;
}

// --- PxIOFile ---

PxIOFile::PxIOFile(FILE* stream) : stream(stream), ownsStream(stream == nullptr) {}

PxIOFile::PxIOFile(const PxIOFile& other) : PxFile(other), stream(other.stream), ownsStream(false) {}

PxIOFile& PxIOFile::operator=(const PxIOFile& other)
{
    if (this != &other) {
        Close();
        stream = other.stream;
        ownsStream = false;
    }
    return *this;
}

PxIOFile::~PxIOFile() { Close(); }

bool PxIOFile::Open(const wchar_t* path, const wchar_t* mode)
{
    if (stream) return false;
    stream = _wfopen(path, mode);
    if (!stream) return false;
    ownsStream = true;
    return true;
}

bool PxIOFile::Close()
{
    if (!stream || !ownsStream) return true;
    bool closed = fclose(stream) == 0;
    stream = nullptr;
    return closed;
}

size_t PxIOFile::Read(void* buffer, size_t size, size_t count)
{
    return stream ? fread(buffer, size, count, stream) : 0;
}

size_t PxIOFile::Write(const void* buffer, size_t size, size_t count)
{
    return stream ? fwrite(buffer, size, count, stream) : 0;
}

bool PxIOFile::Seek(int offset, int origin)
{
    return stream && fseek(stream, offset, origin) == 0;
}

int PxIOFile::Tell()
{
    return stream ? (int)ftell(stream) : 0;
}

int PxIOFile::Size()
{
    if (!stream) return -1;
    long here = ftell(stream);
    fseek(stream, 0, SEEK_END);
    long end = ftell(stream);
    fseek(stream, here, SEEK_SET);
    return (int)end;
}

bool PxIOFile::Flush() { return stream && fflush(stream) == 0; }
bool PxIOFile::Eof() { return !stream || feof(stream) != 0; }
int PxIOFile::Error() { return stream ? ferror(stream) : -1; }
bool PxIOFile::PutC(unsigned char c) { return stream && fputc(c, stream) == c; }
int PxIOFile::GetC() { return stream ? getc(stream) : -1; }
char* PxIOFile::GetS(char* string, int n) { return stream ? fgets(string, n, stream) : nullptr; }
int PxIOFile::Scanf(const char* format, void* output) { return stream ? fscanf(stream, format, output) : -1; }

// --- PxMemFile ---

namespace {
const int64_t kGrowStep = 65536;
}

PxMemFile::PxMemFile(BYTE* buffer, DWORD size)
    : buffer(buffer), size((int32_t)size), ownsBuffer(buffer == nullptr), position(0), capacity((int32_t)size)
{
}

PxMemFile::PxMemFile(const PxMemFile& other)
    : PxFile(other), buffer(other.buffer), size(other.size), ownsBuffer(false), position(other.position),
      capacity(other.capacity)
{
}

PxMemFile& PxMemFile::operator=(const PxMemFile& other)
{
    if (this != &other) {
        Close();
        buffer = other.buffer;
        size = other.size;
        ownsBuffer = false;
        position = other.position;
        capacity = other.capacity;
    }
    return *this;
}

PxMemFile::~PxMemFile() { Close(); }

bool PxMemFile::Close()
{
    if (buffer && ownsBuffer) {
        free(buffer);
        buffer = nullptr;
        size = 0;
    }
    return true;
}

bool PxMemFile::Alloc(int64_t needed)
{
    if (needed > capacity) {
        int64_t newCapacity = needed / kGrowStep * kGrowStep + kGrowStep;
        if (newCapacity > INT32_MAX) return false;
        BYTE* grown;
        if (ownsBuffer) {
            grown = (BYTE*)realloc(buffer, (size_t)newCapacity);
        } else {
            // Never realloc memory this stream does not own: copy it over.
            grown = (BYTE*)malloc((size_t)newCapacity);
            if (grown && buffer && size > 0) memcpy(grown, buffer, (size_t)size);
        }
        if (!grown) return buffer != nullptr;
        buffer = grown;
        ownsBuffer = true;
        capacity = (int32_t)newCapacity;
    }
    return buffer != nullptr;
}

bool PxMemFile::PrepareWrite(int64_t count)
{
    int64_t end = (int64_t)position + count;
    if (end > INT32_MAX) return false;
    if (end > capacity && (!Alloc(end) || end > capacity)) return false;
    if (position > size) memset(buffer + size, 0, (size_t)(position - size));
    return true;
}

size_t PxMemFile::Read(void* dest, size_t itemSize, size_t count)
{
    size_t n;
    if (!dest || !buffer || position >= size || __builtin_mul_overflow(itemSize, count, &n) || n == 0) return 0;
    size_t left = (size_t)(size - position);
    if (n > left) n = left;
    memcpy(dest, buffer + position, n);
    position += (int32_t)n;
    return n / itemSize;
}

size_t PxMemFile::Write(const void* source, size_t itemSize, size_t count)
{
    size_t n;
    if (!buffer || !source || __builtin_mul_overflow(itemSize, count, &n) || n == 0) return 0;
    if (n > (size_t)INT32_MAX || !PrepareWrite((int64_t)n)) return 0;
    memcpy(buffer + position, source, n);
    position += (int32_t)n;
    if (position > size) size = position;
    return count;
}

bool PxMemFile::Seek(int offset, int origin)
{
    if (!buffer) return false;
    int64_t target;
    switch (origin) {
    case 0: target = offset; break;
    case 1: target = (int64_t)position + offset; break;
    case 2: target = (int64_t)size + offset; break;
    default: return false;
    }
    if (target < 0) target = 0;
    if (target > INT32_MAX) return false;
    position = (int32_t)target;
    return true;
}

int PxMemFile::Tell() { return buffer ? position : -1; }
int PxMemFile::Size() { return buffer ? size : -1; }
bool PxMemFile::Flush() { return buffer != nullptr; }
bool PxMemFile::Eof() { return !buffer || position >= size; }

int PxMemFile::Error()
{
    if (!buffer) return -1;
    return position > size ? 1 : 0;
}

bool PxMemFile::PutC(unsigned char c)
{
    if (!buffer || !PrepareWrite(1)) return false;
    buffer[position++] = c;
    if (position > size) size = position;
    return true;
}

int PxMemFile::GetC()
{
    if (Eof()) return -1;
    return buffer[position++];
}

char* PxMemFile::GetS(char* string, int n)
{
    int i = 0;
    while (i < n - 1) {
        int c = GetC();
        if (c < 0) return nullptr;
        string[i++] = (char)c;
        if (c == '\n') break;
    }
    if (n >= 1) string[i] = 0;
    return string;
}

int PxMemFile::Scanf(const char*, void*) { return 0; }
