// SPDX-License-Identifier: MIT
// What the Application object needs from an office engine: open a document read-only and write
// it as RTF. The engine of today converts with LibreOffice's own conversion, one engine process per
// document (convertengine.h); a preinitialised engine that forks per document can take its place
// behind the same two calls.
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
    // Writes the document as RTF to the target path, replacing a file that is there; never
    // leaves a partly written target behind. Throws platform::AutomationError.
    virtual void saveRtf(const std::string& target) = 0;
};

class Engine {
 public:
    virtual ~Engine() = default;
    // Opens the document read-only. Throws platform::AutomationError with a description for the
    // user when it cannot, or ClientGone.
    virtual std::unique_ptr<LoadedDocument> open(const std::string& path) = 0;
};

}  // namespace office
