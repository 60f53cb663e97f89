// SPDX-License-Identifier: MIT
#include "dialogs/choosers.h"

#include "dialogs/commondialogs.h"

namespace dialogs {

std::optional<std::string> ChooseWordFile(platform::WindowOwner& owner) {
    CCommonDialogs dialog;
    dialog.Init(owner);
    dialog.SetTitle("Select Word File");
    dialog.SetFilter(std::string("Word File(*.doc;*.docx)") + '\0' + "*.doc;*.docx" + '\0');
    if (!dialog.ShowOpen()) {
        return std::nullopt;
    }
    return dialog.FileName();
}

std::optional<std::string> ChooseFolder(platform::WindowOwner& owner) {
    CCommonDialogs dialog;
    dialog.Init(owner);
    dialog.SetTitle("Add all word files in folder");
    if (!dialog.ShowFolder() || dialog.Path().empty()) {
        return std::nullopt;
    }
    return dialog.Path();
}

}  // namespace dialogs
