#include "ui/ChildDlgEnhancement.h"

#include "support/ShowDebugString.h"

BEGIN_MESSAGE_MAP(CChildDlgEnhancement, CChildDlg)
END_MESSAGE_MAP()

CChildDlgEnhancement::CChildDlgEnhancement(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

CChildDlgEnhancement::~CChildDlgEnhancement() = default;

BOOL CChildDlgEnhancement::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgEnhancement::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_ENHANCEMENT.INI", m_szBFFName);
    return TRUE;
}
