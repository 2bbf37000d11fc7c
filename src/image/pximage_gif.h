// GIF codec of the image library: a decoder that composes frames on the
// logical screen, and a GIF89a encoder with three coders.
#pragma once

#include <vector>

#include "image/pximage.h"

class PxImageGIF : public PxImage {
public:
    explicit PxImageGIF(DWORD type = PXIMAGE_FORMAT_GIF);
    ~PxImageGIF() override = default;

    bool Decode(PxFile* stream);
    bool Encode(PxFile* stream);
    // An animation of paletted images; the first one's size and palette are
    // the screen and the global colour table.
    bool Encode(PxFile* stream, PxImage** images, int count);

    char comment[256];  // the last comment read, or the one to write
    int32_t loops = 0;  // loop count of the last application block read

private:
    struct ControlBlock {
        BYTE flags;
        WORD delay;
        BYTE transparent;
    };
    struct ColourTable {
        BYTE red[256], green[256], blue[256];
        int count = 0;
    };

    // Decoding.
    bool DecodeExtension(PxFile* stream);
    int CountFrames(PxFile* stream);
    int ReadByte(PxFile* stream);
    int ReadCode(PxFile* stream);
    void DecodeLzw(PxFile* stream, ImageRowCursor& rowWriter, int lineWidth, int& badCodeCount);
    int WriteRow(ImageRowCursor& rowWriter, BYTE* pixels, int length);
    int SeekNextImage(PxFile* stream, int position);
    bool ReadColourTable(PxFile* stream, int packed, ColourTable& table);
    // After clean image data: past the rest of its sub-blocks.
    void SkipDataBlocks(PxFile* stream);

    // Encoding.
    void EncodeHeader(PxFile* stream);
    void EncodeLoopBlock(PxFile* stream);
    void EncodeExtension(PxFile* stream);
    void EncodeComment(PxFile* stream);
    void EncodeBody(PxFile* stream, bool localColourTable);
    bool EncodeRgb(PxFile* stream);
    int NextPixel();
    // Code width, clear and end codes and the bit accumulator for a new picture.
    void StartCodes(int initBits);
    void CompressLzw(int initBits, PxFile* stream);
    void CompressNone(int initBits, PxFile* stream);
    void CompressRle(int initBits, PxFile* stream);
    void PutCode(int code, PxFile* stream);
    void PutBytes(PxFile* stream, const void* data, size_t length);
    void PutByte(PxFile* stream, int value);
    void PutWord(PxFile* stream, int value);
    void FlushBlock(PxFile* stream);
    bool FinishWrite(bool written);

    // Run-length coder.
    struct RleState;
    void RleFlush(RleState& s, int count);
    void RleFromClear(RleState& s, int count);
    void RleWithTable(RleState& s, int count);
    void RlePlain(RleState& s, int code);
    void RleClear(RleState& s);
    void RleReset(RleState& s);
    void RleOutput(RleState& s, int code);

    ControlBlock controlBlock{0, 0, 0};

    // Read-ahead buffer (one byte beyond for the end mark).
    BYTE readBuffer[16384];
    int readFill = 0;
    int readPosition = 16383;

    // Pixels written into each row of the frame being decoded, from the top.
    std::vector<int> rowLengths;

    // Interlace state.
    bool interlaced = false;
    int frameHeight = 0;
    int currentRow = 0;
    int rowStep = 8;
    int pass = 0;

    // LZW decoding state.
    int codeSize = 0, clearCode = 0, endCode = 0, firstFree = 0, slot = 0, slotLimit = 0;
    BYTE suffix[4096];
    WORD prefix[4096];
    BYTE stack[4096];
    BYTE block[256];
    int blockLeft = 0;
    int bitsLeft = 0;
    int currentByte = 0;
    const BYTE* blockPointer = nullptr;
    bool dataEnded = false;  // the zero-length sub-block was read

    // Encoding state.
    LONG pixelX = 0, pixelY = 0;
    int64_t pixelsLeft = 0;
    int nBits = 0, initialBits = 0, maxCode = 0, clearEncode = 0, endEncode = 0, freeEncode = 0;
    bool clearFlag = false;
    uint32_t accumulator = 0;
    int accumulatorBits = 0;
    BYTE outBlock[256];
    int outCount = 0;
    int32_t hashTable[5003];
    WORD codeTable[5003];
    bool writeFailed = false;
};
