#include "peer/peerstatus.h"

#include "afxmsgbox.h"
#include "gcutprint.h"

namespace {

CString StatusText(int status)
{
    switch (status) {
    case -1: return L"没有找到拓岚地图程序窗口";
    case -2: return L"向拓岚地图程序注册失败";
    case -3: return L"拓岚地图程序版本太低";
    case -4: return L"参数非法";
    case -6: return L"消息处理失败";
    default: {
        CString text;
        text.Format(L"VelkMsgErrRet:%d", status);
        return text;
    }
    }
}

}  // namespace

void ReportVelkMsgError(int status, CString tag, bool showInBox)
{
    if (status >= 0) return;
    CString text = StatusText(status);
    if (showInBox) AfxMessageBox(tag + text, MB_OK, 0);
    else gcutPrintf(L"%s\n%s", tag.GetString(), text.GetString());
}

CString ReportVelkJobResult(int result)
{
    if (result >= 0) return CString();
    switch (result) {
    case -106: return L"\n地图扭曲太大！请纠正位置或重新设置平面坐标系。";
    case -105: return L"\n创建地图失败！";
    case -104: return L"\n地图像素太高！";
    case -103: return L"\n地图尺寸太大！";
    case -102: return CString();
    case -101: return L"\n坐标系设置错误(或位置偏差过大)！";
    case -5: return L"\n内存异常！";
    case -4: return L"\n参数错误！";
    case -3: return L"\n坐标系错误！";
    default: return L"\n其他错误！";
    }
}
