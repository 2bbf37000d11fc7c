#include "exchange/entpropertydlg.h"

#include <vector>

#include "exchange/arxoperation.h"
#include "oddbentity.h"
#include "oddbtext.h"
#include "state/drawingdata.h"
#include "state/pluginresourcescope.h"
#include "ui/propertymarkup.h"

namespace {

const int kName = 8136, kView = 8339, kRemark = 8340, kList = 8342, kValue = 8343, kHint = 8344;
const wchar_t kShowText[] = L"显示为文本";
const wchar_t kShowList[] = L"显示为列表";

}  // namespace

BEGIN_MESSAGE_MAP(CEntPropertyDlg, CGcUiDialog)
ON_BN_CLICKED(kView, &CEntPropertyDlg::OnBnClickedView)
ON_EN_KILLFOCUS(kValue, &CEntPropertyDlg::OnEnKillFocusValue)
END_MESSAGE_MAP()

CEntPropertyDlg::CEntPropertyDlg(CWnd* parent, HINSTANCE dialogResource)
    : CGcUiDialog(IDD, parent, dialogResource)
{
}

void CEntPropertyDlg::DoDataExchange(CDataExchange* dx)
{
    CGcUiDialog::DoDataExchange(dx);
    DDX_Control(dx, kName, m_editName);
    DDX_Control(dx, kView, m_btnView);
    DDX_Control(dx, kRemark, m_editRemark);
    DDX_Control(dx, kList, m_list);
    DDX_Control(dx, kValue, m_editValue);
    DDX_Control(dx, kHint, m_staticHint);
}

BOOL CEntPropertyDlg::OnInitDialog()
{
    CGcUiDialog::OnInitDialog();
    if (!m_pEntity) return FALSE;
    m_pLink = ArxOperation::LockedGetEntityLink(m_pEntity);
    if (!m_pLink) return FALSE;
    m_strName = m_pLink->name;
    m_strRemark = m_pLink->remark;
    m_strEditedRemark = m_strRemark;
    m_editName.SetWindowText(m_strName);
    SetWindowText(m_pEntity->isA()->name());
    m_editRemark.SetWindowText(m_strRemark);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    m_list.InsertColumn(0, L"属性", LVCFMT_LEFT, 80);
    m_list.InsertColumn(1, L"内容", LVCFMT_LEFT, 100);
    m_editValue.ShowWindow(SW_HIDE);
    // Rows are offered only for a remark that comes back unchanged from
    // them; any other keeps to the text view, where nothing can be lost.
    if (HasPropertyMarkup(m_strRemark) && MarkupRoundTrips(m_strRemark)) {
        m_btnView.SetWindowText(kShowText);
        ParseMarkup();
    } else {
        KeepToText();
    }
    return TRUE;
}

void CEntPropertyDlg::KeepToText()
{
    m_btnView.SetWindowText(kShowList);
    m_btnView.ShowWindow(SW_HIDE);
    m_list.ShowWindow(SW_HIDE);
    m_staticHint.ShowWindow(SW_HIDE);
}

bool CEntPropertyDlg::ListViewShows()
{
    CString caption;
    m_btnView.GetWindowText(caption);
    return caption == kShowText;
}

void CEntPropertyDlg::ParseMarkup()
{
    UpdateData(TRUE);
    CString remark;
    m_editRemark.GetWindowText(remark);
    m_editRemark.ShowWindow(SW_HIDE);
    const EntityPropertyMarkup markup = ::ParseMarkup(remark, m_strTagLine);
    m_strTagLine = markup.tagLine;
    const std::vector<MarkupRow>& rows = markup.rows;
    m_list.DeleteAllItems();
    for (size_t i = 0; i < rows.size(); ++i) {
        const int row = m_list.InsertItem((int)i, rows[i].key);
        m_list.SetItemText(row, 1, rows[i].value);
    }
    m_list.ShowWindow(SW_SHOW);
    m_staticHint.ShowWindow(SW_SHOW);
    UpdateData(FALSE);
}

