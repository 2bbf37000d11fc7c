// The EXIF reader: a JPEG's marker sections (and, as the JPEG encoder does,
// the sections kept and written in front of new image data), or an APP1
// block on its own.
#include <cstring>

#include "fuzz_support.h"
#include "image/pximage_exif.h"

namespace {

// The thumbnail, when one is given, lies inside one of the sections read.
void CheckThumbnail(const PxExifReader& reader, const ExifRecord& record, const uint8_t* block, size_t size)
{
    if (!record.thumbnailPointer) return;
    const BYTE* start = record.thumbnailPointer;
    bool inside = block && start >= block && start + record.thumbnailSize <= block + size;
    for (int i = 0; i < reader.sectionsRead && !inside; ++i) {
        const BYTE* data = reader.sections[i].data;
        inside = data && start >= data && start + record.thumbnailSize <= data + reader.sections[i].size;
    }
    FUZZ_CHECK(inside);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    velkfuzz::Input in(data, size);
    const uint8_t mode = in.Byte();
    const velkfuzz::Input::Bytes bytes = in.Rest();
    ExifRecord record;
    memset(&record, 0, sizeof record);
    PxExifReader reader(&record);
    if (mode & 1) {
        if (!bytes.empty()) reader.ProcessExif(bytes.data, (uint32_t)bytes.size);
        CheckThumbnail(reader, record, bytes.data, bytes.size);
        return 0;
    }
    PxMemFile file(bytes.writable(), (DWORD)bytes.size);
    const bool read = reader.ReadSections(&file, PxExifReader::ReadExif);
    CheckThumbnail(reader, record, nullptr, 0);
    FUZZ_CHECK(memchr(record.comments, 0, sizeof record.comments) != nullptr);
    if (!read || !(mode & 2)) return 0;
    reader.DiscardAllButExif();
    file.Seek(0, 0);
    if (!reader.ReadSections(&file, PxExifReader::ReadImage)) return 0;
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    reader.WriteSections(&out);
    return 0;
}
