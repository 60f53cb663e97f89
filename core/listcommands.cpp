// SPDX-License-Identifier: MIT
#include "core/listcommands.h"

#include "core/pathkind.h"
#include "platform/msgbox.h"
#include "platform/paths.h"
#include "platform/shell.h"

#include <filesystem>

namespace core {

namespace {

// Shows the hourglass for the life of one listing and the default pointer afterwards.
class Hourglass {
 public:
    explicit Hourglass(Form& form) : m_form(form) { m_form.setMousePointer(vbHourglass); }
    ~Hourglass() { m_form.setMousePointer(vbDefault); }
    Hourglass(const Hourglass&) = delete;
    Hourglass& operator=(const Hourglass&) = delete;

 private:
    Form& m_form;
};

void moveSelected(const MainControls& controls, int step) {
    ListView& sources = controls.ListView1;
    const int count = sources.count();
    const int from = sources.selectedPosition();
    const int to = from + step;
    if (count == 0 || from < 1 || to < 1 || to > count) {
        return;
    }
    const std::string text = sources.text(from);
    const int icon = sources.smallIcon(from);
    sources.remove(from);
    sources.insert(to, text);
    sources.setSmallIcon(to, icon);
    sources.select(to);
    sources.ensureVisible(to);
}

}  // namespace

int IconForPath(const std::string& path) {
    switch (GetPathKind(path)) {
        case kPathFile:
            return kIconFile;
        case kPathFolder:
            return kIconFolder;
        default:
            return kIconMissing;
    }
}

void AddSourceFile(Module1& module, const MainControls& controls, const std::string& path) {
    ListView& sources = controls.ListView1;
    sources.append(path);
    const int position = sources.count();
    sources.setSmallIcon(position, kIconFile);
    sources.select(position);
    sources.refresh();
    sources.ensureVisible(position);
    Hourglass wait(controls.form1);
    module.ListDocuments(path);
}

void AddSourceFolder(Module1& module, const MainControls& controls, const std::string& path) {
    ListView& sources = controls.ListView1;
    sources.append(path);
    const int position = sources.count();
    sources.setSmallIcon(position, kIconFolder);
    sources.select(position);
    Hourglass wait(controls.form1);
    module.ListDocuments(path);
    sources.refresh();
    sources.ensureVisible(position);
}

void AddSourcePaths(Module1& module, const MainControls& controls,
                    const std::vector<std::string>& paths) {
    ListView& sources = controls.ListView1;
    int last = 0;
    for (const std::string& given : paths) {
        std::string path = given;
        if (!path.empty() && !platform::ToFsPath(path).is_absolute()) {
            std::error_code error;
            const std::filesystem::path full =
                std::filesystem::absolute(platform::ToFsPath(path), error);
            path = error ? path : platform::FromFsPath(full.lexically_normal());
        }
        const int icon = IconForPath(path);
        if (icon == kIconMissing) {
            platform::MsgBox("\"" + given + "\" was not found, so it was not added.",
                             platform::vbExclamation, kProgramTitle);
            continue;
        }
        sources.append(path);
        last = sources.count();
        sources.setSmallIcon(last, icon);
    }
    if (last == 0) {
        return;
    }
    sources.select(last);
    Hourglass wait(controls.form1);
    module.ListDocuments(sources.text(last));
    sources.refresh();
    sources.ensureVisible(last);
}

void RemoveSelectedSource(Module1& module, const MainControls& controls) {
    ListView& sources = controls.ListView1;
    const int count = sources.count();
    const int removed = sources.selectedPosition();
    if (count == 0 || removed < 1) {
        return;
    }
    sources.remove(removed);
    if (count - 1 == 0) {
        controls.ListView2.clear();
        return;
    }
    const int next = removed == 1 ? 1 : removed - 1;
    sources.select(next);
    Hourglass wait(controls.form1);
    module.ListDocuments(sources.text(next));
}

void MoveSelectedSourceUp(const MainControls& controls) {
    moveSelected(controls, -1);
}

void MoveSelectedSourceDown(const MainControls& controls) {
    moveSelected(controls, +1);
}

void ListSelectedSource(Module1& module, const MainControls& controls) {
    ListView& sources = controls.ListView1;
    const int selected = sources.selectedPosition();
    if (sources.count() == 0) {
        return;
    }
    if (selected < 1) {
        // Nothing selected (a click on the list's empty part, or Ctrl+click, took the selection
        // away): the document list and its ticks stay as they are. Convert still takes their
        // paths from the entry they were listed from.
        return;
    }
    const std::string text = sources.text(selected);
    controls.ListView2.clear();
    Hourglass wait(controls.form1);
    module.ListDocuments(text);
}

void RemoveAllSources(const MainControls& controls) {
    controls.ListView1.clear();
    controls.ListView2.clear();
}

void AddOutputFolder(ComboBox& combo, const std::string& path) {
    combo.insert(0, path);
    if (combo.count() >= 1) {
        combo.setCurrentPosition(0);
    }
}

void ViewOutputFolder(const ComboBox& combo, platform::Hwnd owner) {
    const std::string text = combo.editText();
    if (GetPathKind(text) == kPathFolder) {
        platform::ShellExecuteA(owner, "open", text, "", "", platform::SW_SHOW);
    }
}

void RemoveCurrentOutputFolder(ComboBox& combo) {
    const int count = combo.count();
    const int current = combo.currentPosition();
    if (count <= 0 || current < 0) {
        return;
    }
    combo.remove(current);
    const int left = count - 1;
    if (current == left) {
        if (left > 0) {
            combo.setCurrentPosition(current - 1);
        }
    } else {
        combo.setCurrentPosition(current);
    }
}

void RemoveAllOutputFolders(ComboBox& combo) {
    const int count = combo.count();
    for (int i = 0; i < count; ++i) {
        combo.remove(0);
    }
}

}  // namespace core
