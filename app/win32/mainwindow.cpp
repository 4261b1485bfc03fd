#include "app/win32/mainwindow.h"

#include "app/core/userfolders.h"
#include "app/win32/windowdispatcher.h"
#include "worker/stages.h"

#include <commctrl.h>

namespace {

constexpr const char* WindowClass = "TMain";
constexpr const char* Caption = "Server diagnosis tool";

// Start-up once the window is shown: without a window manager it is never activated.
constexpr UINT StartMessage = WM_APP + 3;

} // namespace

TMain::TMain(HINSTANCE instance)
    : Instance(instance), Dispatcher(std::make_shared<TWindowDispatcher>()),
      Wizard(
          *this, MakeSystemStages(),
          [] { return ProgramFilePaths(RunningProgramPath(), "srvdiag"); }, Dispatcher)
{
}

TMain::~TMain()
{
    // Ends the worker while the controls its calls touch still exist.
    Wizard.EndWorker();
    if (Window != nullptr)
        DestroyWindow(Window);
    if (Font != nullptr)
        DeleteObject(Font);
    if (BoldFont != nullptr)
        DeleteObject(BoldFont);
}

bool TMain::Create(int showCommand)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &TMain::WindowProc;
    windowClass.hInstance = Instance;
    windowClass.hIcon = LoadIconA(Instance, MAKEINTRESOURCEA(1));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageA(Instance, MAKEINTRESOURCEA(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = WindowClass;
    if (RegisterClassExA(&windowClass) == 0)
        return false;

    // A fixed single border with the system menu and the close box only.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    Window = CreateWindowExA(exStyle, WindowClass, Caption, style, 192, 107, 365, 228, nullptr,
                             nullptr, Instance, this);
    if (Window == nullptr)
        return false;
    Dispatcher->SetWindow(Window);
    if (HMENU menu = GetSystemMenu(Window, FALSE)) {
        for (const UINT item : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE})
            DeleteMenu(menu, item, MF_BYCOMMAND);
    }
    CreateLayout();
    ShowWindow(Window, showCommand);
    UpdateWindow(Window);
    PostMessageA(Window, StartMessage, 0, 0);
    return true;
}

