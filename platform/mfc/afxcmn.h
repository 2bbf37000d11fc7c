// MFC stand-in: the common controls the module's dialogs use. Headless, a
// list view keeps its columns and rows in its dialog's control table, and
// a tooltip control keeps its tools and settings.
#pragma once

#include <map>

#include "afxwin.h"
#include "commctrl.h"

class CListCtrl : public CWnd {
public:
    DWORD SetExtendedStyle(DWORD style);
    DWORD GetExtendedStyle() const { return m_extendedStyle; }
    // The new column's index.
    int InsertColumn(int column, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
    // The new row's index (at most the row count), -1 on failure.
    int InsertItem(int row, LPCWSTR text);
    BOOL SetItemText(int row, int column, LPCWSTR text);
    // Empty for a cell that does not exist.
    CString GetItemText(int row, int column) const;
    int GetItemText(int row, int column, LPWSTR text, int cap) const;
    int GetItemCount() const;
    BOOL DeleteAllItems();

private:
    DWORD m_extendedStyle = 0;
};

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* parent, DWORD style = 0);
    using CWnd::Create;
    // The tip shown over the control `tool`.
    BOOL AddTool(CWnd* tool, LPCWSTR text);
    void SetDelayTime(DWORD kind, int ms);
    void SetTipTextColor(COLORREF colour);
    void SetTipBkColor(COLORREF colour);
    void Activate(BOOL active);
    // Passes a mouse message on to the tooltip (it only counts them).
    void RelayEvent(LPMSG msg);

    // Headless: what a user would see.
    CString TipFor(int controlId) const;
    BOOL m_bActive = FALSE;
    int m_delayMs = -1;
    COLORREF m_textColour = 0;
    COLORREF m_backColour = 0xffffff;
    int m_relayed = 0;

private:
    CWnd* m_parent = nullptr;
    std::map<int, CString> m_tips;
};
