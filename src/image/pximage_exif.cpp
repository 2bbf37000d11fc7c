// Every count and offset inside the EXIF block is checked against the block
// before it is followed, in 64-bit arithmetic; directories may nest four
// deep; texts are copied no further than their byte counts.
#include "image/pximage_exif.h"

#include <cctype>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

const int kBytesPerFormat[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
const int kMaxNesting = 5;

const int M_SOF0 = 0xC0, M_SOF15 = 0xCF, M_DHT = 0xC4, M_JPG = 0xC8, M_DAC = 0xCC;
const int M_EOI = 0xD9, M_SOS = 0xDA, M_APP0 = 0xE0, M_APP1 = 0xE1, M_COM = 0xFE;

// A number from the file as an integer field: NaN and values out of range
// become 0 instead of undefined conversions.
int32_t ToInt(double v)
{
    return v == v && v > INT32_MIN && v < INT32_MAX ? (int32_t)v : 0;
}

void CopyText(char* out, size_t outSize, const BYTE* value, uint64_t count)
{
    size_t n = count < outSize - 1 ? (size_t)count : outSize - 1;
    memcpy(out, value, n);
    out[n] = 0;
}

}  // namespace

PxExifReader::PxExifReader(ExifRecord* given) : record(given), ownsRecord(given == nullptr)
{
    if (!record) record = (ExifRecord*)calloc(1, sizeof(ExifRecord));
    errorText[0] = 0;
    memset(sections, 0, sizeof sections);
}

PxExifReader::~PxExifReader()
{
    for (int i = 0; i < sectionsRead; ++i) free(sections[i].data);
    if (ownsRecord) free(record);
}

bool PxExifReader::Fail(const char* text)
{
    strncpy(errorText, text, sizeof errorText - 1);
    errorText[sizeof errorText - 1] = 0;
    return false;
}

int PxExifReader::Get16u(const BYTE* p) const { return motorolaOrder ? p[0] << 8 | p[1] : p[1] << 8 | p[0]; }

uint32_t PxExifReader::Get32u(const BYTE* p) const
{
    return motorolaOrder ? (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]
                         : (uint32_t)p[3] << 24 | p[2] << 16 | p[1] << 8 | p[0];
}

int32_t PxExifReader::Get32s(const BYTE* p) const { return (int32_t)Get32u(p); }

double PxExifReader::ConvertAnyFormat(const BYTE* value, int format) const
{
    switch (format) {
    case 1: return *value;
    case 3: return Get16u(value);
    case 4: return Get32u(value);
    case 5:
    case 10: {
        const int32_t num = Get32s(value), den = Get32s(value + 4);
        return den == 0 ? 0 : (double)num / den;
    }
    case 6: return (signed char)*value;
    case 8: return (int16_t)Get16u(value);
    case 9: return Get32s(value);
    case 11: {
        // Floats follow the block's byte order like every other number.
        uint32_t bits = Get32u(value);
        float f;
        memcpy(&f, &bits, 4);
        return f;
    }
    case 12: {
        uint64_t hi = Get32u(value), lo = Get32u(value + 4);
        uint64_t bits = motorolaOrder ? hi << 32 | lo : lo << 32 | hi;
        double d;
        memcpy(&d, &bits, 8);
        return d;
    }
    default: return 0;
    }
}

void PxExifReader::Discard(int index)
{
    free(sections[index].data);
    sections[index] = sections[--sectionsRead];
    sections[sectionsRead] = Section{nullptr, 0, 0};
}

