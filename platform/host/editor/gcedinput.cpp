#include "gcedinput.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "editor_control.h"
#include "gcedreactor.h"
#include "gcedview.h"
#include "oddbcurves.h"
#include "oddbentity.h"
#include "oddbsymboltable.h"
#include "hostdb_control.h"
#include "standin_control.h"

namespace {

enum class AnswerKind { Point, Pick, Selection, Text, Enter, Cancel };

struct Answer {
    AnswerKind kind = AnswerKind::Cancel;
    OdGePoint3d point;
    OdDbObjectId id;
    OdDbObjectIdArray ids;
    std::wstring text;
};

struct EditorInput {
    std::deque<Answer> answers;
    std::vector<std::wstring> prompts;
    bool hasBase = false;
    OdGePoint3d base;
    OdGePoint3d lastPoint;  // the last point entered (LASTPOINT)
    int initFlags = 0;
    std::wstring initKeywords;
    OdDbObjectIdArray pickFirst;
    // Entity names and selection sets handed out, by their first word.
    // Names are hashed: a long script hands out one for every entity it
    // picks, and looking one up must not grow with them.
    std::unordered_map<int64_t, OdDbObjectId> names;
    std::unordered_map<OdDbStub*, int64_t> nameOf;
    std::map<int64_t, OdDbObjectIdArray> sets;
    int64_t nextName = 1;
    int64_t nextSet = 1;
};

EditorInput& In()
{
    static EditorInput s;
    return s;
}

std::function<bool(const standin::InputRequest&)> g_feeder;
std::function<bool(const standin::InputRequest&, const std::wstring&)> g_refusal;

standin::ResetHook g_reset([] {
    In() = EditorInput();
    g_feeder = nullptr;
    g_refusal = nullptr;
});

// The next answer: a queued one, else what the feeder gives (a host reading
// a script file takes its next line only when input is asked for). Without
// either the user cancels.
Answer NextAnswer(const standin::InputRequest& request)
{
    auto& q = In().answers;
    if (q.empty() && g_feeder) {
        // The feeder may run commands of its own: it is not asked again
        // from inside itself.
        auto feeder = std::move(g_feeder);
        g_feeder = nullptr;
        bool fed = feeder(request);
        if (!g_feeder) g_feeder = std::move(feeder);
        if (!fed) return Answer();
    }
    if (q.empty()) return Answer();
    Answer a = q.front();
    q.pop_front();
    return a;
}

// An answer the call does not take: asked again, unless the handler
// cancels the call instead (true: ask again).
bool AskAgain(const standin::InputRequest& request, const std::wstring& why)
{
    return !g_refusal || g_refusal(request, why);
}

standin::InputRequest Request(standin::InputKind kind, const wchar_t* prompt, int flags = 0,
                              const std::wstring& keywords = std::wstring())
{
    standin::InputRequest r;
    r.kind = kind;
    r.prompt = prompt ? prompt : L"";
    r.keywords = keywords;
    r.noNull = (flags & RSG_NONULL) != 0;
    return r;
}

void Queue(Answer a) { In().answers.push_back(std::move(a)); }

// The flags and keywords of the last gcedInitGet, which hold for one call.
void TakeInitGet(int& flags, std::wstring& keywords)
{
    flags = In().initFlags;
    keywords = In().initKeywords;
    In().initFlags = 0;
    In().initKeywords.clear();
}

void ShowPrompt(const wchar_t* prompt) { In().prompts.push_back(prompt ? prompt : L""); }

bool IsTextCode(int t) { return t == RTSTR || (t >= 0 && t <= 9) || (t >= 1000 && t <= 1009); }
bool IsShortCode(int t) { return t == RTSHORT || (t >= 60 && t <= 79); }
bool IsRealCode(int t) { return t == RTREAL || (t >= 38 && t <= 59); }
bool IsLongCode(int t) { return t == RTLONG || (t >= 90 && t <= 99); }
bool IsPointCode(int t) { return t == RTPOINT || t == RT3DPOINT || (t >= 10 && t <= 18); }

wchar_t* CopyText(const wchar_t* s)
{
    size_t n = wcslen(s) + 1;
    auto* copy = static_cast<wchar_t*>(malloc(n * sizeof(wchar_t)));
    wmemcpy(copy, s, n);
    return copy;
}

// Wildcard match without regard to case: * any run, ? one character.
bool WildMatch(const wchar_t* pat, const wchar_t* s)
{
    if (*pat == 0) return *s == 0;
    if (*pat == L'*') return WildMatch(pat + 1, s) || (*s && WildMatch(pat, s + 1));
    if (*s == 0) return false;
    if (*pat != L'?' && towupper(*pat) != towupper(*s)) return false;
    return WildMatch(pat + 1, s + 1);
}

// A pattern may list alternatives separated by commas.
bool MatchesPattern(const std::wstring& pattern, const std::wstring& name)
{
    size_t start = 0;
    while (true) {
        size_t comma = pattern.find(L',', start);
        std::wstring alt = pattern.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
        if (WildMatch(alt.c_str(), name.c_str())) return true;
        if (comma == std::wstring::npos) return false;
        start = comma + 1;
    }
}

// False for a filter the stand-in does not evaluate.
bool ApplyFilter(const resbuf* filter, const OdDbObjectIdArray& in, OdDbObjectIdArray& out)
{
    for (const resbuf* rb = filter; rb; rb = rb->rbnext)
        if (rb->restype != 8 || !rb->resval.rstring) return false;
    for (const auto& id : in) {
        if (!id.isValid() || id.isErased()) continue;
        auto* ent = OdRxCast<OdDbEntity>(id.stub()->object);
        if (!ent) continue;
        bool ok = true;
        for (const resbuf* rb = filter; rb && ok; rb = rb->rbnext)
            ok = MatchesPattern(rb->resval.rstring, ent->layer().c_str());
        if (ok) out.append(id);
    }
    return true;
}

OdDbObjectIdArray WholeDatabase()
{
    OdDbObjectIdArray ids;
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    OdDbBlockTable* bt = nullptr;
    if (!db || db->getBlockTable(bt, OdDb::kForRead) != eOk) return ids;
    for (const wchar_t* layout : {L"*Model_Space", L"*Paper_Space"}) {
        OdDbObjectId btrId;
        if (bt->getAt(layout, btrId) != eOk) continue;
        auto* btr = OdRxCast<OdDbBlockTableRecord>(btrId.stub()->object);
        if (btr)
            for (const auto& id : btr->entityIds()) ids.append(id);
    }
    bt->close();
    return ids;
}

std::wstring Trimmed(const wchar_t* s)
{
    std::wstring t = s;
    size_t a = t.find_first_not_of(L' ');
    if (a == std::wstring::npos) return L"";
    return t.substr(a, t.find_last_not_of(L' ') - a + 1);
}

// The ids in the order they first appear, each once: a selection set holds
// an object once however often the user picked it. Hashed, so that a set
// of a hundred thousand costs what reading it costs.
OdDbObjectIdArray EachOnce(const OdDbObjectIdArray& ids)
{
    OdDbObjectIdArray once;
    std::unordered_set<const OdDbStub*> seen;
    seen.reserve(ids.size());
    for (const OdDbObjectId& id : ids)
        if (seen.insert(id.stub()).second) once.append(id);
    return once;
}

int NewSet(const OdDbObjectIdArray& members, ads_name ss)
{
    if (members.isEmpty()) return RTERROR;
    int64_t n = In().nextSet++;
    In().sets[n] = members;
    ss[0] = n;
    ss[1] = 0;
    return RTNORM;
}

const OdDbObjectIdArray* FindSet(const ads_name ss)
{
    if (!ss) return nullptr;
    auto it = In().sets.find(ss[0]);
    return it == In().sets.end() ? nullptr : &it->second;
}

// Keyword list items, in order.
std::vector<std::wstring> Keywords(const std::wstring& list)
{
    std::vector<std::wstring> out;
    size_t i = 0;
    while (i < list.size()) {
        size_t a = list.find_first_not_of(L' ', i);
        if (a == std::wstring::npos) break;
        size_t b = list.find(L' ', a);
        out.push_back(list.substr(a, b == std::wstring::npos ? std::wstring::npos : b - a));
        i = b == std::wstring::npos ? list.size() : b;
    }
    return out;
}

bool SameNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (towupper(a[i]) != towupper(b[i])) return false;
    return true;
}

