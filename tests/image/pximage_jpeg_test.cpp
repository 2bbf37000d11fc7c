#include <gtest/gtest.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "codec_test_support.h"
#include "image/pximage_exif.h"
#include "image/pximage_jpeg.h"

using namespace imagetest;

namespace {

// A binary PNM (P5 or P6) as RGBA.
Rgba ReadPnm(const std::string& bytes)
{
    Rgba result;
    int width = 0, height = 0, maxval = 0, used = 0;
    char kind[3] = {0};
    if (sscanf(bytes.c_str(), "%2s %d %d %d%n", kind, &width, &height, &maxval, &used) != 4) return result;
    const int channels = kind[1] == '6' ? 3 : 1;
    const unsigned char* p = (const unsigned char*)bytes.data() + used + 1;
    result.width = width;
    result.height = height;
    for (int i = 0; i < width * height; ++i, p += channels)
        result.pixels.insert(result.pixels.end(), {p[0], p[channels == 3 ? 1 : 0], p[channels - 1], 255});
    return result;
}

// Any JPEG through plain libjpeg, as RGBA; raw CMYK samples are turned into
// the expected colours (inverted CMYK, as the common tools write it).
Rgba Libjpeg(const std::string& bytes)
{
    Rgba result;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr error;
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, (const unsigned char*)bytes.data(), (unsigned long)bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&cinfo);
    result.width = (int)cinfo.output_width;
    result.height = (int)cinfo.output_height;
    std::vector<unsigned char> row(cinfo.output_width * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (size_t x = 0; x < cinfo.output_width; ++x) {
            if (cmyk) {
                unsigned c = row[4 * x], m = row[4 * x + 1], y = row[4 * x + 2], k = row[4 * x + 3];
                result.pixels.insert(result.pixels.end(),
                                     {(uint8_t)(k * c / 255), (uint8_t)(k * m / 255), (uint8_t)(k * y / 255), 255});
            } else {
                result.pixels.insert(result.pixels.end(), {row[3 * x], row[3 * x + 1], row[3 * x + 2], 255});
            }
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return result;
}

// Builds a TIFF-structured EXIF block: directories of entries, each value
// given as its raw bytes in the block's order.
class ExifBuilder {
public:
    explicit ExifBuilder(bool motorola) : motorola_(motorola) {}
    std::string U16(unsigned v) const
    {
        return motorola_ ? std::string{(char)(v >> 8), (char)v} : std::string{(char)v, (char)(v >> 8)};
    }
    std::string U32(uint32_t v) const { return motorola_ ? U16(v >> 16) + U16(v & 0xFFFF) : U16(v & 0xFFFF) + U16(v >> 16); }
    std::string Rational(uint32_t n, uint32_t d) const { return U32(n) + U32(d); }

    struct Entry {
        int tag, format;
        uint32_t count;
        std::string value;
        int linkTo = -1;  // a sub-directory: the value becomes its offset
    };
    // Directories in the order written; directory 0 follows the header.
    std::vector<std::vector<Entry>> dirs;
    std::map<int, int> next;  // directory -> the directory linked after it

    // "Exif\0\0" and the TIFF block.
    std::string Build() const
    {
        // Lay out the directories, then their long values.
        std::vector<uint32_t> at(dirs.size());
        uint32_t offset = 8;
        for (size_t d = 0; d < dirs.size(); ++d) {
            at[d] = offset;
            offset += 2 + 12 * (uint32_t)dirs[d].size() + 4;
        }
        std::string block = (motorola_ ? "MM" : "II") + U16(42) + U32(8), values;
        for (size_t d = 0; d < dirs.size(); ++d) {
            block += U16((unsigned)dirs[d].size());
            for (const Entry& e : dirs[d]) {
                block += U16(e.tag) + U16(e.format) + U32(e.count);
                if (e.linkTo >= 0) {
                    block += U32(at[e.linkTo]);
                } else if (e.value.size() <= 4) {
                    block += e.value + std::string(4 - e.value.size(), '\0');
                } else {
                    block += U32(offset + (uint32_t)values.size());
                    values += e.value;
                }
            }
            auto n = next.find((int)d);
            block += U32(n == next.end() ? 0 : at[n->second]);
        }
        return std::string("Exif\0\0", 6) + block + values;
    }

private:
    bool motorola_;
};

// A JPEG with the given APP1 contents put right after SOI.
std::string WithApp1(const std::string& jpeg, const std::string& app1)
{
    const size_t length = app1.size() + 2;
    return jpeg.substr(0, 2) + "\xFF\xE1" + std::string{(char)(length >> 8), (char)(length & 0xFF)} + app1 +
           jpeg.substr(2);
}

// The record of a JPEG's EXIF block; the thumbnail's bytes are copied out
// before the reader that holds them goes.
ExifRecord ReadExif(const std::string& jpeg, std::string* error = nullptr, std::string* thumbnail = nullptr)
{
    ExifRecord record;
    memset(&record, 0, sizeof record);
    PxExifReader reader(&record);
    PxMemFile file((BYTE*)jpeg.data(), (DWORD)jpeg.size());
    reader.ReadSections(&file, PxExifReader::ReadExif);
    if (error) *error = reader.errorText;
    if (thumbnail && record.thumbnailPointer)
        thumbnail->assign((const char*)record.thumbnailPointer, record.thumbnailSize);
    record.thumbnailPointer = nullptr;
    return record;
}

// Mean difference of the colour channels of two pictures of one size.
double MeanDifference(const Rgba& a, const Rgba& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        if (i % 4 != 3) sum += std::abs((int)a.pixels[i] - (int)b.pixels[i]);
    return sum / (a.pixels.size() * 3 / 4);
}

}  // namespace

TEST(JpegDecode, MatchesDjpeg)
{
    for (const char* name : {"j420", "j444", "jgrey", "jprog", "jarith", "jrestart"}) {
        SCOPED_TRACE(name);
        PxImage image;
        ASSERT_TRUE(DecodeAs(Fixture(std::string(name) + ".jpg"), PXIMAGE_FORMAT_JPG, image)) << image.GetLastErrorText();
        EXPECT_TRUE(SamePicture(ReadPnm(Fixture(std::string(name) + ".pnm")), ToRgba(image)));
        const bool grey = std::string(name) == "jgrey";
        EXPECT_EQ(image.GetBpp(), grey ? 8u : 24u);
        EXPECT_EQ(image.IsGrayScale(), grey);
    }
    PxImage cmyk;
    ASSERT_TRUE(DecodeAs(Fixture("jcmyk.jpg"), PXIMAGE_FORMAT_UNKNOWN, cmyk)) << cmyk.GetLastErrorText();
    EXPECT_EQ(cmyk.GetType(), PXIMAGE_FORMAT_JPG);
    EXPECT_EQ(cmyk.GetBpp(), 24u);
    EXPECT_TRUE(SamePicture(Libjpeg(Fixture("jcmyk.jpg")), ToRgba(cmyk)));
}

TEST(JpegDecode, ScaleHeaderOnlyAndResolution)
{
    for (int scale : {0, 1, 2, 4, 8, 3}) {
        SCOPED_TRACE(scale);
        PxImage image;
        image.info.jpegScale = (BYTE)scale;
        ASSERT_TRUE(DecodeAs(Fixture("j420.jpg"), PXIMAGE_FORMAT_JPG, image));
        const int denominator = scale == 2 || scale == 4 || scale == 8 ? scale : 1;
        EXPECT_EQ(image.GetWidth(), (13u + denominator - 1) / denominator);
        PxImage header;
        header.info.jpegScale = (BYTE)scale;
        header.info.escape = -1;
        ASSERT_TRUE(DecodeAs(Fixture("j420.jpg"), PXIMAGE_FORMAT_JPG, header));
        EXPECT_EQ(header.GetWidth(), image.GetWidth());
        EXPECT_EQ(header.GetHeight(), image.GetHeight());
        EXPECT_EQ(header.dib, nullptr);
        EXPECT_EQ(header.GetType(), PXIMAGE_FORMAT_JPG);
    }
    PxImage cm, aspect;
    ASSERT_TRUE(DecodeAs(Fixture("jcm.jpg"), PXIMAGE_FORMAT_JPG, cm));
    EXPECT_EQ(cm.info.xDpi, 97);
    EXPECT_EQ(cm.info.yDpi, 97);
    ASSERT_TRUE(DecodeAs(Fixture("jaspect.jpg"), PXIMAGE_FORMAT_JPG, aspect));
    EXPECT_EQ(aspect.info.xDpi, 96);
    EXPECT_EQ(aspect.info.yDpi, 192);
    // An aspect of 65535 to 1 over a dpi the image had before stops at
    // the largest a LONG holds.
    std::string tall = Fixture("jaspect.jpg");
    ASSERT_EQ(tall.compare(6, 5, std::string("JFIF\0", 5)), 0);
    tall[13] = 0, tall[14] = 0, tall[15] = 1, tall[16] = '\xff', tall[17] = '\xff';
    aspect.SetXDPI(INT32_MAX);
    ASSERT_TRUE(DecodeAs(tall, PXIMAGE_FORMAT_JPG, aspect));
    EXPECT_EQ(aspect.info.yDpi, INT32_MAX);

    // EXIF resolution wins over the JFIF densities.
    ExifBuilder exif(false);
    exif.dirs.push_back({{282, 5, 1, exif.Rational(300, 1)}, {283, 5, 1, exif.Rational(300, 1)}, {296, 3, 1, exif.U16(2)}});
    PxImage camera;
    ASSERT_TRUE(DecodeAs(WithApp1(Fixture("jcm.jpg"), exif.Build()), PXIMAGE_FORMAT_JPG, camera));
    EXPECT_EQ(camera.info.xDpi, 300);
    EXPECT_EQ(camera.info.yDpi, 300);
}

TEST(JpegDecode, GreyOutputAndQuantisedColours)
{
    PxImage grey;
    grey.info.codecOptions[3] = 0x80;
    ASSERT_TRUE(DecodeAs(Fixture("j444.jpg"), PXIMAGE_FORMAT_JPG, grey));
    EXPECT_EQ(grey.GetBpp(), 8u);
    EXPECT_TRUE(grey.IsGrayScale());

    PxImage colours;
    colours.info.codecOptions[3] = 0x100;
    colours.info.jpegQuality = 40;  // the number of colours asked for
    ASSERT_TRUE(DecodeAs(Fixture("j444.jpg"), PXIMAGE_FORMAT_JPG, colours)) << colours.GetLastErrorText();
    EXPECT_EQ(colours.GetBpp(), 8u);
    std::set<int> used;
    for (LONG y = 0; y < 11; ++y)
        for (LONG x = 0; x < 13; ++x) used.insert(colours.GetPixelIndex(x, y));
    EXPECT_LE(used.size(), 40u);
    EXPECT_GT(used.size(), 4u);
    PxImage full;
    ASSERT_TRUE(DecodeAs(Fixture("j444.jpg"), PXIMAGE_FORMAT_JPG, full));
    EXPECT_LT(MeanDifference(ToRgba(full), ToRgba(colours)), 16);
}

TEST(JpegDecode, FailuresAndDamage)
{
    PxImage image;
    EXPECT_FALSE(DecodeAs("", PXIMAGE_FORMAT_JPG, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Empty input file");
    EXPECT_FALSE(DecodeAs("not a jpeg at all", PXIMAGE_FORMAT_JPG, image));
    EXPECT_NE(image.GetLastErrorText()[0], 0);
    image.info.escape = 1;
    EXPECT_FALSE(DecodeAs(Fixture("j420.jpg"), PXIMAGE_FORMAT_JPG, image));
    EXPECT_STREQ(image.GetLastErrorText(), "Cancelled");
    // A file cut in its image data decodes as far as the data go.
    std::string jpeg = Fixture("j444.jpg");
    PxImage cut;
    EXPECT_TRUE(DecodeAs(jpeg.substr(0, jpeg.size() - 200), PXIMAGE_FORMAT_JPG, cut)) << cut.GetLastErrorText();
    EXPECT_EQ(cut.GetWidth(), 13u);
    for (const char* name : {"j420.jpg", "jprog.jpg", "jcmyk.jpg"}) {
        SCOPED_TRACE(name);
        DecodeDamaged(Fixture(name), PXIMAGE_FORMAT_JPG, 3);
    }
}

TEST(JpegEncode, RoundTripsAndOptions)
{
    PxImage image;
    ASSERT_TRUE(DecodeAs(Fixture("j444.jpg"), PXIMAGE_FORMAT_JPG, image));
    image.SetXDPI(150);
    std::string before = Snapshot(image);
    for (DWORD option : {0u, 0x2u, 0x8u, 0x10u, 0x1000u, 0x2000u, 0x4u}) {
        SCOPED_TRACE(option);
        image.info.codecOptions[3] = option;
        std::string bytes = EncodeAs(image, PXIMAGE_FORMAT_JPG);
        ASSERT_FALSE(bytes.empty()) << image.GetLastErrorText();
        EXPECT_EQ(Snapshot(image), before);
        PxImage back;
        ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_JPG, back)) << back.GetLastErrorText();
        EXPECT_EQ(back.info.xDpi, 150);
        if (option == 0x4) {
            EXPECT_EQ(back.GetBpp(), 8u);
            continue;
        }
        EXPECT_EQ(back.GetWidth(), 13u);
        // This small picture changes colour from pixel to pixel: halving the
        // colour resolution costs as much as it does with cjpeg (about 20).
        EXPECT_LT(MeanDifference(ToRgba(image), ToRgba(back)), option == 0x2000 ? 6 : 22);
        // The option reached the file's frame header.
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr error;
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, (const unsigned char*)bytes.data(), (unsigned long)bytes.size());
        jpeg_read_header(&cinfo, TRUE);
        EXPECT_EQ(cinfo.arith_code != 0, option == 0x2);
        EXPECT_EQ(cinfo.progressive_mode != 0, option == 0x10);
        EXPECT_EQ(cinfo.comp_info[0].v_samp_factor, option == 0x1000 || option == 0x2000 ? 1 : 2);
        jpeg_destroy_decompress(&cinfo);
    }

