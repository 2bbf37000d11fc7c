// Main of the replay programs: feeds every file named on the command line,
// or found below a folder named there, to the fuzz target's entry, in name
// order, so that the corpus runs as an ordinary sanitizer test.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (std::filesystem::is_directory(argv[i], ec)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(argv[i], ec))
                if (e.is_regular_file()) files.push_back(e.path().string());
        } else {
            files.push_back(argv[i]);
        }
    }
    std::sort(files.begin(), files.end());
    for (const std::string& name : files) {
        std::ifstream in(name, std::ios::binary);
        std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // The input ends where an inaccessible page begins: reading any
        // byte past it faults, however far past.
        const size_t page = (size_t)sysconf(_SC_PAGESIZE);
        const size_t span = (bytes.size() + page - 1) / page * page;
        auto* block = (uint8_t*)mmap(nullptr, span + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (block == MAP_FAILED || mprotect(block + span, page, PROT_NONE) != 0) return 2;
        uint8_t* data = block + span - bytes.size();
        if (!bytes.empty()) memcpy(data, bytes.data(), bytes.size());
        LLVMFuzzerTestOneInput(data, bytes.size());
        munmap(block, span + page);
    }
    printf("%zu inputs replayed\n", files.size());
    // A target without inputs replays nothing: that is a mistake.
    return files.empty() ? 1 : 0;
}
