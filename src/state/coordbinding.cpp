#include "state/coordbinding.h"

#include <cstring>
#include <string>

#include "base/md5.h"
#include "base/numtext.h"
#include "gcapdocmanager.h"
#include "peer/peerrequests.h"
#include "state/modulestate.h"
#include "state/peerhelpers.h"
#include "state/settings.h"
#include "state/shellservices.h"
#include "windows.h"

CoordBindingState g_coordBinding;

namespace {

const wchar_t kBindingSection[] = L"FILE_MD5";

CString DecimalText(uint64_t value)
{
    CString text;
    text.Format(L"%llu", (unsigned long long)value);
    return text;
}

}  // namespace

uint64_t StringToId64(const CString& text)
{
    char utf8[260];
    CStringToUtf8Buf(text, utf8, sizeof utf8, sizeof utf8 - 1);
    Md5Digest d;
    Md5Buffer(&d, utf8, (uint32_t)strlen(utf8));
    return Md5Key63(d);
}

uint64_t DigestToId64(const uint8_t digest[16])
{
    Md5Digest d;
    memcpy(d.bytes, digest, 16);
    return Md5Key63(d);
}

uint64_t DrawingNameKey(const CString& drawingName)
{
    int n = WideCharToMultiByte(CP_THREAD_ACP, 0, drawingName, -1, nullptr, 0, nullptr, nullptr);
    std::string ansi(n > 0 ? (size_t)n : 1, '\0');
    if (n > 0) WideCharToMultiByte(CP_THREAD_ACP, 0, drawingName, -1, ansi.data(), n, nullptr, nullptr);
    Md5Digest d;
    Md5Buffer(&d, ansi.c_str(), (uint32_t)strlen(ansi.c_str()));
    return Md5Key63(d);
}

void LoadCoordinateBinding(const CString& drawingName, uint64_t& out)
{
    wchar_t value[20] = {};
    GetPrivateProfileStringW(kBindingSection, DecimalText(DrawingNameKey(drawingName)), L"0", value, 20,
                             g_settingsFile);
    char digits[64];
    CStringToUtf8Buf(value, digits, sizeof digits, 0);
    out = ParseUInt64(digits);
}

void SaveCoordinateBinding(const CString& drawingName, const uint8_t identifier[16])
{
    WritePrivateProfileStringW(kBindingSection, DecimalText(DrawingNameKey(drawingName)),
                               DecimalText(DigestToId64(identifier)), g_settingsFile);
}

int BindCurrentDrawing()
{
    GcApDocument* doc = gcDocManagerPtr()->curDocument();
    if (!doc) return 1;
    g_coordBinding.savePending = true;
    g_coordBinding.bindingName = doc->fileName().c_str();
    return PeerApiGetCoordSystem(&g_peerApi);
}

void CheckDrawingBinding(const CString& drawingName, int delayMs)
{
    CoordBindingState& b = g_coordBinding;
    if (drawingName.IsEmpty() || b.checkPending || !g_bLinkActive) return;
    // The answer updates the state inside the request.
    PeerApiGetCoordSystem(&g_peerApi);
    if (g_settings.noCoordinatePrompt && !b.geographic) return;
    b.checkPending = true;
    b.bindingName = drawingName;
    LoadCoordinateBinding(drawingName, b.storedBinding);
    if (delayMs > 0) SetReceiverTimer(1001, (UINT)delayMs);
}
