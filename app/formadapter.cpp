// SPDX-License-Identifier: MIT
#include "app/formadapter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QWidget>

#include "platform/gui/qtplatform.h"

namespace app {

FormAdapter::FormAdapter(QWidget* window) : m_window(window) {}

int FormAdapter::mousePointer() const {
    return m_pointer;
}

void FormAdapter::setMousePointer(int pointer) {
    m_pointer = pointer;
    if (pointer == core::vbHourglass) {
        m_window->setCursor(Qt::WaitCursor);
    } else {
        m_window->unsetCursor();
    }
    // The pointer is set by handlers that then keep the event loop busy until they end. Some
    // window systems apply a new cursor (and repaint what a closed dialog uncovered) only on a
    // pass through the loop, so take one now. User input waits, and so do socket notifiers:
    // a termination request is handled when the handler has finished, not in its middle.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers);
}

platform::Hwnd FormAdapter::hWnd() const {
    return platform::gui::HwndOf(m_window);
}

}  // namespace app
