// SPDX-License-Identifier: MIT
// A progress bar over a QProgressBar: minimum 0, maximum 100 until set, no text. A maximum
// below 1 or a value outside 0 to the maximum throws std::out_of_range, as the program's
// progress bar raises an error for an invalid property value.
#pragma once

#include "core/controls.h"

class QProgressBar;

namespace app {

class ProgressBarAdapter final : public core::ProgressBar {
 public:
    explicit ProgressBarAdapter(QProgressBar* bar);

    int maximum() const override;
    void setMaximum(int maximum) override;
    int value() const override;
    void setValue(int value) override;

 private:
    QProgressBar* m_bar;
};

}  // namespace app
