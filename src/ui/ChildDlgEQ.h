// The equalizer page: ten bands, pre-amplification, built-in and user presets.
#pragma once
#include "ui/ChildDlg.h"

class CChildDlgEQ : public CChildDlg
{
public:
    explicit CChildDlgEQ(CWnd* pParent = nullptr);
    ~CChildDlgEQ() override;

    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
