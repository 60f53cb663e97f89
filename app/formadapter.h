// SPDX-License-Identifier: MIT
// The main window as the module procedures see it: its mouse pointer and its handle.
#pragma once

#include "core/controls.h"
#include "platform/window.h"

class QWidget;

namespace app {

class FormAdapter final : public core::Form {
 public:
    explicit FormAdapter(QWidget* window);

    int mousePointer() const override;
    // vbHourglass shows the wait cursor over the window; any other value the default pointer.
    void setMousePointer(int pointer) override;
    platform::Hwnd hWnd() const override;

 private:
    QWidget* m_window;
    int m_pointer = core::vbDefault;
};

}  // namespace app
