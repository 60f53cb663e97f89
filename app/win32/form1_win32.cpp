// SPDX-License-Identifier: MIT
#include "app/win32/form1_win32.h"
#include "app/win32/dialog1_win32.h"
#include "app/win32/setting_win32.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <exception>
#include <optional>
#include <string>
#include <utility>

#include "app/win32/winui_win32.h"
#include "core/form1layout.h"
#include "core/listcommands.h"
#include "core/twips.h"
#include "core/windowlists.h"
#include "dialogs/choosers.h"
#include "dialogs/links.h"
#include "platform/msgbox.h"
#include "platform/widetext_win32.h"

namespace app::win32 {

namespace {

const char* const kCaption = "Pavendel";

// A change of the source list's selection, listed once the list view's notifications of it
// have all arrived.
constexpr UINT kListSelectedSource = WM_APP + 1;

constexpr int kLargeIcon = 48;
constexpr int kSmallIcon = 32;
constexpr int kListImage = 16;

// The pictures are icon resources of the executable (pavendel.rc).
HICON loadPicture(const wchar_t* name, int size) {
    return static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

const core::ControlPlacement& placement(const char* name) {
    for (const core::ControlPlacement& p : core::kForm1Placements) {
        if (std::string(p.name) == name) {
            return p;
        }
    }
    std::terminate();
}

HWND createPlaced(HWND parent, const char* name, const wchar_t* windowClass, std::string_view text,
                  DWORD style, int id, HFONT font, int extraHeight = 0) {
    const core::ControlPlacement& p = placement(name);
    return CreateControl(parent, windowClass, text, style, id, p.left, p.top, p.width,
                         p.height + extraHeight, font);
}

bool isInput(UINT message) {
    return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
           (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_CONTEXTMENU;
}

void registerClass() {
    static const bool registered = [] {
        const WNDCLASSEXW windowClass = WindowClass(kForm1Class, DefWindowProcW);
        return RegisterClassExW(&windowClass) != 0;
    }();
    (void)registered;
}

}  // namespace

form1::form1(state::StateFiles stateFiles) : m_stateFiles(std::move(stateFiles)) {
    registerClass();
    // A fixed single border: a title bar with the system menu and the close button only, neither
    // a minimise nor a maximise box.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    const DWORD extendedStyle = WS_EX_CONTROLPARENT;
    const std::wstring caption = platform::Widen(kCaption);
    m_window = CreateWindowExW(extendedStyle, kForm1Class, caption.c_str(), style, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (m_window == nullptr) {
        throw std::runtime_error("The main window could not be created: " +
                                 platform::SystemErrorText(GetLastError()));
    }
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&form1::windowProcedure));

    m_buttonFont = CreatePointFont(L"Arial", 9.6);
    m_listFont = CreatePointFont(L"Arial", 8.4);
    m_labelFont = CreatePointFont(L"Arial", 9);
    createMenus();
    createControls();

    // The client area as laid out, below the menu bar.
    const int dpi = ScreenDpi();
    RECT frame{0, 0, core::TwipsToPixels(core::kForm1ClientWidth, dpi),
               core::TwipsToPixels(core::kForm1ClientHeight, dpi)};
    AdjustWindowRectEx(&frame, style, TRUE, extendedStyle);
    SetWindowPos(m_window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    m_module1 = std::make_unique<core::Module1>(controls());
    // Messages that came since the last document first: an Esc among them asks to stop.
    m_module1->SetStopCheck([this] {
        pumpMessages();
        return m_run.stopHere();
    });
    SetFocus(GetDlgItem(m_window, kCommand5));
    Form_Load();
}

form1::~form1() {
    if (m_window != nullptr) {
        SetWindowLongPtrW(m_window, GWLP_USERDATA, 0);
        DestroyWindow(m_window);
    }
    for (const Picture& picture : m_pictures) {
        DestroyIcon(picture.icon);
    }
    if (m_smallIcons != nullptr) {
        ImageList_Destroy(m_smallIcons);
    }
    for (HFONT font : {m_buttonFont, m_listFont, m_labelFont}) {
        DeleteObject(font);
    }
}

platform::Hwnd form1::hWnd() const {
    return platform::FromHWND(m_window);
}

core::MainControls form1::controls() {
    return core::MainControls{*m_listView1, *m_listView2, *m_combo2, *m_progressBar1, *m_form};
}

void form1::createMenus() {
    HMENU bar = CreateMenu();
    const auto popup = [bar](const wchar_t* caption) {
        HMENU menu = CreatePopupMenu();
        AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(menu), caption);
        return menu;
    };
    HMENU file = popup(L"File");
    AppendMenuW(file, MF_STRING, kAddFolder, L"Add Folder");
    AppendMenuW(file, MF_STRING, kAddExcel, L"Add Word");
    HMENU edit = popup(L"Edit");
    AppendMenuW(edit, MF_STRING, kRemoveItem, L"Remove Item");
    AppendMenuW(edit, MF_STRING, kRemoveAll, L"Remove All Items");
    AppendMenuW(edit, MF_STRING, kRemoveoutput, L"Remove Current Output Directory");
    AppendMenuW(edit, MF_STRING, kRemoveAllOutput, L"Remove All Output Directory");
    HMENU actions = popup(L"Actions");
    AppendMenuW(actions, MF_STRING, kSeparate, L"Convert");
    // An entry of the bar itself: it acts when clicked and opens nothing.
    AppendMenuW(bar, MF_STRING, kSettings, L"Settings");
    HMENU help = popup(L"Help");
    AppendMenuW(help, MF_STRING, kHelp1, L"Help");
    AppendMenuW(help, MF_STRING, kHomePage, L"HomePage");
    AppendMenuW(help, MF_STRING, kAbout, L"About");
    SetMenu(m_window, bar);
}

void form1::createControls() {
    struct PictureButton {
        const char* name;
        const char* caption;
        const wchar_t* picture;
        int size;
        int id;
    };
    // In tab order: the window's controls are created in the order the keyboard visits them.
    const PictureButton buttons[] = {
        {"Command5", "Add Folder", L"PICTURE_ADD_FOLDER", kLargeIcon, kCommand5},
        {"Command1", "Add Word", L"PICTURE_ADD_WORD", kLargeIcon, kCommand1},
        {"Command2", "Remove File", L"PICTURE_REMOVE_FILE", kSmallIcon, kCommand2},
        {"Command6", "Convert", L"PICTURE_CONVERT", kLargeIcon, kCommand6},
        {"Command8", "Help", L"PICTURE_HELP", kSmallIcon, kCommand8},
        {"Command7", "HomePage", L"PICTURE_HOMEPAGE", kLargeIcon, kCommand7},
        {"Command9", "Exit", L"PICTURE_EXIT", kSmallIcon, kCommand9},
    };
    const auto addPicture = [this](const PictureButton& b) {
        HWND button = createPlaced(m_window, b.name, WC_BUTTONW, b.caption,
                                   WS_TABSTOP | BS_OWNERDRAW, b.id, m_buttonFont);
        m_pictures.push_back(Picture{button, loadPicture(b.picture, b.size), b.size});
    };
    for (const PictureButton& b : buttons) {
        addPicture(b);
    }

    const DWORD listStyle =
        WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
    HWND list1 =
        createPlaced(m_window, "ListView1", WC_LISTVIEWW, "", listStyle, kListView1, m_listFont);
    HWND list2 =
        createPlaced(m_window, "ListView2", WC_LISTVIEWW, "", listStyle, kListView2, m_listFont);
    const int dpi = ScreenDpi();
    const auto addColumn = [dpi](HWND list, const char* title, int widthTwips) {
        std::wstring text = platform::Widen(title);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.cx = core::TwipsToPixels(widthTwips, dpi);
        column.pszText = text.data();
        ListView_InsertColumn(list, 0, &column);
    };
    addColumn(list1, core::kListView1Column, core::kListView1ColumnWidth);
    addColumn(list2, core::kListView2Column, core::kListView2ColumnWidth);

    // The arrows are narrower than the large arrow, so they show its small variant.
    addPicture({"Command3", "", L"PICTURE_ARROW_UP", kListImage, kCommand3});
    addPicture({"Command4", "", L"PICTURE_ARROW_DOWN", kListImage, kCommand4});

    HWND bar = createPlaced(m_window, "ProgressBar1", PROGRESS_CLASSW, "", PBS_SMOOTH,
                            kProgressBar1, nullptr);
    createPlaced(m_window, "Command11", WC_BUTTONW, "View", WS_TABSTOP | BS_PUSHBUTTON, kCommand11,
                 m_listFont);
    createPlaced(m_window, "Command10", WC_BUTTONW, "Browse", WS_TABSTOP | BS_PUSHBUTTON,
                 kCommand10, m_labelFont);
    // The height of a drop-down combo box includes its open list.
    HWND combo = createPlaced(m_window, "Combo2", WC_COMBOBOXW, "",
                              WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, kCombo2,
                              m_listFont, 3000);
    createPlaced(m_window, "Label1", WC_STATICW, "Select  output directory:", SS_LEFT, kLabel1,
                 m_labelFont);

    m_smallIcons = ImageList_Create(kListImage, kListImage, ILC_COLOR32 | ILC_MASK, 3, 0);
    for (const wchar_t* name :
         {L"PICTURE_LIST_DOCUMENT", L"PICTURE_LIST_FOLDER", L"PICTURE_LIST_MISSING"}) {
        HICON icon = loadPicture(name, kListImage);
        ImageList_AddIcon(m_smallIcons, icon);
        DestroyIcon(icon);
    }
    ListView_SetImageList(list1, m_smallIcons, LVSIL_SMALL);
    // Files and folders dropped from Explorer onto the source list are added to it.
    DragAcceptFiles(list1, TRUE);

    m_listView1 = std::make_unique<ListViewControl>(list1, ListViewControl::CheckBoxes::Without);
    m_listView2 = std::make_unique<ListViewControl>(list2, ListViewControl::CheckBoxes::With);
    m_combo2 = std::make_unique<ComboBoxControl>(combo);
    m_progressBar1 = std::make_unique<ProgressBarControl>(bar);
    m_form = std::make_unique<FormControl>(m_window);

    // Every control holds its input back during a run; the source list also marks the press of
    // a click and takes dropped files.
    for (HWND child = GetWindow(m_window, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        SetWindowSubclass(child, &form1::controlProcedure, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof(parts);
    if (GetComboBoxInfo(combo, &parts) != 0 && parts.hwndItem != nullptr) {
        SetWindowSubclass(parts.hwndItem, &form1::controlProcedure, 0,
                          reinterpret_cast<DWORD_PTR>(this));
    }
}

void form1::Form_Load() {
    core::RestoreLists(controls(), m_stateFiles);
}

void form1::Form_Unload() {
    const std::string message = core::SaveLists(controls(), m_stateFiles);
    // The window closes all the same: the user learns which list is lost, once.
    if (!message.empty()) {
        platform::MsgBox(message, platform::vbCritical, kCaption);
    }
}

bool form1::preTranslate(MSG& message) {
    if (m_window == nullptr) {
        return false;
    }
    // Enter and Esc would press buttons the window does not have; the run asks for Esc itself.
    if (message.message == WM_KEYDOWN &&
        (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE) &&
        (message.hwnd == m_window || IsChild(m_window, message.hwnd))) {
        return false;
    }
    return IsDialogMessageW(m_window, &message) != 0;
}

LRESULT CALLBACK form1::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->handle(message, wParam, lParam);
    } catch (const std::exception& error) {
        // Nothing may leave a window procedure; what a command could not do is said.
        self->m_form->setMousePointer(core::vbDefault);
        platform::MsgBox(error.what(), platform::vbCritical, kCaption);
        return 0;
    }
}

LRESULT CALLBACK form1::controlProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR, DWORD_PTR data) {
    return reinterpret_cast<form1*>(data)->handleControl(control, message, wParam, lParam);
}

LRESULT form1::handleControl(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_run.running() && isInput(message)) {
        if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
            m_run.requestStop();
        }
        return 0;
    }
    // Controls report keys like Esc to a dialog; this window asks for Esc only during a run.
    if (message == WM_GETDLGCODE && wParam == VK_ESCAPE) {
        return DefSubclassProc(control, message, wParam, lParam);
    }
    if (control == m_listView1->handle()) {
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) {
            m_sourceListingsAtPress = m_sourceListings;
        } else if (message == WM_DROPFILES) {
            auto* drop = reinterpret_cast<HDROP>(wParam);
            std::vector<std::string> paths;
            const UINT files = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < files; ++i) {
                std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
                path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
                paths.push_back(platform::Narrow(path));
            }
            DragFinish(drop);
            if (!m_run.running()) {
                AddPaths(paths);
            }
            return 0;
        }
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

