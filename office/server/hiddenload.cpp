// SPDX-License-Identifier: MIT
// The module pavendel-office-uno.so: loads a document hidden through the engine's component API
// and stores it as RTF (hiddenload.h).
#include "office/server/hiddenload.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XFlushable.hpp>
#include <rtl/ustring.hxx>

namespace {

namespace uno = com::sun::star::uno;
namespace beans = com::sun::star::beans;
namespace frame = com::sun::star::frame;

using ContextGetter = uno::Reference<uno::XComponentContext> (*)();
using LockAcquire = void (*)(unsigned int);
using LockRelease = unsigned int (*)();

// A function the engine's library exports, found among what is loaded already (this never
// brings in a second copy of a library). In merged builds everything is in libmergedlo.
void* engineSymbol(const char* symbol) {
    if (void* found = ::dlsym(RTLD_DEFAULT, symbol)) {
        return found;
    }
    for (const char* library : {"libmergedlo.so", "libcomphelper.so", "libvcllo.so"}) {
        if (void* handle = ::dlopen(library, RTLD_LAZY | RTLD_NOLOAD)) {
            void* found = ::dlsym(handle, symbol);
            ::dlclose(handle);
            if (found != nullptr) {
                return found;
            }
        }
    }
    return nullptr;
}

// What the conversion needs of the engine beyond its component API: the component context the
// engine keeps as the process's own (comphelper::getProcessComponentContext), and the engine's
// global lock (Application::AcquireSolarMutex and ReleaseSolarMutex). Nothing but the engine's
// library can give that context.
struct Engine {
    ContextGetter context = nullptr;
    LockAcquire acquire = nullptr;
    LockRelease release = nullptr;

    bool complete() const { return context != nullptr && acquire != nullptr && release != nullptr; }
};

const Engine& engine() {
    static const Engine found{
        reinterpret_cast<ContextGetter>(
            engineSymbol("_ZN10comphelper26getProcessComponentContextEv")),
        reinterpret_cast<LockAcquire>(engineSymbol("_ZN11Application17AcquireSolarMutexEj")),
        reinterpret_cast<LockRelease>(engineSymbol("_ZN11Application17ReleaseSolarMutexEv")),
    };
    return found;
}

// Taken before the load and, in an instance, never given back (only the launcher's warm-up hands
// it back, before the engine's main loop runs), as the engine's own library calls hold it for
// their whole length: the engine's main loop runs in a thread of its own and must not run its
// background work (layout, idle tasks) on the document while this thread loads or stores it,
// nor afterwards, when all that is left of the instance is to answer and end. Seen without it:
// an instance that died now and then while its document was being loaded or just after it had
// been stored.
void holdEngineLock(const Engine& engine) {
    engine.acquire(1);
}

beans::PropertyValue property(const char* name, const uno::Any& value) {
    beans::PropertyValue result;
    result.Name = rtl::OUString::createFromAscii(name);
    result.Value = value;
    return result;
}

rtl::OUString fromUtf8(const std::string& text) {
    return rtl::OUString::fromUtf8(rtl::OString(text.data(), static_cast<sal_Int32>(text.size())));
}

// Loads the document at url hidden and read-only. Silent with no interaction handler: nothing
// ever asks, a document that needs an answer (a password, a repair) fails instead. Macros are
// never run and links never updated.
uno::Reference<frame::XStorable> loadHidden(const uno::Reference<frame::XDesktop2>& desktop,
                                            const rtl::OUString& url) {
    const beans::PropertyValue load[] = {
        property("Hidden", uno::Any(true)),
        property("ReadOnly", uno::Any(true)),
        property("Silent", uno::Any(true)),
        property("AsTemplate", uno::Any(false)),
        property("MacroExecutionMode",
                 uno::Any(com::sun::star::document::MacroExecMode::NEVER_EXECUTE)),
        property("UpdateDocMode", uno::Any(com::sun::star::document::UpdateDocMode::NO_UPDATE)),
    };
    return uno::Reference<frame::XStorable>(
        desktop->loadComponentFromURL(url, rtl::OUString("_blank"), 0,
                                      uno::Sequence<beans::PropertyValue>(load, std::size(load))),
        uno::UNO_QUERY);
}

void storeAs(const uno::Reference<frame::XStorable>& document, const rtl::OUString& url,
             const char* filter) {
    const beans::PropertyValue store[] = {
        property("FilterName", uno::Any(rtl::OUString::createFromAscii(filter))),
        property("Overwrite", uno::Any(true)),
    };
    document->storeToURL(url, uno::Sequence<beans::PropertyValue>(store, std::size(store)));
}

void close(const uno::Reference<frame::XStorable>& document) {
    const uno::Reference<com::sun::star::util::XCloseable> closeable(document, uno::UNO_QUERY);
    if (closeable.is()) {
        closeable->close(true);
    }
}

// A document of the warm-up, closed when it goes out of scope, whatever happened to it.
class OpenDocument {
 public:
    explicit OpenDocument(uno::Reference<frame::XStorable> document)
        : m_document(std::move(document)) {}
    ~OpenDocument() {
        try {
            close(m_document);
        } catch (const uno::Exception&) {
            // Closing with ownership handed over (close(true)) is all that can be done.
        }
    }
    OpenDocument(const OpenDocument&) = delete;
    OpenDocument& operator=(const OpenDocument&) = delete;

