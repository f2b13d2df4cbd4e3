#include "Framework.h"

// The framework runs the application object's InitInstance and ExitInstance.
extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pReserved)
{
    return AfxDllMain(hInstance, dwReason, pReserved);
}