LRESULT form1::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (!m_run.running()) {
                command(LOWORD(wParam), HIWORD(wParam));
            }
            return 0;
        case WM_NOTIFY:
            notify(*reinterpret_cast<const NMHDR*>(lParam));
            return 0;
        case WM_DRAWITEM:
            drawPictureButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_CTLCOLORSTATIC:
            SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        case kListSelectedSource:
            m_listingPosted = false;
            ListView1_ItemClick();
            return 0;
        case WM_SETCURSOR:
            if (HCURSOR wait = m_form->cursor()) {
                SetCursor(wait);
                return TRUE;
            }
            break;
        case WM_KEYDOWN:
            if (m_run.running() && wParam == VK_ESCAPE) {
                m_run.requestStop();
            }
            return 0;
        case WM_CLOSE:
            // During a run the window closes when the run has ended; the user is asked at the
            // next document whether to stop there.
            if (m_run.running()) {
                m_run.requestClose();
                return 0;
            }
            close();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (wParam != 0 && !m_unloaded) {
                m_unloaded = true;
                Form_Unload();
            }
            return 0;
        case WM_DESTROY:
            m_window = nullptr;
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(m_window, message, wParam, lParam);
}

void form1::close() {
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    DestroyWindow(m_window);
}

void form1::command(int id, int code) {
    if (id == kCombo2) {
        m_combo2->notify(code);
        return;
    }
    // Buttons report clicks; menus report 0.
    if (id < kListView1 && code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case kCommand1:
        case kAddExcel:
            return Command1_Click();
        case kCommand5:
        case kAddFolder:
            return Command5_Click();
        case kCommand2:
        case kRemoveItem:
            return Command2_Click();
        case kCommand3:
            return Command3_Click();
        case kCommand4:
            return Command4_Click();
        case kRemoveAll:
            return RemoveAll_Click();
        case kCommand6:
        case kSeparate:
            return Command6_Click();
        case kCommand10:
            return Command10_Click();
        case kCommand11:
            return Command11_Click();
        case kRemoveoutput:
            return Removeoutput_Click();
        case kRemoveAllOutput:
            return RemoveAllOutput_Click();
        case kCommand8:
        case kHelp1:
            return Command8_Click();
        case kCommand7:
        case kHomePage:
            return Command7_Click();
        case kSettings:
            return Settings_Click();
        case kAbout:
            return About_Click();
        case kCommand9:
            return Command9_Click();
        default:
            return;
    }
}

