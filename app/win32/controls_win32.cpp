// SPDX-License-Identifier: MIT
#include "app/win32/controls_win32.h"

#include <commctrl.h>

#include <stdexcept>

#include "platform/widetext_win32.h"

namespace app::win32 {

// Marks the adapter's own operations, so that the notifications they cause are told apart from
// the user's.
class ListViewControl::OwnChange {
 public:
    explicit OwnChange(ListViewControl& list) : m_list(list) { ++m_list.m_ownChanges; }
    ~OwnChange() { --m_list.m_ownChanges; }
    OwnChange(const OwnChange&) = delete;
    OwnChange& operator=(const OwnChange&) = delete;

 private:
    ListViewControl& m_list;
};

ListViewControl::ListViewControl(HWND list, CheckBoxes checkBoxes)
    : m_list(list), m_checkBoxes(checkBoxes == CheckBoxes::With) {
    DWORD extended = LVS_EX_FULLROWSELECT;
    if (m_checkBoxes) {
        extended |= LVS_EX_CHECKBOXES;
    }
    ListView_SetExtendedListViewStyleEx(m_list, extended, extended);
}

int ListViewControl::count() const {
    return static_cast<int>(m_texts.size());
}

int ListViewControl::selectedPosition() const {
    return ListView_GetNextItem(m_list, -1, LVNI_SELECTED) + 1;
}

void ListViewControl::check(int position) const {
    if (position < 1 || position > count()) {
        throw std::out_of_range("list view position");
    }
}

std::string ListViewControl::text(int position) const {
    check(position);
    return m_texts[static_cast<std::size_t>(position - 1)];
}

void ListViewControl::append(const std::string& text) {
    insert(count() + 1, text);
}

void ListViewControl::insert(int position, const std::string& text) {
    if (position < 1 || position > count() + 1) {
        throw std::out_of_range("list view position");
    }
    OwnChange own(*this);
    std::wstring shown = platform::Widen(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = position - 1;
    item.pszText = shown.data();
    item.iImage = I_IMAGENONE;
    if (ListView_InsertItem(m_list, &item) < 0) {
        throw std::runtime_error("the list view refused an entry");
    }
    m_texts.insert(m_texts.begin() + (position - 1), text);
    m_icons.insert(m_icons.begin() + (position - 1), 0);
    if (m_checkBoxes) {
        ListView_SetCheckState(m_list, position - 1, FALSE);
    }
}

void ListViewControl::remove(int position) {
    check(position);
    OwnChange own(*this);
    ListView_DeleteItem(m_list, position - 1);
    m_texts.erase(m_texts.begin() + (position - 1));
    m_icons.erase(m_icons.begin() + (position - 1));
}

void ListViewControl::clear() {
    OwnChange own(*this);
    ListView_DeleteAllItems(m_list);
    m_texts.clear();
    m_icons.clear();
}

int ListViewControl::smallIcon(int position) const {
    check(position);
    return m_icons[static_cast<std::size_t>(position - 1)];
}

void ListViewControl::setSmallIcon(int position, int icon) {
    check(position);
    OwnChange own(*this);
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = position - 1;
    // The image list counts from 0, the program from 1; 0 shows none.
    item.iImage = icon >= 1 ? icon - 1 : I_IMAGENONE;
    ListView_SetItem(m_list, &item);
    m_icons[static_cast<std::size_t>(position - 1)] = icon;
}

void ListViewControl::select(int position) {
    check(position);
    OwnChange own(*this);
    ListView_SetItemState(m_list, -1, 0, LVIS_SELECTED);
    ListView_SetItemState(m_list, position - 1, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
}

void ListViewControl::ensureVisible(int position) {
    check(position);
    ListView_EnsureVisible(m_list, position - 1, FALSE);
}

bool ListViewControl::checked(int position) const {
    check(position);
    return m_checkBoxes && ListView_GetCheckState(m_list, position - 1) != 0;
}

void ListViewControl::setChecked(int position, bool checked) {
    check(position);
    if (m_checkBoxes) {
        OwnChange own(*this);
        ListView_SetCheckState(m_list, position - 1, checked ? TRUE : FALSE);
    }
}

void ListViewControl::refresh() {
    ShowWindow(m_list, SW_SHOW);
    // Called from handlers that keep the message loop busy; paint now rather than afterwards.
    InvalidateRect(m_list, nullptr, TRUE);
    UpdateWindow(m_list);
}

ComboBoxControl::ComboBoxControl(HWND combo) : m_combo(combo) {}

void ComboBoxControl::notify(int code) {
    if (code == CBN_EDITCHANGE) {
        m_position = -1;
    } else if (code == CBN_SELCHANGE) {
        const auto chosen = static_cast<int>(SendMessageW(m_combo, CB_GETCURSEL, 0, 0));
        m_position = chosen >= 0 && chosen < count() ? chosen : -1;
    }
}

std::wstring ComboBoxControl::shownText() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(m_combo)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(m_combo, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::string ComboBoxControl::editText() const {
    const std::wstring shown = shownText();
    // The current entry's own bytes while the field still shows it unchanged.
    if (m_position >= 0 &&
        shown == platform::Widen(m_items[static_cast<std::size_t>(m_position)])) {
        return m_items[static_cast<std::size_t>(m_position)];
    }
    return platform::Narrow(shown);
}

int ComboBoxControl::count() const {
    return static_cast<int>(m_items.size());
}

std::string ComboBoxControl::itemText(int position) const {
    if (position < 0 || position >= count()) {
        throw std::out_of_range("combo box position");
    }
    return m_items[static_cast<std::size_t>(position)];
}

int ComboBoxControl::currentPosition() const {
    return m_position;
}

void ComboBoxControl::setCurrentPosition(int position) {
    if (position < -1 || position >= count()) {
        throw std::out_of_range("combo box position");
    }
    SendMessageW(m_combo, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    if (position < 0) {
        SetWindowTextW(m_combo, L"");
    }
    m_position = position;
}

void ComboBoxControl::insert(int position, const std::string& text) {
    if (position < 0 || position > count()) {
        throw std::out_of_range("combo box position");
    }
    const std::wstring shown = shownText();
    const std::wstring item = platform::Widen(text);
    SendMessageW(m_combo, CB_INSERTSTRING, static_cast<WPARAM>(position),
                 reinterpret_cast<LPARAM>(item.c_str()));
    m_items.insert(m_items.begin() + position, text);
    if (m_position >= position) {
        ++m_position;
    }
    keepEditText(shown);
}

void ComboBoxControl::remove(int position) {
    if (position < 0 || position >= count()) {
        throw std::out_of_range("combo box position");
    }
    const std::wstring shown = shownText();
    SendMessageW(m_combo, CB_DELETESTRING, static_cast<WPARAM>(position), 0);
    m_items.erase(m_items.begin() + position);
    if (m_position == position) {
        m_position = -1;
    } else if (m_position > position) {
        --m_position;
    }
    keepEditText(shown);
}

// Adding or removing entries never changes what the field shows.
void ComboBoxControl::keepEditText(const std::wstring& text) {
    if (shownText() != text) {
        SetWindowTextW(m_combo, text.c_str());
    }
}

ProgressBarControl::ProgressBarControl(HWND bar) : m_bar(bar) {
    SendMessageW(m_bar, PBM_SETRANGE32, 0, m_maximum);
}

void ProgressBarControl::setMaximum(int maximum) {
    m_maximum = maximum;
    SendMessageW(m_bar, PBM_SETRANGE32, 0, maximum);
}

void ProgressBarControl::setValue(int value) {
    m_value = value;
    SendMessageW(m_bar, PBM_SETPOS, static_cast<WPARAM>(value), 0);
    // Runs keep the message loop busy between documents; show the step now.
    UpdateWindow(m_bar);
}

void FormControl::setMousePointer(int pointer) {
    m_pointer = pointer;
    SetCursor(cursor() != nullptr ? cursor() : LoadCursorW(nullptr, IDC_ARROW));
}

platform::Hwnd FormControl::hWnd() const {
    return reinterpret_cast<platform::Hwnd>(m_window);
}

HCURSOR FormControl::cursor() const {
    return m_pointer == core::vbHourglass ? LoadCursorW(nullptr, IDC_WAIT) : nullptr;
}

}  // namespace app::win32
