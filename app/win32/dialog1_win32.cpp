// SPDX-License-Identifier: MIT
// The About box on Windows: the form of dialogs/dialog1.cpp drawn with the system's controls, at
// the same places in twips and the same place on the screen. The support address and the home
// page are links: text in the colour of selected items under the program's hand pointer, which
// opens a new mail or the browser when clicked. As in the Qt form, only "OK" takes the keyboard
// focus; Enter presses it and Escape closes the box.
#include "app/win32/dialog1_win32.h"
#include "dialogs/links.h"
#include "platform/shell.h"

// After shell.h, whose show commands windows.h (which winui_win32.h brings) defines as macros of
// the same names and values.
#include "app/win32/winui_win32.h"

#include <iterator>
#include <string>

namespace app::win32 {

using dialogs::kHomePage;
using dialogs::kSupportAddress;

namespace {

constexpr wchar_t kWindowClass[] = L"PavendelAbout";
constexpr wchar_t kLinkClass[] = L"PavendelLink";

constexpr int kIconSize = 48;

// The hand pointer over the links (pavendel.rc), made from the picture of the Qt build's pointer.
constexpr wchar_t kHandPointer[] = L"HAND_POINTER";

// OK is IDOK so that Enter presses it; Escape sends IDCANCEL, which closes the box as well.
enum ControlId : int { kOKButton = IDOK, kLabel2 = 101, kLabel8 };

constexpr const char* kLegalNotice =
    "Pavendel is free software under the MIT licence. Copying or distributing this program, in "
    "whole or in part, in any way the licence does not allow is unauthorised and will be "
    "prosecuted as far as the law permits.";
constexpr const char* kOwnerNotice = "\u00a9 2026 The Pavendel developers";

// Where Frame1 lies in the box; the labels inside it were laid out from its corner.
constexpr int kFrameLeft = 240;
constexpr int kFrameTop = 960;

// The home page as the link shows it: the address without "https://" or "http://".
std::string withoutScheme(const std::string& address) {
    const std::size_t separator = address.find("://");
    return separator == std::string::npos ? address : address.substr(separator + 3);
}

// The link's extra window bytes: its font, and whether the left button went down on it.
constexpr int kLinkFont = 0;
constexpr int kLinkPressed = sizeof(LONG_PTR);

// The link's text on the dialog's face, in the colour of selected items, as in the Qt form (the
// system's hyperlink colour, COLOR_HOTLIGHT, is a pale grey in some themes, Wine's among them).
void paintLink(HWND link, HDC dc) {
    wchar_t text[256] = {};
    GetWindowTextW(link, text, static_cast<int>(std::size(text)));
    RECT area;
    GetClientRect(link, &area);
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrW(link, kLinkFont)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHT));
    DrawTextW(dc, text, -1, &area, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

// A press and a release of the left button both on the link click it, as with a button; the
// parent hears of it as WM_COMMAND with STN_CLICKED. The link takes no focus and no keys, like
// the Qt LinkLabel.
LRESULT CALLBACK linkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETFONT:
            SetWindowLongPtrW(link, kLinkFont, static_cast<LONG_PTR>(wParam));
            if (LOWORD(lParam) != 0) {
                InvalidateRect(link, nullptr, TRUE);
            }
            return 0;
        case WM_GETFONT:
            return GetWindowLongPtrW(link, kLinkFont);
        case WM_LBUTTONDOWN:
            SetWindowLongPtrW(link, kLinkPressed, 1);
            SetCapture(link);
            return 0;
        case WM_LBUTTONUP: {
            const bool pressed = GetWindowLongPtrW(link, kLinkPressed) != 0;
            SetWindowLongPtrW(link, kLinkPressed, 0);
            if (GetCapture() == link) {
                ReleaseCapture();
            }
            RECT area;
            GetClientRect(link, &area);
            const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (pressed && PtInRect(&area, at) != 0) {
                SendMessageW(GetParent(link), WM_COMMAND,
                             MAKEWPARAM(GetDlgCtrlID(link), STN_CLICKED),
                             reinterpret_cast<LPARAM>(link));
            }
            return 0;
        }
        case WM_CAPTURECHANGED:
            SetWindowLongPtrW(link, kLinkPressed, 0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(link, &paint);
            paintLink(link, dc);
            EndPaint(link, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            paintLink(link, reinterpret_cast<HDC>(wParam));
            return 0;
        default:
            return DefWindowProcW(link, message, wParam, lParam);
    }
}

class Dialog1 {
 public:
    // The links and the owner notice are in Arial 9 pt, the rest in Arial 8.4 pt.
    Dialog1()
        : m_font(CreatePointFont(L"Arial", 8.4)),
          m_noticeFont(CreatePointFont(L"Arial", 9)),
          m_icon(ProgramIcon(kIconSize)) {}
    ~Dialog1() {
        DeleteObject(m_noticeFont);
        DeleteObject(m_font);
    }
    Dialog1(const Dialog1&) = delete;
    Dialog1& operator=(const Dialog1&) = delete;

    void Show() {
        HWND window =
            CreateFixedDialogWindow(kWindowClass, "About us", 2760, 3600, 4908, 4116, this);
        if (window != nullptr) {
            RunModalWindow(window, [this] { return m_closed; });
        }
    }

    // Messages reach handle() through OwnedWindowProc.
    friend LRESULT CALLBACK OwnedWindowProc<Dialog1>(HWND, UINT, WPARAM, LPARAM);

 private:
    bool handle(HWND window, UINT message, WPARAM wParam) {
        switch (message) {
            case WM_CREATE:
                m_window = window;
                createControls();
                return true;
            case WM_ACTIVATE:
                if (LOWORD(wParam) != WA_INACTIVE) {
                    SetFocus(m_okButton);
                }
                return true;
            case WM_PAINT: {
                PAINTSTRUCT paint;
                HDC dc = BeginPaint(window, &paint);
                if (m_icon != nullptr) {
                    DrawIconEx(dc, 0, 0, m_icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
                }
                EndPaint(window, &paint);
                return true;
            }
            case WM_COMMAND:
                switch (LOWORD(wParam)) {
                    case kOKButton:
                        OKButton_Click();
                        break;
                    case IDCANCEL:
                        close();
                        break;
                    case kLabel2:
                        Label2_Click();
                        break;
                    case kLabel8:
                        Label8_Click();
                        break;
                    default:
                        break;
                }
                return true;
            case WM_CLOSE:
                close();
                return true;
            default:
                return false;
        }
    }

    void createControls() {
        // Created in tab order; the labels and the frame take no focus.
        m_okButton =
            CreateControl(m_window, L"BUTTON", "OK", WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON,
                          kOKButton, 120, 3600, 1215, 375, m_font);
        label("Pavendel", 840, 240, 2055, 255, m_font);
        label("Version:2009.9.9", 840, 480, 1455, 255, m_font);
        // The legal notice alone wraps onto several lines.
        CreateControl(m_window, L"STATIC", kLegalNotice, SS_LEFT | SS_NOPREFIX, 0, 120, 2280, 4695,
                      1095, m_font);

        // Inside Frame1, placed from its corner. The labels lie above the frame, which is
        // created last so that it is drawn beneath them.
        link(kSupportAddress, kLabel2, 1800, 240, 2290, 250);
        frameLabel("Technical Support:", 120, 240, 1690, 250, m_font);
        frameLabel(kOwnerNotice, 120, 720, 3135, 255, m_noticeFont);
        frameLabel(" Website:", 120, 480, 850, 250, m_font);
        link(withoutScheme(kHomePage), kLabel8, 1800, 480, 1930, 250);
        CreateControl(m_window, L"BUTTON", "", BS_GROUPBOX | WS_CLIPSIBLINGS, 0, kFrameLeft,
                      kFrameTop, 4450, 1090, m_font);
    }

    void label(const std::string& text, int left, int top, int width, int height, HFONT font) {
        CreateControl(m_window, L"STATIC", text, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, left, top,
                      width, height, font);
    }
    void frameLabel(const std::string& text, int left, int top, int width, int height, HFONT font) {
        label(text, kFrameLeft + left, kFrameTop + top, width, height, font);
    }
    void link(const std::string& text, int id, int left, int top, int width, int height) {
        CreateControl(m_window, kLinkClass, text, 0, id, kFrameLeft + left, kFrameTop + top, width,
                      height, m_noticeFont);
    }

    void Label2_Click() {
        platform::ShellExecuteA(platform::FromHWND(m_window), "open",
                                std::string("mailto:") + kSupportAddress, "", "", SW_SHOWMAXIMIZED);
    }

    void Label8_Click() {
        platform::ShellExecuteA(platform::FromHWND(m_window), "open", kHomePage, "", "", SW_SHOW);
    }

    void OKButton_Click() { close(); }

    void close() {
        m_closed = true;
        // Wakes the modal loop when the close came in a message sent from another thread.
        PostMessageW(m_window, WM_NULL, 0, 0);
    }

    HFONT m_font;
    HFONT m_noticeFont;
    HICON m_icon;
    HWND m_window = nullptr;
    HWND m_okButton = nullptr;
    bool m_closed = false;
};

void registerWindowClasses() {
    static const bool registered = [] {
        WNDCLASSEXW windowClass = WindowClass(kWindowClass, OwnedWindowProc<Dialog1>);
        RegisterClassExW(&windowClass);

        WNDCLASSEXW linkClass = windowClass;
        linkClass.lpfnWndProc = linkProc;
        linkClass.cbWndExtra = 2 * sizeof(LONG_PTR);
        linkClass.hCursor = LoadCursorW(GetModuleHandleW(nullptr), kHandPointer);
        if (linkClass.hCursor == nullptr) {
            linkClass.hCursor = LoadCursorW(nullptr, IDC_HAND);
        }
        linkClass.lpszClassName = kLinkClass;
        RegisterClassExW(&linkClass);
        return true;
    }();
    (void)registered;
}

}  // namespace

void ShowAbout() {
    registerWindowClasses();
    Dialog1 dialog;
    dialog.Show();
}

}  // namespace app::win32
