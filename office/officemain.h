// SPDX-License-Identifier: MIT
#pragma once

namespace office {

// The office server: started by the automation client with "--socket-fd=N", it serves one
// Application object on that socket until Quit or until the client closes it.
//
//   client ──JSON line──► serve() ──► Application / Documents / Document
//                                          │ Open: copy the source into the working folder,
//                                          ▼ refuse what is no document, convert with the engine
//                                     ConvertEngine ──► soffice.bin --convert-to rtf
//                                          │ SaveAs: temporary name in the target folder,
//                                          ▼ then renamed into place
//                                     target.rtf
int officeMain(int argc, char** argv);

}  // namespace office
