// The base of every page: the same life for all of them (created from a
// template, handed the session, re-bound at each device or endpoint change,
// refreshed at each master switch change), skinning, and keeping Enter and
// Escape from closing a page.
#pragma once
#include "Framework.h"
#include "features/SNDIBase.h"
#include "support/HookWndWC.h"

#include <new>

class CKVDeviceEndpoint;

// Private messages of the pages. Those the session sends are declared with
// the session; these are the main window's and the pages' own.
enum : UINT {
    WM_SHOW_POPUP = 4022,              // to the main window; nothing inside the plug-in posts it
    WM_QFX_DRIVER_CHANGE = 4026,       // surround page, from its driver callback
    WM_QFX_UPMIX_CHANGE = 4028,
    WM_RVX_PRESET_CHANGE = 4029,       // reverb page
    WM_RVX_ENVIRONMENT_CHANGE = 4030,
    WM_ENH_DRIVER_CHANGE_FIRST = 4031, // enhancement page, 4031-4034
    WM_ENH_DRIVER_CHANGE_LAST = 4034,
    WM_EQ_DRIVER_CHANGE_FIRST = 4035,  // equalizer page, 4035-4036
    WM_EQ_DRIVER_CHANGE_LAST = 4036,
};

class CChildDlg : public CDialog
{
public:
    CChildDlg() noexcept = default;
    ~CChildDlg() override;

    // In this order; derived pages override from UpdateUI on.
    virtual LRESULT SetDeviceEndpoint(CKVDeviceEndpoint* pKVDeviceEndpoint);
    virtual void UpdateUI();
    virtual void CloseDriver();
    virtual void ReleaseDeviceEndpoint();
    virtual LRESULT OnDeviceEndpointChange(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMasterOnOffChange(WPARAM wParam, LPARAM lParam);
    virtual void GetEffectInfo(ULONGLONG dwEffectMask, BOOL* pbMasterOn, BOOL* pbEffectOn);
    virtual void DoTTNeedText(NMTTDISPINFOW* pTTT);
    virtual BOOL OnTTNeedText(NMHDR* pNMHDR, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog() override;

    HookWndWC m_hwHook;
    CKVDeviceEndpoint* m_pKVDeviceEndpoint = nullptr;
    wchar_t m_szBFFName[260] = {};

protected:
    LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;
    void RelayToSliderTips(HWND hChild, UINT nMouseMsg);
    // Every slider of the page asks the page for its tooltip text.
    void AddSliderTooltips();

public:
    // Range (redrawn), line 1, page 10, a tick every maximum / 10, position.
    static void SetUpSlider(CSliderCtrl& slider, int nMin, int nMax, int nPos);
    // A missing control (a template of another build) is passed over.
    static void ShowItem(CWnd* pParent, int nID, BOOL bShow);
    static void EnableItem(CWnd* pParent, int nID, BOOL bEnable);

protected:

    // The common binding of a feature object: made, bound to the session's
    // device or endpoint and subscribed; null when the driver lacks it.
    template <class T>
    T* BindFeature(SNDICALLBACK pfnCallback, UINT* pnCookie, const wchar_t* pszTrace)
    {
        IKVDevice* pDevice = nullptr;
        IKVEndpoint* pEndpoint = nullptr;
        if (!SessionBinding(&pDevice, &pEndpoint))
            return nullptr;
        T* p = new (std::nothrow) T;
        if (!p || !p->Init(pDevice, pEndpoint)) {
            delete p;
            return nullptr;
        }
        TraceLine(pszTrace);
        *pnCookie = p->Advise(pfnCallback, this);
        return p;
    }
    // The session's device and endpoint; false when it has neither.
    BOOL SessionBinding(IKVDevice** ppDevice, IKVEndpoint** ppEndpoint) const;
    // The language preset names are asked in: the session's, else English.
    DWORD PresetLanguage() const;
    static void TraceLine(const wchar_t* pszLine);
    // Unsubscribed, unbound and deleted; safe to repeat.
    template <class T>
    static void DropFeature(T*& p, UINT& nCookie)
    {
        if (p) {
            if (nCookie)
                p->Unadvise(nCookie);
            p->Uninit();
            delete p;
            p = nullptr;
        }
        nCookie = 0;
    }

    CToolTipCtrl m_ctlSliderTips;

public:
    // What a driver callback posts, from the driver's thread. A notification
    // just like one still waiting in the queue is dropped: its handler reads
    // the driver's current state anyway, and a driver that notifies faster
    // than the page can read back would otherwise bury the user's input.
    BOOL PostDriverChange(UINT nMsg, WPARAM wParam, LPARAM lParam);

private:
    struct PendingPost {
        UINT nMsg;
        WPARAM wParam;
        LPARAM lParam;
    };
    static constexpr int kMaxPending = 32;
    void TakePending(UINT nMsg, WPARAM wParam, LPARAM lParam);
    int FindPending(UINT nMsg, WPARAM wParam, LPARAM lParam) const;  // lock held; -1 if none
    SRWLOCK m_pendingLock = SRWLOCK_INIT;
    PendingPost m_pending[kMaxPending] = {};
    int m_nPending = 0;

    DECLARE_MESSAGE_MAP()
};

// The control id a tooltip asks about: from the tool's window when it was
// registered by window handle.
UINT TooltipControlId(const NMTTDISPINFOW* pTTT);
