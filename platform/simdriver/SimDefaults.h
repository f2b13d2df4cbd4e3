// Bringing settings back to a node's `defaults`. Only settings are restored,
// never what a feature is (presence, ranges, bands, layouts). Every function
// posts a notification for each feature it actually changed: KVHINT_DEFAULTS,
// or KVEQ_REFRESH for the equalizer. Callers hold the state lock.
#pragma once

#include "SimState.h"

namespace simdrv {

enum class Part { AGC, BassBoost, BassManagement, SubWoofer, Mixer, Pdp, Upmix, EQ, Reverb, ReverbPresetsOnOff, Speakers };

void RestorePart(int nNode, kvsim::Node& node, Part part);
void RestoreElement(int nNode, kvsim::Node& node, int nElement);
// What ISNDIDefaults::Restore on an endpoint or device brings back: every
// part; the preset lists are left to the preset defaults.
void RestoreAllParts(int nNode, kvsim::Node& node);

enum class PresetKind { EQ, Reverb };
// The preset list and the active preset; the call counters and the language
// stay. Posts KVPRESET_ADDED (list changed) and KVPRESET_ACTIVE.
void RestorePresets(int nNode, kvsim::Node& node, PresetKind kind);

}  // namespace simdrv
