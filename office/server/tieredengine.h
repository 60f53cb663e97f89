// SPDX-License-Identifier: MIT
// The tiered engine of a server that the launcher forked: it gives the document to the server's
// engine instance (kitinstance.h, tiers 1 and 2), or to the engine's own conversion
// (SofficeEngine, tier 3) when the document falls past the instance; engine.h describes when.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "office/server/engine.h"
#include "office/server/kitinstance.h"

namespace office {

class TieredEngine : public Engine {
 public:
    using FallbackFactory = std::function<std::unique_ptr<Engine>()>;
    // Whether the instance can convert documents with comments: LibreOfficeKit's own document
    // calls refuse them all, the hidden conversion does not.
    enum class Comments { Refused, Taken };

    // Takes over the working folder (removed with the engine); instance may be empty (then every
    // document takes the full path). clientFd as in EngineRun.
    TieredEngine(std::unique_ptr<EngineInstance> instance, Comments comments,
                 std::string workFolder, int clientFd, FallbackFactory fallback);
    ~TieredEngine() override;
    TieredEngine(const TieredEngine&) = delete;
    TieredEngine& operator=(const TieredEngine&) = delete;

    std::unique_ptr<LoadedDocument> open(const std::string& path) override;

 private:
    std::unique_ptr<EngineInstance> m_instance;
    Comments m_comments;
    std::string m_work;
    int m_clientFd;
    FallbackFactory m_makeFallback;
    std::unique_ptr<Engine> m_fallback;
    int m_opened = 0;
};

}  // namespace office
