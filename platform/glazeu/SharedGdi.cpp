#include "SharedGdi.h"

#include "ExclusiveLock.h"

#include <algorithm>
#include <vector>

namespace glazeu {

namespace {

// What a shared object is made of: a brush only of its colour, a font of
// its face, height and weight; what the kind does not use stays zero.
struct CShared {
    enum EType { Brush, Font } m_eType;
    COLORREF m_cr;
    int m_nPixels, m_nWeight;
    wchar_t m_szFace[LF_FACESIZE];
    HGDIOBJ m_h;
    int m_nRefs;
    bool IsMadeLike(const CShared& o) const
    {
        return m_eType == o.m_eType && m_cr == o.m_cr && m_nPixels == o.m_nPixels && m_nWeight == o.m_nWeight &&
               lstrcmpW(m_szFace, o.m_szFace) == 0;
    }
};

SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<CShared> g_objects;
HDC g_hdcOffscreen = nullptr;
HBITMAP g_hbmOffscreen = nullptr;
HGDIOBJ g_hbmOriginal = nullptr;
int g_cxOffscreen = 0, g_cyOffscreen = 0;
bool g_bOffscreenBusy = false;

// Under the lock.
void FreeOffscreen()
{
    if (g_hdcOffscreen) {
        SelectObject(g_hdcOffscreen, g_hbmOriginal);
        DeleteDC(g_hdcOffscreen);
    }
    if (g_hbmOffscreen)
        DeleteObject(g_hbmOffscreen);
    g_hdcOffscreen = nullptr;
    g_hbmOffscreen = nullptr;
    g_hbmOriginal = nullptr;
    g_cxOffscreen = g_cyOffscreen = 0;
}

// Under the lock. The bitmap only grows: the controls of a skin differ little in size.
bool MakeOffscreen(int cx, int cy)
{
    if (g_hdcOffscreen && cx <= g_cxOffscreen && cy <= g_cyOffscreen)
        return true;
    cx = std::max(cx, g_cxOffscreen);
    cy = std::max(cy, g_cyOffscreen);
    FreeOffscreen();
    // Made like the screen, as the windows it is copied onto are.
    HDC hdcScreen = GetDC(nullptr);
    if (!hdcScreen)
        return false;
    g_hdcOffscreen = CreateCompatibleDC(hdcScreen);
    g_hbmOffscreen = g_hdcOffscreen ? CreateCompatibleBitmap(hdcScreen, cx, cy) : nullptr;
    ReleaseDC(nullptr, hdcScreen);
    if (!g_hbmOffscreen) {
        FreeOffscreen();
        return false;
    }
    g_hbmOriginal = SelectObject(g_hdcOffscreen, g_hbmOffscreen);
    g_cxOffscreen = cx;
    g_cyOffscreen = cy;
    return true;
}

HGDIOBJ Make(const CShared& k)
{
    if (k.m_eType == CShared::Brush)
        return CreateSolidBrush(k.m_cr);
    // A positive height is the cell height, as skin files give it.
    return CreateFontW(k.m_nPixels, 0, 0, 0, k.m_nWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, k.m_szFace);
}

HGDIOBJ Acquire(CShared key)
{
    CExclusiveLock lock(g_lock);
    auto it = std::find_if(g_objects.begin(), g_objects.end(), [&](const CShared& o) { return o.IsMadeLike(key); });
    if (it != g_objects.end()) {
        ++it->m_nRefs;
        return it->m_h;
    }
    key.m_h = Make(key);
    key.m_nRefs = 1;
    if (!key.m_h)
        return nullptr;
    g_objects.push_back(key);
    return key.m_h;
}

} // namespace

HBRUSH AcquireBrush(COLORREF cr)
{
    CShared key = {};
    key.m_eType = CShared::Brush;
    key.m_cr = cr;
    return static_cast<HBRUSH>(Acquire(key));
}

HFONT AcquireFont(const wchar_t* pszFace, int nPixels, int nWeight)
{
    CShared key = {};
    key.m_eType = CShared::Font;
    key.m_nPixels = nPixels;
    key.m_nWeight = nWeight;
    lstrcpynW(key.m_szFace, pszFace, LF_FACESIZE);
    return static_cast<HFONT>(Acquire(key));
}

void ReleaseShared(HGDIOBJ h)
{
    if (!h)
        return;
    CExclusiveLock lock(g_lock);
    auto it = std::find_if(g_objects.begin(), g_objects.end(), [h](const CShared& o) { return o.m_h == h; });
    if (it == g_objects.end() || --it->m_nRefs > 0)
        return;
    DeleteObject(it->m_h);
    g_objects.erase(it);
    if (g_objects.empty() && !g_bOffscreenBusy)
        FreeOffscreen();
}

COffscreen::COffscreen(int cx, int cy)
{
    CExclusiveLock lock(g_lock);
    if (g_bOffscreenBusy || g_objects.empty() || cx <= 0 || cy <= 0 || !MakeOffscreen(cx, cy))
        return;
    g_bOffscreenBusy = true;
    m_hdc = g_hdcOffscreen;
}

COffscreen::~COffscreen()
{
    if (!m_hdc)
        return;
    CExclusiveLock lock(g_lock);
    g_bOffscreenBusy = false;
    if (g_objects.empty())
        FreeOffscreen();
}

} // namespace glazeu
