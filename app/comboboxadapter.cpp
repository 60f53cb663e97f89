// SPDX-License-Identifier: MIT
#include "app/comboboxadapter.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
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
    // The combo box passes the key and focus events it receives straight to its edit field.
    m_box->installEventFilter(this);
    m_box->lineEdit()->installEventFilter(this);
    connect(m_box, &QComboBox::activated, this, &ComboBoxAdapter::onActivated);
}

namespace {

// An entry's text as the program gave it, byte for byte; the box shows a rendering of it.
constexpr int kBytesRole = Qt::UserRole;

}  // namespace

std::string ComboBoxAdapter::editText() const {
    // The current entry's own bytes while the field still shows it unchanged: a folder whose
    // name is not UTF-8 can come from the history but cannot be typed.
    if (m_position >= 0 && m_position < count() &&
        m_box->currentText() == m_box->itemText(m_position)) {
        return itemText(m_position);
    }
    return platform::gui::FromQString(m_box->currentText());
}

int ComboBoxAdapter::count() const {
    return m_box->count();
}

std::string ComboBoxAdapter::itemText(int position) const {
    if (position < 0 || position >= count()) {
        throw std::out_of_range("combo box position");
    }
    return m_box->itemData(position, kBytesRole).toByteArray().toStdString();
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
    m_box->insertItem(position, platform::gui::ToQString(text), QByteArray::fromStdString(text));
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

// When editing ends (Enter, or the field losing the focus) QComboBox makes the entry whose text
// matches the typed text current and reports it as activated. Typed text stays typed here: the
// event is delivered from inside the filter, and a position of -1 is kept through it.
bool ComboBoxAdapter::eventFilter(QObject* watched, QEvent* event) {
    const bool finishes = event->type() == QEvent::FocusOut ||
                          (event->type() == QEvent::KeyPress &&
                           (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Return ||
                            static_cast<QKeyEvent*>(event)->key() == Qt::Key_Enter));
    if ((watched != m_box && watched != m_box->lineEdit()) || !finishes || m_finishingEdit) {
        return QObject::eventFilter(watched, event);
    }
    const int position = m_position;
    m_finishingEdit = true;
    QCoreApplication::sendEvent(watched, event);
    m_finishingEdit = false;
    if (position == -1) {
        m_position = -1;
    }
    // Delivered, and passed on to the parents where it was not accepted; stop it here.
    event->accept();
    return true;
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
