// The property dialog of a linked entity: the name and the remark of its
// link. A remark written in the property mark-up can be edited as a
// two-column list. The dialog edits copies: the link changes only on OK,
// and only when something changed.
#pragma once

#include "afxcmn.h"
#include "gcuidialog.h"
#include "oddbobject.h"

class OdDbEntity;
struct MapObjInfo;

class CEntPropertyDlg : public CGcUiDialog {
public:
    explicit CEntPropertyDlg(CWnd* parent = nullptr, HINSTANCE dialogResource = nullptr);
    enum { IDD = 8337 };

    CString m_strName;      // the link's name when the dialog opened
    CString m_strRemark;    // the link's remark when the dialog opened
    OdDbEntity* m_pEntity = nullptr;  // open for writing by the caller
    MapObjInfo* m_pLink = nullptr;    // held by the drawing's links
    CEdit m_editName;       // 8136
    CButton m_btnView;      // 8339: its caption names the view a click shows
    CEdit m_editRemark;     // 8340
    CListCtrl m_list;       // 8342
    int m_nEditRow = 0, m_nEditCol = 0;
    CString m_strTagLine;   // the tag line of the first parse, with its line end
    CEdit m_editValue;      // 8343, the in-place editor of a value
    CStatic m_staticHint;   // 8344

    void SetEntity(OdDbEntity* entity) { m_pEntity = entity; }
    BOOL OnInitDialog() override;
    // Fills the list from the remark edit box and shows the list.
    void ParseMarkup();
    // Rebuilds the remark from the list into the working copy; with
    // `showText` the text view shows it.
    void BuildMarkup(bool showText);
    // The remark as the dialog holds it now (the working copy).
    const CString& EditedRemark() const { return m_strEditedRemark; }

protected:
    void DoDataExchange(CDataExchange* dx) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnOK() override;
    void OnBnClickedView();
    void OnEnKillFocusValue();
    DECLARE_MESSAGE_MAP()

private:
    bool ListViewShows();
    // The remark can only be edited as text: the button, the list and the
    // hint are hidden.
    void KeepToText();
    CString m_strEditedRemark;
};

// Opens the entity for writing, shows its property dialog with the
// plug-in's resources current, and closes it: IDOK when the user changed
// the name or the remark (the link holds them, a text shows the new name),
// IDCANCEL otherwise or when the entity does not open.
INT_PTR ShowEntityPropertyDialog(OdDbObjectId id);
