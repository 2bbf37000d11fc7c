#include "ui/pathdialog.h"

#include <cwchar>

namespace {

// A drive path (C:\...) or a network path (\\server\...).
bool IsFullPath(const CString& path)
{
    const wchar_t drive = path.GetLength() >= 3 ? path[0] : 0;
    const bool letter = (drive >= L'A' && drive <= L'Z') || (drive >= L'a' && drive <= L'z');
    if (letter) return path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
    return path.GetLength() >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

void CopyText(WCHAR (&to)[MAX_PATH], LPCWSTR from)
{
    if (!from) return;
    wcsncpy(to, from, MAX_PATH - 1);
    to[MAX_PATH - 1] = 0;
}

}  // namespace

bool PathDialogAcceptsFolder(const CString& typed)
{
    if (typed.IsEmpty() || typed.GetLength() >= MAX_PATH || !IsFullPath(typed)) return false;
    const DWORD attributes = GetFileAttributesW(typed);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

BEGIN_MESSAGE_MAP(CPathDialog, CWnd)
ON_BN_CLICKED(IDOK, &CPathDialog::OnBnClickedOk)
ON_EN_CHANGE(CPathDialog::kPathEdit, &CPathDialog::OnEnChangePath)
END_MESSAGE_MAP()

CPathDialog::CPathDialog(LPCWSTR captionText, LPCWSTR promptText, LPCWSTR initialFolder, CWnd* ownerWnd)
{
    CopyText(caption, captionText);
    CopyText(prompt, promptText);
    CopyText(initialPath, initialFolder);
    owner = ownerWnd;
    browseInfo.hwndOwner = ownerWnd ? ownerWnd->GetSafeHwnd() : nullptr;
    browseInfo.pidlRoot = nullptr;
    browseInfo.lpszTitle = prompt;
    browseInfo.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    browseInfo.lpfn = &CPathDialog::BrowseCallbackProc;
    browseInfo.lParam = (LPARAM)this;
}

int CPathDialog::DoModal()
{
    browseInfo.lParam = (LPARAM)this;
    int result = -1;
    LPMALLOC allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || !allocator) return -1;
    WCHAR displayName[MAX_PATH] = {};
    browseInfo.pszDisplayName = displayName;
    accepted = 0;
    LPITEMIDLIST chosen = SHBrowseForFolderW(&browseInfo);
    if (chosen) allocator->Free(chosen);
    browseInfo.pszDisplayName = nullptr;
    if (accepted) result = 1;
    // The browser's window is gone; nothing of it stays attached.
    if (m_hWnd) UnsubclassWindow();
    allocator->Release();
    return result;
}

int CPathDialog::BrowseCallbackProc(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data)
{
    auto* self = reinterpret_cast<CPathDialog*>(data);
    if (!self) return 0;
    if (msg == BFFM_INITIALIZED) self->OnInitialized(hwnd);
    else if (msg == BFFM_SELCHANGED) self->OnSelectionChanged(hwnd, (LPCITEMIDLIST)lParam);
    return 0;
}

void CPathDialog::OnInitialized(HWND hwnd)
{
    ::SetWindowTextW(hwnd, caption);
    SubclassWindow(hwnd);
    if (CWnd* label = GetDlgItem(kBrowserLabel)) label->ShowWindow(SW_HIDE);
    // The edit box stands just above the folder tree; headless controls
    // have no geometry, so its rectangle stays empty.
    RECT rect{0, 0, 0, 0};
    m_editPath.Create(WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, rect, this, kPathEdit);
    m_editPath.ShowWindow(SW_SHOW);
    if (!initialPath[0]) {
        GetCurrentDirectoryW(MAX_PATH, initialPath);
        initialPath[MAX_PATH - 1] = 0;
    }
    ::SendMessageW(hwnd, BFFM_SETSELECTIONW, TRUE, (LPARAM)initialPath);
}

void CPathDialog::OnSelectionChanged(HWND hwnd, LPCITEMIDLIST item)
{
    WCHAR path[MAX_PATH] = {};
    if (item && SHGetPathFromIDListW(item, path)) {
        ::SendMessageW(hwnd, BFFM_ENABLEOK, 0, 1);
    } else {
        path[0] = 0;
        ::SendMessageW(hwnd, BFFM_ENABLEOK, 0, 0);
    }
    ::SendMessageW(hwnd, BFFM_SETSTATUSTEXTW, 0, (LPARAM)path);
    m_editPath.SetWindowText(path);
}

void CPathDialog::ReadTypedPath() { m_editPath.GetWindowText(selectedPath, MAX_PATH); }

// The typed text, not the tree's selection, is what OK takes, uncut: a
// text cut to the buffer could name another folder.
void CPathDialog::OnBnClickedOk()
{
    CString typed;
    m_editPath.GetWindowText(typed);
    ReadTypedPath();
    if (PathDialogAcceptsFolder(typed)) {
        accepted = 1;
        Default();
        return;
    }
    m_editPath.SetFocus();
}

void CPathDialog::OnEnChangePath()
{
    ReadTypedPath();
    ::SendMessageW(m_hWnd, BFFM_ENABLEOK, 0, selectedPath[0] ? 1 : 0);
}