    // An 8-bit grey ramp is written as one component; other palettes are refused.
    PxImage grey;
    ASSERT_TRUE(DecodeAs(Fixture("jgrey.jpg"), PXIMAGE_FORMAT_JPG, grey));
    PxImage greyBack;
    ASSERT_TRUE(DecodeAs(EncodeAs(grey, PXIMAGE_FORMAT_JPG), PXIMAGE_FORMAT_JPG, greyBack));
    EXPECT_EQ(greyBack.GetBpp(), 8u);
    EXPECT_LT(MeanDifference(ToRgba(grey), ToRgba(greyBack)), 4);
    for (DWORD bpp : {1u, 4u}) {
        PxImage low(4, 4, bpp, 0);
        low.SetGrayPalette();
        EXPECT_TRUE(EncodeAs(low, PXIMAGE_FORMAT_JPG).empty());
        EXPECT_STREQ(low.GetLastErrorText(), "JPEG can save only RGB or GreyScale images");
    }
}

TEST(JpegEncode, WriteFailures)
{
    PxImage image;
    ASSERT_TRUE(DecodeAs(Fixture("j420.jpg"), PXIMAGE_FORMAT_JPG, image));
    const size_t full = EncodeAs(image, PXIMAGE_FORMAT_JPG).size();
    for (size_t n : {(size_t)0, (size_t)100, full - 1}) {
        RefusingStream file(n);
        EXPECT_FALSE(image.Encode(&file, PXIMAGE_FORMAT_JPG)) << n;
        EXPECT_STREQ(image.GetLastErrorText(), "Output file write error --- out of disk space?");
    }
    PxImage empty;
    PxMemFile out;
    EXPECT_FALSE(empty.Encode(&out, PXIMAGE_FORMAT_JPG));
    EXPECT_STREQ(empty.GetLastErrorText(), "null image!!!");
}

