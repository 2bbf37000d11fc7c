// What the entity converters share while a send runs: the current colour
// word, the ground size of a level-19 pixel, and the filling of record
// names, texts and points.
#pragma once

#include <cstdint>

#include "afxstr.h"
#include "odgegeometry.h"
#include "peer/maprecords.h"

struct MapObjInfo;

// Set from each entity before it is converted; the converters copy it.
extern uint32_t g_sendColour;
// Drawing units per pixel at map level 19 (from the peer); 0 until known.
extern double g_level19PixelSize;

// Tracks and shapes carry at most this many points.
const uint32_t kMaxTrackPoints = 1000000;
// The half-turn the conversions use: pi in single precision.
const double kSinglePi = 3.1415927410125732;

// The integer part of z, held within the 32-bit range (0 for a value that
// is no number).
int32_t TruncatedZ(double z);
// Width in hundredths of a drawing unit, held within the u32 range.
uint32_t HundredthsOf(double width);
// The name field of a record: UTF-8 cut to 99 bytes on a character boundary.
void SetRecordName(char* field, const CString& name);
// A heap UTF-8 copy of the text for a record to own; null for no text.
char* NewRecordText(const CString& text);
// The name and text a record takes from its link: a never-sent object (peer
// id 0) gets the default name of the kind and no text; any other the link's
// name and remark.
void NameFromLink(char* field, char** remark, const MapObjInfo* info, int kind);
// Tells the user on the command line that an entity `where` needed did not
// open, so that what it left out is not taken for sent.
void ReportOpenFailure(const wchar_t* where, int status);
// The number of lines of a text whose lines end in LF.
int LineCount(const CString& text);
// y, x and the truncated z.
void SetTrackPoint(TrackPoint& point, const OdGePoint3d& p);
// A zero-filled array of n track points, or null.
TrackPoint* NewTrackPoints(uint32_t n);
