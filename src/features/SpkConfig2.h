// The driver's speaker layouts, sorted by name, with the effect layout that
// the master switch turns on and off like any other effect.
#pragma once

#include "features/SNDIBase.h"

class CSpkConfig2 : public CSNDIBase
{
public:
    // More layouts than any device has; a driver reporting more is cut here,
    // so a hostile count cannot make the sort or the allocation run away.
    static constexpr UINT kMaxConfigs = 64;

    ~CSpkConfig2() override;

    BOOL Init(IKVDevice* pDevice, IKVEndpoint* pEndpoint) override;
    BOOL Uninit() override;

    HRESULT GetSpeakerConfig(UINT nPosition, SpeakerConfigInfo* pInfo);
    HRESULT GetCurrentSpeakerConfig(int* pnPosition);
    HRESULT IsEffectConfigActive(BOOL* pbActive, SpeakerConfigInfo* pCurrent);
    HRESULT SetEffectConfig(BOOL bOn);
    HRESULT ReadDeviceFormatConfig(SpeakerConfigInfo* pInfo);

    // "NoShow" under HKLM\Software\Lumora Tech\Speaker Selection\, read afresh each time.
    static BOOL IsNoShowSet();
    // The standard channel mask of a layout's format id, 0 when unknown.
    static DWORD ChannelMaskOf(const GUID& guidFormat);

    ISNDISpkConfig* m_pSpkConfig = nullptr;
    ISNDISpkConfig2* m_pSpkConfig2 = nullptr;
    IKVEndpoint* m_pEndpoint = nullptr;
    UINT* m_pOrder = nullptr;
    UINT m_nCount = 0;
    int m_nEffectPosition = -1;
    DWORD m_bHasQuadSide = 0;
    DWORD m_bHas51Side = 0;
    DWORD m_bHas61Side = 0;
    int m_nGenericChannels = -1;

private:
    ISNDISpkConfig* Bound() const;
    HRESULT ReadConfig(UINT nIndex, SpeakerConfigInfo* pInfo) const;
    HRESULT BuildOrder();
    void Reset();
};
