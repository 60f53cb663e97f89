// SPDX-License-Identifier: MIT
#include "app/progressbaradapter.h"

#include <QProgressBar>
#include <stdexcept>

namespace app {

ProgressBarAdapter::ProgressBarAdapter(QProgressBar* bar) : m_bar(bar) {
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
}

int ProgressBarAdapter::maximum() const {
    return m_bar->maximum();
}

void ProgressBarAdapter::setMaximum(int maximum) {
    // A QProgressBar with an empty range turns into a busy indicator; refuse it instead.
    if (maximum < 1 || m_bar->value() > maximum) {
        throw std::out_of_range("progress bar maximum");
    }
    m_bar->setMaximum(maximum);
}

int ProgressBarAdapter::value() const {
    return m_bar->value();
}

void ProgressBarAdapter::setValue(int value) {
    if (value < 0 || value > m_bar->maximum()) {
        throw std::out_of_range("progress bar value");
    }
    m_bar->setValue(value);
    // Conversions keep the event loop busy; paint the new value now.
    m_bar->repaint();
}

}  // namespace app
