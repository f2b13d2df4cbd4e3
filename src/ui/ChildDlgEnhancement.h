// The enhancement page: bass boost, bass management, subwoofer gain, speaker level, volume levelling.
#pragma once
#include "ui/ChildDlg.h"

class CChildDlgEnhancement : public CChildDlg
{
public:
    explicit CChildDlgEnhancement(CWnd* pParent = nullptr);
    ~CChildDlgEnhancement() override;

    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
