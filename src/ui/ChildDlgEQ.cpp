#include "ui/ChildDlgEQ.h"

#include "support/ShowDebugString.h"

BEGIN_MESSAGE_MAP(CChildDlgEQ, CChildDlg)
END_MESSAGE_MAP()

CChildDlgEQ::CChildDlgEQ(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

CChildDlgEQ::~CChildDlgEQ() = default;

BOOL CChildDlgEQ::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgEQ::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_EQ.INI", m_szBFFName);
    return TRUE;
}