// The listed keyword the typed text chooses: equal, or the only one it
// abbreviates. Empty when none.
std::wstring ChooseKeyword(const std::vector<std::wstring>& list, const std::wstring& typed)
{
    std::wstring found;
    int prefixes = 0;
    for (const auto& k : list) {
        if (SameNoCase(k, typed)) return k;
        if (!typed.empty() && typed.size() < k.size() && SameNoCase(k.substr(0, typed.size()), typed)) {
            found = k;
            ++prefixes;
        }
    }
    return prefixes == 1 ? found : std::wstring();
}

}  // namespace

resbuf* gcutNewRb(int type)
{
    auto* rb = static_cast<resbuf*>(calloc(1, sizeof(resbuf)));
    rb->restype = (short)type;
    return rb;
}

int gcutRelRb(resbuf* rb)
{
    while (rb) {
        resbuf* next = rb->rbnext;
        if (IsTextCode(rb->restype)) free(rb->resval.rstring);
        free(rb);
        rb = next;
    }
    return RTNORM;
}

resbuf* gcutBuildList(int type, ...)
{
    va_list ap;
    va_start(ap, type);
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    for (; type != 0; type = va_arg(ap, int)) {
        resbuf* rb = gcutNewRb(type);
        if (IsTextCode(type)) {
            rb->resval.rstring = CopyText(va_arg(ap, const wchar_t*));
        } else if (IsShortCode(type)) {
            rb->resval.rint = (short)va_arg(ap, int);
        } else if (IsRealCode(type)) {
            rb->resval.rreal = va_arg(ap, double);
        } else if (IsLongCode(type)) {
            rb->resval.rlong = va_arg(ap, int32_t);
        } else if (IsPointCode(type)) {
            memcpy(rb->resval.rpoint, va_arg(ap, const double*), sizeof(ads_point));
        } else {
            free(rb);
            gcutRelRb(head);
            va_end(ap);
            return nullptr;
        }
        if (tail) tail->rbnext = rb;
        else head = rb;
        tail = rb;
    }
    va_end(ap);
    return head;
}

