#include "Skin.h"

#include "SharedGdi.h"

#include <new>

namespace glazeu {

CSkin* CSkin::Create(const CSkinLook& look)
{
    CSkin* p = new (std::nothrow) CSkin;
    if (!p)
        return nullptr;
    p->m_look = look;
    p->m_hbrBackground = AcquireBrush(look.m_colors.m_crBackground);
    p->m_hbrField = AcquireBrush(look.m_colors.m_crField);
    bool bOk = p->m_hbrBackground && p->m_hbrField;
    if (bOk && look.m_szFontFace[0]) {
        p->m_hFont = AcquireFont(look.m_szFontFace, look.m_nFontPixels, FW_NORMAL);
        p->m_hFontBold = AcquireFont(look.m_szFontFace, look.m_nFontPixels, FW_BOLD);
        bOk = p->m_hFont && p->m_hFontBold;
    }
    if (!bOk) {
        p->Release();
        return nullptr;
    }
    return p;
}

CSkin::~CSkin()
{
    for (HGDIOBJ h : {static_cast<HGDIOBJ>(m_hbrBackground), static_cast<HGDIOBJ>(m_hbrField),
                      static_cast<HGDIOBJ>(m_hFont), static_cast<HGDIOBJ>(m_hFontBold)})
        ReleaseShared(h);
}

void CSkin::AddRef()
{
    InterlockedIncrement(&m_nRefs);
}

void CSkin::Release()
{
    if (InterlockedDecrement(&m_nRefs) == 0)
        delete this;
}

HFONT CSkin::FontFor(HFONT hOwn) const
{
    if (!m_hFont)
        return hOwn ? hOwn : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTW lf;
    const bool bBold = hOwn && GetObjectW(hOwn, sizeof(lf), &lf) == sizeof(lf) && lf.lfWeight >= FW_SEMIBOLD;
    return bBold ? m_hFontBold : m_hFont;
}

} // namespace glazeu
