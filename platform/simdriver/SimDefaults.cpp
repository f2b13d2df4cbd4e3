#include "SimDefaults.h"

#include "features/KVDriverTypes.h"

#include <cstring>
#include <initializer_list>

using kvsim::Source;

namespace simdrv {

namespace {

void PostDefaults(int nNode, Source source, int nSub = 0)
{
    if (source == Source::EQ)
        kvsim::PostEvent(nNode, source, nSub, kvsim::EventCodeFor(source), KVEQ_REFRESH, 0);
    else
        kvsim::PostEvent(nNode, source, nSub, kvsim::EventCodeFor(source), KVHINT_DEFAULTS, 0);
}

// Copies from into to; true when that changed anything.
template <class T>
bool Take(T& to, const T& from)
{
    if (memcmp(&to, &from, sizeof(T)) == 0) return false;
    memcpy(&to, &from, sizeof(T));
    return true;
}

}  // namespace

void RestoreElement(int nNode, kvsim::Node& node, int nElement)
{
    if (nElement < 0 || nElement >= node.features.upmix.nElements) return;
    kvsim::Element& e = node.features.upmix.elements[nElement];
    const kvsim::Element& d = node.defaults.upmix.elements[nElement];
    bool bChanged = Take(e.fValue, d.fValue);
    bChanged |= Take(e.dwMode, d.dwMode);
    if (bChanged) PostDefaults(nNode, Source::Element, nElement);
}

void RestorePart(int nNode, kvsim::Node& node, Part part)
{
    kvsim::Features& f = node.features;
    const kvsim::Features& d = node.defaults;
    bool bChanged = false;
    Source source = Source::AGC;
    switch (part) {
    case Part::AGC:
        bChanged = Take(f.agc.bEnabled, d.agc.bEnabled);
        break;
    case Part::BassBoost:
        source = Source::BassBoost;
        bChanged = Take(f.bassBoost.level.bEnabled, d.bassBoost.level.bEnabled);
        bChanged |= Take(f.bassBoost.level.fValue, d.bassBoost.level.fValue);
        bChanged |= Take(f.bassBoost.fFreq, d.bassBoost.fFreq);
        break;
    case Part::BassManagement:
        source = Source::BassManagement;
        bChanged = Take(f.bassManagement.bEnabled, d.bassManagement.bEnabled);
        bChanged |= Take(f.bassManagement.fValue, d.bassManagement.fValue);
        break;
    case Part::SubWoofer:
        source = Source::SubWooferGain;
        bChanged = Take(f.subWoofer.dwState, d.subWoofer.dwState);
        break;
    case Part::Mixer:
        source = Source::MixerFx;
        bChanged = Take(f.mixer.nLevel, d.mixer.nLevel);
        break;
    case Part::Pdp:
        source = Source::Pdp;
        bChanged = Take(f.pdp.bEnabled, d.pdp.bEnabled);
        bChanged |= Take(f.pdp.fValue, d.pdp.fValue);
        break;
    case Part::Upmix:
        source = Source::Upmix;
        bChanged = Take(f.upmix.bEnabled, d.upmix.bEnabled);
        bChanged |= Take(f.upmix.nSelected, d.upmix.nSelected);
        for (int i = 0; i < f.upmix.nElements; ++i) RestoreElement(nNode, node, i);
        break;
    case Part::EQ:
        source = Source::EQ;
        bChanged = Take(f.eq.bEnabled, d.eq.bEnabled);
        bChanged |= Take(f.eq.fPreamp, d.eq.fPreamp);
        for (int i = 0; i < f.eq.nBands && i < kvsim::kMaxBands; ++i)
            bChanged |= Take(f.eq.bands[i].fLevel, d.eq.bands[i].fLevel);
        break;
    case Part::Reverb:
        source = Source::RVXEnvironment;
        bChanged = Take(f.rvx.env.bEnabled, d.rvx.env.bEnabled);
        bChanged |= Take(f.rvx.env.fValue, d.rvx.env.fValue);
        break;
    case Part::ReverbPresetsOnOff:
        if (Take(f.rvx.bPresetsEnabled, d.rvx.bPresetsEnabled))
            kvsim::PostPresetEvent(nNode, false, KVHINT_DEFAULTS, 0);
        return;
    case Part::Speakers:
        source = Source::SpkConfig;
        bChanged = Take(f.speakers.nCurrent, d.speakers.nCurrent);
        break;
    }
    if (bChanged) PostDefaults(nNode, source);
}

void RestoreAllParts(int nNode, kvsim::Node& node)
{
    for (Part p : {Part::AGC, Part::BassBoost, Part::BassManagement, Part::SubWoofer, Part::Mixer, Part::Pdp,
                   Part::Upmix, Part::EQ, Part::Reverb, Part::ReverbPresetsOnOff, Part::Speakers})
        RestorePart(nNode, node, p);
}

void RestorePresets(int nNode, kvsim::Node& node, PresetKind kind)
{
    bool bEQ = kind == PresetKind::EQ;
    kvsim::PresetFamily& f = bEQ ? node.features.eqPresets : node.features.rvxPresets;
    const kvsim::PresetFamily& d = bEQ ? node.defaults.eqPresets : node.defaults.rvxPresets;
    int nDefaults = d.nPresets < 0 ? 0 : (d.nPresets > kvsim::kMaxPresets ? kvsim::kMaxPresets : d.nPresets);
    bool bList = f.nPresets != nDefaults ||
                 memcmp(f.presets, d.presets, sizeof(kvsim::Preset) * static_cast<size_t>(nDefaults)) != 0;
    bool bActive = memcmp(f.szActive, d.szActive, sizeof(f.szActive)) != 0;
    f.nPresets = nDefaults;
    memcpy(f.presets, d.presets, sizeof(f.presets));
    memcpy(f.szActive, d.szActive, sizeof(f.szActive));
    f.nNextUserKey = d.nNextUserKey;
    if (bList) kvsim::PostPresetEvent(nNode, kind == PresetKind::EQ, KVPRESET_ADDED, static_cast<UINT>(f.nPresets));
    if (bActive) kvsim::PostPresetEvent(nNode, kind == PresetKind::EQ, KVPRESET_ACTIVE, 0);
}

}  // namespace simdrv