bool PxExifReader::ReadSections(PxFile* stream, int mode)
{
    if (!stream || stream->GetC() != 0xFF || stream->GetC() != 0xD8) return false;
    bool haveComment = false;
    for (;;) {
        if (sectionsRead >= MaxSections) return Fail("Too many sections in jpg file");
        int marker = 0;
        for (int a = 0;; ++a) {
            marker = stream->GetC();
            if (marker != 0xFF) break;
            if (a >= 6) return Fail("too many padding bytes");
        }
        const int high = stream->GetC(), low = stream->GetC();
        if (marker < 0 || high < 0 || low < 0) return Fail("Premature end of file?");
        const uint32_t length = (uint32_t)(high << 8 | low);
        if (length < 2) return Fail("invalid marker");
        BYTE* data = (BYTE*)malloc(length);
        if (!data) return Fail("Could not allocate memory");
        data[0] = (BYTE)high;
        data[1] = (BYTE)low;
        if (stream->Read(data + 2, 1, length - 2) != length - 2) {
            free(data);
            return Fail("Premature end of file?");
        }
        const int index = sectionsRead++;
        sections[index] = Section{data, marker, length};

        if (marker == M_SOS) {
            if (!(mode & ReadImage)) return true;
            const int here = stream->Tell();
            stream->Seek(0, 2);
            const int end = stream->Tell();
            stream->Seek(here, 0);
            // The image data needs a slot of its own.
            if (sectionsRead >= MaxSections) return Fail("Too many sections in jpg file");
            const size_t size = end > here ? (size_t)(end - here) : 0;
            BYTE* rest = (BYTE*)malloc(size ? size : 1);
            if (!rest) return Fail("could not allocate data for entire image");
            if (stream->Read(rest, 1, size) != size) {
                free(rest);
                return Fail("could not read the rest of the image");
            }
            sections[sectionsRead++] = Section{rest, ImageDataType, (uint32_t)size};
            return true;
        }
        if (marker == M_EOI) return Fail("No image in jpeg!");
        if (marker == M_APP0) {
            Discard(index);
        } else if (marker == M_APP1) {
            if ((mode & ReadExif) && length >= 8 && memcmp(data + 2, "Exif", 4) == 0)
                record->isExif = ProcessExif(data + 2, length - 2);
            else
                Discard(index);
        } else if (marker == M_COM) {
            if ((mode & ReadExif) && !haveComment) {
                haveComment = true;
                const uint32_t n = (length < 1000 ? length : 1000) - 2;
                uint32_t out = 0;
                for (uint32_t i = 0; i < n; ++i) {
                    const BYTE c = data[2 + i];
                    if (c == '\r' && i + 1 < n && data[3 + i] == '\n') continue;
                    record->comments[out++] = (isprint(c) || c == '\n' || c == '\t') ? (char)c : '?';
                }
                record->comments[out] = 0;
            } else {
                Discard(index);
            }
        } else if (marker >= M_SOF0 && marker <= M_SOF15 && marker != M_DHT && marker != M_JPG && marker != M_DAC) {
            if (length >= 8) {
                record->height = data[3] << 8 | data[4];
                record->width = data[5] << 8 | data[6];
                record->isColor = data[7] == 3;
                record->process = marker;
            }
        }
    }
}

bool PxExifReader::ProcessExif(const BYTE* data, uint32_t length)
{
    record->flashUsed = 0;
    record->comments[0] = 0;
    exifImageWidth = 0;
    if (length < 14 || memcmp(data, "Exif\0\0", 6) != 0) return Fail("Incorrect Exif header");
    if (memcmp(data + 6, "II", 2) == 0) motorolaOrder = 0;
    else if (memcmp(data + 6, "MM", 2) == 0) motorolaOrder = 1;
    else return Fail("Invalid Exif alignment marker.");
    if (Get16u(data + 8) != 42) return Fail("Invalid Exif start (1)");
    const uint32_t firstOffset = Get32u(data + 10);
    const BYTE* base = data + 6;
    const uint32_t blockLength = length - 6;
    visited_.clear();
    // Every entry of a sound block belongs to one directory.
    entriesLeft_ = blockLength / 12 + 1;
    if (!ProcessExifDir(data + 14, base, blockLength, 0)) return false;
    if (firstOffset > 8) {
        if ((uint64_t)firstOffset + 2 > blockLength) return Fail("Illegal subdirectory link");
        if (!ProcessExifDir(base + firstOffset, base, blockLength, 0)) return false;
    }
    if (record->focalPlaneXRes != 0)
        record->ccdWidth = (float)(exifImageWidth * record->focalPlaneUnits / record->focalPlaneXRes);
    return true;
}

