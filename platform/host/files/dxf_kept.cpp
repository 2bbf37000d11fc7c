// Drawing files: copying and freeing what objects keep of their records.
#include "dxf_kept.h"

#include <algorithm>

#include "dxf_internal.h"
#include "text_internal.h"

namespace standin {

std::wstring RenumberedRecords::said(size_t i) const
{
    const Entry& e = entries_.at(i);
    std::string line = words_[e.type];
    if (e.line) line += " at line " + std::to_string(e.line);
    line += ": ";
    if (e.why == kTaken) line += "its handle " + dxf::GroupWriter::HandleValue(e.given) + " is an earlier record's";
    else line += words_[e.why];
    line += "; it has handle " + dxf::GroupWriter::HandleValue(e.now) + " instead";
    return Utf8ToWide(line);
}

std::vector<bool> OwnApplicationGroups(const KeptRun& run)
{
    auto trimmed = [](const std::wstring& s, size_t from) {
        size_t b = std::min(from, s.size()), e = s.size();
        while (b < e && (s[b] == L' ' || s[b] == L'\t')) ++b;
        while (e > b && (s[e - 1] == L' ' || s[e - 1] == L'\t')) --e;
        return s.substr(b, e - b);
    };
    const auto& g = run.groups;
    std::vector<bool> own(g.size(), false);
    for (size_t i = 0; i < g.size(); ++i) {
        if (g[i].code != 102 || g[i].text.empty() || g[i].text[0] != L'{') continue;
        const std::wstring name = trimmed(g[i].text, 1);
        if (name != L"ACAD_REACTORS" && name != L"ACAD_XDICTIONARY") continue;
        const int handles = name == L"ACAD_XDICTIONARY" ? 360 : 330;
        own[i] = true;
        size_t j = i + 1;
        for (; j < g.size(); ++j) {
            if (g[j].code == 102 && trimmed(g[j].text, 0) == L"}") {
                own[j] = true;
                break;
            }
            if (g[j].code != handles) break;
            own[j] = true;
        }
        i = j < g.size() && own[j] ? j : j - 1;
    }
    return own;
}

DxfKept* CopyKept(const DxfKept* k, bool whole)
{
    if (!k) return nullptr;
    auto* c = new DxfKept;
    c->dxfType = k->dxfType;
    c->runs = k->runs;
    // What the original owns (360: an image's reactor, say) stays the
    // original's: a copy that named it would own it too. So do its own
    // dictionary and reactors kept as written.
    if (!whole)
        for (KeptRun& r : c->runs) {
            const std::vector<bool> own = OwnApplicationGroups(r);
            size_t at = 0;
            r.groups.erase(std::remove_if(r.groups.begin(), r.groups.end(),
                                          [&](const KeptGroup& g) { return own[at++] || NamesWhatItOwns(g); }),
                           r.groups.end());
        }
    // A copy is another object: its records get handles of their own.
    if (k->blockBegin) c->blockBegin.reset(CopyKept(k->blockBegin.get(), whole));
    if (k->blockEnd) c->blockEnd.reset(CopyKept(k->blockEnd.get(), whole));
    for (const auto& s : k->subRecords) c->subRecords.emplace_back(CopyKept(s.get(), whole));
    if (whole) {
        c->handle = k->handle;
        c->subHandles = k->subHandles;
    }
    c->flags = k->flags;
    c->colourNumber = k->colourNumber;
    c->colourRgb = k->colourRgb;
    c->planePoints = k->planePoints;
    c->planeNormal = k->planeNormal;
    c->pieceEnds = k->pieceEnds;
    c->piecesOf = k->piecesOf;
    c->solidPattern = k->solidPattern;
    c->hardOwned = k->hardOwned;
    c->defaultEntry = k->defaultEntry;
    c->sortHandles = k->sortHandles;
    c->sortOrder = k->sortOrder;
    return c;
}

void DeleteKept(DxfKept* k) { delete k; }

}  // namespace standin
