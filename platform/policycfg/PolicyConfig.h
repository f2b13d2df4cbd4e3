// The two service objects: CPolicyConfig answers the primary interface,
// CPolicyConfigFallback the fallback one, both over the same stores.
#pragma once

#include <windows.h>

// Objects alive plus server locks, for DllCanUnloadNow.
extern LONG g_cModuleRefs;

// Creates the object that answers riid (the primary one for IUnknown) and
// queries it for riid.
HRESULT CreatePolicyConfig(REFIID riid, void** ppv);
