#include "ui/ChildDlgRVX.h"

#include "support/ShowDebugString.h"

BEGIN_MESSAGE_MAP(CChildDlgRVX, CChildDlg)
END_MESSAGE_MAP()

CChildDlgRVX::CChildDlgRVX(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

CChildDlgRVX::~CChildDlgRVX() = default;

BOOL CChildDlgRVX::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgRVX::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_RVX.INI", m_szBFFName);
    return TRUE;
}
