#include "device/KVDeviceEndpoint.h"

// No driver binding yet: the session opens and closes as one that found no
// endpoint, so windows work without driver objects.
CKVDeviceEndpoint::CKVDeviceEndpoint(DWORD dwLanguageID)
    : m_dwLanguageID(dwLanguageID), m_bOpen(FALSE)
{
}

CKVDeviceEndpoint::~CKVDeviceEndpoint()
{
    CloseDeviceEndpoint();
}

BOOL CKVDeviceEndpoint::OpenDeviceEndpoint()
{
    m_bOpen = TRUE;
    return FALSE;
}

void CKVDeviceEndpoint::CloseDeviceEndpoint()
{
    m_bOpen = FALSE;
}

void CKVDeviceEndpoint::RestoreAudioDefault(DWORD /*dwSelector*/)
{
}
