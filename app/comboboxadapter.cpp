// SPDX-License-Identifier: MIT
#include "app/comboboxadapter.h"

#include <QComboBox>
#include <QLineEdit>
#include <stdexcept>

#include "platform/gui/qtplatform.h"

namespace app {

ComboBoxAdapter::ComboBoxAdapter(QComboBox* box, QObject* parent) : QObject(parent), m_box(box) {
    m_box->setEditable(true);
    m_box->setInsertPolicy(QComboBox::NoInsert);
    // With duplicates refused, Enter on a text that matches an entry would make that entry
    // current; the program treats any typed text as typed.
    m_box->setDuplicatesEnabled(true);
    // No inline completion: the edit field holds exactly what the user typed.
    m_box->setCompleter(nullptr);
    connect(m_box->lineEdit(), &QLineEdit::textEdited, this, &ComboBoxAdapter::onTextEdited);
    connect(m_box, &QComboBox::activated, this, &ComboBoxAdapter::onActivated);
}

std::string ComboBoxAdapter::editText() const {
    return platform::gui::FromQString(m_box->currentText());
}

int ComboBoxAdapter::count() const {
    return m_box->count();
}

std::string ComboBoxAdapter::itemText(int position) const {
    if (position < 0 || position >= count()) {
        throw std::out_of_range("combo box position");
    }
    return platform::gui::FromQString(m_box->itemText(position));
}

int ComboBoxAdapter::currentPosition() const {
    return m_position;
}

void ComboBoxAdapter::setCurrentPosition(int position) {
    if (position < -1 || position >= count()) {
        throw std::out_of_range("combo box position");
    }
    m_box->setCurrentIndex(position);
    // QComboBox leaves the field alone when the entry already was its current one, even if the
    // user has typed over it since.
    m_box->setEditText(position >= 0 ? m_box->itemText(position) : QString());
    m_position = position;
}

void ComboBoxAdapter::insert(int position, const std::string& text) {
    if (position < 0 || position > count()) {
        throw std::out_of_range("combo box position");
    }
    const QString shown = m_box->currentText();
    m_box->insertItem(position, platform::gui::ToQString(text));
    if (m_position >= position) {
        ++m_position;
    }
    keepEditText(shown);
}

void ComboBoxAdapter::remove(int position) {
    if (position < 0 || position >= count()) {
        throw std::out_of_range("combo box position");
    }
    const QString shown = m_box->currentText();
    m_box->removeItem(position);
    if (m_position == position) {
        m_position = -1;
    } else if (m_position > position) {
        --m_position;
    }
    keepEditText(shown);
}

void ComboBoxAdapter::onTextEdited() {
    m_position = -1;
}

void ComboBoxAdapter::onActivated(int index) {
    m_position = index;
}

// QComboBox shows the text of its own current entry after the list changes (the first entry
// added to an empty list, the neighbour of a removed one); the field is put back as it was.
void ComboBoxAdapter::keepEditText(const QString& text) {
    if (m_box->currentText() != text) {
        m_box->setEditText(text);
    }
}

}  // namespace app
