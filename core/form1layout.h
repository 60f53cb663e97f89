// SPDX-License-Identifier: MIT
// The main window's layout as it was drawn, shared by every front end: the client area and each
// control's place in twips (1/1440 inch), in tab order, and the columns of the two lists.
#pragma once

namespace core {

struct ControlPlacement {
    const char* name;
    int left;
    int top;
    int width;
    int height;
};

// The client area below the menu bar.
inline constexpr int kForm1ClientWidth = 10164;
inline constexpr int kForm1ClientHeight = 6780;

// Every control of the window, in tab order.
inline constexpr ControlPlacement kForm1Placements[] = {
    {"Command5", 120, 0, 1210, 975},       {"Command1", 1440, 0, 1210, 975},
    {"Command2", 2760, 0, 1330, 975},      {"Command6", 5520, 0, 1090, 975},
    {"Command8", 6720, 0, 970, 975},       {"Command7", 7800, 0, 1090, 975},
    {"Command9", 9000, 0, 970, 975},       {"ListView1", 120, 1080, 5175, 4935},
    {"ListView2", 5880, 1080, 4095, 4935}, {"Command3", 5400, 2160, 370, 610},
    {"Command4", 5400, 3000, 370, 610},    {"ProgressBar1", 120, 6480, 9975, 255},
    {"Command11", 9120, 6120, 855, 325},   {"Command10", 8040, 6120, 975, 325},
    {"Combo2", 2160, 6120, 5775, 330},     {"Label1", 120, 6120, 1935, 255},
};

// The one column of each list: its title and width.
inline constexpr const char* kListView1Column = "Please Select the Word File or Folder to Convert";
inline constexpr int kListView1ColumnWidth = 4800;
inline constexpr const char* kListView2Column = "Word Document";
inline constexpr int kListView2ColumnWidth = 3700;

}  // namespace core