OdResult oddbGetObjectId(OdDbObjectId& id, const ads_name name)
{
    id = OdDbObjectId();
    if (!name) return eInvalidInput;
    auto it = In().names.find(name[0]);
    if (it == In().names.end()) return eInvalidInput;
    id = it->second;
    return eOk;
}

OdResult oddbGetAdsName(ads_name name, OdDbObjectId id)
{
    if (id.isNull()) return eNullObjectId;
    auto& in = In();
    // An entity keeps the name it was given first.
    auto [it, added] = in.nameOf.try_emplace(id.stub(), in.nextName);
    if (added) in.names.emplace(in.nextName++, id);
    name[0] = it->second;
    name[1] = 0;
    return eOk;
}

int gcedSSGet(const wchar_t* mode, const void* p1, const void*, const resbuf* filter, ads_name ss)
{
    OdDbObjectIdArray candidates;
    bool byUser = !mode;
    if (!mode && p1) {
        // A pick at a point: what lies under the pick box there.
        ads_point wcs;
        resbuf from{nullptr, RTSHORT, {}}, to{nullptr, RTSHORT, {}};
        from.resval.rint = 1;
        to.resval.rint = 0;
        gcedTrans((const double*)p1, &from, &to, 0, wcs);
        candidates = standin::EntitiesAt(OdGePoint3d(wcs[0], wcs[1], wcs[2]));
    } else if (!mode) {
        const standin::InputRequest request = Request(standin::InputKind::kSelection, L"Select objects: ");
        while (true) {
            ShowPrompt(request.prompt.c_str());
            Answer a = NextAnswer(request);
            if (a.kind == AnswerKind::Cancel) return RTCAN;
            if (a.kind == AnswerKind::Selection) {
                candidates = a.ids;
                break;
            }
            if (a.kind == AnswerKind::Enter) return RTERROR;
            if (!AskAgain(request, L"not a selection")) return RTCAN;
        }
    } else {
        std::wstring m = Trimmed(mode);
        if (SameNoCase(m, L"I")) candidates = In().pickFirst;
        else if (SameNoCase(m, L"X")) candidates = WholeDatabase();
        else return RTERROR;
    }
    OdDbObjectIdArray members;
    if (!ApplyFilter(filter, EachOnce(candidates), members)) return RTERROR;
    // What the user selects passes the document's selection filters.
    if (byUser) standin::FilterSelection(members);
    return NewSet(members, ss);
}

