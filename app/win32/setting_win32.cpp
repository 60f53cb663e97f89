// SPDX-License-Identifier: MIT
// The settings dialog on Windows: the form of dialogs/setting.cpp drawn with the system's
// controls, at the same places in twips and with the same behaviour. Neither Enter nor Escape
// presses a button or closes it; the close box closes it as Cancel does.
#include "app/win32/winui_win32.h"
// (winui_win32.h brings windows.h, which the calls below need.)
#include <string>

#include "app/win32/setting_win32.h"
#include "platform/error.h"
#include "platform/msgbox.h"
#include "state/statefiles.h"

namespace app::win32 {

namespace {

constexpr wchar_t kWindowClass[] = L"PavendelSetting";

// The dialog keys would turn Enter into IDOK and Escape into IDCANCEL; the modal loop drops
// those keys, so only the buttons themselves send these.
enum ControlId : int { kOKButton = IDOK, kCancelButton = IDCANCEL, kCheck1 = 101, kCheck2 };

// The caption of the first box ends in a line break; the box shows the caption's single line of
// text, so the line break is left off.
constexpr const char* kCheck1Caption = "Automatically save the current file\r\n";
constexpr const char* kCheck2Caption = "Automatically save the output directory";

std::string withoutLineBreaks(std::string caption) {
    while (!caption.empty() && (caption.back() == '\n' || caption.back() == '\r')) {
        caption.pop_back();
    }
    return caption;
}

class Setting {
 public:
    explicit Setting(const state::StateFiles& files)
        : m_files(files), m_font(CreatePointFont(L"Arial", 8.4)) {}
    ~Setting() { DeleteObject(m_font); }
    Setting(const Setting&) = delete;
    Setting& operator=(const Setting&) = delete;

    void Show() {
        HWND window =
            CreateFixedDialogWindow(kWindowClass, "Setting", 2760, 3756, 3732, 1560, this);
        if (window == nullptr) {
            return;
        }
        RunModalWindow(
            window, [this] { return m_closed; },
            [window](const MSG& message) { return !isEnterOrEscape(window, message); });
    }

    // Messages reach handle() through OwnedWindowProc.
    friend LRESULT CALLBACK OwnedWindowProc<Setting>(HWND, UINT, WPARAM, LPARAM);

 private:
    // Enter and Escape, typed anywhere in the dialog, are dropped before the dialog keys would
    // turn them into a press of a button.
    static bool isEnterOrEscape(HWND window, const MSG& message) {
        const bool key = message.message == WM_KEYDOWN || message.message == WM_KEYUP ||
                         message.message == WM_CHAR;
        return key && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE) &&
               (message.hwnd == window || IsChild(window, message.hwnd) != 0);
    }

    bool handle(HWND window, UINT message, WPARAM wParam) {
        switch (message) {
            case WM_CREATE:
                m_window = window;
                createControls();
                Form_Load();
                return true;
            case WM_ACTIVATE:
                // The focus leaves with the dialog and comes back to the same control.
                if (LOWORD(wParam) == WA_INACTIVE) {
                    HWND focus = GetFocus();
                    if (focus != nullptr && IsChild(window, focus) != 0) {
                        m_focus = focus;
                    }
                } else if (m_focus != nullptr) {
                    SetFocus(m_focus);
                }
                return true;
            case WM_COMMAND:
                if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kOKButton) {
                    OKButton_Click();
                } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == kCancelButton) {
                    CancelButton_Click();
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
        // Created in tab order: OK, Cancel, then the two boxes.
        constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
        constexpr DWORD kBox = WS_TABSTOP | BS_AUTOCHECKBOX;
        m_okButton = CreateControl(m_window, L"BUTTON", "OK", kButton | WS_GROUP, kOKButton, 360,
                                   1080, 1215, 375, m_font);
        CreateControl(m_window, L"BUTTON", "Cancel", kButton, kCancelButton, 2040, 1080, 1215, 375,
                      m_font);
        m_check1 = CreateControl(m_window, L"BUTTON", withoutLineBreaks(kCheck1Caption), kBox,
                                 kCheck1, 360, 240, 2895, 370, m_font);
        m_check2 = CreateControl(m_window, L"BUTTON", kCheck2Caption, kBox, kCheck2, 360, 600, 3135,
                                 255, m_font);
        m_focus = m_okButton;
    }

    void Form_Load() {
        // A missing file or line leaves its box unticked; anything but exactly "1" unticks it.
        const state::SettingsLines lines = m_files.ReadSettingsLines();
        tick(m_check1, lines.hasLine1 && state::IsOn(lines.line1));
        tick(m_check2, lines.hasLine2 && state::IsOn(lines.line2));
    }

    void OKButton_Click() {
        try {
            m_files.WriteSettings(state::Settings{ticked(m_check1), ticked(m_check2)});
        } catch (const platform::SystemError& error) {
            // The old file stays as it was (the write is atomic); the dialog still closes.
            platform::MsgBox("The settings could not be saved to " + error.path() + ".\n\n" +
                                 error.reason() + ".",
                             platform::vbCritical, "Pavendel");
        }
        close();
    }

    void CancelButton_Click() { close(); }

    void close() {
        m_closed = true;
        // Wakes the modal loop when the close came in a message sent from another thread.
        PostMessageW(m_window, WM_NULL, 0, 0);
    }

    static void tick(HWND box, bool on) {
        SendMessageW(box, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    static bool ticked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

    state::StateFiles m_files;
    HFONT m_font;
    HWND m_window = nullptr;
    HWND m_okButton = nullptr;
    HWND m_check1 = nullptr;
    HWND m_check2 = nullptr;
    HWND m_focus = nullptr;
    bool m_closed = false;
};

void registerWindowClass() {
    static const bool registered = [] {
        const WNDCLASSEXW windowClass = WindowClass(kWindowClass, OwnedWindowProc<Setting>);
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

}  // namespace

void ShowSettings(const state::StateFiles& files) {
    registerWindowClass();
    Setting dialog(files);
    dialog.Show();
}

}  // namespace app::win32
