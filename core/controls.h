// SPDX-License-Identifier: MIT
// The main window's controls as the module procedures see them. Each interface offers exactly
// the operations the program uses, with the program's own conventions: list positions are
// 1-based, combo box positions 0-based with -1 for typed text, small icons 1 to 3. The main
// window implements them over Qt widgets; tests implement them in memory.
#pragma once

#include <string>

#include "platform/window.h"

namespace core {

class ListView {
 public:
    virtual ~ListView() = default;
    virtual int count() const = 0;
    // Position of the selected entry, 0 when none is selected.
    virtual int selectedPosition() const = 0;
    virtual std::string text(int position) const = 0;
    virtual void append(const std::string& text) = 0;
    virtual void insert(int position, const std::string& text) = 0;
    virtual void remove(int position) = 0;
    virtual void clear() = 0;
    virtual int smallIcon(int position) const = 0;
    virtual void setSmallIcon(int position, int icon) = 0;
    virtual void select(int position) = 0;
    virtual void ensureVisible(int position) = 0;
    virtual bool checked(int position) const = 0;
    virtual void setChecked(int position, bool checked) = 0;
    // Redraws the list and makes it visible.
    virtual void refresh() = 0;
};

class ComboBox {
 public:
    virtual ~ComboBox() = default;
    virtual std::string editText() const = 0;
    virtual int count() const = 0;
    virtual std::string itemText(int position) const = 0;
    // Position of the current entry, -1 when none is current (the user typed the text).
    virtual int currentPosition() const = 0;
    // Makes an entry current, which shows its text in the edit field.
    virtual void setCurrentPosition(int position) = 0;
    virtual void insert(int position, const std::string& text) = 0;
    virtual void remove(int position) = 0;
};

class ProgressBar {
 public:
    virtual ~ProgressBar() = default;
    virtual int maximum() const = 0;
    virtual void setMaximum(int maximum) = 0;
    virtual int value() const = 0;
    virtual void setValue(int value) = 0;
};

inline constexpr int vbDefault = 0;
inline constexpr int vbHourglass = 11;

class Form {
 public:
    virtual ~Form() = default;
    virtual int mousePointer() const = 0;
    virtual void setMousePointer(int pointer) = 0;
    virtual platform::Hwnd hWnd() const = 0;
};

// The controls of the main window that the module procedures work on.
struct MainControls {
    ListView& ListView1;
    ListView& ListView2;
    ComboBox& Combo2;
    ProgressBar& ProgressBar1;
    Form& form1;
};

}  // namespace core