// The EXIF block of a decoded file goes into the file the same codec saves.
TEST(JpegEncode, CarriesExifOver)
{
    ExifBuilder exif(false);
    exif.dirs.push_back({{271, 2, 4, "Abc"}, {274, 3, 1, exif.U16(6)}});
    const std::string source = WithApp1(Fixture("j420.jpg"), exif.Build());
    PxImageJPG codec;
    PxMemFile in((BYTE*)source.data(), (DWORD)source.size());
    ASSERT_TRUE(codec.Decode(&in));
    ASSERT_TRUE(codec.exifInfo.isExif);
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    ASSERT_TRUE(codec.Encode(&out));
    std::string written((const char*)out.buffer, (size_t)out.size);
    EXPECT_EQ(written.substr(0, 4), "\xFF\xD8\xFF\xE1");
    ExifRecord again = ReadExif(written);
    EXPECT_TRUE(again.isExif);
    EXPECT_STREQ(again.cameraMake, "Abc");
    PxImage back;
    EXPECT_TRUE(DecodeAs(written, PXIMAGE_FORMAT_JPG, back)) << back.GetLastErrorText();
    EXPECT_EQ(back.GetWidth(), 13u);
}

TEST(ExifReader, CameraValues)
{
    ExifBuilder intel(false);
    intel.dirs.push_back({{271, 2, 4, "Abc"},
                          {274, 3, 1, intel.U16(6)},
                          {282, 5, 1, intel.Rational(72, 1)},
                          {296, 3, 1, intel.U16(2)},
                          {34665, 4, 1, "", 1},
                          {34853, 4, 1, "", 2}});
    intel.dirs.push_back({{34855, 3, 1, intel.U16(2)},
                          {33437, 5, 1, intel.Rational(28, 10)},
                          {37385, 3, 1, intel.U16(1)},
                          {37510, 7, 16, std::string("ASCII\0\0\0hello   ", 16)}});
    intel.dirs.push_back({{1, 2, 2, "S"}, {2, 5, 3, intel.Rational(30, 1) + intel.Rational(15, 1) + intel.Rational(0, 1)}});
    std::string error;
    ExifRecord r = ReadExif(WithApp1(Fixture("j420.jpg"), intel.Build()), &error);
    EXPECT_TRUE(r.isExif) << error;
    EXPECT_STREQ(r.cameraMake, "Abc");
    EXPECT_EQ(r.orientation, 6);
    EXPECT_FLOAT_EQ(r.xResolution, 72);
    EXPECT_FLOAT_EQ(r.resolutionUnit, 1.0f);
    EXPECT_EQ(r.isoEquivalent, 400);
    EXPECT_FLOAT_EQ(r.apertureFNumber, 2.8f);
    EXPECT_EQ(r.flashUsed, 1);
    EXPECT_STREQ(r.comments, "hello");
    EXPECT_DOUBLE_EQ(r.gpsLatitude, -30.25);
    EXPECT_EQ(r.width, 13);
    EXPECT_EQ(r.height, 11);
    EXPECT_EQ(r.isColor, 1);

    // Motorola order, the thumbnail of the directory after IFD0, a
    // resolution unit in centimetres and an undefined rotation.
    ExifBuilder motorola(true);
    motorola.dirs.push_back({{274, 3, 1, motorola.U16(9)}, {296, 3, 1, motorola.U16(3)}, {272, 2, 3, "XY"}});
    motorola.dirs.push_back({{513, 4, 1, motorola.U32(8)}, {514, 4, 1, motorola.U32(6)}});
    motorola.next[0] = 1;
    std::string thumbnail;
    r = ReadExif(WithApp1(Fixture("j420.jpg"), motorola.Build()), &error, &thumbnail);
    EXPECT_TRUE(r.isExif);
    EXPECT_EQ(r.orientation, 0);
    EXPECT_EQ(error, "Undefined rotation value");
    EXPECT_STREQ(r.cameraModel, "XY");
    EXPECT_FLOAT_EQ(r.resolutionUnit, 0.39370078f);
    EXPECT_EQ(r.thumbnailSize, 6u);
    EXPECT_EQ(thumbnail, motorola.U16(3) + motorola.U16(274) + motorola.U16(3));  // offset 8: the first directory

    // A chain nested five deep stops at the fifth with the nesting message.
    ExifBuilder deep(false);
    for (int d = 0; d < 6; ++d) {
        std::vector<ExifBuilder::Entry> dir{{272 - (d == 2 ? 1 : 0), 2, 2, std::string(1, (char)('a' + d))}};
        deep.dirs.push_back(dir);
        if (d < 5) deep.next[d] = d + 1;
    }
    r = ReadExif(WithApp1(Fixture("j420.jpg"), deep.Build()), &error);
    EXPECT_TRUE(r.isExif);
    EXPECT_EQ(error, "Maximum directory nesting exceeded (corrupt exif header)");
    EXPECT_STREQ(r.cameraModel, "e");  // levels 0 to 4 read
    EXPECT_STREQ(r.cameraMake, "c");
}

