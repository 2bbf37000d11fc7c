// EXIF reader: splits a JPEG stream into its marker sections, reads the EXIF
// block and the first comment into an ExifRecord, and writes a JPEG again
// with those sections in front of new image data.
#pragma once

#include <cstdint>
#include <set>

#include "image/pxfile.h"

struct ExifRecord {
    char version[5];
    char cameraMake[32];
    char cameraModel[40];
    char dateTime[20];
    int32_t height, width;
    int32_t orientation;
    int32_t isColor;
    int32_t process;
    int32_t flashUsed;
    float focalLength;
    float exposureTime;
    float apertureFNumber;
    float distance;
    float ccdWidth;
    float exposureBias;
    int32_t whiteBalance;
    int32_t meteringMode;
    int32_t exposureProgram;
    int32_t isoEquivalent;
    int32_t compressionLevel;
    float focalPlaneXRes, focalPlaneYRes;
    float focalPlaneUnits;  // inches per unit
    float xResolution, yResolution;
    float resolutionUnit;  // inches per unit
    float brightness;
    char comments[1000];
    const BYTE* thumbnailPointer;
    uint32_t thumbnailSize;
    double gpsLatitude, gpsLongitude, gpsDestLatitude, gpsDestLongitude;
    BYTE gpsDestBearing[8];
    int32_t gpsAltitude, gpsDop, gpsImageDirection;
    bool isExif;
};

class PxExifReader {
public:
    // Modes of ReadSections.
    enum { ReadExif = 1, ReadImage = 2 };
    static const int MaxSections = 20;
    static const int ImageDataType = 291;  // the data after the scan header

    explicit PxExifReader(ExifRecord* record = nullptr);
    ~PxExifReader();
    PxExifReader(const PxExifReader&) = delete;
    PxExifReader& operator=(const PxExifReader&) = delete;

    bool ReadSections(PxFile* stream, int mode);
    bool ProcessExif(const BYTE* data, uint32_t length);
    void DiscardAllButExif();
    bool WriteSections(PxFile* stream);

    struct Section {
        BYTE* data;  // the two length bytes, then the contents
        int32_t type;
        uint32_t size;
    };

    ExifRecord* record;
    char errorText[256];
    int32_t exifImageWidth = 0;
    int32_t motorolaOrder = 0;
    Section sections[MaxSections];
    int32_t sectionsRead = 0;
    bool ownsRecord;

private:
    // The format, byte count and value bytes of a 12-byte directory entry,
    // with the value's offset checked against the block.
    bool ReadEntry(const BYTE* entry, const BYTE* base, uint32_t length, int& format, uint64_t& byteCount,
                   const BYTE*& value);
    bool ProcessExifDir(const BYTE* dir, const BYTE* base, uint32_t length, int nesting);
    bool ProcessGpsInfo(const BYTE* dir, const BYTE* base, uint32_t length);
    double ConvertAnyFormat(const BYTE* value, int format) const;
    int32_t Get32s(const BYTE* p) const;
    uint32_t Get32u(const BYTE* p) const;
    int Get16u(const BYTE* p) const;
    bool Fail(const char* text);
    void Discard(int index);
    // True the first time a directory at this offset is met in the block;
    // false again, or when the block holds no more entries to walk.
    bool Enter(const BYTE* dir, const BYTE* base, int entries);

    // Directories walked in the current block, by offset, and the entries
    // still allowed: a directory linked from several places, or from itself,
    // is read once, and overlapping ones cannot multiply the work.
    std::set<uint32_t> visited_;
    uint64_t entriesLeft_ = 0;
};