bool PxExifReader::ReadEntry(const BYTE* entry, const BYTE* base, uint32_t length, int& format,
                             uint64_t& byteCount, const BYTE*& value)
{
    format = Get16u(entry + 2);
    const uint32_t components = Get32u(entry + 4);
    if (format >= 13) return Fail("Illegal format code in EXIF dir");
    byteCount = (uint64_t)kBytesPerFormat[format] * components;
    value = entry + 8;
    if (byteCount > 4) {
        const uint64_t offset = Get32u(entry + 8);
        if (offset + byteCount > length) return Fail("Illegal pointer offset value in EXIF.");
        value = base + offset;
    }
    return true;
}

bool PxExifReader::Enter(const BYTE* dir, const BYTE* base, int entries)
{
    if (!visited_.insert((uint32_t)(dir - base)).second) return false;
    if ((uint64_t)entries > entriesLeft_) {
        Fail("Too many directory entries (corrupt exif header)");
        entriesLeft_ = 0;
        return false;
    }
    entriesLeft_ -= (uint64_t)entries;
    return true;
}

bool PxExifReader::ProcessExifDir(const BYTE* dir, const BYTE* base, uint32_t length, int nesting)
{
    const BYTE* end = base + length;
    if (dir < base || dir + 2 > end) return Fail("Illegally sized directory");
    const int entries = Get16u(dir);
    if (dir + 2 + 12 * (size_t)entries > end) return Fail("Illegally sized directory");
    if (!Enter(dir, base, entries)) return true;
    uint32_t thumbnailOffset = 0, thumbnailSize = 0;
    ExifRecord& r = *record;
    for (int i = 0; i < entries; ++i) {
        const BYTE* entry = dir + 2 + 12 * i;
        const int tag = Get16u(entry);
        int format;
        uint64_t byteCount;
        const BYTE* value;
        if (!ReadEntry(entry, base, length, format, byteCount, value)) return false;
        // A value with no bytes names nothing to read.
        if (byteCount == 0) continue;
        const double number = ConvertAnyFormat(value, format);
        switch (tag) {
        case 271: CopyText(r.cameraMake, sizeof r.cameraMake, value, byteCount); break;
        case 272: CopyText(r.cameraModel, sizeof r.cameraModel, value, byteCount); break;
        case 36867: CopyText(r.dateTime, sizeof r.dateTime, value, byteCount); break;
        case 36864: CopyText(r.version, sizeof r.version, value, byteCount); break;
        case 274:
            r.orientation = ToInt(number);
            if (r.orientation < 1 || r.orientation > 8) {
                Fail("Undefined rotation value");
                r.orientation = 0;
            }
            break;
        case 296:
        case 41488: {
            float& unit = tag == 296 ? r.resolutionUnit : r.focalPlaneUnits;
            switch (ToInt(number)) {
            case 1:
            case 2: unit = 1.0f; break;
            case 3: unit = 0.39370078f; break;
            case 4: unit = 0.039370079f; break;
            case 5: unit = 0.000039370079f; break;
            default: break;
            }
            break;
        }
        case 34855: {
            // Small values are a factor of ISO 200; the product is formed
            // in double, so that a large negative value cannot overflow.
            const double iso = ToInt(number);
            r.isoEquivalent = ToInt(iso < 50 ? iso * 200 : iso);
            break;
        }
        case 37377:
            if (r.exposureTime == 0) r.exposureTime = (float)(1 / exp2(number));
            break;
        case 37378:
        case 37381:
            if (r.apertureFNumber == 0) r.apertureFNumber = (float)exp2(number / 2);
            break;
        case 37510: {
            char buffer[200];
            memset(buffer, 0, sizeof buffer);
            memcpy(buffer, value, byteCount < 199 ? (size_t)byteCount : 199);
            for (int k = 198; k >= 0 && (buffer[k] == ' ' || buffer[k] == 0); --k) buffer[k] = 0;
            if (memcmp(buffer, "ASCII", 5) == 0) {
                for (int k = 5; k < 10; ++k) {
                    if (buffer[k] != 0 && buffer[k] != ' ') {
                        CopyText(r.comments, sizeof r.comments, (const BYTE*)buffer + k, 199 - k);
                        break;
                    }
                }
            } else {
                CopyText(r.comments, sizeof r.comments, (const BYTE*)buffer, 199);
            }
            break;
        }
        case 40962:
        case 40963:
            if (ToInt(number) > exifImageWidth) exifImageWidth = ToInt(number);
            break;
        case 513: thumbnailOffset = (uint32_t)ToInt(number); break;
        case 514: thumbnailSize = (uint32_t)ToInt(number); break;
        case 34665:
        case 40965:
        case 34853: {
            const uint32_t offset = Get32u(value);
            if (offset <= 8) break;
            if ((uint64_t)offset + 2 > length) return Fail("Illegal subdirectory link");
            if (tag == 34853) {
                if (!ProcessGpsInfo(base + offset, base, length)) return false;
            } else if (nesting + 1 >= kMaxNesting) {
                Fail("Maximum directory nesting exceeded (corrupt exif header)");
            } else if (!ProcessExifDir(base + offset, base, length, nesting + 1)) {
                return false;
            }
            break;
        }
        case 37385: r.flashUsed = (ToInt(number) & 7) != 0; break;
        case 37386: r.focalLength = (float)number; break;
        case 33434: r.exposureTime = (float)number; break;
        case 33437: r.apertureFNumber = (float)number; break;
        case 37382: r.distance = (float)number; break;
        case 37380: r.exposureBias = (float)number; break;
        case 37384: r.whiteBalance = ToInt(number); break;
        case 37383: r.meteringMode = ToInt(number); break;
        case 34850: r.exposureProgram = ToInt(number); break;
        case 37122: r.compressionLevel = ToInt(number); break;
        case 41486: r.focalPlaneXRes = (float)number; break;
        case 41487: r.focalPlaneYRes = (float)number; break;
        case 282: r.xResolution = (float)number; break;
        case 283: r.yResolution = (float)number; break;
        case 37379: r.brightness = (float)number; break;
        default: break;
        }
    }
    const BYTE* link = dir + 2 + 12 * (size_t)entries;
    const uint32_t next = link + 4 <= end ? Get32u(link) : 0;
    if (next) {
        if ((uint64_t)next + 2 > length) return Fail("Illegal subdirectory link");
        if (nesting + 1 >= kMaxNesting) Fail("Maximum directory nesting exceeded (corrupt exif header)");
        else if (!ProcessExifDir(base + next, base, length, nesting + 1)) return false;
    }
    if (thumbnailOffset && thumbnailSize && (uint64_t)thumbnailOffset + thumbnailSize <= length) {
        r.thumbnailPointer = base + thumbnailOffset;
        r.thumbnailSize = thumbnailSize;
    }
    return true;
}

