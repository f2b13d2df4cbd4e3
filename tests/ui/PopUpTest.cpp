// The master pop-up and the message box, answered as a user would.
#include "UiHarness.h"

#include "KVEffRsc_ids.h"
#include "ui/MasterOnOffPopUpDlg.h"
#include "ui/MsgBoxDlg.h"
#include "ui/UIText.h"

namespace uitest {
namespace {

DWORD ReadDword(const wchar_t* pszKey, const wchar_t* pszValue, DWORD dwMissing = 0xDEAD)
{
    HKEY h;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ | KEY_WOW64_64KEY, &h) != ERROR_SUCCESS)
        return dwMissing;
    DWORD dw = 0, cb = sizeof(dw);
    const LSTATUS st = RegGetValueW(h, nullptr, pszValue, RRF_RT_REG_DWORD, nullptr, &dw, &cb);
    RegCloseKey(h);
    return st == ERROR_SUCCESS ? dw : dwMissing;
}

using PopUp = UiTest;

TEST_F(PopUp, DisablePopUpIsReadAtEachConstructionFromTheEditionsKey)
{
    {
        kvtest::ScopedRegValue off(stest::kCoexistKey, L"DisablePopUp", std::nullopt);
        EXPECT_EQ(0, CMasterOnOffPopUpDlg(0x10EC, 1).m_bDisablePopUp);
        kvtest::ScopedRegValue on(stest::kCoexistKey, L"DisablePopUp", DWORD(1));
        EXPECT_EQ(1, CMasterOnOffPopUpDlg(0x10EC, 1).m_bDisablePopUp);
        EXPECT_EQ(0, CMasterOnOffPopUpDlg(0x111D, 1).m_bDisablePopUp) << "the other edition keeps its own";
    }
    kvtest::ScopedRegValue alt(stest::kLumoraCoexistKey, L"DisablePopUp", DWORD(1));
    EXPECT_EQ(1, CMasterOnOffPopUpDlg(0x111D, 0).m_bDisablePopUp);
}

TEST_F(PopUp, OkWithTheBoxCheckedStopsItEscapeSavesNothing)
{
    kvtest::ScopedRegValue keep(stest::kCoexistKey, L"DisablePopUp", std::optional<DWORD>(0));
    Host();
    std::wstring text;
    bool bYesNoHidden = false;
    {
        CMasterOnOffPopUpDlg dlg(0x10EC, 1);  // no technology name: it stays empty
        ModalAnswer answer([&](HWND h) {
            text = Text(h, IDC_STC_MSGBOX_TEXT);
            bYesNoHidden = !Visible(h, IDYES) && !Visible(h, IDNO) && Visible(h, IDOK);
            SendMessageW(Item(h, IDC_CHK_MSGBOX), BM_CLICK, 0, 0);
            SendMessageW(Item(h, IDOK), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(IDOK, dlg.DoModal());
        EXPECT_EQ(1, answer.Seen());
    }
    EXPECT_EQ(0u, text.find(L"Auralith Q-fx MB")) << kvtest::Narrow(text);
    EXPECT_EQ(std::wstring::npos, text.find(L"%")) << kvtest::Narrow(text);
    EXPECT_TRUE(bYesNoHidden);
    EXPECT_EQ(1u, ReadDword(stest::kCoexistKey, L"DisablePopUp"));

    // Leaving with Escape keeps what is stored.
    CMasterOnOffPopUpDlg dlg(0x10EC, 0);
    dlg.m_bDisablePopUp = 0;
    dlg.m_strTechnology = L"Other Suite";
    ModalAnswer answer([&](HWND h) {
        text = Text(h, IDC_STC_MSGBOX_TEXT);
        SendMessageW(h, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal());
    EXPECT_EQ(0u, text.find(L"Other Suite")) << "mode 0 names the other suite first";
    EXPECT_EQ(1u, ReadDword(stest::kCoexistKey, L"DisablePopUp"));
}

TEST_F(PopUp, MessageBoxShowsOkOrYesAndNoAndAnswersWithTheButton)
{
    Host();
    bool bLayout = false;
    {
        CMsgBoxDlg yesNo;
        yesNo.m_nType = MB_YESNO;
        yesNo.m_strMessage = L"Overwrite?";
        ModalAnswer answer([&](HWND h) {
            bLayout = !Visible(h, IDOK) && Visible(h, IDYES) && Visible(h, IDNO) && !Visible(h, IDC_CHK_MSGBOX) &&
                      Text(h, IDC_STC_MSGBOX_TEXT) == L"Overwrite?";
            SendMessageW(Item(h, IDNO), BM_CLICK, 0, 0);
        });
        EXPECT_EQ(IDNO, yesNo.DoModal());
        EXPECT_TRUE(bLayout);
    }
    {
        CMsgBoxDlg yesByEnter;
        yesByEnter.m_nType = MB_YESNO;
        ModalAnswer answer([&](HWND h) { Key(GetFocus() ? GetFocus() : h, VK_RETURN); });
        EXPECT_EQ(IDYES, yesByEnter.DoModal()) << "Enter takes the first visible button, not the hidden OK";
    }
    CMsgBoxDlg ok;
    ok.m_nShowCheck = SW_SHOW;
    ModalAnswer answer([&](HWND h) {
        bLayout = Visible(h, IDOK) && !Visible(h, IDYES) && !Visible(h, IDNO) && Visible(h, IDC_CHK_MSGBOX);
        SendMessageW(Item(h, IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(IDOK, ok.DoModal());
    EXPECT_TRUE(bLayout);
}

TEST(PopUpText, ATranslationsStrayPlaceholdersAreShownNotRead)
{
    EXPECT_EQ(L"A now, B before", FormatTwoStrings(L"%ls now, %s before", L"A", L"B"));
    EXPECT_EQ(L"%d A B %ls 100%", FormatTwoStrings(L"%d %ls %s %ls 100%%", L"A", L"B"));
    EXPECT_EQ(L"ends with %", FormatTwoStrings(L"ends with %", L"A", L"B"));
    EXPECT_EQ(L" and ", FormatTwoStrings(L"%ls and %ls", nullptr, L""));
}

} // namespace
} // namespace uitest
