// SPDX-License-Identifier: MIT
// A list view in report view over a QTreeWidget: one column, no root decoration, one selected
// entry at most, small icons taken from an image list and, on request, a check box in front of
// every entry. Positions are 1-based; a position that names no entry throws std::out_of_range,
// the way the program's list views raise an error for a bad index. An entry's text keeps its
// bytes exactly (a path whose name is not UTF-8 included); the list shows a readable rendering.
#pragma once

#include <functional>
#include <string>

#include "core/controls.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace app {

class ImageList;

class ListViewAdapter final : public core::ListView {
 public:
    enum class CheckBoxes { Without, With };

    ListViewAdapter(QTreeWidget* tree, CheckBoxes checkBoxes);

    // The image list that small icons are numbers into; without one, entries show no icon.
    void setSmallIcons(const ImageList* images);

    // Called after the selection changed in any way other than through this adapter: a click,
    // an arrow key, Home or End, type-ahead, Ctrl+click that leaves nothing selected. Changes
    // the program makes through the adapter's own operations do not call it.
    void onUserSelectionChange(std::function<void()> handler);

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
    // Without check boxes an entry is never checked and setChecked changes nothing.
    bool checked(int position) const override;
    void setChecked(int position, bool checked) override;
    void refresh() override;

 private:
    QTreeWidgetItem* itemAt(int position) const;
    QTreeWidgetItem* newItem(const std::string& text) const;

    class OwnChange;

    QTreeWidget* m_tree;
    bool m_checkBoxes;
    const ImageList* m_smallIcons = nullptr;
    std::function<void()> m_userSelectionChange;
    // How many of the adapter's own operations are under way.
    int m_ownChanges = 0;
};

}  // namespace app