TEST(ExifReader, CommentsSectionsAndWriting)
{
    std::string jpeg = Fixture("j420.jpg");
    std::string comment = std::string("a\r\nb\x01", 5);
    std::string withComment = jpeg.substr(0, 2) + "\xFF\xFE" + std::string{0, (char)(comment.size() + 2)} + comment +
                              jpeg.substr(2);
    EXPECT_STREQ(ReadExif(withComment).comments, "a\nb?");

    // 21 sections are too many.
    std::string many = jpeg.substr(0, 2);
    for (int i = 0; i < 21; ++i) many += std::string("\xFF\xE5\x00\x02", 4);
    std::string error;
    ReadExif(many + jpeg.substr(2), &error);
    EXPECT_EQ(error, "Too many sections in jpg file");
    // The image data needs a slot of its own: 19 sections and the scan fill the table.
    std::string full = jpeg.substr(0, 2);
    PxExifReader counter;
    PxMemFile probe((BYTE*)jpeg.data(), (DWORD)jpeg.size());
    ASSERT_TRUE(counter.ReadSections(&probe, PxExifReader::ReadImage));
    const int own = counter.sectionsRead - 1;  // the file's sections, the scan included
    for (int i = 0; i < PxExifReader::MaxSections - own; ++i) full += std::string("\xFF\xE5\x00\x02", 4);
    PxExifReader reader;
    PxMemFile file((BYTE*)(full + jpeg.substr(2)).data(), 0);
    std::string fullJpeg = full + jpeg.substr(2);
    PxMemFile fullFile((BYTE*)fullJpeg.data(), (DWORD)fullJpeg.size());
    EXPECT_FALSE(reader.ReadSections(&fullFile, PxExifReader::ReadImage));
    EXPECT_STREQ(reader.errorText, "Too many sections in jpg file");

    // Written back: SOI, the sections with their markers, then the image data;
    // a first section that is no APP0 or APP1 gets a JFIF header.
    PxExifReader sections;
    PxMemFile in((BYTE*)jpeg.data(), (DWORD)jpeg.size());
    ASSERT_TRUE(sections.ReadSections(&in, PxExifReader::ReadImage));
    EXPECT_EQ(sections.sections[0].type, 0xDB);
    PxMemFile out((BYTE*)malloc(1), 0);
    out.ownsBuffer = true;
    ASSERT_TRUE(sections.WriteSections(&out));
    std::string written((const char*)out.buffer, (size_t)out.size);
    EXPECT_EQ(written.substr(0, 4), "\xFF\xD8\xFF\xE0");
    EXPECT_EQ(written.substr(20, 2), "\xFF\xDB");
    PxImage back;
    EXPECT_TRUE(DecodeAs(written, PXIMAGE_FORMAT_JPG, back));
    EXPECT_TRUE(SamePicture(ReadPnm(Fixture("j420.pnm")), ToRgba(back)));

    PxExifReader partial;
    PxMemFile head((BYTE*)jpeg.data(), (DWORD)jpeg.size());
    ASSERT_TRUE(partial.ReadSections(&head, PxExifReader::ReadExif));
    EXPECT_FALSE(partial.WriteSections(&out));
    EXPECT_STREQ(partial.errorText, "Can't write exif : didn't read all");
}

