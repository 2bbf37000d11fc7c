#include "gcedview.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <map>
#include <memory>
#include <string>

#include "editor_control.h"
#include "gcedreactor.h"
#include "standin_control.h"

namespace {

struct SysVar {
    short type = RTSHORT;
    bool readOnly = false;
    short s = 0;
    double r = 0;
    OdGePoint3d p;
    std::wstring text;
};

// A coordinate system: origin and unit axes in world coordinates.
struct Frame {
    OdGePoint3d o;
    OdGeVector3d x{1, 0, 0}, y{0, 1, 0}, z{0, 0, 1};

    OdGePoint3d toWorld(const OdGePoint3d& p, bool disp) const
    {
        OdGePoint3d w = (disp ? OdGePoint3d::kOrigin : o) + x * p.x + y * p.y + z * p.z;
        return w;
    }
    OdGePoint3d fromWorld(const OdGePoint3d& w, bool disp) const
    {
        OdGeVector3d d = w - (disp ? OdGePoint3d::kOrigin : o);
        return {d.dotProduct(x), d.dotProduct(y), d.dotProduct(z)};
    }
};

struct EditorView {
    std::map<std::wstring, SysVar> vars;
    Frame ucs, dcs;
    std::wstring frameTitle = L"CAD Host";
    std::unique_ptr<CFrameWnd> frame;
    int updates = 0, redraws = 0, viewsSet = 0, restores = 0, prompts = 0;
    standin::ProgressMeter meter;
};

EditorView& V()
{
    static EditorView s;
    return s;
}

std::wstring Upper(const wchar_t* s)
{
    std::wstring u = s ? s : L"";
    for (auto& c : u) c = (wchar_t)towupper(c);
    return u;
}

void Define(const wchar_t* name, short type, bool readOnly, double value, OdGePoint3d p = OdGePoint3d())
{
    SysVar v;
    v.type = type;
    v.readOnly = readOnly;
    v.s = (short)value;
    v.r = value;
    v.p = p;
    V().vars[name] = v;
}

void Reset()
{
    // The frame window belongs to a window manager that is reset too.
    if (V().frame) V().frame->m_hWnd = nullptr;
    V() = EditorView();
    Define(L"VIEWCTR", RT3DPOINT, true, 0);
    Define(L"VIEWSIZE", RTREAL, true, 10);
    Define(L"SCREENSIZE", RTPOINT, true, 0, {800, 600, 0});
    Define(L"VIEWDIR", RT3DPOINT, true, 0, {0, 0, 1});
    Define(L"TARGET", RT3DPOINT, true, 0);
    Define(L"LENSLENGTH", RTREAL, true, 50);
    Define(L"VIEWTWIST", RTREAL, true, 0);
    Define(L"FRONTZ", RTREAL, true, 0);
    Define(L"BACKZ", RTREAL, true, 0);
    Define(L"VIEWMODE", RTSHORT, true, 0);
    Define(L"TILEMODE", RTSHORT, false, 1);
    Define(L"CVPORT", RTSHORT, false, 2);
    Define(L"MEASUREMENT", RTSHORT, false, 1);
    Define(L"DBLCLKEDIT", RTSHORT, false, 1);
    Define(L"RTDISPLAY", RTSHORT, false, 1);
    Define(L"ZOOMFACTOR", RTSHORT, false, 60);
    Define(L"ACADPREFIX", RTSTR, true, 0);
    V().vars[L"ACADPREFIX"].text = L"C:\\CADHost\\Support;";
}

standin::ResetHook g_reset(&Reset);

SysVar* Find(const wchar_t* name)
{
    auto it = V().vars.find(Upper(name));
    return it == V().vars.end() ? nullptr : &it->second;
}

SysVar& Must(const std::wstring& name)
{
    SysVar* v = Find(name.c_str());
    if (!v) {
        Define(Upper(name.c_str()).c_str(), RTSHORT, false, 0);
        v = Find(name.c_str());
    }
    return *v;
}

// 0 world, 1 user, 2 display; -1 for anything else.
int SystemCode(const resbuf* rb)
{
    if (!rb || rb->restype != RTSHORT || rb->resval.rint < 0 || rb->resval.rint > 2) return -1;
    return rb->resval.rint;
}

OdGePoint3d ToWorld(int code, const OdGePoint3d& p, bool disp)
{
    if (code == 1) return V().ucs.toWorld(p, disp);
    if (code == 2) return V().dcs.toWorld(p, disp);
    return p;
}

OdGePoint3d FromWorld(int code, const OdGePoint3d& p, bool disp)
{
    if (code == 1) return V().ucs.fromWorld(p, disp);
    if (code == 2) return V().dcs.fromWorld(p, disp);
    return p;
}

Frame MakeFrame(const OdGePoint3d& origin, const OdGeVector3d& xAxis, const OdGeVector3d& yAxis)
{
    Frame f;
    f.o = origin;
    f.x = xAxis.normal();
    f.y = yAxis.normal();
    f.z = f.x.crossProduct(f.y);
    return f;
}

}  // namespace

int gcedGetVar(const wchar_t* name, resbuf* result)
{
    SysVar* v = Find(name);
    if (!v || !result) return RTERROR;
    result->restype = v->type;
    switch (v->type) {
    case RTSHORT: result->resval.rint = v->s; break;
    case RTREAL: result->resval.rreal = v->r; break;
    case RTSTR: {
        size_t n = v->text.size() + 1;
        result->resval.rstring = static_cast<wchar_t*>(malloc(n * sizeof(wchar_t)));
        wmemcpy(result->resval.rstring, v->text.c_str(), n);
        break;
    }
    default:
        result->resval.rpoint[0] = v->p.x;
        result->resval.rpoint[1] = v->p.y;
        result->resval.rpoint[2] = v->type == RTPOINT ? 0.0 : v->p.z;
        break;
    }
    return RTNORM;
}

