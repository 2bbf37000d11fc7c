// Each drawing's binding to the peer's coordinate system, kept in section
// "FILE_MD5" of the settings file, and the module-wide state of the peer's
// current system that every 20202 answer refreshes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "afxstr.h"

// The head of the peer's 20202 answer; the system's name (UTF-8, ended by
// a NUL) follows it.
struct CoordSystemAnswer {
    uint8_t reserved0[40];
    int32_t kind;             // 40: 2 = longitude and latitude
    uint8_t identifier[16];   // 44: its first 8 bytes make the system's key
    uint8_t reserved60[12];
};
static_assert(sizeof(CoordSystemAnswer) == 72 && offsetof(CoordSystemAnswer, kind) == 40 &&
                  offsetof(CoordSystemAnswer, identifier) == 44,
              "coordinate-system answer layout");

struct CoordBindingState {
    bool checkPending = false;   // a binding check waits for the next 20202 answer
    CString bindingName;         // the drawing of that check, or of the last relate
    uint64_t storedBinding = 0;  // the "FILE_MD5" value of that drawing
    bool savePending = false;    // the next 20202 answer is that drawing's binding
    uint64_t currentKey = 0;     // key and kind of the last answer
    int32_t currentKind = 0;
    bool geographic = false;     // the last answer's kind is 2 (longitude/latitude)
    int32_t coordinateType = 2;  // the kind as the base map reads it
    CString coordinateText;      // the system's name
};
extern CoordBindingState g_coordBinding;

// 63-bit ids: MD5 of the text's UTF-8 form (cut at 260 bytes on a
// character boundary), or of a given 16-byte digest's first 8 bytes.
uint64_t StringToId64(const CString& text);
uint64_t DigestToId64(const uint8_t digest[16]);
// The "FILE_MD5" key of a drawing: the id of its name in the ANSI code page.
uint64_t DrawingNameKey(const CString& drawingName);

// 0 when the drawing has no binding.
void LoadCoordinateBinding(const CString& drawingName, uint64_t& out);
void SaveCoordinateBinding(const CString& drawingName, const uint8_t identifier[16]);
// Binds the current drawing to the peer's current system: the next 20202
// answer is saved as its binding, and 20202 is asked now. 1 when no
// drawing is current (nothing asked), else the request's status.
int BindCurrentDrawing();
// Asks the peer's system now and arms the comparison with the drawing's
// binding; timer 1001 asks again after the delay.
void CheckDrawingBinding(const CString& drawingName, int delayMs);