// Damaged EXIF blocks: every truncation and many byte changes of a block
// with all directory kinds are read without reading outside it.
TEST(ExifReader, DamagedBlocks)
{
    ExifBuilder b(true);
    b.dirs.push_back({{271, 2, 6, "Maker"}, {34665, 4, 1, "", 1}, {34853, 4, 1, "", 2}});
    b.dirs.push_back({{37510, 7, 12, "ASCII\0\0\0text"}, {33434, 5, 1, b.Rational(1, 60)}, {40962, 4, 1, b.U32(13)}});
    b.dirs.push_back({{2, 5, 3, b.Rational(1, 1) + b.Rational(2, 1) + b.Rational(3, 1)}, {24, 5, 1, b.Rational(7, 2)}});
    const std::string block = b.Build();
    for (size_t n = 0; n <= block.size(); ++n) {
        ExifRecord record;
        memset(&record, 0, sizeof record);
        PxExifReader reader(&record);
        std::vector<BYTE> exact(block.begin(), block.begin() + n);  // nothing beyond for the sanitizers
        reader.ProcessExif(exact.data(), (uint32_t)n);
    }
    for (size_t i = 6; i < block.size(); ++i) {
        for (int mask : {0x01, 0x80, 0xFF}) {
            std::vector<BYTE> changed(block.begin(), block.end());
            changed[i] ^= (BYTE)mask;
            PxExifReader reader;
            reader.ProcessExif(changed.data(), (uint32_t)changed.size());
        }
    }
    std::string error;
    ExifRecord whole = ReadExif(WithApp1(Fixture("j420.jpg"), block), &error);
    EXPECT_TRUE(whole.isExif) << error;
    EXPECT_FLOAT_EQ(whole.exposureTime, 1.0f / 60);
    EXPECT_DOUBLE_EQ(whole.gpsLatitude, 1 + 2 / 60.0 + 3 / 3600.0);
}

