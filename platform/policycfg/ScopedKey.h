// A registry key that closes itself.
#pragma once
#include <windows.h>

class CScopedKey
{
public:
    CScopedKey() = default;
    ~CScopedKey() { Close(); }
    CScopedKey(const CScopedKey&) = delete;
    CScopedKey& operator=(const CScopedKey&) = delete;

    HKEY* Receive() { Close(); return &m_hKey; }   // for the out parameter of RegOpenKeyEx and friends
    operator HKEY() const { return m_hKey; }
    void Close()
    {
        if (m_hKey)
            RegCloseKey(m_hKey);
        m_hKey = nullptr;
    }

private:
    HKEY m_hKey = nullptr;
};
