// A dialog's skin in use: what the file said, plus the brushes and fonts
// made from it, shared with every other skin made alike. The dialog and
// each of its controls hold a reference; the last to let go gives the GDI
// objects back.
#pragma once

#include "SkinFile.h"

namespace glazeu {

class CSkin
{
public:
    // Count 1; nullptr when GDI refuses a brush or a font.
    static CSkin* Create(const CSkinLook& look);
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    void AddRef();
    void Release();

    const CSkinLook& Look() const { return m_look; }
    const CSkinColors& Colors() const { return m_look.m_colors; }
    // Handed out for WM_CTLCOLOR*, so they live as long as the skin.
    HBRUSH BackgroundBrush() const { return m_hbrBackground; }
    HBRUSH FieldBrush() const { return m_hbrField; }
    // The file's font, bold where the control's own font hOwn is bold (the
    // plug-in marks the current page that way); without a font in the file,
    // the control's own.
    HFONT FontFor(HFONT hOwn) const;
    // The file's font cell height, or the usual one when it names no font.
    int Pixels() const { return m_look.m_nFontPixels ? m_look.m_nFontPixels : 13; }

private:
    CSkin() = default;
    ~CSkin();

    volatile LONG m_nRefs = 1;
    CSkinLook m_look;
    HBRUSH m_hbrBackground = nullptr, m_hbrField = nullptr;
    HFONT m_hFont = nullptr, m_hFontBold = nullptr;
};

} // namespace glazeu
