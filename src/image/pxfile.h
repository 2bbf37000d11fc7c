// Byte streams of the image library: every codec reads and writes through
// PxFile, so one decoder serves a disk file and a block of memory alike.
#pragma once

#include <cstdio>

#include "windows.h"

class PxFile {
public:
    PxFile() = default;
    PxFile(const PxFile&) = default;
    PxFile& operator=(const PxFile&) { return *this; }
    virtual ~PxFile() = default;

    virtual bool Close() = 0;
    virtual size_t Read(void* buffer, size_t size, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t size, size_t count) = 0;
    // origin: 0 from the start, 1 from the current position, 2 from the end.
    virtual bool Seek(int offset, int origin) = 0;
    virtual int Tell() = 0;
    virtual int Size() = 0;
    virtual bool Flush() = 0;
    virtual bool Eof() = 0;
    virtual int Error() = 0;
    virtual bool PutC(unsigned char c);
    virtual int GetC() = 0;
    virtual char* GetS(char* string, int n) = 0;
    virtual int Scanf(const char* format, void* output) = 0;
};

// A C runtime FILE stream. A stream handed in by the caller is never closed
// here; one opened by Open is.
class PxIOFile : public PxFile {
public:
    explicit PxIOFile(FILE* stream = nullptr);
    // A copy refers to the same FILE but never owns it, so it is closed once.
    PxIOFile(const PxIOFile& other);
    PxIOFile& operator=(const PxIOFile& other);
    ~PxIOFile() override;

    bool Open(const wchar_t* path, const wchar_t* mode);

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int offset, int origin) override;
    int Tell() override;
    int Size() override;
    bool Flush() override;
    bool Eof() override;
    int Error() override;
    bool PutC(unsigned char c) override;
    int GetC() override;
    char* GetS(char* string, int n) override;
    int Scanf(const char* format, void* output) override;

    FILE* stream = nullptr;
    bool ownsStream = false;
};

// A block of memory that grows in 64 KiB steps on writing. A buffer handed in
// by the caller is only read and overwritten in place; when a write needs
// more room the stream moves the data into a block of its own, so the
// caller's memory (a locked resource, say) is never reallocated or freed.
class PxMemFile : public PxFile {
public:
    explicit PxMemFile(BYTE* buffer = nullptr, DWORD size = 0);
    // A copy refers to the same buffer but never owns it.
    PxMemFile(const PxMemFile& other);
    PxMemFile& operator=(const PxMemFile& other);
    ~PxMemFile() override;

    bool Close() override;
    size_t Read(void* buffer, size_t size, size_t count) override;
    size_t Write(const void* buffer, size_t size, size_t count) override;
    bool Seek(int offset, int origin) override;
    int Tell() override;
    int Size() override;
    bool Flush() override;
    bool Eof() override;
    int Error() override;
    bool PutC(unsigned char c) override;
    int GetC() override;
    char* GetS(char* string, int n) override;
    int Scanf(const char* format, void* output) override;

    BYTE* buffer = nullptr;
    int32_t size = 0;
    bool ownsBuffer = false;
    int32_t position = 0;
    int32_t capacity = 0;

protected:
    // Makes room for `needed` bytes; true when a buffer is held afterwards.
    bool Alloc(int64_t needed);
    // Makes room for `count` bytes at the position, zero-filling any gap
    // left by a seek past the end; false when that cannot be had.
    bool PrepareWrite(int64_t count);
};
