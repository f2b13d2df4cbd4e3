// A flood of driver notifications while every page is open: the window
// thread keeps answering, and each page shows the driver's last word soon
// after the flood ends. KV_SOAK=1 floods for the soak's full five seconds.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "SimState.h"
#include "device/KVDeviceEndpoint.h"
#include "ui/ChildDlgEQ.h"
#include "ui/ChildDlgEnhancement.h"
#include "ui/ChildDlgQfx.h"
#include "ui/ChildDlgRVX.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace uitest {
namespace {

const wchar_t kFloodFeatures[] =
    L"    bassboost enabled=1 range=0:20:1 value=0 freq-range=40:160:10 freq=80\n"
    L"    pdp enabled=1 range=0:100:1 value=0\n"
    L"    upmix enabled=1 selected=0\n"
    L"        element type=6 vsur3=1 range=0:100:1 value=0 mode=2\n"
    L"    eq enabled=1 preamp-range=-24:0:1 preamp=0\n"
    L"        band label=31 range=-12:12:1 level=0\n"
    L"        band label=1k range=-12:12:1 level=0\n"
    L"    reverb enabled=1 range=0:10:1 value=0 presets-enabled=1\n"
    L"        item rank=1 mode=4096\n";

DWORD FloodMs()
{
    return SoakRun() ? 5000 : 600;
}

class Flood : public UiTest
{
protected:
    void TearDown() override
    {
        Discard(m_qfx);
        Discard(m_enh);
        Discard(m_rvx);
        Discard(m_eq);
        UiTest::TearDown();
    }
    template <class TPage>
    HWND Make(std::unique_ptr<TPage>& page, UINT nTemplate)
    {
        page = std::make_unique<TPage>();
        EXPECT_TRUE(page->Create(nTemplate, CWnd::FromHandle(Host())));
        page->SetDeviceEndpoint(m_pSession.get());
        return page->m_hWnd;
    }
    std::unique_ptr<CChildDlgQfx> m_qfx;
    std::unique_ptr<CChildDlgEnhancement> m_enh;
    std::unique_ptr<CChildDlgRVX> m_rvx;
    std::unique_ptr<CChildDlgEQ> m_eq;
};

TEST_F(Flood, PagesStayResponsiveAndShowTheLastWord)
{
    Load(L"mode endpoint\n" + stest::RenderEndpoint(L"speakers", 1, 1, kFloodFeatures));
    Open();
    HWND hQfx = Make(m_qfx, IDD_DLG_QFX), hEnh = Make(m_enh, IDD_DLG_ENHANCEMENT);
    HWND hRvx = Make(m_rvx, IDD_DLG_RVX), hEq = Make(m_eq, IDD_DLG_EQ);
    Pump();
    const int nNode = Node(L"speakers");

    // The writer changes five features round after round, as fast as the
    // driver takes it; the prober times how long the window thread takes to
    // answer a sent message and to reach a posted one, which waits behind
    // every notification already queued.
    std::atomic<bool> bFlooding{true}, bProbed{false};
    std::atomic<long> nWrites{0}, nWorstAnswerMs{0};
    const DWORD dwUiThread = GetCurrentThreadId();
    std::thread writer([&] {
        const wchar_t* settings[] = {L"bassboost.value", L"pdp.value", L"upmix.element.0.value", L"eq.band.0",
                                     L"reverb.value"};
        wchar_t szError[256], szValue[8];
        for (int i = 0; bFlooding; ++i) {
            swprintf(szValue, 8, L"%d", i % 10);
            kvsim::SetSetting(nNode, settings[i % 5], szValue, szError, 256);
            ++nWrites;
        }
    });
    std::thread prober([&] {
        while (bFlooding) {
            const ULONGLONG t0 = GetTickCount64();
            DWORD_PTR r = 0;
            SendMessageTimeoutW(hEq, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
            const long ms = static_cast<long>(GetTickCount64() - t0);
            nWorstAnswerMs = std::max(nWorstAnswerMs.load(), ms);
            PostThreadMessageW(dwUiThread, WM_APP, 0, static_cast<LPARAM>(GetTickCount64()));
            Sleep(20);
        }
        bProbed = true;
    });
    // One message at a time, as the host's loop takes them.
    long nWorstPostedMs = 0;
    const ULONGLONG tEnd = GetTickCount64() + FloodMs();
    for (MSG msg; GetTickCount64() < tEnd;) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        } else if (!msg.hwnd && msg.message == WM_APP) {
            nWorstPostedMs = std::max(nWorstPostedMs, static_cast<long>(GetTickCount64() - msg.lParam));
        } else {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    bFlooding = false;
    writer.join();
    stest::PumpUntil([&] { return bProbed.load(); }, 15000);  // its last probe is answered
    prober.join();

    // The last word, the moment the flood ends.
    const ULONGLONG t0 = GetTickCount64();
    for (auto [setting, value] : {std::pair{L"bassboost.value", L"17"}, {L"pdp.value", L"63"},
                                  {L"upmix.element.0.value", L"25"}, {L"eq.band.0", L"7"}, {L"reverb.value", L"8"}}) {
        wchar_t szError[256];
        ASSERT_TRUE(kvsim::SetSetting(nNode, setting, value, szError, 256)) << kvtest::Narrow(szError);
    }
    auto shown = [&] {
        return SliderPos(hEnh, IDC_SLD_BASS_BOOST_LEVEL) == 17 && SliderPos(hQfx, IDC_SLD_DETAIL_RESTORE) == 63 &&
               SliderPos(hQfx, IDC_SLD_STEREO_ENV) == 75 && SliderPos(hEq, IDC_SLD_EQ_BAND_0) == 5 &&
               SliderPos(hRvx, IDC_SLD_RVX_ENVIRONMENT) == 8;
    };
    const bool bShown = stest::PumpUntil(shown, 10000);
    const ULONGLONG msToShow = GetTickCount64() - t0;
    std::printf("notification flood: %ld driver changes in %lu ms; the window thread answered within %ld ms and "
                "reached a posted message within %ld ms; last word shown after %llu ms\n",
                nWrites.load(), FloodMs(), nWorstAnswerMs.load(), nWorstPostedMs, msToShow);
    EXPECT_TRUE(bShown);
    EXPECT_LT(msToShow, 1000u);
    EXPECT_LT(nWorstAnswerMs.load(), 1000);
    EXPECT_LT(nWorstPostedMs, 1000);
}

} // namespace
} // namespace uitest
