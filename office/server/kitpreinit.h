// SPDX-License-Identifier: MIT
// LibreOfficeKit, the engine as a library, preinitialised once in the launcher before anything is
// forked, so that every engine instance (kitinstance.h) starts from a process that has loaded the
// engine and its settings already. The launcher also loads the hidden load module here
// (hiddenload.h), when it fits the engine, so that every instance inherits it. What each
// instance then converts with is described in engine.h.
#pragma once

#include <optional>
#include <string>

#include "office/server/hiddenload.h"
#include "office/server/profile.h"

namespace office {

struct Kit {
    std::string programFolder;  // the engine's program folder, where its libraries are
    std::string profileUrl;     // the launcher's own copy of the prepared profile
    std::string workFolder;     // the launcher's working folder, removed when it ends
    // The hidden conversion, when its module is there and the engine can serve it.
    HiddenConversion hidden;
};

// In the launcher, before anything is forked: copies the prepared profile into a working folder
// of the launcher's own, preinitialises the engine with it and loads the hidden load module from
// moduleFolder (none when it is empty). Nothing when LibreOfficeKit cannot be used with this
// engine; the servers then convert with the engine's own conversion.
std::optional<Kit> preinitKit(const EngineInstall& install, const std::string& moduleFolder);

// Whether the hidden load module may be loaded into this engine: the module calls three functions
// the engine does not publish (hiddenload.cpp), which may change between release series, so
// only an engine of the series (major.minor, "7.4") whose SDK the module was built against gets
// it.
bool hiddenModuleFits(const std::string& engineVersion);
// That series.
std::string hiddenModuleSeries();

// Removes the launcher's working folder.
void removeKitFolder(const Kit& kit);

}  // namespace office
