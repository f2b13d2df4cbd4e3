#include "SimCom.h"

#include <cmath>
#include <cwchar>
#include <cstring>
#include <vector>

namespace simdrv {

namespace {
LONG g_cModule = 0;
const wchar_t kFillW = L'#';
const char kFillA = '#';
}  // namespace

void ModuleAddRef() { InterlockedIncrement(&g_cModule); }
void ModuleRelease() { InterlockedDecrement(&g_cModule); }
LONG ModuleCount() { return InterlockedCompareExchange(&g_cModule, 0, 0); }

HMODULE ModuleHandle()
{
    HMODULE h = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleHandle), &h);
    return h;
}

CNodeAccess::CNodeAccess(const CNodeRef& ref)
{
    state = kvsim::Open();
    if (!state) {
        hr = E_UNEXPECTED;
        return;
    }
    if (ref.nNode < 0) return;
    if (ref.nNode >= kvsim::kMaxNodes) {
        hr = KVSIM_E_INVALIDATED;
        return;
    }
    kvsim::Node& n = state->nodes[ref.nNode];
    if (!n.bUsed || n.dwSerial != ref.dwSerial) {
        hr = KVSIM_E_INVALIDATED;
        return;
    }
    node = &n;
}

CNodeRef RefTo(const kvsim::SharedState& s, int n)
{
    return CNodeRef{n, s.nodes[n].dwSerial};
}

void CopyTextW(wchar_t* pDst, size_t cchDst, const wchar_t* pSrc, bool bFill)
{
    if (!pDst || cchDst == 0) return;
    size_t n = wcsnlen(pSrc, bFill ? cchDst : cchDst - 1);
    wmemcpy(pDst, pSrc, n);
    if (bFill) {
        for (size_t i = n; i < cchDst; ++i) pDst[i] = kFillW;
    } else {
        pDst[n] = L'\0';
    }
}

void CopyTextA(char* pDst, size_t cbDst, const char* pSrc, bool bFill)
{
    if (!pDst || cbDst == 0) return;
    size_t n = strnlen(pSrc, bFill ? cbDst : cbDst - 1);
    memcpy(pDst, pSrc, n);
    if (bFill) {
        memset(pDst + n, kFillA, cbDst - n);
    } else {
        pDst[n] = '\0';
    }
}

void WideToAnsi(char* pDst, size_t cbDst, const wchar_t* pSrc, bool bFill)
{
    if (!pDst || cbDst == 0) return;
    int cch = static_cast<int>(wcsnlen(pSrc, 4096));
    std::vector<char> full(static_cast<size_t>(cch) * 4 + 1, '\0');
    int cb = cch ? WideCharToMultiByte(CP_ACP, 0, pSrc, cch, full.data(), static_cast<int>(full.size()) - 1,
                                       nullptr, nullptr)
                 : 0;
    size_t limit = bFill ? cbDst : cbDst - 1;
    size_t n = 0;
    // Whole characters only: a lead byte that would lose its trail byte stays out.
    while (n < static_cast<size_t>(cb)) {
        size_t step = IsDBCSLeadByte(static_cast<BYTE>(full[n])) ? 2 : 1;
        if (n + step > limit) break;
        n += step;
    }
    memcpy(pDst, full.data(), n);
    if (bFill) {
        memset(pDst + n, kFillA, cbDst - n);
    } else {
        pDst[n] = '\0';
    }
}

std::wstring AnsiToWide(const char* pSrc, size_t cbMax)
{
    if (!pSrc) return std::wstring();
    int cb = static_cast<int>(strnlen(pSrc, cbMax));
    if (cb == 0) return std::wstring();
    int cch = MultiByteToWideChar(CP_ACP, 0, pSrc, cb, nullptr, 0);
    std::wstring out(static_cast<size_t>(cch), L'\0');
    MultiByteToWideChar(CP_ACP, 0, pSrc, cb, out.data(), cch);
    return out;
}

HRESULT DupTaskString(const wchar_t* pSrc, LPWSTR* ppOut)
{
    size_t cb = (wcslen(pSrc) + 1) * sizeof(wchar_t);
    auto* p = static_cast<LPWSTR>(CoTaskMemAlloc(cb));
    if (!p) return E_OUTOFMEMORY;
    memcpy(p, pSrc, cb);
    *ppOut = p;
    return S_OK;
}

// Values computed as position x granularity in float may miss a bound by a
// rounding error; those still count as inside.
static float Slack(const kvsim::Range& r)
{
    return 1e-5f * (std::fabs(r.fMin) + std::fabs(r.fMax) + 1.0f);
}

bool InRange(const kvsim::Range& r, float f)
{
    if (std::isnan(f)) return false;
    return f >= r.fMin - Slack(r) && f <= r.fMax + Slack(r);
}

float ClampTo(const kvsim::Range& r, float f)
{
    if (std::isnan(f)) return r.fMin;
    return f < r.fMin ? r.fMin : (f > r.fMax ? r.fMax : f);
}

}  // namespace simdrv
