// The controls of the headless dialogs, over their dialog's control table.
#include "afxcmn.h"
#include "afxwin.h"
#include "dialog_control.h"

namespace {
standin::DialogControl* Item(HWND dialog, int id) { return dialog ? &standin::DialogItem(dialog, id) : nullptr; }
}  // namespace

int CButton::GetCheck() const
{
    auto* c = Item(m_itemDialog, m_itemId);
    return c ? c->check : 0;
}

void CButton::SetCheck(int check)
{
    if (auto* c = Item(m_itemDialog, m_itemId)) c->check = check;
}

BOOL CEdit::Create(DWORD style, const RECT&, CWnd* parent, UINT id)
{
    if (!SubclassDlgItem(id, parent)) return FALSE;
    standin::DialogControl* c = Item(m_itemDialog, m_itemId);
    c->kind = 0x0081;
    c->visible = (style & WS_VISIBLE) != 0;
    c->enabled = (style & WS_DISABLED) == 0;
    return TRUE;
}

void CEdit::SetSel(int, int, BOOL) {}

int CComboBox::AddString(LPCWSTR text)
{
    auto* c = Item(m_itemDialog, m_itemId);
    if (!c) return CB_ERR;
    c->items.push_back(text ? text : L"");
    return (int)c->items.size() - 1;
}

void CComboBox::ResetContent()
{
    if (auto* c = Item(m_itemDialog, m_itemId)) {
        c->items.clear();
        c->selection = -1;
    }
}

int CComboBox::GetCount() const
{
    auto* c = Item(m_itemDialog, m_itemId);
    return c ? (int)c->items.size() : CB_ERR;
}

int CComboBox::GetCurSel() const
{
    auto* c = Item(m_itemDialog, m_itemId);
    return c && c->selection >= 0 && c->selection < (int)c->items.size() ? c->selection : CB_ERR;
}

int CComboBox::SetCurSel(int row)
{
    auto* c = Item(m_itemDialog, m_itemId);
    if (!c) return CB_ERR;
    if (row < 0 || row >= (int)c->items.size()) {
        c->selection = -1;
        c->text.clear();
        return CB_ERR;
    }
    c->selection = row;
    c->text = c->items[(size_t)row];
    return row;
}

DWORD CListCtrl::SetExtendedStyle(DWORD style)
{
    const DWORD old = m_extendedStyle;
    m_extendedStyle = style;
    return old;
}

int CListCtrl::InsertColumn(int column, LPCWSTR heading, int, int, int)
{
    auto* c = Item(m_itemDialog, m_itemId);
    if (!c || column < 0) return -1;
    if (column > (int)c->columns.size()) column = (int)c->columns.size();
    c->columns.insert(c->columns.begin() + column, heading ? heading : L"");
    return column;
}

int CListCtrl::InsertItem(int row, LPCWSTR text)
{
    auto* c = Item(m_itemDialog, m_itemId);
    if (!c || row < 0) return -1;
    if (row > (int)c->rows.size()) row = (int)c->rows.size();
    c->rows.insert(c->rows.begin() + row, std::vector<std::wstring>{text ? text : L""});
    return row;
}

BOOL CListCtrl::SetItemText(int row, int column, LPCWSTR text)
{
    auto* c = Item(m_itemDialog, m_itemId);
    if (!c || row < 0 || row >= (int)c->rows.size() || column < 0) return FALSE;
    std::vector<std::wstring>& cells = c->rows[(size_t)row];
    if ((int)cells.size() <= column) cells.resize((size_t)column + 1);
    cells[(size_t)column] = text ? text : L"";
    return TRUE;
}

CString CListCtrl::GetItemText(int row, int column) const
{
    auto* c = Item(m_itemDialog, m_itemId);
    if (!c || row < 0 || row >= (int)c->rows.size() || column < 0) return CString();
    const std::vector<std::wstring>& cells = c->rows[(size_t)row];
    return column < (int)cells.size() ? CString(cells[(size_t)column].c_str()) : CString();
}

int CListCtrl::GetItemText(int row, int column, LPWSTR text, int cap) const
{
    if (!text || cap <= 0) return 0;
    const CString whole = GetItemText(row, column);
    const int n = whole.GetLength() < cap - 1 ? whole.GetLength() : cap - 1;
    wmemcpy(text, whole.GetString(), (size_t)n);
    text[n] = 0;
    return n;
}

int CListCtrl::GetItemCount() const
{
    auto* c = Item(m_itemDialog, m_itemId);
    return c ? (int)c->rows.size() : 0;
}

BOOL CListCtrl::DeleteAllItems()
{
    auto* c = Item(m_itemDialog, m_itemId);
    if (!c) return FALSE;
    c->rows.clear();
    return TRUE;
}

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD)
{
    m_parent = parent;
    return parent != nullptr;
}

BOOL CToolTipCtrl::AddTool(CWnd* tool, LPCWSTR text)
{
    if (!m_parent || !tool) return FALSE;
    m_tips[tool->GetDlgCtrlID()] = text ? text : L"";
    return TRUE;
}

void CToolTipCtrl::SetDelayTime(DWORD, int ms) { m_delayMs = ms; }
void CToolTipCtrl::SetTipTextColor(COLORREF colour) { m_textColour = colour; }
void CToolTipCtrl::SetTipBkColor(COLORREF colour) { m_backColour = colour; }
void CToolTipCtrl::Activate(BOOL active) { m_bActive = active; }
void CToolTipCtrl::RelayEvent(LPMSG) { ++m_relayed; }

CString CToolTipCtrl::TipFor(int controlId) const
{
    auto it = m_tips.find(controlId);
    return it == m_tips.end() ? CString() : it->second;
}