LRESULT CALLBACK TMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<TMain*>(create->lpCreateParams);
        self->Window = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TMain*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT TMain::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ACTIVATE:
        // As a dialog does: the focused control is kept while the window is inactive and gets
        // the focus back on activation (the default would focus the window itself).
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (const HWND focus = GetFocus(); focus != nullptr && IsChild(Window, focus))
                FocusedControl = focus;
            return 0;
        }
        DoAct();
        RestoreFocus();
        return 0;
    case StartMessage:
        DoAct();
        return 0;
    case TWindowDispatcher::ServeMessage:
        Dispatcher->Serve();
        return 0;
    case WM_COMMAND:
        Command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID:
        return MAKELRESULT(DefaultButton(), DC_HASDEFID);
    case WM_DPICHANGED: {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(Window, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
        ApplyDpi(HIWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        DoClos();
        DestroyWindow(Window);
        return 0;
    case WM_DESTROY:
        // Closing without WM_CLOSE (the session ends): the worker is stopped here all the same,
        // its pending calls served while the controls still exist, and the port's queued calls
        // run before the window that would serve them is gone.
        DoClos();
        Dispatcher->Close();
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrA(Window, GWLP_USERDATA, 0);
        Window = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcA(Window, message, wParam, lParam);
}

int TMain::DefaultButton() const
{
    const HWND focus = GetFocus();
    for (const TControl button : {ctEndBut, ctPrevBut, ctBrowseBut}) {
        if (focus == Control(button))
            return button;
    }
    return ctNextBut;
}

void TMain::Command(int id, int notification)
{
    switch (id) {
    case ctNextBut:
        // Enter reaches here through the dialog manager too: only an offered Next moves on.
        if (notification == BN_CLICKED && IsWindowVisible(Control(ctNextBut)) &&
            IsWindowEnabled(Control(ctNextBut)))
            DoNext();
        break;
    case ctPrevBut:
        if (notification == BN_CLICKED && IsWindowVisible(Control(ctPrevBut)))
            DoPrev();
        break;
    case ctEndBut:
        if (notification == BN_CLICKED)
            DoQuit();
        break;
    case ctBrowseBut:
        if (notification == BN_CLICKED && IsWindowVisible(Control(ctBrowseBut)))
            DoBrowse();
        break;
    case ctShutdnChk:
        if (notification == BN_CLICKED)
            Wizard.ShutdownChanged(IsDlgButtonChecked(Window, ctShutdnChk) == BST_CHECKED);
        break;
    case ctLangCombo:
        if (notification == CBN_SELCHANGE)
            DoLang();
        break;
    case ctFileCombo:
        // Only the user's own changes count: typing, or picking a recent file (whose text
        // reaches the edit field only after this notification).
        if (notification == CBN_EDITCHANGE) {
            FileComboChange();
        } else if (notification == CBN_SELCHANGE) {
            const HWND box = Control(ctFileCombo);
            const LRESULT item = SendMessageA(box, CB_GETCURSEL, 0, 0);
            if (item != CB_ERR)
                Wizard.FileComboChange(SendMessageA(box, CB_GETLBTEXTLEN, item, 0) <= 0);
        }
        break;
    default:
        break; // IDCANCEL from Escape among them: no button cancels
    }
}

void TMain::PostServeWorker()
{
    // The worker's synchronized calls wait in its own queue; this only has the window serve them,
    // so a wake-up that dies with the window loses nothing (closing serves them itself).
    Dispatcher->Post([this] { Wizard.ServeWorkerCalls(); });
}

void TMain::DoAct()
{
    if (Window != nullptr)
        Wizard.DoAct();
}

void TMain::SetLanguages(const std::vector<std::string>& names)
{
    const HWND langCombo = Control(ctLangCombo);
    for (const std::string& name : names)
        SendMessageA(langCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(langCombo, CB_SETCURSEL, 0, 0);
    FocusControl(langCombo);
}

void TMain::DoLang()
{
    const LRESULT item = SendMessageA(Control(ctLangCombo), CB_GETCURSEL, 0, 0);
    Wizard.DoLang(static_cast<std::uint8_t>(item == CB_ERR ? 0 : item));
}

void TMain::SetCaptions(const TCaptions& captions)
{
    SetDlgItemTextA(Window, ctNextBut, captions.NextBut.c_str());
    SetDlgItemTextA(Window, ctPrevBut, captions.PrevBut.c_str());
    SetDlgItemTextA(Window, ctEndBut, captions.EndBut.c_str());
    SetDlgItemTextA(Window, ctShutdnChk, captions.ShutdnChk.c_str());
    SetDlgItemTextA(Window, ctFileTxt, captions.FileTxt.c_str());
    SaveTitle = captions.SaveDlg;
}

void TMain::FileComboChange()
{
    Wizard.FileComboChange(FileText().empty());
}

void TMain::FocusControl(HWND control)
{
    FocusedControl = control;
    SetFocus(control != nullptr ? control : Window);
}

void TMain::RestoreFocus()
{
    if (FocusedControl != nullptr && IsWindowVisible(FocusedControl) &&
        IsWindowEnabled(FocusedControl))
        SetFocus(FocusedControl);
    else
        SetFocus(Window);
}

void TMain::SetNextEnabled(bool enabled)
{
    EnableWindow(Control(ctNextBut), enabled ? TRUE : FALSE);
}

void TMain::SetVisible(TControl id, bool visible)
{
    ShowWindow(Control(id), visible ? SW_SHOWNA : SW_HIDE);
}

void TMain::ShowPage(const TPageView& view)
{
    SetVisible(ctLangGrp, view.LangGrpVisible);
    SetDlgItemTextA(Window, ctLangGrp, view.LangGrpCaption.c_str());
    SetVisible(ctLangCombo, view.LangComboVisible);
    SetVisible(ctFileTxt, view.FileTxtVisible);
    SetVisible(ctFileCombo, view.FileComboVisible);
    SetVisible(ctBrowseBut, view.BrowseButVisible);
    SetNextEnabled(view.NextButEnabled);
    SetVisible(ctShutdnChk, view.ShutdnChkVisible);
    SetVisible(ctPrevBut, view.PrevButVisible);
    if (view.InstrTxtCaption)
        SetInstruction(*view.InstrTxtCaption);
    SetVisible(ctInstrTxt, view.InstrTxtVisible);
    if (view.PrcBarReset)
        SendMessageA(Control(ctPrcBar), PBM_SETPOS, 0, 0);
    SetVisible(ctPrcBar, view.PrcBarVisible);

    switch (view.Focus) {
    case fcLangCombo:
        FocusControl(Control(ctLangCombo));
        break;
    case fcFileCombo:
        FocusControl(Control(ctFileCombo));
        break;
    case fcShutdnChk:
        FocusControl(Control(ctShutdnChk));
        break;
    case fcNextBut:
        FocusControl(Control(ctNextBut));
        break;
    case fcCleared:
        FocusControl(nullptr); // the window itself: no control is active
        break;
    case fcUnchanged:
        break;
    }
}

void TMain::ShowProgress(std::uint8_t percent)
{
    SendMessageA(Control(ctPrcBar), PBM_SETPOS, percent, 0);
}
