// libjpeg reports errors by longjmp to the setjmp in Decode and Encode: no
// object with a destructor lives across the library calls, and the locals
// read on the way out are volatile.
#include "image/pximage_jpeg.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace {

const size_t kStreamBuffer = 4096;

// Serves libjpeg as source and destination manager over a PxFile.
struct PxJpegStream {
    jpeg_source_mgr source;
    jpeg_destination_mgr destination;
    PxFile* file;
    JOCTET* buffer;
    bool startOfFile;
};

// At least 2 bits code an 8 x 8 block with Huffman tables, and 1 bit a
// block's DC value in a progressive scan. Arithmetic coding has no such
// floor; this many samples a byte is far beyond what it reaches on real
// pictures.
const uint64_t kMaxArithmeticSamplesPerByte = 65536;

struct PxJpegError {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char* text;    // the image's last-error text
    bool ranOut;   // coded data ended at a marker that is no restart: the rest would be padding
};

// Dots per inch from a camera's resolution and unit; nonsense gives 0,
// which the image reads as its default.
LONG DpiFrom(float resolution, float unit)
{
    const double dpi = (double)resolution / unit;
    return dpi == dpi && dpi > 0 && dpi < INT32_MAX ? (LONG)dpi : 0;
}

PxJpegStream* StreamOf(j_common_ptr cinfo) { return (PxJpegStream*)cinfo->client_data; }

void ErrorExit(j_common_ptr cinfo)
{
    PxJpegError* error = (PxJpegError*)cinfo->err;
    char message[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, message);
    strncpy(error->text, message, 255);
    error->text[255] = 0;
    longjmp(error->jump, 1);
}

// Warnings (a file cut short, say) are not failures and print nothing.
void SilentMessage(j_common_ptr) {}

// Counts warnings as the library's own handler does, and notes when a
// Huffman-coded scan needed bits its data no longer had.
void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0) return;
    ++cinfo->err->num_warnings;
    if (cinfo->err->msg_code != JWRN_HIT_MARKER || !cinfo->is_decompressor) return;
    const int marker = ((j_decompress_ptr)cinfo)->unread_marker;
    if (marker < JPEG_RST0 || marker > JPEG_RST0 + 7) ((PxJpegError*)cinfo->err)->ranOut = true;
}

