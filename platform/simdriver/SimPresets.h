// Equalizer and reverb presets in both text flavours: wide (UTF-16) and
// narrow (ANSI code page), plus the reverb preset list whose items are the
// wide reverb preset objects.
#pragma once

#include "SimCom.h"

namespace simdrv {

// GetFeature for the preset interfaces the node offers (lock held);
// E_NOINTERFACE for any other id or a family the node lacks.
HRESULT CreatePresetFeature(const CNodeRef& ref, const kvsim::Node& node, REFIID riid, void** ppv);

}  // namespace simdrv
