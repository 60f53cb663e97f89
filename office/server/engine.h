// SPDX-License-Identifier: MIT
// What the Application object needs from an office engine: open a document read-only and write
// it as RTF. Open converts the document, so that one the engine cannot read fails at Open as in
// Word; SaveAs only puts the RTF in place.
//
// A document is converted by the first of three tiers that delivers it, fastest first, each on
// a private copy of the document (privatecopy.h). A document that a tier does not deliver goes on
// to the next, so that the fast tiers never convert fewer documents than the last one alone
// would. The tiered engine (TieredEngine, tieredengine.h) is what chooses.
//
//  1. The hidden load module (hiddenload.h) in the engine instance. The instance is a child of
//     the server, forked from the LibreOfficeKit that the launcher preinitialised
//     (kitpreinit.h), started before its document is known and never given another one
//     (kitinstance.h). The module loads the document hidden, read-only and with nothing that
//     could ask a question, through the engine's component API as `soffice --convert-to` does,
//     and stores the RTF. A hidden document has no view, so it loads faster and takes
//     documents with comments too.
//  2. LibreOfficeKit's document calls, in the same instance. They open a view, and on
//     LibreOffice 7.4 refuse every document with comments.
//  3. `soffice --convert-to`, one engine process per document in a fresh profile
//     (sofficeengine.h): the slowest, and the one that converts whatever LibreOffice converts,
//     since it loads the document in-process the way the engine's desktop does.
//
// From tier 1 to tier 2, for every document of the instance: the module is not installed, the
// engine is not of the release series the module was built for (kitpreinit.h), or the module
// does not find in the engine what it needs. A document that tier 1 fails is not retried in
// tier 2.
//
// A server without an instance uses tier 3 alone: one started directly, without the launcher,
// or one whose launcher could not preinitialise LibreOfficeKit. In a server with an instance, a
// document goes to tier 3 when
//  - by its contents it is no Word, RTF or OOXML file (an empty file, or text, HTML or XML named
//    .doc), which only this tier's type detection tells apart;
//  - it has comments, and the instance has only tier 2;
//  - the instance fails to load or store it, dies, writes no RTF, or uses no processor time
//    for 10 s while the document is under way (then it is stopped);
//  - it is the second document opened in the same server: an instance serves one document.
//
// What no tier should see (a missing file, a folder, an encrypted document, a picture, random
// bytes, a package that unpacks to more than a Word document holds) is refused before any tier
// (checkSource, sourcecheck.h). $PAVENDEL_OFFICE_PATH=kit or full starts at tier 2 or 3, for tests
// and diagnosis.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

namespace office {

// Thrown when the client went away while the engine was working: the server ends at once.
class ClientGone : public std::runtime_error {
 public:
    ClientGone() : std::runtime_error("the client closed the connection") {}
};

class LoadedDocument {
 public:
    virtual ~LoadedDocument() = default;
    // The file name of the source document, for descriptions.
    virtual const std::string& name() const = 0;
    // Writes the document as RTF to the target path, which must be free: a file of that name is
    // never replaced (platform::writeNewFile), and no partly written target is left behind.
    // Throws automation::AutomationError.
    virtual void saveRtf(const std::string& target) = 0;
};

class Engine {
 public:
    virtual ~Engine() = default;
    // Opens the document read-only. Throws automation::AutomationError with a description for the
    // user when it cannot, or ClientGone.
    virtual std::unique_ptr<LoadedDocument> open(const std::string& path) = 0;
};

}  // namespace office
