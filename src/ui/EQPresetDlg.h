// Asks for the name under which the current equalizer setting is saved; its
// list offers the existing user presets, to overwrite one.
#pragma once
#include "Framework.h"
#include "support/HookWndWC.h"

#include <string>

class CSNDIEQPresetU;

class CEQPresetDlg : public CDialog
{
public:
    CEQPresetDlg();
    ~CEQPresetDlg() override;

    BOOL OnInitDialog() override;

    std::wstring m_strPresetName;              // as typed or picked, untrimmed
    CSNDIEQPresetU* m_pEQPreset = nullptr;     // the page's; only read here
    HookWndWC m_hwHook;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    void OnEditChangePresetName();
    void OnSelChangePresetName();
    void OnBtnClose();

    DECLARE_MESSAGE_MAP()

private:
    void ListUserPresets();
};