namespace {

// A fixture whose frame header claims `width` x `height`, its scan cut
// after `keep` bytes and closed with an end marker (or left cut off).
std::string Claiming(const std::string& name, unsigned width, unsigned height, size_t keep, bool endMarker)
{
    std::string jpeg = Fixture(name);
    size_t sof = std::string::npos;
    for (const char* marker : {"\xFF\xC0", "\xFF\xC2", "\xFF\xC9"})
        sof = std::min(sof, jpeg.find(marker));
    const size_t sos = jpeg.find("\xFF\xDA");
    if (sof == std::string::npos || sos == std::string::npos) return std::string();
    jpeg.replace(sof + 5, 4, std::string{(char)(height >> 8), (char)height, (char)(width >> 8), (char)width});
    const size_t scan = sos + 2 + (((unsigned char)jpeg[sos + 2] << 8) | (unsigned char)jpeg[sos + 3]);
    return jpeg.substr(0, scan + keep) + (endMarker ? "\xFF\xD9" : "");
}

}  // namespace

// A header claiming a large picture over a few bytes of data: a sequential
// scan ends with the rows its data reached, and files the library reads
// whole before the first row (progressive, arithmetic) are refused when
// their bytes cannot code the picture at all.
TEST(JpegDecode, HostileHeadersCostWhatTheDataHolds)
{
    for (bool endMarker : {false, true}) {
        SCOPED_TRACE(endMarker);
        const ResidentPeak before;
        const HeapPeak heap;
        PxImage image;
        ASSERT_TRUE(DecodeAs(Claiming("jgrey.jpg", 20000, 20000, 6, endMarker), PXIMAGE_FORMAT_JPG, image))
            << image.GetLastErrorText();
        EXPECT_EQ(image.GetWidth(), 20000u);
        EXPECT_LT(before.Growth(), SmallGrowth(20000LL * 20000));
        EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
        EXPECT_EQ(image.GetPixelIndex(0, 0), 0);  // the bottom rows were never reached
    }
    // Sound files decode whole, also where the library's read-ahead meets
    // the end marker while rows are still to come.
    for (DWORD size : {48u, 64u, 200u}) {
        SCOPED_TRACE(size);
        PxImage source(size, size * 3 / 4, 24, PXIMAGE_FORMAT_JPG);
        for (LONG y = 0; y < (LONG)source.GetHeight(); ++y)
            for (LONG x = 0; x < (LONG)size; ++x)
                source.SetPixelColor(x, y, PxRgbQuad{(BYTE)(x * 5 + y), (BYTE)(y * 3), (BYTE)((x ^ y) * 7), 0});
        const std::string bytes = EncodeAs(source, PXIMAGE_FORMAT_JPG);
        PxImage decoded;
        ASSERT_TRUE(DecodeAs(bytes, PXIMAGE_FORMAT_JPG, decoded));
        EXPECT_TRUE(SamePicture(Libjpeg(bytes), ToRgba(decoded)));
    }
    // The whole of a short file still decodes: the same picture, cut.
    const std::string whole = Fixture("j420.jpg");
    PxImage full, cut;
    ASSERT_TRUE(DecodeAs(whole, PXIMAGE_FORMAT_JPG, full));
    ASSERT_TRUE(DecodeAs(whole.substr(0, whole.size() - 2), PXIMAGE_FORMAT_JPG, cut));
    EXPECT_TRUE(SamePicture(ToRgba(full), ToRgba(cut)));

    for (const char* name : {"jprog.jpg", "jarith.jpg"}) {
        SCOPED_TRACE(name);
        const ResidentPeak before;
        const HeapPeak heap;
        PxImage image;
        EXPECT_FALSE(DecodeAs(Claiming(name, 20000, 20000, 20, true), PXIMAGE_FORMAT_JPG, image));
        EXPECT_STREQ(image.GetLastErrorText(), "JPEG data too short for its size");
        EXPECT_LT(before.Growth(), SmallGrowth(20000LL * 20000));
        EXPECT_LE(heap.Growth(), kDecodeHeapLimit);
    }
}

