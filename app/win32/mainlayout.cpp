#include "app/win32/mainwindow.h"

#include <algorithm>
#include <array>
#include <commctrl.h>
#include <string>

namespace {

// One control of the window as designed at 96 dpi: position and size in client pixels (inside
// the group box: relative to it), class, style and design caption. The order is the tab order.
struct TLayoutItem
{
    TMain::TControl Id;
    const char* Class;
    DWORD Style;
    bool InGroup;
    int Left, Top, Width, Height;
    const char* Caption;
};

constexpr DWORD Child = WS_CHILD | WS_CLIPSIBLINGS;
constexpr DWORD Stop = WS_TABSTOP | WS_GROUP; // a tab stop whose arrow keys stay with it

// Group box left and top: the controls inside it are placed relative to them.
constexpr int GroupLeft = 48;
constexpr int GroupTop = 32;

// The drop-down list's room below a combo box, in items.
constexpr int ListItems = 10;
constexpr int ItemHeight = 13;

const std::array<TLayoutItem, 12> Layout{{
    {TMain::ctInstrTxt, "STATIC", Child | SS_LEFT | SS_NOPREFIX, false, 8, 8, 0, 0, "InstrTxt"},
    {TMain::ctLangCombo, "COMBOBOX", Child | Stop | WS_VISIBLE | CBS_DROPDOWNLIST | WS_VSCROLL,
     true, 40, 48, 185, 21, ""},
    {TMain::ctShutdnChk, "BUTTON", Child | Stop | BS_AUTOCHECKBOX, true, 16, 50, 177, 17,
     "&Shutdown"},
    // The label's accelerator gives the focus to the next control: the output-file box.
    {TMain::ctFileTxt, "STATIC", Child | SS_LEFT, true, 16, 51, 16, 13, "&File"},
    {TMain::ctFileCombo, "COMBOBOX", Child | Stop | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL,
     true, 40, 48, 185, 21, ""},
    {TMain::ctBrowseBut, "BUTTON", Child | Stop | BS_PUSHBUTTON, true, 232, 48, 21, 21, "..."},
    {TMain::ctNextBut, "BUTTON", Child | Stop | WS_VISIBLE | BS_DEFPUSHBUTTON, false, 280, 196, 75,
     25, "&Verder =>"},
    {TMain::ctPrevBut, "BUTTON", Child | Stop | BS_PUSHBUTTON, false, 200, 196, 75, 25,
     "<= &Terug"},
    {TMain::ctEndBut, "BUTTON", Child | Stop | WS_VISIBLE | BS_PUSHBUTTON, false, 8, 196, 75, 25,
     "Einde"},
    {TMain::ctPrcBar, PROGRESS_CLASSA, Child | PBS_SMOOTH, false, 8, 160, 347, 17, ""},
    {TMain::ctBevel1, "STATIC", Child | WS_VISIBLE | SS_ETCHEDHORZ, false, 8, 186, 347, 2, ""},
    // Last, so that it lies beneath the controls it frames (it takes no focus).
    {TMain::ctLangGrp, "BUTTON", Child | WS_VISIBLE | BS_GROUPBOX, false, GroupLeft, GroupTop, 265,
     105, "Language "},
}};

constexpr int ClientWidth = 365;
constexpr int ClientHeight = 228;

// The system's DPI functions where it has them (Windows 10 1607 on); the screen's DPI otherwise.
using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TAdjustWindowRectExForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

template <typename T> T User32Function(const char* name)
{
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == nullptr)
        return nullptr;
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(user32, name)));
}

UINT WindowDpi(HWND window)
{
    if (const auto getDpi = User32Function<TGetDpiForWindow>("GetDpiForWindow")) {
        if (const UINT dpi = getDpi(window); dpi != 0)
            return dpi;
    }
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

RECT OuterRect(HWND window, int clientWidth, int clientHeight, UINT dpi)
{
    RECT rect{0, 0, clientWidth, clientHeight};
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE));
    if (const auto adjust = User32Function<TAdjustWindowRectExForDpi>("AdjustWindowRectExForDpi"))
        adjust(&rect, style, FALSE, exStyle, dpi);
    else
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    return rect;
}