void form1::notify(const NMHDR& header) {
    if (header.idFrom != kListView1 || m_run.running()) {
        return;
    }
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const bool selectionChanged = (change.uChanged & LVIF_STATE) != 0 &&
                                      ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0;
        if (selectionChanged && !m_listView1->ownChange() && !m_listingPosted) {
            m_listingPosted = true;
            ++m_sourceListings;
            PostMessageW(m_window, kListSelectedSource, 0, 0);
        }
    } else if (header.code == NM_CLICK) {
        // A click on the entry that was already selected changed nothing, and lists it again.
        const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
        if (click.iItem >= 0 && m_sourceListings == m_sourceListingsAtPress) {
            ++m_sourceListings;
            ListView1_ItemClick();
        }
    }
}

void form1::drawPictureButton(const DRAWITEMSTRUCT& item) {
    const Picture* picture = nullptr;
    for (const Picture& p : m_pictures) {
        if (p.button == item.hwndItem) {
            picture = &p;
        }
    }
    if (picture == nullptr) {
        return;
    }
    const RECT frame = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    RECT face = frame;
    DrawFrameControl(item.hDC, &face, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
    // What the face's edges leave inside.
    RECT inside = frame;
    InflateRect(&inside, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
    const int shift = pushed ? 1 : 0;
    wchar_t caption[64] = {};
    GetWindowTextW(item.hwndItem, caption, 64);
    HGDIOBJ previousFont = SelectObject(item.hDC, m_buttonFont);

    // A button without a caption centres its picture and has its focus mark inside the edges.
    RECT focus = inside;
    InflateRect(&focus, -1, -1);
    LONG pictureTop = inside.top + (inside.bottom - inside.top - picture->size) / 2;
    if (caption[0] != L'\0') {
        // The caption sits at the bottom, inside its focus mark, which encloses its letters
        // without touching them: the mark's top line runs through the line's internal leading
        // (the room for accents, empty in these captions), its bottom line under the descenders
        // on the last row inside the edges. The picture is centred in the room above the mark; a
        // large picture on a low button reaches the mark's top line only with its transparent
        // margin.
        TEXTMETRICW metrics{};
        GetTextMetricsW(item.hDC, &metrics);
        SIZE extent{};
        GetTextExtentPoint32W(item.hDC, caption, static_cast<int>(std::wcslen(caption)), &extent);
        const LONG lineTop = inside.bottom - 1 - metrics.tmHeight;
        const LONG textLeft = (inside.left + inside.right - extent.cx) / 2;
        focus = RECT{std::max(inside.left, textLeft - 2),
                     lineTop + std::max(0L, metrics.tmInternalLeading - 1),
                     std::min(inside.right, textLeft + extent.cx + 2), inside.bottom};
        pictureTop = std::max(inside.top, (inside.top + focus.top - picture->size) / 2);

        RECT text{inside.left + shift, lineTop + shift, inside.right + shift,
                  lineTop + metrics.tmHeight + shift};
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor((item.itemState & ODS_DISABLED) != 0 ? COLOR_GRAYTEXT
                                                                                : COLOR_BTNTEXT));
        DrawTextW(item.hDC, caption, -1, &text, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (picture->icon != nullptr) {
        DrawIconEx(item.hDC, (frame.left + frame.right - picture->size) / 2 + shift,
                   pictureTop + shift, picture->icon, picture->size, picture->size, 0, nullptr,
                   DI_NORMAL);
    }
    SelectObject(item.hDC, previousFont);
    if ((item.itemState & ODS_FOCUS) != 0) {
        OffsetRect(&focus, shift, shift);
        DrawFocusRect(item.hDC, &focus);
    }
}

// The dialogs' failures end a command silently: the lists keep what was already done.
void form1::Command1_Click() {
    try {
        if (const std::optional<std::string> file = dialogs::ChooseWordFile(*this)) {
            core::AddSourceFile(*m_module1, controls(), *file);
        }
    } catch (const std::exception&) {
        m_form->setMousePointer(core::vbDefault);
    }
}

void form1::Command5_Click() {
    try {
        if (const std::optional<std::string> folder = dialogs::ChooseFolder(*this)) {
            core::AddSourceFolder(*m_module1, controls(), *folder);
        }
    } catch (const std::exception&) {
        m_form->setMousePointer(core::vbDefault);
    }
}

void form1::Command10_Click() {
    try {
        if (const std::optional<std::string> folder = dialogs::ChooseFolder(*this)) {
            core::AddOutputFolder(*m_combo2, *folder);
        }
    } catch (const std::exception&) {
        // A failing folder browser changes nothing.
    }
}

void form1::AddPaths(const std::vector<std::string>& paths) {
    if (m_run.holdBack(paths)) {
        return;
    }
    try {
        core::AddSourcePaths(*m_module1, controls(), paths);
    } catch (const std::exception&) {
        m_form->setMousePointer(core::vbDefault);
    }
}

void form1::Command2_Click() {
    core::RemoveSelectedSource(*m_module1, controls());
}

void form1::Command3_Click() {
    core::MoveSelectedSourceUp(controls());
}

void form1::Command4_Click() {
    core::MoveSelectedSourceDown(controls());
}

void form1::ListView1_ItemClick() {
    core::ListSelectedSource(*m_module1, controls());
}

void form1::RemoveAll_Click() {
    core::RemoveAllSources(controls());
}

void form1::pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        if (message.message == WM_QUIT) {
            // Handed on to the program's own loop once the run is over.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void form1::Command6_Click() {
    if (m_run.running()) {
        return;
    }
    {
        const core::RunGuard::Scope run(m_run, [this] { pumpMessages(); });
        m_module1->ConvertCheckedDocuments();
        // Input that came while the run held it back is dropped, not carried out now.
        MSG dropped;
        while (PeekMessageW(&dropped, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) != 0 ||
               PeekMessageW(&dropped, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) != 0) {
        }
    }
    const core::RunGuard::After after = m_run.takeAfter();
    if (after.close) {
        close();
        return;
    }
    if (!after.paths.empty()) {
        AddPaths(after.paths);
    }
}

void form1::Command11_Click() {
    core::ViewOutputFolder(*m_combo2, hWnd());
}

void form1::Removeoutput_Click() {
    core::RemoveCurrentOutputFolder(*m_combo2);
}

void form1::RemoveAllOutput_Click() {
    core::RemoveAllOutputFolders(*m_combo2);
}

void form1::Command8_Click() {
    dialogs::OpenHelpFile(hWnd());
}

void form1::Command7_Click() {
    dialogs::OpenHomePage(hWnd());
}

void form1::Settings_Click() {
    ShowSettings(m_stateFiles);
}

void form1::About_Click() {
    ShowAbout();
}

void form1::Command9_Click() {
    SendMessageW(m_window, WM_CLOSE, 0, 0);
}

}  // namespace app::win32
