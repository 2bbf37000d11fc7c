// Shared by the fuzz targets: reading an input piece by piece, decoding an
// image as a caller would, and a stand-in machine for targets that read
// files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "windows.h"

// Crashes on purpose (a finding) when a property a target checks fails.
#define FUZZ_CHECK(condition)                                                  \
    do {                                                                       \
        if (!(condition)) velkfuzz::Fail(#condition, __FILE__, __LINE__);     \
    } while (0)

// A target that reads files makes the stand-in machine before its first input.
#define VELK_FUZZ_WITH_MACHINE()                                               \
    extern "C" int LLVMFuzzerInitialize(int*, char***)                         \
    {                                                                          \
        velkfuzz::UseMachine();                                                \
        return 0;                                                              \
    }

namespace velkfuzz {

[[noreturn]] void Fail(const char* condition, const char* file, int line);

// The bytes of one input, taken from the front; what runs out reads as 0.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte();
    uint32_t U32();
    // The bytes up to the next 0 byte (which is taken too), or all that is left.
    std::string Text();
    // What is left, in place: the input ends where the fuzzer's (or the
    // replay's) block ends, so that reading past it is caught.
    struct Bytes {
        const uint8_t* data;
        size_t size;
        bool empty() const { return size == 0; }
        const uint8_t* begin() const { return data; }
        const uint8_t* end() const { return data + size; }
        // The non-const pointer the library's streams take; they only read.
        BYTE* writable() const { return const_cast<BYTE*>(data); }
    };
    Bytes Rest();
    size_t Left() const { return size_; }

private:
    const uint8_t* data_;
    size_t size_;
};

// Decodes an input as format `type` (0 detects): its first byte sets the
// caller's options (header only, all frames, the frame asked, JPEG scale and
// colour options, byte order), the rest is the file, read through a memory
// stream. A decoded image is then walked as a caller would.
int DecodeImage(const uint8_t* data, size_t size, DWORD type);

// A stand-in machine in a fresh temporary folder, made once and removed at
// exit; its root folder.
const std::string& UseMachine();
// Writes bytes as the machine's file C:\NAME; its Windows path.
std::wstring WriteMachineFile(const std::string& name, const void* data, size_t size);

}  // namespace velkfuzz
