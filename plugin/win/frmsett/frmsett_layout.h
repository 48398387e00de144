#pragma once
// The look of the settings window: client size and every control, in twips
// (1440 to the inch) relative to the window's client area, in Z order.
#include <windows.h>

#include "frmsett.h"

namespace tavri::win::frmsett_layout {

constexpr int kClientWidth = 4290;
constexpr int kClientHeight = 1560;

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;  // besides WS_CHILD | WS_VISIBLE
    DWORD exStyle;
    int left, top, width, height;
    const wchar_t* toolTip;  // nullptr: none
};

// The frame's corner; the controls inside it are placed relative to it.
constexpr int kFrameLeft = 120;
constexpr int kFrameTop = 120;

constexpr DWORD kEditStyle = WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
constexpr DWORD kButtonStyle = WS_TABSTOP | BS_PUSHBUTTON;

inline constexpr Control kControls[] = {
    {frmsett_id::kFrame1, L"Button", L"Settings", BS_GROUPBOX, 0, kFrameLeft, kFrameTop, 4095, 1335,
     nullptr},
    {frmsett_id::kText2, L"Edit", L"", kEditStyle | ES_PASSWORD, WS_EX_CLIENTEDGE,
     kFrameLeft + 1440, kFrameTop + 600, 2535, 285, L"Password"},
    {frmsett_id::kText1, L"Edit", L"", kEditStyle, WS_EX_CLIENTEDGE, kFrameLeft + 1440,
     kFrameTop + 240, 2535, 285, L"Username"},
    {frmsett_id::kSaveButton, L"Button", L"&save", kButtonStyle, 0, kFrameLeft + 2880,
     kFrameTop + 960, 1095, 255, nullptr},
    {frmsett_id::kLabel1, L"Static", L"Username:", SS_LEFT, 0, kFrameLeft + 240, kFrameTop + 240,
     1095, 255, nullptr},
    {frmsett_id::kLabel2, L"Static", L"Password:", SS_LEFT, 0, kFrameLeft + 240, kFrameTop + 600,
     1095, 255, nullptr},
    {frmsett_id::kSiteButton, L"Button", L"Quillorn", kButtonStyle, 0, kFrameLeft + 1680,
     kFrameTop + 960, 1095, 255, nullptr},
};

}  // namespace tavri::win::frmsett_layout
