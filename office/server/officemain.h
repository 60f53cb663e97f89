// SPDX-License-Identifier: MIT
#pragma once

namespace office {

// The office server. The automation client starts it once per office provider as the launcher
// ("--launcher --socket-fd=N --parent=PID"), which preinitialises LibreOfficeKit and forks one
// server per CreateObject; or, when no launcher can be used, directly as one server
// ("--socket-fd=N"). Either way a server serves one Application object on its socket until Quit
// or until the client closes it.
//
//   client ──packet──► launcher ──fork (in advance)──► server ──fork──► engine instance
//                                                        │              (LibreOfficeKit, starts
//   client ──JSON line──► serve() ──► Application ───────┘               before its document)
//                                          │ Open: copy the source into the working folder,
//                                          ▼ refuse what is no document, convert (engine.h):
//                                     TieredEngine ──► the instance, for this one document
//                                          │  └──► else SofficeEngine: soffice.bin --convert-to
//                                          │ SaveAs: temporary name in the target folder,
//                                          ▼ then renamed into place
//                                     target.rtf
int officeMain(int argc, char** argv);

}  // namespace office
