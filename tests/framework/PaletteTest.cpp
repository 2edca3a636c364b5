#include <gtest/gtest.h>
#include <windows.h>
#include "framework/Palette.h"

namespace {

HICON MakeIcon() {
    BYTE andMask[128], xorMask[128];
    memset(andMask, 0xFF, sizeof andMask);
    memset(xorMask, 0, sizeof xorMask);
    return CreateIcon(nullptr, 32, 32, 1, 1, andMask, xorMask);
}

HCURSOR MakeCursor() {
    BYTE andMask[128], xorMask[128];
    memset(andMask, 0xFF, sizeof andMask);
    memset(xorMask, 0, sizeof xorMask);
    return CreateCursor(nullptr, 0, 0, 32, 32, andMask, xorMask);
}

bool IconAlive(HICON icon) {
    ICONINFO info;
    if (!GetIconInfo(icon, &info)) return false;
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return true;
}

TEST(DrawingResources, StartUpMadeThemInOrderFromTheSystemColours) {
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), PALETTE::s_faceColour);
    EXPECT_EQ(PALETTE::s_faceColour, PALETTE::s_controlBackColour);
    EXPECT_EQ(GetSysColor(COLOR_BTNTEXT), PALETTE::s_controlTextColour);
    EXPECT_EQ(LoadIconA(nullptr, IDI_APPLICATION), PALETTE::s_childIcon);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), PALETTE::s_cursor);
    LOGPEN pen;
    ASSERT_EQ(static_cast<int>(sizeof pen), GetObjectA(PALETTE::s_thinBlackPen, sizeof pen, &pen));
    EXPECT_EQ(0, pen.lopnWidth.x);
    ASSERT_EQ(static_cast<int>(sizeof pen), GetObjectA(PALETTE::s_wideShadowPen, sizeof pen, &pen));
    EXPECT_EQ(2, pen.lopnWidth.x);
    LOGBRUSH brush;
    ASSERT_EQ(static_cast<int>(sizeof brush),
              GetObjectA(PALETTE::s_redBrush, sizeof brush, &brush));
    EXPECT_EQ(RGB(255, 0, 0), brush.lbColor);
    EXPECT_EQ(0, PALETTE::s_controlColouring);
    EXPECT_EQ(nullptr, PALETTE::s_controlFont);
}

TEST(DrawingResources, CommDlgHookColoursDialogsAndStaticsOnly) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(nullptr, dc);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    WPARAM w = reinterpret_cast<WPARAM>(dc);

    EXPECT_EQ(reinterpret_cast<UINT_PTR>(PALETTE::s_dialogBrush),
              PALETTE::CommDlgHook(nullptr, WM_CTLCOLORDLG, w, 0));
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc)); // no device context touched
    EXPECT_EQ(RGB(4, 5, 6), GetBkColor(dc));

    EXPECT_EQ(0u, PALETTE::CommDlgHook(nullptr, WM_CTLCOLOREDIT, w, 0));
    EXPECT_EQ(0u, PALETTE::CommDlgHook(nullptr, WM_PAINT, w, 0));

    EXPECT_EQ(reinterpret_cast<UINT_PTR>(PALETTE::s_controlBrush),
              PALETTE::CommDlgHook(nullptr, WM_CTLCOLORSTATIC, w, 0));
    EXPECT_EQ(PALETTE::s_faceColour, GetBkColor(dc));
    // Black counts as unset: the text colour stays.
    COLORREF saved = PALETTE::s_controlTextColour;
    PALETTE::s_controlTextColour = 0;
    SetTextColor(dc, RGB(1, 2, 3));
    PALETTE::CommDlgHook(nullptr, WM_CTLCOLORSTATIC, w, 0);
    EXPECT_EQ(RGB(1, 2, 3), GetTextColor(dc));
    PALETTE::s_controlTextColour = RGB(7, 8, 9);
    PALETTE::CommDlgHook(nullptr, WM_CTLCOLORSTATIC, w, 0);
    EXPECT_EQ(RGB(7, 8, 9), GetTextColor(dc));
    PALETTE::s_controlTextColour = saved;
    DeleteDC(dc);
}

TEST(DrawingResources, ReleaseFreesEighteenBrushesAndPensTwoIconsOneCursorOnce) {
    // Own icons and cursor in place of the shared system ones, so their end can be seen.
    PALETTE::s_appIcon = MakeIcon();
    PALETTE::s_childIcon = MakeIcon();
    PALETTE::s_cursor = MakeCursor();
    HICON appIcon = PALETTE::s_appIcon, childIcon = PALETTE::s_childIcon;
    HCURSOR cursor = PALETTE::s_cursor;
    HGDIOBJ objects[] = {
        PALETTE::s_dialogBrush,  PALETTE::s_shadowBrush,   PALETTE::s_highlightBrush,
        PALETTE::s_redBrush,     PALETTE::s_blueBrush,     PALETTE::s_greenBrush,
        PALETTE::s_controlBrush, PALETTE::s_blackBrush,    PALETTE::s_faceColourPen,
        PALETTE::s_shadowPen,    PALETTE::s_wideShadowPen, PALETTE::s_facePen,
        PALETTE::s_wideFacePen,  PALETTE::s_highlightPen,  PALETTE::s_wideHighlightPen,
        PALETTE::s_whitePen,     PALETTE::s_blackPen,      PALETTE::s_thinBlackPen};
    int alive = 0;
    for (HGDIOBJ object : objects)
        alive += GetObjectType(object) != 0;
    ASSERT_EQ(18, alive);
    ASSERT_TRUE(IconAlive(appIcon));
    ASSERT_TRUE(IconAlive(childIcon));
    ASSERT_TRUE(IconAlive(cursor));

    ReleaseDrawingResources();
    for (HGDIOBJ object : objects)
        EXPECT_EQ(0u, GetObjectType(object));
    EXPECT_FALSE(IconAlive(appIcon));
    EXPECT_FALSE(IconAlive(childIcon));
    EXPECT_FALSE(IconAlive(cursor));
    EXPECT_EQ(nullptr, PALETTE::s_dialogBrush);
    EXPECT_EQ(nullptr, PALETTE::s_thinBlackPen);
    EXPECT_EQ(nullptr, PALETTE::s_appIcon);
    EXPECT_EQ(nullptr, PALETTE::s_cursor);

    // A second release must not free handles that may by now belong to someone else.
    HBRUSH stranger = CreateSolidBrush(RGB(9, 9, 9));
    ReleaseDrawingResources();
    EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(stranger));
    DeleteObject(stranger);

    // Without resources, colouring gives the message its default handling.
    EXPECT_EQ(0u, PALETTE::CommDlgHook(nullptr, WM_CTLCOLORDLG, 0, 0));
    PALETTE::MakeDrawingResources();
    EXPECT_NE(nullptr, PALETTE::s_dialogBrush);
}

} // namespace
