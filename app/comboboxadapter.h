// SPDX-License-Identifier: MIT
// An editable drop-down combo box over a QComboBox, with the program's notion of the current
// position: the position of the entry that code made current or that the user chose from the
// list, and -1 from the moment the user edits the text. Pressing Enter never adds an entry, and
// adding or removing entries never changes the edit text; only making an entry current does.
// Positions are 0-based; a position that names no entry throws std::out_of_range.
#pragma once

#include <QObject>
#include <string>

#include "core/controls.h"

class QComboBox;

namespace app {

class ComboBoxAdapter final : public QObject, public core::ComboBox {
    Q_OBJECT

 public:
    explicit ComboBoxAdapter(QComboBox* box, QObject* parent = nullptr);

    std::string editText() const override;
    int count() const override;
    std::string itemText(int position) const override;
    int currentPosition() const override;
    // -1 makes no entry current and empties the edit field.
    void setCurrentPosition(int position) override;
    void insert(int position, const std::string& text) override;
    void remove(int position) override;

 protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

 private:
    void onTextEdited();
    void onActivated(int index);
    void keepEditText(const QString& text);

    QComboBox* m_box;
    int m_position = -1;
    bool m_finishingEdit = false;
};

}  // namespace app