// A directory that links to itself, from itself and as the next
// directory, is read once; the ISO value of old cameras is a factor of 200,
// computed without overflow for any value.
TEST(ExifReader, SelfLinksAndLargeValues)
{
    ExifBuilder b(false);
    std::vector<ExifBuilder::Entry> loop;
    for (int i = 0; i < 1000; ++i) loop.push_back({34665, 4, 1, "", 1});
    loop.push_back({34855, 9, 1, b.U32((uint32_t)-2000000000)});
    b.dirs.push_back({{271, 2, 4, "Abc"}, {34665, 4, 1, "", 1}});
    b.dirs.push_back(loop);
    b.next[1] = 1;
    const std::string jpeg = WithApp1(Fixture("j420.jpg"), b.Build());
    ASSERT_GT(jpeg.size(), 12000u);
    std::string error;
    ExifRecord r = ReadExif(jpeg, &error);
    EXPECT_TRUE(r.isExif) << error;
    EXPECT_EQ(error, "");
    EXPECT_STREQ(r.cameraMake, "Abc");
    EXPECT_EQ(r.isoEquivalent, 0);
    PxImage image;
    EXPECT_TRUE(DecodeAs(jpeg, PXIMAGE_FORMAT_JPG, image)) << image.GetLastErrorText();

    ExifBuilder iso(true);
    iso.dirs.push_back({{34855, 9, 1, iso.U32((uint32_t)-5)}});
    EXPECT_EQ(ReadExif(WithApp1(Fixture("j420.jpg"), iso.Build())).isoEquivalent, -1000);
}
