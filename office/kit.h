// SPDX-License-Identifier: MIT
// LibreOfficeKit, the engine as a library: loaded and preinitialised once in the launcher, then
// completed in a fresh child of a spare server for every document (the engine instance), which
// loads the document, writes the RTF and ends.
//
// The instance converts through the hidden conversion module when the launcher could load it
// (hiddenconvert.h), and otherwise through LibreOfficeKit's own document calls. On LibreOffice
// 7.4 those refuse documents with comments (the view cannot build the comment margin without
// the desktop's dialog files), and either way the engine aborts on a few documents that its own
// conversion converts; the server therefore falls back to that conversion whenever an instance
// does not deliver (kitengine.h).
#pragma once

#include <optional>
#include <string>

#include "office/hiddenconvert.h"
#include "office/profile.h"

namespace office {

struct Kit {
    std::string programFolder;  // the engine's program folder, where its libraries are
    std::string profileUrl;     // the launcher's own copy of the prepared profile
    std::string workFolder;     // the launcher's working folder, removed when it ends
    // The hidden conversion, when its module is there and the engine can serve it.
    HiddenConversion hidden;
};

// In the launcher, before anything is forked: copies the prepared profile into a working folder
// of the launcher's own, preinitialises the engine with it and loads the hidden conversion
// module from moduleFolder (none when it is empty). Nothing when LibreOfficeKit cannot be used with
// this engine; the servers then convert with the engine's own conversion.
std::optional<Kit> preinitKit(const EngineInstall& install, const std::string& moduleFolder);

// Whether the hidden conversion module may be loaded into this engine: the module calls two
// functions the engine does not publish (hiddenconvert.cpp), which may change between release
// series, so only an engine of the series (major.minor, "7.4") whose SDK the module was built
// against gets it.
bool hiddenModuleFits(const std::string& engineVersion);
// That series.
std::string hiddenModuleSeries();

// Removes the launcher's working folder.
void removeKitFolder(const Kit& kit);

// The engine instance, in a fresh child of a spare: completes the engine's initialisation,
// warms up with the hidden conversion's empty document unless the request is there already,
// waits for one request on requestFd ({"source":path,"target":path}), converts and answers on
// resultFd ({"ok":true} or {"ok":false,"error":text}). Returns the exit status; an engine that
// cannot start returns without reading a request.
int runKitInstance(const Kit& kit, const std::string& tempFolder, int requestFd, int resultFd);

}  // namespace office
