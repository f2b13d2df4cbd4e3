// Binding and unbinding windows: temporary wrappers, creation, destruction
// order and objects deleted while their window lives.
#include "FrameworkTestUtil.h"

#include <future>
#include <thread>

namespace {

HWND CreatePlainStatic(HWND hWndParent = nullptr)
{
    return ::CreateWindowExW(0, L"STATIC", L"plain", hWndParent ? WS_CHILD : WS_POPUP, 0, 0, 50, 20, hWndParent,
                             nullptr, nullptr, nullptr);
}

class WindowLifetimeTest : public FrameworkTest {
protected:
    CHandleMap& Map() { return AfxGetStaticModuleState()->m_mapHWND; }
};

TEST_F(WindowLifetimeTest, UnboundWindowsGetOneTemporaryWrapperUntilDestroyed)
{
    Map().DeleteTemporaries();  // earlier tests may have left wrappers of dead windows
    HWND hWnd = CreatePlainStatic();
    ASSERT_NE(nullptr, hWnd);
    const size_t nTemps = Map().GetTemporaryCount();

    CWnd* pTemp = CWnd::FromHandle(hWnd);
    ASSERT_NE(nullptr, pTemp);
    EXPECT_EQ(hWnd, pTemp->m_hWnd);
    EXPECT_EQ(pTemp, CWnd::FromHandle(hWnd)) << "one wrapper per window";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hWnd));
    EXPECT_EQ(nTemps + 1, Map().GetTemporaryCount());
    EXPECT_EQ(nullptr, CWnd::FromHandle(nullptr));
    CWnd* volatile pNone = nullptr;
    EXPECT_EQ(nullptr, pNone->GetSafeHwnd());
    EXPECT_EQ(nullptr, CWnd::FromHandle(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x7ffe0))));

    // Once bound, the object wins over the wrapper.
    CWnd bound;
    ASSERT_TRUE(bound.SubclassWindow(hWnd));
    EXPECT_EQ(&bound, CWnd::FromHandle(hWnd));
    EXPECT_FALSE(CWnd().SubclassWindow(hWnd)) << "a window binds to one object only";

    ::DestroyWindow(hWnd);
    EXPECT_EQ(nullptr, bound.m_hWnd) << "unbound at WM_NCDESTROY";

    // The dead window's wrapper goes when the next one is made.
    HWND hOther = CreatePlainStatic();
    ASSERT_NE(nullptr, CWnd::FromHandle(hOther));
    EXPECT_EQ(nTemps + 1, Map().GetTemporaryCount());
    ::DestroyWindow(hOther);
}

TEST_F(WindowLifetimeTest, ChildrenAreUnboundBeforeTheirParent)
{
    CLogWnd parent(m_log, "parent");
    CLogWnd child(m_log, "child");
    CLogWnd grandchild(m_log, "grandchild");
    ASSERT_TRUE(parent.CreatePopup());
    ASSERT_TRUE(child.CreateChild(parent));
    ASSERT_TRUE(grandchild.CreateChild(child));
    // Framework-class windows are bound from their very first message.
    ExpectSequence(m_log,
                   {"parent:WM_NCCREATE", "parent:WM_CREATE", "child:WM_NCCREATE", "child:WM_CREATE",
                    "grandchild:WM_NCCREATE", "grandchild:WM_CREATE"},
                   "creating a window tree");

    parent.m_onPostNcDestroy = [&] {
        m_log.Add(child.m_hWnd || grandchild.m_hWnd ? "children still bound" : "children unbound");
    };
    parent.DestroyWindow();
    ExpectSequence(m_log,
                   {"parent:WM_DESTROY", "child:WM_DESTROY", "grandchild:WM_DESTROY", "grandchild:WM_NCDESTROY",
                    "grandchild:PostNcDestroy", "child:WM_NCDESTROY", "child:PostNcDestroy", "parent:WM_NCDESTROY",
                    "parent:PostNcDestroy", "children unbound"},
                   "destroying a parent");
}

TEST_F(WindowLifetimeTest, DeletingTheObjectDestroysItsWindow)
{
    auto* pWnd = new CLogWnd(m_log, "owned");
    ASSERT_TRUE(pWnd->CreatePopup());
    HWND hWnd = pWnd->m_hWnd;
    m_log.Take();
    delete pWnd;
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hWnd));

    // A window that was only attached is destroyed too, and the object unbound.
    HWND hPlain = CreatePlainStatic();
    {
        CWnd attached;
        ASSERT_TRUE(attached.Attach(hPlain));
        EXPECT_EQ(&attached, CWnd::FromHandle(hPlain));
    }
    EXPECT_FALSE(::IsWindow(hPlain));
}

TEST_F(WindowLifetimeTest, DeletingFromAnotherThreadOnlyUnbinds)
{
    std::promise<HWND> created;
    std::promise<void> deleted;
    std::promise<bool> intactAfter;
    std::thread owner([&] {
        HWND hWnd = CreatePlainStatic();
        const LONG_PTR pfnOriginal = ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC);
        created.set_value(hWnd);
        deleted.get_future().wait();
        wchar_t text[16] = {};
        ::SetWindowTextW(hWnd, L"alive");
        ::GetWindowTextW(hWnd, text, 16);
        intactAfter.set_value(::GetWindowLongPtrW(hWnd, GWLP_WNDPROC) == pfnOriginal &&
                              std::wstring(text) == L"alive");
        ::DestroyWindow(hWnd);
    });

    HWND hWnd = created.get_future().get();
    auto* pWnd = new CWnd;
    ASSERT_TRUE(pWnd->SubclassWindow(hWnd));  // no message crosses threads here
    delete pWnd;
    EXPECT_TRUE(::IsWindow(hWnd)) << "another thread's window must not be destroyed";
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hWnd));
    deleted.set_value();
    EXPECT_TRUE(intactAfter.get_future().get()) << "the original window procedure was not restored";
    owner.join();
}

}  // namespace