void InitDestination(j_compress_ptr cinfo)
{
    PxJpegStream* s = StreamOf((j_common_ptr)cinfo);
    s->destination.next_output_byte = s->buffer;
    s->destination.free_in_buffer = kStreamBuffer;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    PxJpegStream* s = StreamOf((j_common_ptr)cinfo);
    if (s->file->Write(s->buffer, 1, kStreamBuffer) != kStreamBuffer) ERREXIT(cinfo, JERR_FILE_WRITE);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    PxJpegStream* s = StreamOf((j_common_ptr)cinfo);
    const size_t left = kStreamBuffer - s->destination.free_in_buffer;
    if (left > 0 && s->file->Write(s->buffer, 1, left) != left) ERREXIT(cinfo, JERR_FILE_WRITE);
    s->file->Flush();
    if (s->file->Error()) ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InitSource(j_decompress_ptr cinfo) { StreamOf((j_common_ptr)cinfo)->startOfFile = true; }

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    PxJpegStream* s = StreamOf((j_common_ptr)cinfo);
    size_t n = s->file->Read(s->buffer, 1, kStreamBuffer);
    if (n == 0) {
        if (s->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // An end-of-image marker finishes a file cut short.
        s->buffer[0] = 0xFF;
        s->buffer[1] = JPEG_EOI;
        n = 2;
    }
    s->source.next_input_byte = s->buffer;
    s->source.bytes_in_buffer = n;
    s->startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    PxJpegStream* s = StreamOf((j_common_ptr)cinfo);
    if (count <= 0) return;
    while (count > (long)s->source.bytes_in_buffer) {
        count -= (long)s->source.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    s->source.next_input_byte += count;
    s->source.bytes_in_buffer -= (size_t)count;
}

void TermSource(j_decompress_ptr) {}

}  // namespace

PxImageJPG::PxImageJPG(DWORD type) : PxImage(type) { memset(&exifInfo, 0, sizeof exifInfo); }

PxImageJPG::~PxImageJPG() { delete exifReader; }

bool PxImageJPG::Decode(PxFile* stream)
{
    if (!stream) {
        SetLastErrorText("null file handler");
        return false;
    }
    // Camera resolution first, from the EXIF block when there is one.
    delete exifReader;
    memset(&exifInfo, 0, sizeof exifInfo);
    exifReader = new PxExifReader(&exifInfo);
    const int start = stream->Tell();
    exifReader->ReadSections(stream, PxExifReader::ReadExif);
    stream->Seek(start, 0);

    jpeg_decompress_struct cinfo;
    PxJpegError error;
    PxJpegStream source;
    memset(&source, 0, sizeof source);
    source.file = stream;
    source.buffer = (JOCTET*)malloc(kStreamBuffer);
    if (!source.buffer) {
        SetLastErrorText("can't allocate memory");
        return false;
    }
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = ErrorExit;
    error.pub.output_message = SilentMessage;
    error.pub.emit_message = EmitMessage;
    error.text = info.lastError;
    error.ranOut = false;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        free(source.buffer);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.client_data = &source;
    source.source.init_source = InitSource;
    source.source.fill_input_buffer = FillInputBuffer;
    source.source.skip_input_data = SkipInputData;
    source.source.resync_to_restart = jpeg_resync_to_restart;
    source.source.term_source = TermSource;
    cinfo.src = &source.source;
    jpeg_read_header(&cinfo, TRUE);

    const DWORD options = GetCodecOption(PXIMAGE_FORMAT_JPG);
    if (options & 0x80) cinfo.out_color_space = JCS_GRAYSCALE;
    if (options & 0x100) {
        cinfo.quantize_colors = TRUE;
        cinfo.desired_number_of_colors = (BYTE)(info.jpegQuality + 0.5f);
    }
    if (options & 0x200) cinfo.dither_mode = (J_DITHER_MODE)dither;
    if (options & 0x400) cinfo.two_pass_quantize = FALSE;
    if (options & 0x800) cinfo.do_fancy_upsampling = FALSE;
    // Colour straight in the image's blue, green, red order where the library
    // can give it (libjpeg-turbo's extended colour spaces): the same samples,
    // with no pass to swap them.
    bool bgrOutput = false;
#ifdef JCS_EXTENSIONS
    if (cinfo.out_color_space == JCS_RGB && !cinfo.quantize_colors) {
        cinfo.out_color_space = JCS_EXT_BGR;
        bgrOutput = true;
    }
#endif
    // 0 and 1 mean the full size; libjpeg would read 0 as a doubling.
    cinfo.scale_num = 1;
    cinfo.scale_denom = (info.jpegScale == 2 || info.jpegScale == 4 || info.jpegScale == 8) ? info.jpegScale : 1;

    jpeg_calc_output_dimensions(&cinfo);
    if (info.escape == -1) {
        header.width = (LONG)cinfo.output_width;
        header.height = (LONG)cinfo.output_height;
        info.type = PXIMAGE_FORMAT_JPG;
        jpeg_destroy_decompress(&cinfo);
        free(source.buffer);
        return true;
    }

    // What the header claims must fit the memory limit, the library's own
    // buffers (whole-image coefficients for progressive files) included, and
    // be something the bytes of the file can code at all.
    const uint64_t pictureBytes =
        PxImage::BlockSize(cinfo.output_width, cinfo.output_height, 8 * (DWORD)cinfo.out_color_components);
    if (pictureBytes > (uint64_t)PXIMAGE_MAX_MEMORY) {
        SetLastErrorText("PXIMAGE_MAX_MEMORY exceeded");
        longjmp(error.jump, 1);
    }
    cinfo.mem->max_memory_to_use = (long)((uint64_t)PXIMAGE_MAX_MEMORY - pictureBytes);
    // Several scans, or colours quantised in two passes, make the library
    // read the whole file before the first row comes out.
    const bool buffered = jpeg_has_multiple_scans(&cinfo) || (cinfo.quantize_colors && cinfo.two_pass_quantize);
    const uint64_t available = (uint64_t)std::max(0, stream->Size() - start);
    uint64_t fewestBlocks = UINT64_MAX, samples = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info& component = cinfo.comp_info[c];
        const uint64_t blocks = (uint64_t)component.width_in_blocks * component.height_in_blocks;
        fewestBlocks = std::min(fewestBlocks, blocks);
        samples += 64 * blocks;
    }
    if ((cinfo.arith_code && samples / kMaxArithmeticSamplesPerByte > available) ||
        (!cinfo.arith_code && buffered && fewestBlocks / 8 > available)) {
        SetLastErrorText("JPEG data too short for its size");
        longjmp(error.jump, 1);
    }

    jpeg_start_decompress(&cinfo);
    if (!Create(cinfo.output_width, cinfo.output_height, 8 * cinfo.output_components, PXIMAGE_FORMAT_JPG))
        longjmp(error.jump, 1);

    if (exifInfo.isExif) {
        if (exifInfo.xResolution != 0 && exifInfo.resolutionUnit != 0)
            SetXDPI(DpiFrom(exifInfo.xResolution, exifInfo.resolutionUnit));
        if (exifInfo.yResolution != 0 && exifInfo.resolutionUnit != 0)
            SetYDPI(DpiFrom(exifInfo.yResolution, exifInfo.resolutionUnit));
    } else if (cinfo.density_unit == 0) {
        if (cinfo.X_density > 0 && cinfo.Y_density > 0) {
            // An aspect ratio of up to 65535 times a dpi set before may pass
            // what a LONG holds.
            const double dpi = info.xDpi * ((double)cinfo.Y_density / cinfo.X_density);
            SetYDPI(dpi >= INT32_MAX ? INT32_MAX : dpi > 0 ? (LONG)dpi : 0);
        }
    } else if (cinfo.density_unit == 2) {
        SetXDPI((LONG)floor(cinfo.X_density * 2.54 + 0.5));
        SetYDPI((LONG)floor(cinfo.Y_density * 2.54 + 0.5));
    } else {
        SetXDPI(cinfo.X_density);
        SetYDPI(cinfo.Y_density);
    }

    if (cinfo.quantize_colors) {
        SetPalette((DWORD)cinfo.actual_number_of_colors, cinfo.colormap[0],
                   cinfo.out_color_components > 1 ? cinfo.colormap[1] : nullptr,
                   cinfo.out_color_components > 2 ? cinfo.colormap[2] : nullptr);
    } else if (cinfo.out_color_space == JCS_GRAYSCALE) {
        SetGrayPalette();
    }

    // Rows go straight into their place in the image when they fit there;
    // only CMYK rows (four samples a pixel) pass through a buffer.
    const size_t rowSamples = (size_t)cinfo.output_width * cinfo.output_components;
    const bool cmyk = cinfo.out_color_space == JCS_CMYK && !cinfo.quantize_colors;
    const bool direct = !cmyk && rowSamples <= info.effWidth;
    JSAMPARRAY row = direct ? nullptr
                            : (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, (JDIMENSION)rowSamples, 1);
    // Colour the library did not already give in the image's blue, green,
    // red order is swapped in the row just read.
    const bool swap = cinfo.output_components == 3 && !cinfo.quantize_colors && !bgrOutput;
    // A single Huffman-coded scan that has run out of data (the file ended,
    // or a marker other than a restart stood in the way) would only be
    // padded from here on: the picture ends with the band being decoded.
    const JDIMENSION rowsPerBand = (JDIMENSION)std::max(1, cinfo.max_v_samp_factor * cinfo.min_DCT_scaled_size);
    const bool canRunOut = !cinfo.arith_code && !buffered;
    bool ranOut = false;
    for (LONG y = header.height - 1; y >= 0 && cinfo.output_scanline < cinfo.output_height; --y) {
        if (info.escape) {
            SetLastErrorText("Cancelled");
            longjmp(error.jump, 1);
        }
        if (ranOut && cinfo.output_scanline % rowsPerBand == 0) break;
        BYTE* stored = info.bits + (size_t)y * info.effWidth;
        JSAMPROW target = direct ? stored : row[0];
        jpeg_read_scanlines(&cinfo, &target, 1);
        ranOut = canRunOut && error.ranOut;
        if (direct) {
            if (swap)
                for (size_t x = 0; x < cinfo.output_width; ++x) std::swap(stored[3 * x], stored[3 * x + 2]);
            continue;
        }
        const BYTE* in = row[0];
        if (cmyk) {
            // Inverted CMYK, as written by the common tools.
            for (size_t x = 0; x < cinfo.output_width && 3 * x + 2 < info.effWidth; ++x) {
                const unsigned c = in[4 * x], m = in[4 * x + 1], yellow = in[4 * x + 2], k = in[4 * x + 3];
                stored[3 * x] = (BYTE)(k * yellow / 255);
                stored[3 * x + 1] = (BYTE)(k * m / 255);
                stored[3 * x + 2] = (BYTE)(k * c / 255);
            }
        } else {
            memcpy(stored, in, info.effWidth);
        }
    }
    if (cinfo.output_scanline >= cinfo.output_height) jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    free(source.buffer);
    return true;
}

