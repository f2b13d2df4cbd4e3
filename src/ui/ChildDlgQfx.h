// The surround page: detail restoration, virtual surround with its mode, stereo environment.
#pragma once
#include "ui/ChildDlg.h"

class CChildDlgQfx : public CChildDlg
{
public:
    explicit CChildDlgQfx(CWnd* pParent = nullptr);
    ~CChildDlgQfx() override;

    BOOL OnInitDialog() override;

    DECLARE_MESSAGE_MAP()
};