int gcdbEntLast(ads_name entity)
{
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    if (!db || !entity) return RTERROR;
    // Handles grow in the order objects were added.
    const OdDbObjectId space = db->getModelSpaceId();
    const OdDbObjectId id = db->lastObjectWhere([&space](const OdDbObject* o) {
        auto* ent = OdRxCast<OdDbEntity>(o);
        return ent && !ent->isErased() && ent->ownerId() == space;
    });
    if (id.isNull()) return RTERROR;
    return oddbGetAdsName(entity, id) == eOk ? RTNORM : RTERROR;
}

int gcedSSLength(const ads_name ss, int32_t* length)
{
    const OdDbObjectIdArray* set = FindSet(ss);
    if (!set || !length) return RTERROR;
    *length = set->length();
    return RTNORM;
}

int gcedSSName(const ads_name ss, int32_t i, ads_name entity)
{
    const OdDbObjectIdArray* set = FindSet(ss);
    if (!set || i < 0 || i >= set->length()) return RTERROR;
    return oddbGetAdsName(entity, (*set)[i]) == eOk ? RTNORM : RTERROR;
}

int gcedSSFree(const ads_name ss)
{
    if (!FindSet(ss)) {
        standin::RecordHostViolation("gcedSSFree of a name that is no live selection set");
        return RTERROR;
    }
    In().sets.erase(ss[0]);
    return RTNORM;
}

int gcedSSSetFirst(const ads_name pickSet, const ads_name)
{
    if (!pickSet) {
        In().pickFirst.clear();
        return RTNORM;
    }
    const OdDbObjectIdArray* set = FindSet(pickSet);
    if (!set) return RTERROR;
    In().pickFirst = *set;  // a set holds each object once already
    return RTNORM;
}

int gcedInitGet(int flags, const wchar_t* keywords)
{
    In().initFlags = flags;
    In().initKeywords = keywords ? keywords : L"";
    return RTNORM;
}

int gcedEntSel(const wchar_t* prompt, ads_name entity, ads_point pickPoint)
{
    int flags;
    std::wstring keywords;
    TakeInitGet(flags, keywords);
    const standin::InputRequest request = Request(standin::InputKind::kEntity, prompt, flags, keywords);
    while (true) {
        ShowPrompt(prompt);
        Answer a = NextAnswer(request);
        switch (a.kind) {
        case AnswerKind::Cancel: return RTCAN;
        case AnswerKind::Enter: return RTERROR;
        case AnswerKind::Pick:
            if (oddbGetAdsName(entity, a.id) != eOk) return RTERROR;
            pickPoint[0] = a.point.x;
            pickPoint[1] = a.point.y;
            pickPoint[2] = a.point.z;
            return RTNORM;
        default:  // not a pick: asked again
            if (!AskAgain(request, L"not an entity picked")) return RTCAN;
        }
    }
}

