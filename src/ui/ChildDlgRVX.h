// The reverb page: environment and presets.
#pragma once
#include "ui/ChildDlg.h"

class CChildDlgRVX : public CChildDlg
{
public:
    explicit CChildDlgRVX(CWnd* pParent = nullptr);
    ~CChildDlgRVX() override;

    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