// "MS Sans Serif" at pointSize for dpi. That face is a bitmap font with the layout's metrics at
// 96 dpi only; at any other dpi a TrueType face scales sharply: its TrueType twin where the system
// has it, else the dialog face every system has.
HFONT LayoutFont(int pointSize, bool bold, UINT dpi)
{
    const int height = -MulDiv(pointSize, static_cast<int>(dpi), 72);
    const int weight = bold ? FW_BOLD : FW_NORMAL;
    auto make = [&](const char* face, DWORD precision) {
        return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, precision,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
    };
    if (dpi == 96)
        return make("MS Sans Serif", OUT_DEFAULT_PRECIS);
    for (const char* face : {"Microsoft Sans Serif", "Tahoma"}) {
        HFONT font = make(face, OUT_TT_ONLY_PRECIS);
        if (font == nullptr)
            continue;
        // The system substitutes a face it lacks: only the face asked for is taken.
        const HDC dc = GetDC(nullptr);
        const HGDIOBJ old = SelectObject(dc, font);
        char chosen[LF_FACESIZE] = {};
        GetTextFaceA(dc, LF_FACESIZE, chosen);
        SelectObject(dc, old);
        ReleaseDC(nullptr, dc);
        if (lstrcmpiA(chosen, face) == 0)
            return font;
        DeleteObject(font);
    }
    return make("MS Sans Serif", OUT_TT_PRECIS);
}

// The size text takes in font, lines broken at carriage returns.
SIZE TextSize(HWND window, HFONT font, const std::string& text, bool prefixes)
{
    RECT rect{0, 0, 0, 0};
    const HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, font);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
              DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | (prefixes ? 0U : DT_NOPREFIX));
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// Line breaks as the label draws them.
std::string LabelLines(const std::string& text)
{
    std::string lines;
    for (const char c : text) {
        if (c == '\r')
            lines += "\r\n";
        else
            lines += c;
    }
    return lines;
}

} // namespace

void TMain::CreateLayout()
{
    for (const TLayoutItem& item : Layout) {
        const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.Id));
        // The file box holds its text in UTF-16: a typed name outside the code page stays as it
        // is typed (it has no caption).
        if (item.Id == ctFileCombo)
            CreateWindowExW(0, L"COMBOBOX", L"", item.Style, 0, 0, 0, 0, Window, id, Instance,
                            nullptr);
        else
            CreateWindowExA(0, item.Class, item.Caption, item.Style, 0, 0, 0, 0, Window, id,
                            Instance, nullptr);
    }
    SendMessageA(Control(ctPrcBar), PBM_SETRANGE32, 0, 100);
    ApplyDpi(WindowDpi(Window));
}

void TMain::ApplyDpi(UINT dpi)
{
    Dpi = dpi;
    const HFONT oldFont = Font;
    const HFONT oldBold = BoldFont;
    Font = LayoutFont(8, false, dpi);
    BoldFont = LayoutFont(12, true, dpi);

    const RECT outer = OuterRect(Window, Scaled(ClientWidth), Scaled(ClientHeight), dpi);
    SetWindowPos(Window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (const TLayoutItem& item : Layout) {
        const HWND control = Control(item.Id);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
        const int left = item.Left + (item.InGroup ? GroupLeft : 0);
        const int top = item.Top + (item.InGroup ? GroupTop : 0);
        int height = Scaled(item.Height);
        if (item.Id == ctLangCombo || item.Id == ctFileCombo)
            height += Scaled(ItemHeight) * ListItems; // the drop-down list's room
        SetWindowPos(control, nullptr, Scaled(left), Scaled(top), Scaled(item.Width), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (const TControl id : {ctLangCombo, ctFileCombo}) {
        // The closed box is as high as its selection field and the field's borders: the field
        // is sized so that the box has the layout's height at any dpi.
        const HWND box = Control(id);
        SendMessageA(box, CB_SETITEMHEIGHT, 0, Scaled(ItemHeight));
        for (int attempt = 0; attempt < 3; ++attempt) {
            RECT closed{};
            GetWindowRect(box, &closed);
            const int missing = Scaled(21) - (closed.bottom - closed.top);
            const auto field =
                static_cast<int>(SendMessageA(box, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
            if (missing == 0 || field <= 0 || field + missing <= 0)
                break;
            SendMessageA(box, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + missing);
        }
    }

    // The labels size themselves to their texts.
    SetInstruction(Instruction.empty() ? std::string("InstrTxt") : Instruction);
    char caption[64] = {};
    GetDlgItemTextA(Window, ctFileTxt, caption, sizeof caption);
    const SIZE file = TextSize(Window, Font, caption, true);
    SetWindowPos(Control(ctFileTxt), nullptr, 0, 0, file.cx, file.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    if (oldFont != nullptr)
        DeleteObject(oldFont);
    if (oldBold != nullptr)
        DeleteObject(oldBold);
    InvalidateRect(Window, nullptr, TRUE);
}

void TMain::SetInstruction(const std::string& text)
{
    Instruction = text;
    const std::string lines = LabelLines(text);
    const HWND label = Control(ctInstrTxt);
    SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont), FALSE);
    SetWindowTextA(label, lines.c_str());
    const SIZE size = TextSize(Window, BoldFont, lines, false);
    SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Window, nullptr, TRUE);
}