int gcedGetPoint(const ads_point basePoint, const wchar_t* prompt, ads_point result)
{
    int flags;
    std::wstring keywords;
    TakeInitGet(flags, keywords);
    In().hasBase = basePoint != nullptr;
    if (basePoint) In().base = OdGePoint3d(basePoint[0], basePoint[1], basePoint[2]);
    const standin::InputRequest request = Request(standin::InputKind::kPoint, prompt, flags, keywords);
    while (true) {
        ShowPrompt(prompt);
        Answer a = NextAnswer(request);
        switch (a.kind) {
        case AnswerKind::Cancel: return RTCAN;
        case AnswerKind::Enter:
            if (!(flags & RSG_NONULL)) return RTNONE;
            if (!AskAgain(request, L"a point is needed")) return RTCAN;
            break;
        case AnswerKind::Point:
        case AnswerKind::Pick:
            result[0] = a.point.x;
            result[1] = a.point.y;
            result[2] = a.point.z;
            In().lastPoint = a.point;
            return RTNORM;
        default:
            if (!AskAgain(request, L"not a point")) return RTCAN;
        }
    }
}

int gcedGetKword(const wchar_t* prompt, wchar_t* result, size_t capacity)
{
    int flags;
    std::wstring keywords;
    TakeInitGet(flags, keywords);
    std::vector<std::wstring> list = Keywords(keywords);
    const standin::InputRequest request = Request(standin::InputKind::kKeyword, prompt, flags, keywords);
    while (true) {
        ShowPrompt(prompt);
        Answer a = NextAnswer(request);
        if (a.kind == AnswerKind::Cancel) return RTCAN;
        if (a.kind == AnswerKind::Enter) {
            if (!(flags & RSG_NONULL)) {
                if (capacity > 0) result[0] = 0;
                return RTNONE;
            }
            if (!AskAgain(request, L"a keyword is needed")) return RTCAN;
            continue;
        }
        std::wstring word;
        if (a.kind == AnswerKind::Text) word = list.empty() ? a.text : ChooseKeyword(list, a.text);
        if (word.empty()) {  // "Invalid option keyword"
            if (!AskAgain(request, L"not one of the keywords")) return RTCAN;
            continue;
        }
        if (word.size() + 1 > capacity) return RTERROR;
        wmemcpy(result, word.c_str(), word.size() + 1);
        return RTNORM;
    }
}

int gcedGetReal(const wchar_t* prompt, ads_real* result)
{
    int flags;
    std::wstring keywords;
    TakeInitGet(flags, keywords);
    const standin::InputRequest request = Request(standin::InputKind::kReal, prompt, flags, keywords);
    while (true) {
        ShowPrompt(prompt);
        Answer a = NextAnswer(request);
        if (a.kind == AnswerKind::Cancel) return RTCAN;
        if (a.kind == AnswerKind::Enter) {
            if (!(flags & RSG_NONULL)) return RTNONE;
            if (!AskAgain(request, L"a number is needed")) return RTCAN;
            continue;
        }
        wchar_t* end = nullptr;
        double v = a.kind == AnswerKind::Text ? wcstod(a.text.c_str(), &end) : 0;
        if (a.kind != AnswerKind::Text || end == a.text.c_str() || *end != 0) {  // "Requires numeric value"
            if (!AskAgain(request, L"not a number")) return RTCAN;
            continue;
        }
        *result = v;
        return RTNORM;
    }
}

