#include "ui/ChildDlgQfx.h"

#include "support/ShowDebugString.h"

BEGIN_MESSAGE_MAP(CChildDlgQfx, CChildDlg)
END_MESSAGE_MAP()

CChildDlgQfx::CChildDlgQfx(CWnd* pParent)
{
    m_pParentWnd = pParent;
}

CChildDlgQfx::~CChildDlgQfx() = default;

BOOL CChildDlgQfx::OnInitDialog()
{
    KVTRACE(L"\n CChildDlgQfx::OnInitDialog()");
    CChildDlg::OnInitDialog();
    m_hwHook.Skin(m_hWnd, "IDD_DLG_QFX.INI", m_szBFFName);
    return TRUE;
}
