// A DLL of ours using the runtime as plug-in code may: a guarded static and a
// caught exception on the caller's thread, a condition variable on its own.
#include <windows.h>

#include <condition_variable>
#include <stdexcept>

extern "C" __declspec(dllexport) int WINAPI UseRuntime()
{
    static const int s_nOne = 1;
    int n = s_nOne;
    try {
        throw std::runtime_error("caught");
    } catch (const std::exception&) {
        ++n;
    }
    HANDLE h = CreateThread(nullptr, 0, [](LPVOID) -> DWORD {
        std::mutex m;
        std::unique_lock<std::mutex> lock(m);
        std::condition_variable().wait_for(lock, std::chrono::milliseconds(1));
        return 0;
    }, nullptr, 0, nullptr);
    WaitForSingleObject(h, INFINITE);
    CloseHandle(h);
    return n;
}