bool PxImageJPG::Encode(PxFile* stream)
{
    if (!CanEncodeTo(stream)) return false;
    // Grey only as 8-bit samples: packed 1- and 4-bit rows are no samples.
    const bool grey = GetPalette() && GetBpp() == 8 && IsGrayScale();
    if (GetPalette() && !grey) {
        SetLastErrorText("JPEG can save only RGB or GreyScale images");
        return false;
    }
    const int start = stream->Tell();
    jpeg_compress_struct cinfo;
    PxJpegError error;
    PxJpegStream destination;
    memset(&destination, 0, sizeof destination);
    destination.file = stream;
    destination.buffer = (JOCTET*)malloc(kStreamBuffer);
    if (!destination.buffer) {
        SetLastErrorText("can't allocate memory");
        return false;
    }
    cinfo.err = jpeg_std_error(&error.pub);
    error.pub.error_exit = ErrorExit;
    error.pub.output_message = SilentMessage;
    error.text = info.lastError;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&cinfo);
        free(destination.buffer);
        return false;
    }
    jpeg_create_compress(&cinfo);
    cinfo.client_data = &destination;
    destination.destination.init_destination = InitDestination;
    destination.destination.empty_output_buffer = EmptyOutputBuffer;
    destination.destination.term_destination = TermDestination;
    cinfo.dest = &destination.destination;
    cinfo.image_width = (JDIMENSION)header.width;
    cinfo.image_height = (JDIMENSION)header.height;
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    // The image's own blue, green, red rows go in as they are where the
    // library reads that order; elsewhere each row is copied and swapped.
    bool bgrInput = false;
