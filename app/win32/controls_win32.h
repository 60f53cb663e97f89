// SPDX-License-Identifier: MIT
// The main window's controls as the module procedures see them (core/controls.h), over the
// system's own controls: a report-view list view, an editable drop-down combo box, a progress
// bar and the window itself. Each keeps the program's texts as UTF-8 exactly as it was given
// them and shows them through the wide-character calls. Positions follow core/controls.h; a
// position that names no entry throws std::out_of_range.
#pragma once

#include <windows.h>
// (windows.h first: the declarations below use its types.)
#include <string>
#include <vector>

#include "core/controls.h"

namespace app::win32 {

class ListViewControl final : public core::ListView {
 public:
    enum class CheckBoxes { Without, With };

    // Sets up the list view (one column, full-row selection, one selected entry at most, and
    // check boxes on request).
    ListViewControl(HWND list, CheckBoxes checkBoxes);

    HWND handle() const { return m_list; }
    // Whether a notification of the list view comes from one of this adapter's own operations
    // rather than from the user.
    bool ownChange() const { return m_ownChanges > 0; }

    int count() const override;
    int selectedPosition() const override;
    std::string text(int position) const override;
    void append(const std::string& text) override;
    void insert(int position, const std::string& text) override;
    void remove(int position) override;
    void clear() override;
    int smallIcon(int position) const override;
    void setSmallIcon(int position, int icon) override;
    void select(int position) override;
    void ensureVisible(int position) override;
    bool checked(int position) const override;
    void setChecked(int position, bool checked) override;
    void refresh() override;

 private:
    class OwnChange;
    void check(int position) const;

    HWND m_list;
    bool m_checkBoxes;
    std::vector<std::string> m_texts;
    std::vector<int> m_icons;
    int m_ownChanges = 0;
};

class ComboBoxControl final : public core::ComboBox {
 public:
    explicit ComboBoxControl(HWND combo);

    HWND handle() const { return m_combo; }
    // The combo box's notifications (CBN_…), passed on by the window that owns it.
    void notify(int code);

    std::string editText() const override;
    int count() const override;
    std::string itemText(int position) const override;
    int currentPosition() const override;
    // -1 makes no entry current and empties the edit field.
    void setCurrentPosition(int position) override;
    void insert(int position, const std::string& text) override;
    void remove(int position) override;

 private:
    std::wstring shownText() const;
    void keepEditText(const std::wstring& text);

    HWND m_combo;
    std::vector<std::string> m_items;
    int m_position = -1;
};

class ProgressBarControl final : public core::ProgressBar {
 public:
    explicit ProgressBarControl(HWND bar);

    int maximum() const override { return m_maximum; }
    void setMaximum(int maximum) override;
    int value() const override { return m_value; }
    void setValue(int value) override;

 private:
    HWND m_bar;
    int m_maximum = 100;
    int m_value = 0;
};

class FormControl final : public core::Form {
 public:
    explicit FormControl(HWND window) : m_window(window) {}

    int mousePointer() const override { return m_pointer; }
    // The hourglass shows over the whole window at once, and stays until it is taken back.
    void setMousePointer(int pointer) override;
    platform::Hwnd hWnd() const override;
    // The cursor to show over the window while the pointer is set, or none for the default.
    HCURSOR cursor() const;

 private:
    HWND m_window;
    int m_pointer = core::vbDefault;
};

}  // namespace app::win32
