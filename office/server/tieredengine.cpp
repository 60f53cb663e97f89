// SPDX-License-Identifier: MIT
#include "office/server/tieredengine.h"

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "office/server/diagnostics.h"
#include "office/server/filekind.h"
#include "office/server/privatecopy.h"
#include "office/server/sourcecheck.h"
#include "office/server/testfault.h"

namespace fs = std::filesystem;

namespace office {

namespace {

// Formats the engine library reads as Word would: what else a .doc name may hold (text, HTML,
// XML) has to be told apart by the full conversion's type detection and filters.
bool forInstance(FileKind kind) {
    return kind == FileKind::Compound || kind == FileKind::OldWord || kind == FileKind::Zip ||
           kind == FileKind::Rtf;
}

}  // namespace

TieredEngine::TieredEngine(std::unique_ptr<EngineInstance> instance, Comments comments,
                           std::string workFolder, int clientFd, FallbackFactory fallback)
    : m_instance(std::move(instance)),
      m_comments(comments),
      m_work(std::move(workFolder)),
      m_clientFd(clientFd),
      m_makeFallback(std::move(fallback)) {}

TieredEngine::~TieredEngine() {
    m_instance.reset();
    m_fallback.reset();
    std::error_code ignored;
    fs::remove_all(m_work, ignored);
}

std::unique_ptr<LoadedDocument> TieredEngine::open(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    if (faultRequested("server-crash", name)) {
        ::kill(::getpid(), SIGKILL);
    }
    if (faultRequested("server-hang", name)) {
        for (;;) {
            ::pause();
        }
    }
    checkSourceFile(path);
    std::unique_ptr<EngineInstance> instance = std::move(m_instance);
    // Why the document leaves the fast path, said on standard error: a silent slowdown would
    // otherwise go unnoticed.
    std::string slower;
    FileSniff sniff;
    if (!instance) {
        sniff = checkLook(name, lookConfined(path));
        slower = "no engine instance could be prepared for it";
    } else {
        const fs::path folder = fs::path(m_work) / ("document-" + std::to_string(++m_opened));
        const fs::path copy = copyIntoFolder(path, folder);
        auto document = std::make_unique<ConvertedDocument>(name, folder);
        // What the document is, read by the instance (already held as an engine process is)
        // from the private copy, or else in a confined child of this process.
        const std::optional<SourceLook> looked = instance->look(copy, m_clientFd);
        sniff = checkLook(name, looked ? *looked : lookConfined(copy));
        if (!forInstance(sniff.kind)) {
            slower =
                "it is not a Word, RTF or OOXML file, which only the full conversion tells apart";
        } else if (m_comments == Comments::Refused && sniff.comments) {
            // An instance that refuses every document with comments is not asked to convert it:
            // it would only cost time.
            slower = "it has comments, which LibreOfficeKit's document calls refuse";
        } else {
            const fs::path rtf = rtfOf(copy);
            const EngineInstance::Result result = instance->convert(copy, rtf, m_clientFd);
            if (result.outcome == EngineInstance::Outcome::Converted && startsWithRtf(rtf)) {
                trace(name + ": converted in a fresh engine instance by " +
                      (result.method == "hidden" ? "the hidden conversion"
                                                 : "LibreOfficeKit's document calls") +
                      ".");
                document->setRtf(rtf);
                return document;
            }
            slower = result.outcome == EngineInstance::Outcome::Converted
                         ? "the engine instance wrote no RTF"
                     : result.detail.empty() ? "the engine instance ended without converting it"
                                             : "the engine instance failed: " + result.detail;
        }
    }
    instance.reset();
    if (forInstance(sniff.kind) || tracing()) {
        diagnose(name + ": taking the engine's own conversion, since " + slower + ".");
    }
    if (!m_fallback) {
        m_fallback = m_makeFallback();
    }
    return m_fallback->open(path);
}

}  // namespace office
