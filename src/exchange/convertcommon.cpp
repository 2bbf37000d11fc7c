#include "exchange/convertcommon.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "exchange/exchangetext.h"
#include "gcutprint.h"
#include "peer/peerapi.h"
#include "state/drawingdata.h"
#include "state/peerhelpers.h"

uint32_t g_sendColour = 0;
double g_level19PixelSize = 0.0;

int32_t TruncatedZ(double z)
{
    if (!(z == z)) return 0;
    if (z >= 2147483647.0) return INT32_MAX;
    if (z <= -2147483648.0) return INT32_MIN;
    return (int32_t)z;
}

uint32_t HundredthsOf(double width)
{
    double w = width * 100.0;
    if (!(w > 0)) return 0;
    return w >= 4294967295.0 ? UINT32_MAX : (uint32_t)w;
}

void SetRecordName(char* field, const CString& name) { CStringToUtf8Field(name, field, 100); }

char* NewRecordText(const CString& text)
{
    if (text.IsEmpty()) return nullptr;
    // Each character takes at most 4 bytes of UTF-8.
    int size = text.GetLength() * 4 + 1;
    char* out = (char*)malloc((size_t)size);
    if (out) WideToUtf8(text.GetString(), out, size);
    return out;
}

void NameFromLink(char* field, char** remark, const MapObjInfo* info, int kind)
{
    if (!info || info->peerId == 0) {
        SetRecordName(field, MakeDefaultObjectName(kind));
        return;
    }
    SetRecordName(field, info->name);
    *remark = NewRecordText(info->remark);
}

void SetTrackPoint(TrackPoint& point, const OdGePoint3d& p)
{
    point.y = p.y;
    point.x = p.x;
    point.elevation = TruncatedZ(p.z);
}

int LineCount(const CString& text)
{
    int lines = 1;
    for (int i = 0; i < text.GetLength(); ++i) lines += text[i] == L'\n';
    return lines;
}

TrackPoint* NewTrackPoints(uint32_t n) { return n ? (TrackPoint*)calloc(n, sizeof(TrackPoint)) : nullptr; }

void ReportOpenFailure(const wchar_t* where, int status)
{
    gcutPrintf(L"\n%s中打开实体失败(错误代码:%d).", where, status);
}
