// SPDX-License-Identifier: MIT
// The main window's controls held in memory, with the history of what was done to them, for
// tests of the module procedures.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "core/controls.h"

namespace testsupport {

class MemoryListView : public core::ListView {
 public:
    struct Entry {
        std::string text;
        int icon = 0;
        bool checked = false;
    };

    int count() const override { return static_cast<int>(entries.size()); }
    int selectedPosition() const override { return selected; }
    std::string text(int position) const override { return at(position).text; }
    void append(const std::string& text) override { entries.push_back({text, 0, false}); }
    void insert(int position, const std::string& text) override {
        if (position < 1 || position > count() + 1) {
            throw std::out_of_range("insert position");
        }
        entries.insert(entries.begin() + (position - 1), Entry{text, 0, false});
        if (selected >= position) {
            ++selected;
        }
    }
    void remove(int position) override {
        at(position);
        entries.erase(entries.begin() + (position - 1));
        if (selected == position) {
            selected = 0;
        } else if (selected > position) {
            --selected;
        }
    }
    void clear() override {
        entries.clear();
        selected = 0;
        ++clears;
    }
    int smallIcon(int position) const override { return at(position).icon; }
    void setSmallIcon(int position, int icon) override { at(position).icon = icon; }
    void select(int position) override {
        at(position);
        selected = position;
    }
    void ensureVisible(int position) override {
        at(position);
        visible = position;
    }
    bool checked(int position) const override { return at(position).checked; }
    void setChecked(int position, bool value) override { at(position).checked = value; }
    void refresh() override { ++refreshes; }

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Entry& entry : entries) {
            out.push_back(entry.text);
        }
        return out;
    }
    std::vector<int> icons() const {
        std::vector<int> out;
        for (const Entry& entry : entries) {
            out.push_back(entry.icon);
        }
        return out;
    }
    bool allChecked() const {
        for (const Entry& entry : entries) {
            if (!entry.checked) {
                return false;
            }
        }
        return true;
    }

    std::vector<Entry> entries;
    int selected = 0;
    int visible = 0;
    int refreshes = 0;
    int clears = 0;

 private:
    Entry& at(int position) {
        if (position < 1 || position > count()) {
            throw std::out_of_range("list position");
        }
        return entries[static_cast<std::size_t>(position - 1)];
    }
    const Entry& at(int position) const { return const_cast<MemoryListView*>(this)->at(position); }
};

class MemoryComboBox : public core::ComboBox {
 public:
    std::string editText() const override { return text; }
    int count() const override { return static_cast<int>(items.size()); }
    std::string itemText(int position) const override {
        return items.at(static_cast<std::size_t>(position));
    }
    int currentPosition() const override { return current; }
    void setCurrentPosition(int position) override {
        if (position < -1 || position >= count()) {
            throw std::out_of_range("combo position");
        }
        current = position;
        if (position >= 0) {
            text = items[static_cast<std::size_t>(position)];
        }
    }
    void insert(int position, const std::string& value) override {
        if (position < 0 || position > count()) {
            throw std::out_of_range("combo insert");
        }
        items.insert(items.begin() + position, value);
        if (current >= position) {
            ++current;
        }
    }
    void remove(int position) override {
        if (position < 0 || position >= count()) {
            throw std::out_of_range("combo remove");
        }
        items.erase(items.begin() + position);
        if (current == position) {
            current = -1;
        } else if (current > position) {
            --current;
        }
    }
    // What the user does: typing replaces the text and leaves no entry current.
    void type(const std::string& value) {
        text = value;
        current = -1;
    }

    std::vector<std::string> items;
    std::string text;
    int current = -1;
};

class MemoryProgressBar : public core::ProgressBar {
 public:
    int maximum() const override { return max; }
    void setMaximum(int value) override { max = value; }
    int value() const override { return current; }
    void setValue(int value) override {
        current = value;
        values.push_back(value);
    }

    int max = 100;
    int current = 0;
    std::vector<int> values;
};

class MemoryForm : public core::Form {
 public:
    int mousePointer() const override { return pointer; }
    void setMousePointer(int value) override {
        pointer = value;
        pointers.push_back(value);
    }
    platform::Hwnd hWnd() const override { return handle; }

    int pointer = 0;
    std::vector<int> pointers;
    platform::Hwnd handle = 0x1234;
};

// The five controls together, ready to hand to the module.
struct MemoryWindow {
    MemoryListView ListView1;
    MemoryListView ListView2;
    MemoryComboBox Combo2;
    MemoryProgressBar ProgressBar1;
    MemoryForm form1;
    core::MainControls controls() { return {ListView1, ListView2, Combo2, ProgressBar1, form1}; }
};

}  // namespace testsupport