    bool is() const { return m_document.is(); }
    const uno::Reference<frame::XStorable>& get() const { return m_document; }

 private:
    uno::Reference<frame::XStorable> m_document;
};

int failure(const std::string& reason, char* error, std::size_t errorSize) {
    if (error != nullptr && errorSize > 0) {
        const std::size_t length = std::min(reason.size(), errorSize - 1);
        std::memcpy(error, reason.data(), length);
        error[length] = '\0';
    }
    return office::kHiddenFailed;
}

}  // namespace

extern "C" bool pavendel_hidden_ready() {
    return engine().complete();
}

extern "C" void pavendel_warm_engine(const char* folderUrl) {
    if (!engine().complete()) {
        return;
    }
    holdEngineLock(engine());
    // Each step on its own: whatever fails only costs the instances the time it would have
    // saved them, and nothing is left open for them to inherit.
    try {
        const uno::Reference<frame::XDesktop2> desktop = frame::Desktop::create(engine().context());
        const beans::PropertyValue blankLoad[] = {property("Hidden", uno::Any(true))};
        const OpenDocument blank(uno::Reference<frame::XStorable>(
            desktop->loadComponentFromURL(
                rtl::OUString("private:factory/swriter"), rtl::OUString("_blank"), 0,
                uno::Sequence<beans::PropertyValue>(blankLoad, std::size(blankLoad))),
            uno::UNO_QUERY));
        // The blank document as the two kinds of source the program converts, each then
        // converted as a source is: its import filter, the RTF export and the document shell's
        // setup all come in here once, for every instance to inherit.
        const std::string folder(folderUrl);
        for (const auto& [filter, name] : {std::pair{"MS Word 97", "/blank.doc"},
                                           std::pair{"MS Word 2007 XML", "/blank.docx"}}) {
            try {
                if (blank.is()) {
                    storeAs(blank.get(), fromUtf8(folder + name), filter);
                }
                const OpenDocument document(loadHidden(desktop, fromUtf8(folder + name)));
                if (document.is()) {
                    storeAs(document.get(), fromUtf8(folder + name + ".rtf"), "Rich Text Format");
                }
            } catch (const uno::Exception&) {
            }
        }
    } catch (...) {
    }
    // Every instance forked from here starts the engine's main loop, which takes the lock.
    engine().release();
}

extern "C" void pavendel_flush_settings() {
    if (engine().context == nullptr) {
        return;
    }
    try {
        const uno::Reference<uno::XComponentContext> context = engine().context();
        if (!context.is()) {
            return;
        }
        const uno::Reference<com::sun::star::util::XFlushable> settings(
            com::sun::star::configuration::theDefaultProvider::get(context), uno::UNO_QUERY);
        if (settings.is()) {
            settings->flush();
        }
    } catch (const uno::Exception&) {
        // Then the writer ends a second later, by itself.
    }
}

extern "C" int pavendel_convert_hidden(const char* sourceUrl, const char* targetUrl, char* error,
                                       std::size_t errorSize) {
    if (!engine().complete()) {
        return office::kHiddenUnavailable;
    }
    holdEngineLock(engine());
    try {
        const uno::Reference<uno::XComponentContext> context = engine().context();
        if (!context.is()) {
            return office::kHiddenUnavailable;
        }
        const uno::Reference<frame::XDesktop2> desktop = frame::Desktop::create(context);
        const uno::Reference<frame::XStorable> document =
            loadHidden(desktop, rtl::OUString::fromUtf8(sourceUrl));
        if (!document.is()) {
            return failure("the engine could not open the document", error, errorSize);
        }
        storeAs(document, rtl::OUString::fromUtf8(targetUrl), "Rich Text Format");
        // The document is left open and the lock held: the instance ends as soon as it has
        // answered.
        return office::kHiddenConverted;
    } catch (const uno::Exception& exception) {
        const std::string message =
            rtl::OUStringToOString(exception.Message, RTL_TEXTENCODING_UTF8).getStr();
        return failure(message.empty() ? "the engine could not convert the document" : message,
                       error, errorSize);
    } catch (const std::exception& exception) {
        return failure(exception.what(), error, errorSize);
    }
}
