// GDI objects that every skin and skinned window of the process shares.
// Making them costs more than using them, above all under Wine: a memory DC
// and bitmap made for one paint, with a font first used in it, cost several
// times what the painting itself does. So each is made once and kept for as
// long as some skin uses it; the last skin to go deletes them all, which is
// also before the library can be unloaded.
#pragma once

#include <windows.h>

namespace glazeu {

// Counted by handle: each Acquire is matched by one ReleaseShared of the
// handle it returned. nullptr when GDI refuses the object.
HBRUSH AcquireBrush(COLORREF cr);
HFONT AcquireFont(const wchar_t* pszFace, int nPixels, int nWeight);
void ReleaseShared(HGDIOBJ h);

// The off-screen DC with a bitmap of at least cx by cy in it, for one paint
// at a time; whoever paints into it leaves the DC as found. Dc() is nullptr
// when another paint has it, no shared object is held, or GDI refuses: the
// caller then paints directly.
class COffscreen
{
public:
    COffscreen(int cx, int cy);
    ~COffscreen();
    COffscreen(const COffscreen&) = delete;
    COffscreen& operator=(const COffscreen&) = delete;

    HDC Dc() const { return m_hdc; }

private:
    HDC m_hdc = nullptr;
};

} // namespace glazeu
