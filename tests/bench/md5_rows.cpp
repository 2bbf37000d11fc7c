// The base library's MD5 against nettle's, over a file and over memory.
#include <nettle/md5.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <array>
#include <memory>

#include "base/md5.h"
#include "bench_inputs.h"
#include "bench_rows.h"
#include "machine_control.h"

namespace velkbench {
namespace {

Bytes Noise(size_t size)
{
    Bytes bytes(size);
    uint64_t state = 0x9E3779B97F4A7C15ull;
    for (size_t i = 0; i < size; i += 8) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        memcpy(bytes.data() + i, &state, std::min<size_t>(8, size - i));
    }
    return bytes;
}

// A file in a folder of its own in the temporary folder, removed with the
// object. The module reads it as Y:\data.bin, the folder mapped as drive Y.
struct TempFile {
    std::string folder, path;
    explicit TempFile(const Bytes& bytes)
    {
        char name[] = "/tmp/velkbench-md5-XXXXXX";
        if (!mkdtemp(name)) return;
        const std::string file = std::string(name) + "/data.bin";
        FILE* f = fopen(file.c_str(), "wb");
        const bool written = f && fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f) fclose(f);
        if (written) folder = name, path = file;
        else unlink(file.c_str()), rmdir(name);
    }
    ~TempFile()
    {
        if (!path.empty()) unlink(path.c_str()), rmdir(folder.c_str());
    }
};

std::string Digests(const Md5Digest& module, const uint8_t* reference)
{
    return memcmp(module.bytes, reference, 16) == 0 ? std::string() : std::string("the digests differ");
}

Pair FileRow(const Scale& scale)
{
    Pair pair;
    auto file = std::make_shared<TempFile>(Noise((size_t)scale.Pick(200, 1) << 20));
    if (file->path.empty()) {
        pair.error = "the input file could not be written";
        return pair;
    }
    auto moduleDigest = std::make_shared<Md5Digest>();
    auto referenceDigest = std::make_shared<std::array<uint8_t, 16>>();
    pair.module = [file, moduleDigest]() {
        standin::MapDrive(L'Y', file->folder);
        Md5File("Y:\\data.bin", moduleDigest.get());
    };
    pair.reference = [file, referenceDigest]() {
        FILE* f = fopen(file->path.c_str(), "rb");
        if (!f) return;
        static uint8_t chunk[65536];
        md5_ctx context;
        md5_init(&context);
        for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;) md5_update(&context, n, chunk);
        fclose(f);
        md5_digest(&context, MD5_DIGEST_SIZE, referenceDigest->data());
    };
    pair.check = [moduleDigest, referenceDigest]() { return Digests(*moduleDigest, referenceDigest->data()); };
    return pair;
}

Pair MemoryRow(const Scale& scale)
{
    Pair pair;
    auto bytes = std::make_shared<Bytes>(Noise((size_t)scale.Pick(64, 1) << 20));
    auto moduleDigest = std::make_shared<Md5Digest>();
    auto referenceDigest = std::make_shared<std::array<uint8_t, 16>>();
    pair.module = [bytes, moduleDigest]() { Md5Buffer(moduleDigest.get(), bytes->data(), (uint32_t)bytes->size()); };
    pair.reference = [bytes, referenceDigest]() {
        md5_ctx context;
        md5_init(&context);
        md5_update(&context, bytes->size(), bytes->data());
        md5_digest(&context, MD5_DIGEST_SIZE, referenceDigest->data());
    };
    pair.check = [moduleDigest, referenceDigest]() { return Digests(*moduleDigest, referenceDigest->data()); };
    return pair;
}

VELK_BENCH_ROWS({
    {"md5", "MD5 of a 200 MB file (Md5File)", "nettle MD5, 64 KiB reads", 1.1, 11, FileRow},
    {"md5", "MD5 of 64 MB in memory (Md5Buffer)", "nettle MD5", 1.1, 15, MemoryRow},
});

}  // namespace
}  // namespace velkbench
