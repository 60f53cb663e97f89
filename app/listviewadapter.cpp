// SPDX-License-Identifier: MIT
#include "app/listviewadapter.h"

#include <QHeaderView>
#include <QTreeWidget>
#include <stdexcept>
#include <utility>

#include "app/imagelist.h"
#include "platform/gui/qtplatform.h"

namespace app {

namespace {

// The entry's small icon number is kept with the item, so that it reads back as it was set.
constexpr int kSmallIconRole = Qt::UserRole;
// The entry's text as the program gave it, byte for byte; the item shows a rendering of it.
constexpr int kBytesRole = Qt::UserRole + 1;

}  // namespace

// Marks the adapter's own operations, so that the selection changes they cause are not taken
// for the user's.
class ListViewAdapter::OwnChange {
 public:
    explicit OwnChange(ListViewAdapter& adapter) : m_count(adapter.m_ownChanges) { ++m_count; }
    ~OwnChange() { --m_count; }
    OwnChange(const OwnChange&) = delete;
    OwnChange& operator=(const OwnChange&) = delete;

 private:
    int& m_count;
};

ListViewAdapter::ListViewAdapter(QTreeWidget* tree, CheckBoxes checkBoxes)
    : m_tree(tree), m_checkBoxes(checkBoxes == CheckBoxes::With) {
    m_tree->setColumnCount(1);
    m_tree->setRootIsDecorated(false);
    m_tree->setItemsExpandable(false);
    m_tree->setUniformRowHeights(true);
    m_tree->setSortingEnabled(false);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tree->header()->setSectionsMovable(false);
    m_tree->header()->setStretchLastSection(false);
    QObject::connect(m_tree, &QTreeWidget::itemSelectionChanged, m_tree, [this] {
        if (m_ownChanges == 0 && m_userSelectionChange) {
            m_userSelectionChange();
        }
    });
}

void ListViewAdapter::onUserSelectionChange(std::function<void()> handler) {
    m_userSelectionChange = std::move(handler);
}

void ListViewAdapter::setSmallIcons(const ImageList* images) {
    m_smallIcons = images;
    if (m_smallIcons != nullptr) {
        m_tree->setIconSize(m_smallIcons->imageSize());
    }
    for (int i = 0; i < m_tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = m_tree->topLevelItem(i);
        const int icon = item->data(0, kSmallIconRole).toInt();
        item->setIcon(0, m_smallIcons != nullptr ? m_smallIcons->image(icon) : QIcon());
    }
}

int ListViewAdapter::count() const {
    return m_tree->topLevelItemCount();
}

int ListViewAdapter::selectedPosition() const {
    const QList<QTreeWidgetItem*> selected = m_tree->selectedItems();
    return selected.isEmpty() ? 0 : m_tree->indexOfTopLevelItem(selected.first()) + 1;
}

std::string ListViewAdapter::text(int position) const {
    return itemAt(position)->data(0, kBytesRole).toByteArray().toStdString();
}

void ListViewAdapter::append(const std::string& text) {
    OwnChange own(*this);
    m_tree->addTopLevelItem(newItem(text));
}

void ListViewAdapter::insert(int position, const std::string& text) {
    if (position < 1 || position > count() + 1) {
        throw std::out_of_range("list view position");
    }
    OwnChange own(*this);
    m_tree->insertTopLevelItem(position - 1, newItem(text));
}

void ListViewAdapter::remove(int position) {
    OwnChange own(*this);
    const bool wasSelected = itemAt(position)->isSelected();
    delete m_tree->takeTopLevelItem(position - 1);
    // QTreeWidget hands the selection on to a neighbour; the program expects none to be
    // selected until it selects one itself.
    if (wasSelected) {
        m_tree->clearSelection();
    }
}

void ListViewAdapter::clear() {
    OwnChange own(*this);
    m_tree->clear();
}

int ListViewAdapter::smallIcon(int position) const {
    return itemAt(position)->data(0, kSmallIconRole).toInt();
}

void ListViewAdapter::setSmallIcon(int position, int icon) {
    QTreeWidgetItem* item = itemAt(position);
    item->setData(0, kSmallIconRole, icon);
    item->setIcon(0, m_smallIcons != nullptr ? m_smallIcons->image(icon) : QIcon());
}

void ListViewAdapter::select(int position) {
    QTreeWidgetItem* item = itemAt(position);
    OwnChange own(*this);
    m_tree->setCurrentItem(item);
    item->setSelected(true);
}

void ListViewAdapter::ensureVisible(int position) {
    m_tree->scrollToItem(itemAt(position));
}

bool ListViewAdapter::checked(int position) const {
    QTreeWidgetItem* item = itemAt(position);
    return m_checkBoxes && item->checkState(0) == Qt::Checked;
}

void ListViewAdapter::setChecked(int position, bool checked) {
    QTreeWidgetItem* item = itemAt(position);
    if (m_checkBoxes) {
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
}

void ListViewAdapter::refresh() {
    m_tree->show();
    // Called from handlers that keep the event loop busy; paint now rather than afterwards.
    m_tree->viewport()->repaint();
}

QTreeWidgetItem* ListViewAdapter::itemAt(int position) const {
    QTreeWidgetItem* item =
        position >= 1 && position <= count() ? m_tree->topLevelItem(position - 1) : nullptr;
    if (item == nullptr) {
        throw std::out_of_range("list view position");
    }
    return item;
}

QTreeWidgetItem* ListViewAdapter::newItem(const std::string& text) const {
    auto* item = new QTreeWidgetItem(QStringList{platform::gui::ToQString(text)});
    item->setData(0, kBytesRole, QByteArray::fromStdString(text));
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (m_checkBoxes) {
        flags |= Qt::ItemIsUserCheckable;
        item->setCheckState(0, Qt::Unchecked);
    }
    item->setFlags(flags);
    item->setData(0, kSmallIconRole, 0);
    return item;
}

}  // namespace app
