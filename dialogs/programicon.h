// SPDX-License-Identifier: MIT
// The program icon, drawn from the vector picture in the resources so that every size is sharp.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace dialogs {

// The icon at size × size device-independent pixels, sharp on the given device pixel ratio.
QPixmap ProgramPixmap(int size, qreal devicePixelRatio = 1.0);

// The icon for window captions and the taskbar, at the sizes desktops ask for.
QIcon ProgramIcon();

}  // namespace dialogs
