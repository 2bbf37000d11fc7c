// The BMP decoder through a memory stream.
#include "fuzz_support.h"
#include "image/pximage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return velkfuzz::DecodeImage(data, size, PXIMAGE_FORMAT_BMP);
}