int gcedSetVar(const wchar_t* name, const resbuf* value)
{
    SysVar* v = Find(name);
    if (!v || v->readOnly || !value || value->restype != v->type) return RTERROR;
    switch (v->type) {
    case RTSHORT: v->s = value->resval.rint; break;
    case RTREAL: v->r = value->resval.rreal; break;
    case RTSTR: v->text = value->resval.rstring ? value->resval.rstring : L""; break;
    default: v->p.set(value->resval.rpoint[0], value->resval.rpoint[1], value->resval.rpoint[2]); break;
    }
    return RTNORM;
}

OdResult gcedSetCurrentView(const OdDbViewTableRecord* view, OdDbViewport*)
{
    if (!view) return eInvalidInput;
    ++V().viewsSet;
    OdGePoint2d c = view->centerPoint();
    OdGePoint3d world = V().dcs.toWorld(OdGePoint3d(c.x, c.y, 0), false);
    Must(L"VIEWCTR").p = V().ucs.fromWorld(world, false);
    const OdGePoint3d screen = Must(L"SCREENSIZE").p;
    double h = view->height();
    if (screen.x > 0 && screen.y > 0) h = std::max(h, view->width() * screen.y / screen.x);
    Must(L"VIEWSIZE").r = h;
    // The editor's reactors hear of every change of the view, the module's
    // own included.
    standin::FireViewChanged();
    return eOk;
}

int gcedTrans(const ads_point pt, const resbuf* from, const resbuf* to, int disp, ads_point result)
{
    int f = SystemCode(from), t = SystemCode(to);
    if (f < 0 || t < 0 || !pt || !result) return RTERROR;
    OdGePoint3d p = FromWorld(t, ToWorld(f, OdGePoint3d(pt[0], pt[1], pt[2]), disp != 0), disp != 0);
    result[0] = p.x;
    result[1] = p.y;
    result[2] = p.z;
    return RTNORM;
}

void gcedUpdateDisplay() { ++V().updates; }

int gcedRedraw(const ads_name, int)
{
    ++V().redraws;
    return RTNORM;
}

int gcedSetStatusBarProgressMeter(const wchar_t* label, int minPos, int maxPos)
{
    standin::ProgressMeter& m = V().meter;
    m.label = label ? label : L"";
    m.minPos = minPos;
    m.maxPos = maxPos;
    m.pos = minPos;
    m.shown = true;
    m.positions.clear();
    return 0;
}

int gcedSetStatusBarProgressMeterPos(int pos)
{
    if (!V().meter.shown) return -1;
    V().meter.pos = pos;
    V().meter.positions.push_back(pos);
    return 0;
}

void gcedRestoreStatusBar()
{
    V().meter.shown = false;
    ++V().restores;
}

CFrameWnd* gcedGetGcadFrame()
{
    EditorView& v = V();
    if (!v.frame) {
        v.frame = std::make_unique<CFrameWnd>();
        RECT r{0, 0, 1280, 800};
        v.frame->Create(nullptr, v.frameTitle.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, r, nullptr, 0);
    }
    return v.frame.get();
}

HWND gds_getmainhwnd() { return gcedGetGcadFrame()->GetSafeHwnd(); }

HINSTANCE gcedGetGcadResourceInstance() { return (HINSTANCE)GetModuleHandleW(nullptr); }

void gcedPostCommandPrompt() { ++V().prompts; }

namespace standin {

int PostedCommandPrompts() { return V().prompts; }

void SetSysVarReal(const std::wstring& name, double v)
{
    SysVar& s = Must(name);
    s.type = RTREAL;
    s.r = v;
}

void SetSysVarShort(const std::wstring& name, short v)
{
    SysVar& s = Must(name);
    s.type = RTSHORT;
    s.s = v;
}

void SetSysVarPoint(const std::wstring& name, const OdGePoint3d& p)
{
    SysVar& s = Must(name);
    if (s.type != RTPOINT) s.type = RT3DPOINT;
    s.p = p;
}

void SetSysVarString(const std::wstring& name, const std::wstring& text)
{
    SysVar& s = Must(name);
    s.type = RTSTR;
    s.text = text;
}

double SysVarReal(const std::wstring& name) { return Must(name).r; }
short SysVarShort(const std::wstring& name) { return Must(name).s; }
OdGePoint3d SysVarPoint(const std::wstring& name) { return Must(name).p; }

void SetUcs(const OdGePoint3d& origin, const OdGeVector3d& xAxis, const OdGeVector3d& yAxis)
{
    V().ucs = MakeFrame(origin, xAxis, yAxis);
}

void SetDcs(const OdGePoint3d& origin, const OdGeVector3d& xAxis, const OdGeVector3d& yAxis)
{
    V().dcs = MakeFrame(origin, xAxis, yAxis);
}

void SetFrameTitle(const std::wstring& title)
{
    V().frameTitle = title;
    if (V().frame) V().frame->SetWindowText(title.c_str());
}

int UpdateDisplayCount() { return V().updates; }
int RedrawCount() { return V().redraws; }
int SetCurrentViewCount() { return V().viewsSet; }
const ProgressMeter& StatusBarProgress() { return V().meter; }
int RestoreStatusBarCount() { return V().restores; }

}  // namespace standin