bool PxExifReader::ProcessGpsInfo(const BYTE* dir, const BYTE* base, uint32_t length)
{
    const BYTE* end = base + length;
    if (dir < base || dir + 2 > end) return Fail("Illegally sized directory");
    const int entries = Get16u(dir);
    if (dir + 2 + 12 * (size_t)entries > end) return Fail("Illegally sized directory");
    if (!Enter(dir, base, entries)) return true;
    ExifRecord& r = *record;
    r.gpsLatitude = r.gpsLongitude = r.gpsDestLatitude = r.gpsDestLongitude = 0;
    memset(r.gpsDestBearing, 0, sizeof r.gpsDestBearing);
    r.gpsAltitude = r.gpsDop = r.gpsImageDirection = 0;
    for (int i = 0; i < entries; ++i) {
        const BYTE* entry = dir + 2 + 12 * i;
        const int tag = Get16u(entry);
        int format;
        uint64_t byteCount;
        const BYTE* value;
        if (!ReadEntry(entry, base, length, format, byteCount, value)) return false;
        if (byteCount == 0) continue;
        switch (tag) {
        case 1:
        case 19:
            if (value[0] == 'S' || value[0] == 's') (tag == 1 ? r.gpsLatitude : r.gpsDestLatitude) = -1;
            break;
        case 3:
        case 21:
            if (value[0] == 'W' || value[0] == 'w') (tag == 3 ? r.gpsLongitude : r.gpsDestLongitude) = -1;
            break;
        case 2:
        case 4:
        case 20:
        case 22: {
            // Degrees, minutes and seconds: three values of their format.
            if (Get32u(entry + 4) < 3) break;  // the component count
            const int size = kBytesPerFormat[format];
            const double v = ConvertAnyFormat(value, format) + ConvertAnyFormat(value + size, format) / 60 +
                             ConvertAnyFormat(value + 2 * size, format) / 3600;
            double& field = tag == 2 ? r.gpsLatitude : tag == 4 ? r.gpsLongitude : tag == 20 ? r.gpsDestLatitude
                                                                                              : r.gpsDestLongitude;
            field = field < 0 ? -v : v;
            break;
        }
        case 5:
            if (ConvertAnyFormat(value, format) == 1) r.gpsAltitude = -1;
            break;
        case 6: {
            const int32_t altitude = ToInt(ConvertAnyFormat(value, format));
            r.gpsAltitude = r.gpsAltitude < 0 ? -altitude : altitude;
            break;
        }
        case 11: r.gpsDop = ToInt(ConvertAnyFormat(value, format)); break;
        case 16:
            if (value[0] == 'T') r.gpsImageDirection = 0;
            break;
        case 17: r.gpsImageDirection = ToInt(ConvertAnyFormat(value, format)); break;
        case 24:
            if (byteCount >= 8) memcpy(r.gpsDestBearing, value, 8);
            break;
        default: break;
        }
    }
    return true;
}

