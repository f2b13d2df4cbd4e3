// The driver session: one per loaded plug-in while a window exists. It finds
// the audio endpoint, binds the driver's objects and keeps them in step.
#pragma once
#include <windows.h>

class CKVDeviceEndpoint
{
public:
    explicit CKVDeviceEndpoint(DWORD dwLanguageID);
    virtual ~CKVDeviceEndpoint();

    CKVDeviceEndpoint(const CKVDeviceEndpoint&) = delete;
    CKVDeviceEndpoint& operator=(const CKVDeviceEndpoint&) = delete;

    BOOL OpenDeviceEndpoint();
    void CloseDeviceEndpoint();
    void RestoreAudioDefault(DWORD dwSelector);

    DWORD m_dwLanguageID;
    BOOL m_bOpen;
};
