// The control wrappers where they do more than forward one message.
#include "FrameworkTestUtil.h"

namespace {

class ControlsTest : public FrameworkTest {
protected:
    void SetUp() override
    {
        FrameworkTest::SetUp();
        ASSERT_TRUE(m_host.CreatePopup());
    }
    void TearDown() override
    {
        m_host.DestroyWindow();
        m_log.Take();
        FrameworkTest::TearDown();
    }
    CLogWnd m_host{m_log, "host"};
};

TEST_F(ControlsTest, SliderRangeKeepsValuesBeyondSixteenBits)
{
    CSliderCtrl slider;
    ASSERT_TRUE(slider.CreateEx(0, TRACKBAR_CLASSW, nullptr, WS_CHILD, 0, 0, 100, 20, m_host.m_hWnd));
    slider.SetRange(-50000, 100000, TRUE);
    EXPECT_EQ(-50000, slider.GetRangeMin());
    EXPECT_EQ(100000, slider.GetRangeMax());
    slider.SetPos(120000);
    EXPECT_EQ(100000, slider.GetPos());
}

TEST_F(ControlsTest, ComboBoxItemText)
{
    CComboBox combo;
    ASSERT_TRUE(combo.CreateEx(0, WC_COMBOBOXW, nullptr, WS_CHILD | CBS_DROPDOWN, 0, 0, 100, 100, m_host.m_hWnd));
    combo.AddString(L"Speakers");
    combo.AddString(L"Headphones");
    std::wstring text;
    EXPECT_EQ(10, combo.GetLBText(1, text));
    EXPECT_EQ(L"Headphones", text);
    EXPECT_EQ(CB_ERR, combo.GetLBText(7, text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(1, combo.FindStringExact(-1, L"headphones"));
    EXPECT_EQ(CB_ERR, combo.FindStringExact(-1, L"Head"));
}

TEST_F(ControlsTest, FontIsSizedInTenthsOfAPointAndOwned)
{
    HDC hScreen = ::GetDC(nullptr);
    const int nDpi = ::GetDeviceCaps(hScreen, LOGPIXELSY);
    ::ReleaseDC(nullptr, hScreen);

    CFont font;
    ASSERT_TRUE(font.CreatePointFont(90, L"Tahoma"));
    LOGFONTW lf{};
    ASSERT_NE(0, font.GetLogFont(&lf));
    EXPECT_EQ(-::MulDiv(9, nDpi, 72), lf.lfHeight);
    const HFONT hFirst = font;
    ASSERT_TRUE(font.CreateFontIndirect(&lf));
    EXPECT_EQ(0u, ::GetObjectType(hFirst)) << "re-creating must delete the old font";
    const HFONT hSecond = font;
    EXPECT_TRUE(font.DeleteObject());
    EXPECT_EQ(0u, ::GetObjectType(hSecond));
}

}  // namespace