void PxExifReader::DiscardAllButExif()
{
    Section exif{nullptr, 0, 0}, comment{nullptr, 0, 0};
    for (int i = 0; i < sectionsRead; ++i) {
        Section& s = sections[i];
        if (s.type == M_APP1 && !exif.data) exif = s;
        else if (s.type == M_COM && !comment.data) comment = s;
        else free(s.data);
        s = Section{nullptr, 0, 0};
    }
    sectionsRead = 0;
    if (exif.data) sections[sectionsRead++] = exif;
    if (comment.data) sections[sectionsRead++] = comment;
}

bool PxExifReader::WriteSections(PxFile* stream)
{
    bool scanFound = false;
    for (int i = 0; i + 1 < sectionsRead; ++i) scanFound |= sections[i].type == M_SOS;
    if (!scanFound) return Fail("Can't write exif : didn't read all");
    bool ok = stream->PutC(0xFF) && stream->PutC(0xD8);
    if (sections[0].type != M_APP0 && sections[0].type != M_APP1) {
        static const BYTE jfif[18] = {0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00,
                                      0x01, 0x01, 0x01, 0x01, 0x2C, 0x01, 0x2C, 0x00, 0x00};
        ok = ok && stream->Write(jfif, 18, 1) == 1;
    }
    for (int i = 0; ok && i + 1 < sectionsRead; ++i) {
        ok = stream->PutC(0xFF) && stream->PutC((unsigned char)sections[i].type) &&
             stream->Write(sections[i].data, 1, sections[i].size) == sections[i].size;
    }
    const Section& last = sections[sectionsRead - 1];
    ok = ok && stream->Write(last.data, 1, last.size) == last.size;
    return ok || Fail("Error writing the sections");
}
