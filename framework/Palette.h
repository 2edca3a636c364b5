// The process-wide drawing resources that every window and dialog shares: made once during
// static initialisation, freed when the main window object goes.
#pragma once
#include <windows.h>

class PALETTE {
  public:
    // Made in this order by MakeDrawingResources; zero until made and after release.
    static COLORREF s_faceColour;
    static HBRUSH s_dialogBrush;
    static HBRUSH s_shadowBrush;
    static HBRUSH s_highlightBrush;
    static HBRUSH s_redBrush;
    static HBRUSH s_blueBrush;
    static HBRUSH s_greenBrush;
    static HBRUSH s_controlBrush;
    static HBRUSH s_blackBrush;
    static COLORREF s_controlTextColour;
    static COLORREF s_controlBackColour;
    static HICON s_appIcon; // start-up replaces it with the program's own icon
    static HICON s_childIcon;
    static HCURSOR s_cursor;
    static HPEN s_faceColourPen;
    static HPEN s_shadowPen;
    static HPEN s_wideShadowPen;
    static HPEN s_facePen;
    static HPEN s_wideFacePen;
    static HPEN s_highlightPen;
    static HPEN s_wideHighlightPen;
    static HPEN s_whitePen;
    static HPEN s_blackPen;
    static HPEN s_thinBlackPen;

    // Never set by this program; code built on the framework may set them directly.
    static int s_controlColouring;
    static HFONT s_controlFont;

    // System-colour values of the two window classes' backgrounds (COLOR_x + 1).
    static int s_childBackground;
    static int s_mainBackground;

    // Run once by the start-up objects, before the entry function.
    static void MakeDrawingResources();

    // Applies the control font and colours to a control's device context; returns the control
    // brush (0 leaves the message to the default handling).
    static HBRUSH ColourControl(HDC dc);

    // Hook procedure for the common dialogs: gives them the same colours.
    static UINT_PTR CALLBACK CommDlgHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static void ApplyControlColours(HDC dc);
};

// Frees every resource that is still held and clears it, so a second call frees nothing.
void ReleaseDrawingResources();