#ifdef JCS_EXTENSIONS
    if (!grey) {
        cinfo.in_color_space = JCS_EXT_BGR;
        bgrInput = true;
    }
#endif
    jpeg_set_defaults(&cinfo);

    const DWORD options = GetCodecOption(PXIMAGE_FORMAT_JPG);
    if (options & 0x2) cinfo.arith_code = TRUE;
    if (options & 0x8) cinfo.optimize_coding = TRUE;
    if (options & 0x4) jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    if (options & 0x40) cinfo.smoothing_factor = smoothing;
    jpeg_set_quality(&cinfo, (BYTE)(info.jpegQuality + 0.5f), (options & 0x1) ? TRUE : FALSE);
    if (options & 0x10) jpeg_simple_progression(&cinfo);
    cinfo.comp_info[0].h_samp_factor = 2;
    cinfo.comp_info[0].v_samp_factor = (options & 0x1000) ? 1 : 2;
    if (options & 0x2000) cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    for (int i = 1; i < cinfo.num_components; ++i) cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    cinfo.density_unit = 1;
    cinfo.X_density = (UINT16)info.xDpi;
    cinfo.Y_density = (UINT16)info.yDpi;

    jpeg_start_compress(&cinfo, TRUE);
    const bool direct = grey || bgrInput;
    JSAMPARRAY row =
        direct ? nullptr : (*cinfo.mem->alloc_sarray)((j_common_ptr)&cinfo, JPOOL_IMAGE, (JDIMENSION)info.effWidth, 1);
    for (LONG y = header.height - 1; y >= 0; --y) {
        JSAMPROW source = info.bits + (size_t)y * info.effWidth;
        if (!direct) {
            memcpy(row[0], source, info.effWidth);
            RgbToBgr(row[0], (int)info.effWidth);
            source = row[0];
        }
        jpeg_write_scanlines(&cinfo, &source, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    free(destination.buffer);

    // The EXIF block of the file this object decoded goes in front again.
    if (exifReader && exifInfo.isExif) {
        exifReader->DiscardAllButExif();
        stream->Seek(start, 0);
        exifReader->ReadSections(stream, PxExifReader::ReadImage);
        stream->Seek(start, 0);
        exifReader->WriteSections(stream);
    }
    return true;
}
