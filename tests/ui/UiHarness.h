// The windows are tested as a user meets them: one host window shown for the
// whole program, the plug-in's windows created inside it against a simulated
// driver topology, then clicks and keys, a pump until idle, and a look at
// what is shown.
#pragma once

#include "SessionTestSupport.h"
#include "app/KVEffectApp.h"

#include <memory>
#include <string>
#include <vector>

namespace uitest {

// The application object of this program, initialised as the DLL's would be.
CKVEffectApp& App();
// The shown top-level window every test's windows live in.
HWND Host();

HWND Item(HWND hDlg, int nID);
bool Visible(HWND hWnd);
bool Visible(HWND hDlg, int nID);
bool Enabled(HWND hDlg, int nID);
int Checked(HWND hDlg, int nID);
std::wstring Text(HWND hWnd);
std::wstring Text(HWND hDlg, int nID);
bool IsBold(HWND hWnd);
int SliderPos(HWND hDlg, int nID);
// The text a page gives a slider's tooltip, asked for by control id.
std::wstring TooltipText(HWND hDlg, int nID);
// A window's class, compared as the system compares them.
bool HasClass(HWND hWnd, const wchar_t* pszClass);
// ./kv soak's full size (KV_SOAK=1) rather than the suite's short one.
bool SoakRun();
// How many ticks a trackbar shows for that range and tick frequency.
LRESULT TicsAt(int nMin, int nMax, int nFreq);

// What a user does: each ends with the pump run dry.
void Click(HWND hDlg, int nID);
void Key(HWND hWnd, UINT vk);
// The thumb moved to nPos, then the scroll messages a drag sends the owner
// (vertical or horizontal as the slider is).
void DragSlider(HWND hDlg, int nID, int nPos);  // sent to the focused control as the keyboard would
void Pump(DWORD dwMaxMs = 300);

// kvsim.exe with these arguments, in a process of its own: another program
// changing the driver, as far as the plug-in can tell.
void RunKvsim(const std::wstring& args);
// Any program beside the tests (KVHost.exe: a second host), with this
// thread's messages pumped while it runs.
void RunTool(const wchar_t* pszExe, const std::wstring& args, DWORD dwMaxMs);

// Top-level dialogs of this thread (the modal pop-ups), newest first.
std::vector<HWND> ThreadDialogs();
// Runs fn once from inside the next modal loop that shows a dialog, so a
// test can answer a pop-up; returns whether one was seen by the time the
// caller's operation came back.
class ModalAnswer
{
public:
    explicit ModalAnswer(std::function<void(HWND)> fn);
    ~ModalAnswer();
    int Seen() const { return m_nSeen; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    std::function<void(HWND)> m_fn;
    UINT_PTR m_nTimer = 0;
    int m_nSeen = 0;
};

// The control order Tab visits from the first tab stop of a dialog, as ids.
std::vector<int> TabOrder(HWND hDlg);
// Every child in creation (z) order.
std::vector<int> ChildOrder(HWND hDlg);

// A page as its owner gets rid of it: detached, destroyed, deleted.
template <class TPage>
void Discard(std::unique_ptr<TPage>& pPage)
{
    if (!pPage)
        return;
    pPage->ReleaseDeviceEndpoint();
    pPage->DestroyWindow();
    pPage.reset();
}

class UiTest : public stest::SessionTest
{
protected:
    void SetUp() override;
    void TearDown() override;
};

// One page bound to a session on a topology of its own, as the main window
// binds it; OpenPage again starts afresh.
template <class TPage, UINT nTemplate>
class BoundPageTest : public UiTest
{
protected:
    void TearDown() override
    {
        Discard(m_page);
        UiTest::TearDown();
    }
    // The speakers with these feature lines.
    HWND OpenPage(const std::wstring& features)
    {
        Discard(m_page);
        Close();
        Load(L"mode endpoint\n" + stest::RenderEndpoint(L"speakers", 1, 1, features));
        return OpenOnLoaded();
    }
    // On whatever topology is loaded, with the session in that language.
    HWND OpenOnLoaded(DWORD dwLanguage = 0x0409)
    {
        Open();
        m_pSession->m_dwLanguageID = dwLanguage;
        m_page = std::make_unique<TPage>();
        EXPECT_TRUE(m_page->Create(nTemplate, CWnd::FromHandle(Host())));
        m_page->SetDeviceEndpoint(m_pSession.get());
        Pump();
        return m_page->m_hWnd;
    }
    std::unique_ptr<TPage> m_page;
};

} // namespace uitest
