// Tags and key=value text: read from text in memory, and as a file the
// module reads and then rewrites a value in.
#include <cstring>

#include "base/keyvaluefile.h"
#include "fuzz_support.h"

VELK_FUZZ_WITH_MACHINE()

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t capacity = in.Byte();
    const std::string key = in.Text();
    const std::string text = in.Text();
    std::vector<char> out((size_t)capacity + 1);
    ExtractTag(text.c_str(), key.c_str(), out.data(), (int32_t)out.size());
    FUZZ_CHECK(memchr(out.data(), 0, out.size()) != nullptr);
    const char* value = FindKeyValue(text.c_str(), key.c_str());
    if (value) FUZZ_CHECK(value >= text.c_str() && value <= text.c_str() + text.size());
    volatile int64_t number = KvReadInt64(text.c_str(), key.c_str());
    (void)number;
    const int32_t quoted = KvReadQuoted(text.c_str(), key.c_str(), out.data(), (int32_t)out.size());
    FUZZ_CHECK(quoted >= 0 && (size_t)quoted < out.size());

    // The same text as a file, read and then changed in place.
    velkfuzz::WriteMachineFile("kv.txt", text.data(), text.size());
    const char* path = "C:\\kv.txt";
    number = KvFileReadInt64(path, key.c_str(), 7);
    const char* read = KvFileReadText(path, key.c_str(), "default");
    FUZZ_CHECK(read != nullptr);
    if (capacity & 1) KvFileWriteInt64(path, key.c_str(), (int64_t)capacity << 40);
    else KvFileWriteText(path, key.c_str(), "value");
    return 0;
}
