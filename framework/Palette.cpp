#include "framework/Palette.h"

COLORREF PALETTE::s_faceColour;
HBRUSH PALETTE::s_dialogBrush;
HBRUSH PALETTE::s_shadowBrush;
HBRUSH PALETTE::s_highlightBrush;
HBRUSH PALETTE::s_redBrush;
HBRUSH PALETTE::s_blueBrush;
HBRUSH PALETTE::s_greenBrush;
HBRUSH PALETTE::s_controlBrush;
HBRUSH PALETTE::s_blackBrush;
COLORREF PALETTE::s_controlTextColour;
COLORREF PALETTE::s_controlBackColour;
HICON PALETTE::s_appIcon;
HICON PALETTE::s_childIcon;
HCURSOR PALETTE::s_cursor;
HPEN PALETTE::s_faceColourPen;
HPEN PALETTE::s_shadowPen;
HPEN PALETTE::s_wideShadowPen;
HPEN PALETTE::s_facePen;
HPEN PALETTE::s_wideFacePen;
HPEN PALETTE::s_highlightPen;
HPEN PALETTE::s_wideHighlightPen;
HPEN PALETTE::s_whitePen;
HPEN PALETTE::s_blackPen;
HPEN PALETTE::s_thinBlackPen;
int PALETTE::s_controlColouring;
HFONT PALETTE::s_controlFont;
int PALETTE::s_childBackground = COLOR_WINDOW + 1;
int PALETTE::s_mainBackground = COLOR_APPWORKSPACE + 1;

void PALETTE::MakeDrawingResources() {
    // The face colour is read once and shared; the other objects read their colour afresh.
    s_faceColour = GetSysColor(COLOR_BTNFACE);
    s_dialogBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    s_shadowBrush = CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW));
    s_highlightBrush = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
    s_redBrush = CreateSolidBrush(RGB(255, 0, 0));
    s_blueBrush = CreateSolidBrush(RGB(0, 0, 255));
    s_greenBrush = CreateSolidBrush(RGB(0, 255, 0));
    s_controlBrush = CreateSolidBrush(s_faceColour);
    s_blackBrush = CreateSolidBrush(0);
    s_controlTextColour = GetSysColor(COLOR_BTNTEXT);
    s_controlBackColour = s_faceColour;
    s_appIcon = LoadIconA(nullptr, IDI_APPLICATION);
    s_childIcon = LoadIconA(nullptr, IDI_APPLICATION);
    s_cursor = LoadCursorA(nullptr, IDC_ARROW);
    s_faceColourPen = CreatePen(PS_SOLID, 1, s_faceColour);
    s_shadowPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
    s_wideShadowPen = CreatePen(PS_SOLID, 2, GetSysColor(COLOR_BTNSHADOW));
    s_facePen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNFACE));
    s_wideFacePen = CreatePen(PS_SOLID, 2, GetSysColor(COLOR_BTNFACE));
    s_highlightPen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
    s_wideHighlightPen = CreatePen(PS_SOLID, 2, GetSysColor(COLOR_BTNHIGHLIGHT));
    s_whitePen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    s_blackPen = CreatePen(PS_SOLID, 1, 0);
    s_thinBlackPen = CreatePen(PS_SOLID, 0, 0);
}

// A colour of 0 (black) counts as unset and is not applied.
void PALETTE::ApplyControlColours(HDC dc) {
    if (s_controlTextColour) SetTextColor(dc, s_controlTextColour);
    if (s_controlBackColour) SetBkColor(dc, s_controlBackColour);
}

HBRUSH PALETTE::ColourControl(HDC dc) {
    if (s_controlFont) SelectObject(dc, s_controlFont);
    ApplyControlColours(dc);
    return s_controlBrush;
}

UINT_PTR CALLBACK PALETTE::CommDlgHook(HWND, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_CTLCOLORDLG:
        return reinterpret_cast<UINT_PTR>(s_dialogBrush);
    case WM_CTLCOLORSTATIC:
        ApplyControlColours(reinterpret_cast<HDC>(wParam));
        return reinterpret_cast<UINT_PTR>(s_controlBrush);
    default:
        return 0;
    }
}

namespace {

template <typename Handle, typename Free> void FreeAndClear(Handle& member, Free free) {
    if (member) free(member);
    member = nullptr;
}

} // namespace

void ReleaseDrawingResources() {
    HBRUSH* brushes[] = {&PALETTE::s_dialogBrush, &PALETTE::s_controlBrush,
                         &PALETTE::s_shadowBrush, &PALETTE::s_highlightBrush,
                         &PALETTE::s_blackBrush,  &PALETTE::s_redBrush,
                         &PALETTE::s_blueBrush,   &PALETTE::s_greenBrush};
    for (HBRUSH* brush : brushes)
        FreeAndClear(*brush, DeleteObject);
    FreeAndClear(PALETTE::s_appIcon, DestroyIcon);
    FreeAndClear(PALETTE::s_childIcon, DestroyIcon);
    FreeAndClear(PALETTE::s_cursor, DestroyCursor);
    HPEN* pens[] = {&PALETTE::s_faceColourPen,    &PALETTE::s_shadowPen,
                    &PALETTE::s_wideShadowPen,    &PALETTE::s_facePen,
                    &PALETTE::s_wideFacePen,      &PALETTE::s_highlightPen,
                    &PALETTE::s_wideHighlightPen, &PALETTE::s_whitePen,
                    &PALETTE::s_blackPen,         &PALETTE::s_thinBlackPen};
    for (HPEN* pen : pens)
        FreeAndClear(*pen, DeleteObject);
}