void CEntPropertyDlg::BuildMarkup(bool showText)
{
    UpdateData(TRUE);
    EntityPropertyMarkup markup;
    markup.tagLine = m_strTagLine;
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        markup.rows.push_back({m_list.GetItemText(row, 0), m_list.GetItemText(row, 1)});
    m_strEditedRemark = ::BuildMarkup(markup);
    if (!showText) return;
    m_editRemark.SetWindowText(m_strEditedRemark);
    m_editRemark.ShowWindow(SW_SHOW);
    m_list.ShowWindow(SW_HIDE);
    m_staticHint.ShowWindow(SW_HIDE);
    UpdateData(FALSE);
}

void CEntPropertyDlg::OnBnClickedView()
{
    if (!ListViewShows()) {
        // Text edited into something the rows cannot hold, a new tag line
        // among it (the rows keep the first), can only be edited as text
        // from now on.
        CString remark;
        m_editRemark.GetWindowText(remark);
        if (!HasPropertyMarkup(remark) || !MarkupRoundTrips(remark, m_strTagLine)) {
            KeepToText();
            return;
        }
        m_btnView.SetWindowText(kShowText);
        ParseMarkup();
    } else {
        m_btnView.SetWindowText(kShowList);
        BuildMarkup(true);
    }
}

LRESULT CEntPropertyDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_GCAD_KEEPFOCUS) return TRUE;
    return CGcUiDialog::WindowProc(msg, wParam, lParam);
}

BOOL CEntPropertyDlg::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = (const NMHDR*)lParam;
    if (!header || header->idFrom != (UINT_PTR)kList) return CGcUiDialog::OnNotify(wParam, lParam, result);
    if (header->code == NM_CLICK) {
        *result = 0;
        return TRUE;
    }
    if (header->code != NM_DBLCLK) return CGcUiDialog::OnNotify(wParam, lParam, result);
    const auto* hit = (const NMITEMACTIVATE*)lParam;
    m_nEditRow = hit->iItem;
    m_nEditCol = hit->iSubItem;
    *result = 0;
    // Only values are edited in place; the editor covers the cell (headless
    // controls have no geometry to move it to).
    if (m_nEditRow >= 0 && m_nEditRow < m_list.GetItemCount() && m_nEditCol == 1) {
        m_editValue.SetWindowText(m_list.GetItemText(m_nEditRow, m_nEditCol));
        m_editValue.ShowWindow(SW_SHOW);
        m_editValue.SetFocus();
        m_editValue.SetSel(-1, -1);
    }
    return TRUE;
}

void CEntPropertyDlg::OnEnKillFocusValue()
{
    if (!m_hWnd || !m_editValue.IsWindowVisible()) return;
    CString text;
    m_editValue.GetWindowText(text);
    m_list.SetItemText(m_nEditRow, m_nEditCol, text);
    m_editValue.ShowWindow(SW_HIDE);
}

void CEntPropertyDlg::OnOK()
{
    if (!m_pLink) {
        EndDialog(IDCANCEL);
        return;
    }
    // OK by Enter leaves the focus in an open value editor: its text counts.
    if (m_editValue.IsWindowVisible()) OnEnKillFocusValue();
    if (ListViewShows()) {
        BuildMarkup(false);
    } else {
        UpdateData(TRUE);
        m_editRemark.GetWindowText(m_strEditedRemark);
    }
    CString name;
    m_editName.GetWindowText(name);
    if (name == m_strName && m_strEditedRemark == m_strRemark) {
        EndDialog(IDCANCEL);
        return;
    }
    m_pLink->name = name;
    m_pLink->remark = m_strEditedRemark;
    m_pLink->saved = 0;
    if (name != m_strName) {
        // Writing the link may now rewrite a text's string with the name.
        m_pLink->nameEdited = 1;
        if (auto* text = OdRxCast<OdDbText>(m_pEntity)) text->setTextString(name.GetString());
        else if (auto* mtext = OdRxCast<OdDbMText>(m_pEntity)) mtext->setContents(name.GetString());
    }
    EndDialog(IDOK);
}

INT_PTR ShowEntityPropertyDialog(OdDbObjectId id)
{
    OdDbEntity* entity = nullptr;
    if (id.isNull() || oddbOpenObject(entity, id, OdDb::kForWrite) != eOk || !entity) return IDCANCEL;
    INT_PTR result = IDCANCEL;
    {
        PluginResourceScope resources;
        CEntPropertyDlg dialog;
        dialog.SetEntity(entity);
        result = dialog.DoModal();
    }
    entity->close();
    return result;
}
