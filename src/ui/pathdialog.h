// The folder chooser: the shell's folder browser with an edit box in which
// the user may also type or paste a path.
#pragma once

#include "afxwin.h"
#include "windows.h"

// OK in the browser accepts the edit box's text only when it is the full
// path of an existing folder: not empty, not a file, not a missing folder,
// not relative (it would be taken against whatever the current folder is),
// and short enough for the browser's path buffer of MAX_PATH characters,
// since a longer text would be cut to another path.
bool PathDialogAcceptsFolder(const CString& typed);

class CPathDialog : public CWnd {
public:
    // Null texts leave their member empty; an empty initial folder becomes
    // the current folder when the browser opens.
    CPathDialog(LPCWSTR caption, LPCWSTR prompt, LPCWSTR initialFolder, CWnd* owner = nullptr);

    // 1 when the user confirmed an existing folder, -1 otherwise.
    int DoModal();
    CString GetPath() const { return CString(selectedPath); }

    static int BrowseCallbackProc(HWND hwnd, UINT msg, LPARAM lParam, LPARAM data);

    WCHAR initialPath[MAX_PATH] = {};
    WCHAR selectedPath[MAX_PATH] = {};
    WCHAR prompt[MAX_PATH] = {};
    WCHAR caption[MAX_PATH] = {};
    BROWSEINFOW browseInfo = {};
    CWnd* owner = nullptr;
    int accepted = 0;

    enum { kPathEdit = 14148, kFolderTree = 14145, kBrowserLabel = 14147 };

protected:
    void OnBnClickedOk();
    void OnEnChangePath();
    DECLARE_MESSAGE_MAP()

private:
    void OnInitialized(HWND hwnd);
    void OnSelectionChanged(HWND hwnd, LPCITEMIDLIST item);
    // The edit box's text, at most MAX_PATH - 1 characters.
    void ReadTypedPath();
    CEdit m_editPath;
};