int gcedGetString(int, const wchar_t* prompt, wchar_t* result, size_t capacity)
{
    if (!result || capacity == 0) return RTERROR;
    const standin::InputRequest request = Request(standin::InputKind::kText, prompt);
    while (true) {
        ShowPrompt(prompt);
        Answer a = NextAnswer(request);
        if (a.kind == AnswerKind::Cancel) return RTCAN;
        if (a.kind == AnswerKind::Enter) {
            result[0] = 0;
            return RTNORM;
        }
        if (a.kind != AnswerKind::Text) {
            if (!AskAgain(request, L"not text")) return RTCAN;
            continue;
        }
        if (a.text.size() + 1 > capacity) {
            // Longer than the caller takes: the call fails, and whoever fed
            // the text hears why rather than seeing the command cancelled.
            if (g_refusal) g_refusal(request, L"longer than the " + std::to_wstring(capacity - 1) + L" characters it takes");
            return RTERROR;
        }
        wmemcpy(result, a.text.c_str(), a.text.size() + 1);
        return RTNORM;
    }
}

namespace standin {

void QueuePoint(const OdGePoint3d& p)
{
    Answer a;
    a.kind = AnswerKind::Point;
    a.point = p;
    Queue(a);
}

void QueuePick(OdDbObjectId entity, const OdGePoint3d& p)
{
    Answer a;
    a.kind = AnswerKind::Pick;
    a.id = entity;
    a.point = p;
    Queue(a);
}

void QueueSelection(const OdDbObjectIdArray& entities)
{
    Answer a;
    a.kind = AnswerKind::Selection;
    a.ids = entities;
    Queue(a);
}

void QueueText(const std::wstring& text)
{
    Answer a;
    a.kind = AnswerKind::Text;
    a.text = text;
    Queue(a);
}

void QueueEnter()
{
    Answer a;
    a.kind = AnswerKind::Enter;
    Queue(a);
}

void QueueCancel() { Queue(Answer()); }
int PendingAnswers() { return (int)In().answers.size(); }
void SetInputFeeder(InputFeeder feeder) { g_feeder = std::move(feeder); }
void SetRefusalHandler(RefusalHandler handler) { g_refusal = std::move(handler); }
OdGePoint3d LastPoint() { return In().lastPoint; }
const std::vector<std::wstring>& Prompts() { return In().prompts; }

bool LastRubberBandBase(OdGePoint3d& base)
{
    base = In().base;
    return In().hasBase;
}

int LiveSelectionSets() { return (int)In().sets.size(); }
void SetPickFirst(const OdDbObjectIdArray& entities) { In().pickFirst = EachOnce(entities); }
const OdDbObjectIdArray& PickFirst() { return In().pickFirst; }

}  // namespace standin

namespace standin {

OdDbObjectIdArray EntitiesAt(const OdGePoint3d& p, double pickBox)
{
    OdDbObjectIdArray hits;
    OdDbDatabase* db = oddbHostApplicationServices()->workingDatabase();
    if (!db) return hits;
    auto* ms = OdRxCast<OdDbBlockTableRecord>(db->getModelSpaceId().stub()->object);
    if (!ms) return hits;
    for (const auto& id : ms->entityIds()) {
        auto* ent = id.isValid() ? OdRxCast<OdDbEntity>(id.stub()->object) : nullptr;
        if (!ent || ent->isErased()) continue;
        // A curve is hit near its path, anything else inside its extents.
        OdGePoint3d near;
        if (auto* curve = OdRxCast<OdDbCurve>(ent)) {
            if (curve->getClosestPointTo(p, near) == eOk && OdGeVector3d(near.x - p.x, near.y - p.y, 0).length() <= pickBox)
                hits.append(id);
            continue;
        }
        OdGeExtents3d ext;
        if (ent->getGeomExtents(ext) != eOk) continue;
        if (p.x >= ext.minPoint().x - pickBox && p.x <= ext.maxPoint().x + pickBox &&
            p.y >= ext.minPoint().y - pickBox && p.y <= ext.maxPoint().y + pickBox)
            hits.append(id);
    }
    return hits;
}

}  // namespace standin
