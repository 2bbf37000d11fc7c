// Loading and saving: the codec is chosen by format code, built on the
// stack, handed the caller's settings (decoding) or a view of the caller's
// image (encoding), and its result moved back.
#include <cstring>

#include "image/pximage.h"
#include "image/pximage_bmp.h"
#include "image/pximage_gif.h"
#include "image/pximage_jpeg.h"
#include "image/pximage_png.h"
#include "image/pximage_tiff.h"

namespace {

template <class Codec>
bool DecodeWith(PxImage& target, PxFile* file, DWORD type)
{
    Codec codec(type);
    codec.CopyInfo(target);
    target.LendBlockTo(codec);
    const bool decoded = codec.Decode(file);
    target.TakeBlockBack(codec);
    if (decoded) return target.Transfer(codec, true);
    memcpy(target.info.lastError, codec.info.lastError, sizeof target.info.lastError);
    // A caller that asked for a frame beyond the last learns how many there are.
    if (type == PXIMAGE_FORMAT_GIF || type == PXIMAGE_FORMAT_TIF) target.info.frameCount = codec.info.frameCount;
    return false;
}

template <class Codec>
bool EncodeWith(PxImage& source, PxFile* file, DWORD type)
{
    Codec codec(type);
    codec.ShareFrom(&source);
    if (codec.Encode(file)) return true;
    memcpy(source.info.lastError, codec.info.lastError, sizeof source.info.lastError);
    return false;
}

struct Format {
    DWORD type;
    bool (*decode)(PxImage& target, PxFile* file, DWORD type);
    bool (*encode)(PxImage& source, PxFile* file, DWORD type);
};

// In the order detection tries them.
const Format kFormats[] = {
    {PXIMAGE_FORMAT_BMP, DecodeWith<PxImageBMP>, EncodeWith<PxImageBMP>},
    {PXIMAGE_FORMAT_JPG, DecodeWith<PxImageJPG>, EncodeWith<PxImageJPG>},
    {PXIMAGE_FORMAT_GIF, DecodeWith<PxImageGIF>, EncodeWith<PxImageGIF>},
    {PXIMAGE_FORMAT_PNG, DecodeWith<PxImagePNG>, EncodeWith<PxImagePNG>},
    {PXIMAGE_FORMAT_TIF, DecodeWith<PxImageTIF>, EncodeWith<PxImageTIF>},
};

const Format* FindFormat(DWORD type)
{
    for (const Format& f : kFormats)
        if (f.type == type) return &f;
    return nullptr;
}

}  // namespace

bool PxImage::Encode(PxFile* file, DWORD type)
{
    const Format* format = FindFormat(type);
    if (!format) {
        SetLastErrorText("Encode: Unknown format");
        return false;
    }
    return format->encode(*this, file, type);
}

bool PxImage::Save(const wchar_t* path, DWORD type)
{
    FILE* stream = _wfopen(path, L"wb");
    if (!stream) return false;
    bool encoded;
    {
        PxIOFile file(stream);
        encoded = Encode(&file, type);
    }
    bool closed = fclose(stream) == 0;
    if (encoded && !closed) SetLastErrorText("Save: error closing the file");
    // A partial file would later pass for a good one: remove it.
    if (!encoded || !closed) DeleteFileW(path);
    return encoded && closed;
}

bool PxImage::Decode(PxFile* file, DWORD type)
{
    if (!file) {
        SetLastErrorText("null file handler");
        return false;
    }
    if (type == PXIMAGE_FORMAT_UNKNOWN) {
        int position = file->Tell();
        for (const Format& format : kFormats) {
            // Each attempt leaves its text in a scratch image, so a failed
            // detection keeps this image's own settings.
            PxImage attempt;
            attempt.CopyInfo(*this);
            if (format.decode(attempt, file, format.type)) return Transfer(attempt, true);
            file->Seek(position, 0);
        }
        SetLastErrorText("Decode: Unknown or wrong format");
        return false;
    }
    const Format* format = FindFormat(type);
    if (!format) {
        SetLastErrorText("Decode: Unknown or wrong format");
        return false;
    }
    return format->decode(*this, file, type);
}

bool PxImage::Decode(FILE* stream, DWORD type)
{
    PxIOFile file(stream);
    return Decode(&file, type);
}

bool PxImage::Load(const wchar_t* path, DWORD type)
{
    const bool named = FindFormat(type) != nullptr;
    char previousError[sizeof info.lastError];
    memcpy(previousError, info.lastError, sizeof previousError);
    FILE* stream = _wfopen(path, L"rb");
    if (!stream) return false;
    bool decoded = Decode(stream, named ? type : PXIMAGE_FORMAT_UNKNOWN);
    fclose(stream);
    if (!decoded && !named && type != PXIMAGE_FORMAT_UNKNOWN) memcpy(info.lastError, previousError, sizeof previousError);
    return decoded;
}

bool PxImage::LoadResource(HRSRC resource, DWORD type, HMODULE module)
{
    DWORD size = SizeofResource(module, resource);
    HGLOBAL handle = ::LoadResource(module, resource);
    if (!handle) {
        SetLastErrorText("Unable to load resource!");
        return false;
    }
    BYTE* bytes = (BYTE*)LockResource(handle);
    if (!bytes) return false;
    // The stream only reads: it never grows over the resource's memory.
    PxMemFile file(bytes, size);
    return Decode(&file, type);
}
