// Module state: the per-thread switch, what follows it, and the DLL entry.
#include "FrameworkTestUtil.h"

#include <future>
#include <thread>

namespace {

constexpr UINT kMsgWhichState = 4030;

HINSTANCE FakeResources(int n)
{
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(0x10000 * n));
}

class ModuleStateTest : public FrameworkTest {};

TEST_F(ModuleStateTest, GuardsNestAndRestoreTheStaticState)
{
    AFX_MODULE_STATE* pStatic = AfxGetStaticModuleState();
    AFX_MODULE_STATE outer(FakeResources(1));
    AFX_MODULE_STATE inner(FakeResources(2));
    ASSERT_EQ(pStatic, AfxGetModuleState());
    const HINSTANCE hOwnResources = AfxGetResourceHandle();

    {
        AFX_MANAGE_STATE(&outer);
        EXPECT_EQ(&outer, AfxGetModuleState());
        EXPECT_EQ(FakeResources(1), AfxGetResourceHandle());
        {
            AFX_MANAGE_STATE(&inner);
            EXPECT_EQ(&inner, AfxGetModuleState());
            AfxSetResourceHandle(FakeResources(3));  // changes only the current state
            {
                AFX_MANAGE_STATE(pStatic);
                EXPECT_EQ(hOwnResources, AfxGetResourceHandle());
            }
            EXPECT_EQ(FakeResources(3), AfxGetResourceHandle());
        }
        EXPECT_EQ(&outer, AfxGetModuleState());
        EXPECT_EQ(FakeResources(1), AfxGetResourceHandle());
    }
    EXPECT_EQ(pStatic, AfxGetModuleState());
    EXPECT_EQ(hOwnResources, AfxGetResourceHandle());
    EXPECT_EQ(FakeResources(3), inner.m_hCurrentResourceHandle);
}

TEST_F(ModuleStateTest, AnotherThreadsSwitchLeavesThisThreadAlone)
{
    AFX_MODULE_STATE* pStatic = AfxGetStaticModuleState();
    AFX_MODULE_STATE workerState(FakeResources(4));
    AFX_MODULE_STATE uiState(FakeResources(5));
    std::promise<void> workerSwitched, uiSwitched;
    std::promise<AFX_MODULE_STATE*> workerSawAfterUi, workerSawAtEnd;

    std::thread worker([&] {
        {
            AFX_MANAGE_STATE(&workerState);
            workerSwitched.set_value();
            uiSwitched.get_future().wait();
            workerSawAfterUi.set_value(AfxGetModuleState());
        }
        workerSawAtEnd.set_value(AfxGetModuleState());
    });

    workerSwitched.get_future().wait();
    EXPECT_EQ(pStatic, AfxGetModuleState()) << "the worker's switch leaked into the UI thread";
    {
        AFX_MANAGE_STATE(&uiState);
        uiSwitched.set_value();
        EXPECT_EQ(&workerState, workerSawAfterUi.get_future().get()) << "the UI thread's switch leaked into the worker";
        EXPECT_EQ(&uiState, AfxGetModuleState());
    }
    EXPECT_EQ(pStatic, workerSawAtEnd.get_future().get());
    worker.join();
    EXPECT_EQ(pStatic, AfxGetModuleState());
}

class CStateProbeWnd : public CWnd {
public:
    BOOL Create() { return CreateEx(0, nullptr, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE); }

protected:
    LRESULT OnWhichState(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(AfxGetModuleState()); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CStateProbeWnd, CWnd)
    ON_MESSAGE(kMsgWhichState, OnWhichState)
END_MESSAGE_MAP()

TEST_F(ModuleStateTest, WindowRunsUnderTheStateItWasBoundIn)
{
    AFX_MODULE_STATE other(FakeResources(6));
    CStateProbeWnd wnd;
    {
        AFX_MANAGE_STATE(&other);
        ASSERT_TRUE(wnd.Create());
    }
    EXPECT_EQ(1u, other.m_mapHWND.GetPermanentCount());
    EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(wnd.m_hWnd)) << "not found from the static state";
    EXPECT_EQ(reinterpret_cast<LRESULT>(&other), wnd.SendMessage(kMsgWhichState));
    EXPECT_EQ(AfxGetStaticModuleState(), AfxGetModuleState());
    wnd.DestroyWindow();
    EXPECT_EQ(0u, other.m_mapHWND.GetPermanentCount());
}

class CTestApp : public CWinApp {
public:
    explicit CTestApp(BOOL bInitResult) : m_bInitResult(bInitResult) {}
    BOOL InitInstance() override
    {
        ++m_nInit;
        m_pInitState = AfxGetModuleState();
        return m_bInitResult;
    }
    int ExitInstance() override
    {
        ++m_nExit;
        return 0;
    }

    BOOL m_bInitResult;
    int m_nInit = 0;
    int m_nExit = 0;
    AFX_MODULE_STATE* m_pInitState = nullptr;
};

TEST_F(ModuleStateTest, DllEntryRunsInitInstanceAndExitInstanceOnce)
{
    ASSERT_EQ(nullptr, AfxGetApp()) << "the test program has no application object of its own";
    const HINSTANCE hSelf = ::GetModuleHandleW(nullptr);
    {
        CTestApp app(TRUE);
        CTestApp second(TRUE);
        EXPECT_EQ(&app, AfxGetApp()) << "the first application object registers";
        EXPECT_TRUE(AfxDllMain(hSelf, DLL_PROCESS_ATTACH, nullptr));
        EXPECT_EQ(1, app.m_nInit);
        EXPECT_EQ(AfxGetStaticModuleState(), app.m_pInitState);
        EXPECT_EQ(hSelf, app.m_hInstance);
        EXPECT_EQ(hSelf, AfxGetResourceHandle());
        EXPECT_TRUE(AfxDllMain(hSelf, DLL_PROCESS_DETACH, nullptr));
        EXPECT_EQ(1, app.m_nExit);
        EXPECT_EQ(0, second.m_nInit);
    }
    EXPECT_EQ(nullptr, AfxGetApp());
    {
        // A failed attach cleans up at once; the loader's detach that follows
        // must not run ExitInstance again.
        CTestApp app(FALSE);
        EXPECT_FALSE(AfxDllMain(hSelf, DLL_PROCESS_ATTACH, nullptr));
        EXPECT_EQ(1, app.m_nExit);
        AfxDllMain(hSelf, DLL_PROCESS_DETACH, nullptr);
        EXPECT_EQ(1, app.m_nExit);
    }
    EXPECT_EQ(nullptr, AfxGetApp());

    // Framework windows still work after a detach removed their class.
    CStateProbeWnd wnd;
    EXPECT_TRUE(wnd.Create());
    wnd.DestroyWindow();
}

}  // namespace
