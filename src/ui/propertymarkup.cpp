#include "ui/propertymarkup.h"

const wchar_t kMarkupHeaderKey[] = L"头部信息";
const wchar_t kMarkupTailKey[] = L"尾部信息";

namespace {

const wchar_t kTagStart[] = L"<?brisan_ct name=";
const wchar_t kLineEnd[] = L"\r\n";
// How a line break inside the header or the tail shows in its row.
const wchar_t kShownLineEnd[] = L"   ";

CString ShowLineEnds(CString text)
{
    text.Replace(kLineEnd, kShownLineEnd);
    return text;
}

CString RestoreLineEnds(CString text)
{
    text.Replace(kShownLineEnd, kLineEnd);
    return text;
}

}  // namespace

bool ParseMarkupLine(const CString& line, CString& key, CString& value)
{
    int q[4];
    int from = 0;
    for (int& pos : q) {
        pos = line.Find(L'"', from);
        from = pos < 0 ? line.GetLength() : pos + 1;
    }
    const int colon = line.Find(L':');
    if (q[0] < 0 || q[1] < 0 || colon < 0 || q[1] > colon) return false;
    if (q[2] > colon && q[3] > q[2]) {
        key = line.Mid(q[0] + 1, q[1] - q[0] - 1);
        value = line.Mid(q[2] + 1, q[3] - q[2] - 1);
        return true;
    }
    if (q[2] >= 0 || q[3] >= 0) return false;
    CString bare = line.Mid(colon + 1);
    bare.TrimLeft(L' ');
    if (!bare.IsEmpty() && bare[bare.GetLength() - 1] == L',') bare.Delete(bare.GetLength() - 1);
    bare.TrimRight(L' ');
    if (bare == L"true" || bare == L"false") bare = L"bool_" + bare;
    key = line.Mid(q[0] + 1, q[1] - q[0] - 1);
    value = bare;
    return true;
}

EntityPropertyMarkup ParseMarkup(const CString& remark, const CString& keptTagLine)
{
    EntityPropertyMarkup markup;
    std::vector<MarkupRow>& rows = markup.rows;
    CString s = remark;
    const int tag = s.Find(kTagStart);
    if (tag >= 1) {
        rows.push_back({kMarkupHeaderKey, ShowLineEnds(s.Left(tag))});
        s = s.Mid(tag);
    }
    const int tagEnd = s.Find(kLineEnd);
    const int afterTag = tagEnd < 0 ? s.GetLength() : tagEnd + 2;
    markup.tagLine = keptTagLine.IsEmpty() ? s.Left(afterTag) : keptTagLine;
    s = s.Mid(afterTag);

    // The closing "}" stands at the start of a line: right after the tag
    // line when there are no rows, else after the last row's CR LF (whose
    // value may be quoted or bare).
    int closing = s.GetLength() > 0 && s[0] == L'}' ? 0 : s.Find(L"\r\n}");
    if (closing > 0) closing += 2;
    CString tail;
    if (closing >= 0) {
        tail = ShowLineEnds(s.Mid(closing + 1));
        s = s.Left(closing + 1);
    }
    for (int end = s.Find(kLineEnd); end >= 0; end = s.Find(kLineEnd)) {
        MarkupRow row;
        if (!ParseMarkupLine(s.Left(end), row.key, row.value)) break;
        rows.push_back(row);
        s = s.Mid(end + 2);
    }
    if (!tail.IsEmpty()) rows.push_back({kMarkupTailKey, tail});
    return markup;
}

CString BuildMarkup(const EntityPropertyMarkup& markup)
{
    const std::vector<MarkupRow>& rows = markup.rows;
    const CString& tagLine = markup.tagLine;
    size_t n = rows.size();
    const bool hasTail = n > 0 && rows[n - 1].key == kMarkupTailKey;
    if (hasTail) --n;
    CString t;
    for (size_t i = 0; i < n; ++i) {
        const MarkupRow& row = rows[i];
        if (i == 0 && row.key == kMarkupHeaderKey) {
            t = RestoreLineEnds(row.value) + tagLine;
            if (t.Right(2) != kLineEnd) t += kLineEnd;
            continue;
        }
        if (i == 0) t = tagLine;
        t += L'"' + row.key + L"\":";
        if (row.value == L"bool_true") t += L"true";
        else if (row.value == L"bool_false") t += L"false";
        else t += L'"' + row.value + L'"';
        t += i + 1 == n ? L"\r\n" : L",\r\n";
    }
    t += L'}';
    if (hasTail) t += RestoreLineEnds(rows.back().value);
    return t;
}

bool HasPropertyMarkup(const CString& remark)
{
    return remark.Find(L"brisan_ct name") >= 1;
}

bool MarkupRoundTrips(const CString& remark, const CString& keptTagLine)
{
    return BuildMarkup(ParseMarkup(remark, keptTagLine)) == remark;
}
