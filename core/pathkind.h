// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace core {

inline constexpr int kPathNothing = 0;
inline constexpr int kPathFolder = 1;
inline constexpr int kPathFile = 2;

// The program's one existence test: 1 for an existing folder (with or without a trailing
// separator), 2 for an existing file, 0 for a path that names nothing visible (missing, hidden,
// a wildcard pattern) or that cannot be tested. Never throws.
int GetPathKind(const std::string& path);

}  // namespace core
