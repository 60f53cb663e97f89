// SPDX-License-Identifier: MIT
// Late-bound automation over COM, on Windows: an object comes from CLSIDFromProgID and
// CoCreateInstance, its members are found by name through IDispatch::GetIDsOfNames and called
// through IDispatch::Invoke, and a failure carries the description and the error number the server
// gave. A call that overruns its deadline ends the server process that CreateObject started, and
// that one only: it is the process of the server's program that appeared during CoCreateInstance
// (its program found in the 64-bit and in the 32-bit registry, as a 32-bit Word registers in the
// latter). Creating the object and its first call share the start-up deadline; a creation that
// fails or overruns it ends the process it started, which would otherwise stay.
#include "automation/systemobject.h"
#include "platform/widetext_win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <oleauto.h>

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cwctype>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace automation {

using platform::Narrow;
using platform::SystemErrorText;
using platform::Widen;

namespace {

std::mutex g_deadlinesMutex;
WordDeadlines g_deadlines;

WordDeadlines currentDeadlines() {
    std::lock_guard lock(g_deadlinesMutex);
    return g_deadlines;
}

// The process of the program that serves the objects of one CreateObject, when it is known.
struct Server {
    HANDLE process = nullptr;
    // Whether the server has answered a call: until then a call also waits for its start.
    bool answered = false;
    Server() = default;
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    ~Server() {
        if (process != nullptr) {
            ::CloseHandle(process);
        }
    }
};

std::wstring lowerCase(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    return text;
}

// The command of the class's LocalServer32 key in one registry view (KEY_WOW64_64KEY or
// KEY_WOW64_32KEY); empty when it has none there.
std::wstring localServerCommand(const CLSID& id, REGSAM view) {
    wchar_t idText[64];
    ::StringFromGUID2(id, idText, 64);
    const std::wstring key = L"CLSID\\" + std::wstring(idText) + L"\\LocalServer32";
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
        ERROR_SUCCESS) {
        return {};
    }
    std::wstring command(1024, L'\0');
    DWORD size = static_cast<DWORD>(command.size() * sizeof(wchar_t));
    const LSTATUS status =
        ::RegGetValueW(handle, nullptr, nullptr, RRF_RT_REG_SZ, nullptr, command.data(), &size);
    ::RegCloseKey(handle);
    if (status != ERROR_SUCCESS) {
        return {};
    }
    command.resize(command.find(L'\0'));
    return command;
}

// The file name of the program the class starts ("winword.exe"), from its LocalServer32 command
// in the 64-bit view, else in the 32-bit one (a 32-bit Office on 64-bit Windows); empty when the
// class names none.
std::wstring serverImage(const CLSID& id) {
    std::wstring command = localServerCommand(id, KEY_WOW64_64KEY);
    if (command.empty()) {
        command = localServerCommand(id, KEY_WOW64_32KEY);
    }
    if (command.empty()) {
        return {};
    }
    std::wstring path;
    if (command[0] == L'"') {
        path = command.substr(1, command.find(L'"', 1) - 1);
    } else {
        // An unquoted command may hold spaces in its path: it ends with ".exe".
        const std::size_t exe = lowerCase(command).find(L".exe");
        path = exe == std::wstring::npos ? command : command.substr(0, exe + 4);
    }
    return lowerCase(path.substr(path.find_last_of(L"\\/") + 1));
}

std::set<DWORD> processesOf(const std::wstring& image) {
    std::set<DWORD> found;
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return found;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot, &entry); more;
         more = ::Process32NextW(snapshot, &entry)) {
        if (lowerCase(entry.szExeFile) == image) {
            found.insert(entry.th32ProcessID);
        }
    }
    ::CloseHandle(snapshot);
    return found;
}

// Ends the processes, which a creation of this program's started.
void endAll(const std::set<DWORD>& processes) {
    for (const DWORD pid : processes) {
        if (const HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            ::TerminateProcess(process, 1);
            ::CloseHandle(process);
        }
    }
}

// One CoCreateInstance on a thread of its own, and what came of it: the object marshalled for
// the thread that asked, or the failure. The thread that asked may give up on it first.
struct Creation {
    std::mutex mutex;
    std::condition_variable changed;
    bool finished = false;
    bool abandoned = false;
    HRESULT result = E_FAIL;
    IStream* stream = nullptr;
};

// Ends the server's process when a call has not come back by its deadline.
class Watchdog {
 public:
    Watchdog(const std::shared_ptr<Server>& server, std::chrono::milliseconds deadline) {
        if (!server || server->process == nullptr) {
            return;
        }
        m_thread = std::thread([this, server, deadline] {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_for(lock, deadline, [this] { return m_done; })) {
                m_overran = true;
                ::TerminateProcess(server->process, 1);
            }
        });
    }
    ~Watchdog() { finish(); }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Whether the deadline passed; the watchdog is stopped either way.
    bool finish() {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_overran;
    }

 private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    bool m_overran = false;
    std::thread m_thread;
};

// COM in this thread, as a single-threaded apartment like a window's thread, for the thread's
// lifetime; a thread that has COM already keeps what it chose.
// How long a call that the server turns away (busy, a dialog of its own open) is offered again,
// on this thread; set for each call.
thread_local std::chrono::milliseconds t_retryFor{0};

// Offers a call that the server turns away again every quarter second, until the call's
// deadline; then it fails with RPC_E_CALL_REJECTED. (COM interfaces end their objects through
// Release, never through a destructor of the interface.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class RetryWhileBusy : public IMessageFilter {
 public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id == IID_IUnknown || id == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Lives as long as the program: it is never freed.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed, DWORD rejection) override {
        if (rejection == SERVERCALL_RETRYLATER && std::chrono::milliseconds(elapsed) < t_retryFor) {
            return 250;
        }
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }
};
#pragma GCC diagnostic pop

// COM in this thread, as a single-threaded apartment like a window's thread, with the filter
// that retries calls a busy server turns away; a thread that has COM already keeps what it chose.
void initialiseCom() {
    thread_local const bool initialised = [] {
        const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(result)) {
            static RetryWhileBusy filter;
            IMessageFilter* previous = nullptr;
            ::CoRegisterMessageFilter(&filter, &previous);
        }
        return SUCCEEDED(result);
    }();
    (void)initialised;
}

// The system's words for an HRESULT and the number as Windows writes it: "Class not registered
// (0x80040154)", or "Error 0x80040154" when the system has no words for it.
std::string describe(HRESULT result) {
    char number[16];
    std::snprintf(number, sizeof number, "0x%08lX",
                  static_cast<unsigned long>(static_cast<ULONG>(result)));
    const std::optional<std::string> text = platform::SystemMessage(static_cast<ULONG>(result));
    return text ? *text + " (" + number + ")" : std::string("Error ") + number;
}

class Bstr {
 public:
    explicit Bstr(const std::string& text) {
        const std::wstring wide = Widen(text);
        m_value = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~Bstr() { ::SysFreeString(m_value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return m_value; }

 private:
    BSTR m_value;
};

std::string fromBstr(BSTR text) {
    return text == nullptr ? std::string() : Narrow(std::wstring_view(text, ::SysStringLen(text)));
}

class DispatchObject : public AutomationObject {
 public:
    // Takes over one reference to the object, served by the server's process.
    DispatchObject(IDispatch* dispatch, std::shared_ptr<Server> server)
        : m_dispatch(dispatch), m_server(std::move(server)) {}
    ~DispatchObject() override { m_dispatch->Release(); }
    DispatchObject(const DispatchObject&) = delete;
    DispatchObject& operator=(const DispatchObject&) = delete;

    Variant get(const std::string& name) override {
        return invoke(name, DISPATCH_PROPERTYGET, {}, {});
    }
    Variant call(const std::string& name, const std::vector<Variant>& positional,
                 const NamedArguments& named) override {
        return invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, positional, named);
    }
    void put(const std::string& name, const Variant& value) override {
        invoke(name, DISPATCH_PROPERTYPUT, {value}, {});
    }
    IDispatch* dispatch() const { return m_dispatch; }

 private:
    Variant invoke(const std::string& name, WORD flags, const std::vector<Variant>& positional,
                   const NamedArguments& named);

    IDispatch* m_dispatch;
    std::shared_ptr<Server> m_server;
};

// The argument as a VARIANT the callee may read; VariantClear frees it.
VARIANT toVariant(const Variant& value) {
    VARIANT out;
    ::VariantInit(&out);
    if (value.isBool()) {
        out.vt = VT_BOOL;
        out.boolVal = value.asBool() ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (value.isInt()) {
        out.vt = VT_I4;
        out.lVal = value.asInt();
    } else if (value.isString()) {
        const std::wstring wide = Widen(value.asString());
        out.vt = VT_BSTR;
        out.bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    } else if (value.isObject()) {
        const auto* object = dynamic_cast<const DispatchObject*>(value.asObject().get());
        if (object == nullptr) {
            throw AutomationError("Type mismatch.");
        }
        out.vt = VT_DISPATCH;
        out.pdispVal = object->dispatch();
        out.pdispVal->AddRef();
    }
    return out;
}

Variant fromVariant(VARIANT& value, const std::shared_ptr<Server>& server) {
    switch (value.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return Variant();
        case VT_BOOL:
            return Variant(value.boolVal != VARIANT_FALSE);
        case VT_BSTR:
            return Variant(fromBstr(value.bstrVal));
        case VT_DISPATCH:
            if (value.pdispVal == nullptr) {
                return Variant();
            }
            value.pdispVal->AddRef();
            return Variant(ObjectPtr(std::make_shared<DispatchObject>(value.pdispVal, server)));
        default:
            break;
    }
    VARIANT converted;
    ::VariantInit(&converted);
    Variant result;
    if (SUCCEEDED(::VariantChangeType(&converted, &value, 0, VT_I4))) {
        result = Variant(static_cast<std::int32_t>(converted.lVal));
    } else if (SUCCEEDED(::VariantChangeType(&converted, &value, 0, VT_BSTR))) {
        result = Variant(fromBstr(converted.bstrVal));
    } else {
        throw AutomationError("Type mismatch.");
    }
    ::VariantClear(&converted);
    return result;
}

Variant DispatchObject::invoke(const std::string& name, WORD flags,
                               const std::vector<Variant>& positional,
                               const NamedArguments& named) {
    // Word fails on a path longer than it takes with words that do not say why; it is not asked.
    if (IsDocumentCall(name) && !positional.empty() && positional[0].isString()) {
        if (const auto tooLong = DescribePathTooLongForWord(positional[0].asString())) {
            throw AutomationError(*tooLong);
        }
    }
    // The member's name first, then the names of the named arguments, all found in one call.
    std::vector<std::wstring> names{Widen(name)};
    for (const auto& [argument, value] : named) {
        names.push_back(Widen(argument));
    }
    std::vector<LPOLESTR> namePointers;
    for (std::wstring& text : names) {
        namePointers.push_back(text.data());
    }
    std::vector<DISPID> ids(names.size(), DISPID_UNKNOWN);
    HRESULT result =
        m_dispatch->GetIDsOfNames(IID_NULL, namePointers.data(), static_cast<UINT>(names.size()),
                                  LOCALE_USER_DEFAULT, ids.data());
    if (FAILED(result)) {
        throw AutomationError(result == DISP_E_UNKNOWNNAME
                                  ? "Object doesn't support this property or method: " + name + "."
                                  : describe(result));
    }
    // Named arguments come first in the array, each beside its identifier; the positional ones
    // follow in reverse order, as Invoke takes them.
    std::vector<VARIANT> arguments;
    arguments.reserve(named.size() + positional.size());
    for (const auto& [argument, value] : named) {
        arguments.push_back(toVariant(value));
    }
    for (auto value = positional.rbegin(); value != positional.rend(); ++value) {
        arguments.push_back(toVariant(*value));
    }
    DISPPARAMS parameters{};
    parameters.rgvarg = arguments.empty() ? nullptr : arguments.data();
    parameters.cArgs = static_cast<UINT>(arguments.size());
    parameters.rgdispidNamedArgs = named.empty() ? nullptr : ids.data() + 1;
    parameters.cNamedArgs = static_cast<UINT>(named.size());
    // A put passes its value as the one argument named DISPID_PROPERTYPUT.
    DISPID putValue = DISPID_PROPERTYPUT;
    if (flags == DISPATCH_PROPERTYPUT) {
        parameters.rgdispidNamedArgs = &putValue;
        parameters.cNamedArgs = 1;
    }
    VARIANT answer;
    ::VariantInit(&answer);
    EXCEPINFO exception{};
    UINT wrongArgument = 0;
    const WordDeadlines deadlines = currentDeadlines();
    // Until it has answered once the server may still be starting: its first call has the
    // start-up deadline.
    const bool starting = !m_server->answered;
    const std::chrono::milliseconds deadline =
        starting ? std::max(deadlines.start, deadlines.of(name)) : deadlines.of(name);
    Watchdog watchdog(m_server, deadline);
    t_retryFor = deadline;
    result = m_dispatch->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, &answer,
                                &exception, &wrongArgument);
    const bool overran = watchdog.finish();
    for (VARIANT& argument : arguments) {
        ::VariantClear(&argument);
    }
    if (overran) {
        ::VariantClear(&answer);
        if (IsMember(name, "Quit")) {
            return Variant();  // it would not end by itself, so it was ended
        }
        if (starting) {
            throw AutomationError(DescribeStartOverrun("Word", deadline));
        }
        // Open names the document by the file name it was given; SaveAs's path is the target's.
        std::string document;
        if (IsMember(name, "Open") && !positional.empty() && positional[0].isString()) {
            const std::string path = positional[0].asString();
            document = "\"" + path.substr(path.find_last_of("\\/") + 1) + "\"";
        }
        throw AutomationError(
            DescribeOverrun("Word", name, document, "to answer " + name, deadline));
    }
    m_server->answered = true;
    if (result == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) {
            exception.pfnDeferredFillIn(&exception);
        }
        // The server's error number: an HRESULT in scode, or a number of its own in wCode, which
        // Visual Basic reports as 0x800A0000 plus the number.
        const auto number =
            static_cast<std::int32_t>(exception.scode != 0   ? static_cast<ULONG>(exception.scode)
                                      : exception.wCode != 0 ? 0x800A0000u | exception.wCode
                                                             : 0u);
        std::string description = fromBstr(exception.bstrDescription);
        if (description.empty()) {
            description = describe(number);
        }
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        throw AutomationError(description, number);
    }
    if (result == RPC_E_CALL_REJECTED) {
        throw AutomationError("Word is busy (it may be showing a dialog box) and did not take " +
                              name + " within " + DescribeDuration(deadline) + ".");
    }
    if (FAILED(result)) {
        throw AutomationError(describe(result), static_cast<std::int32_t>(result));
    }
    try {
        Variant value = fromVariant(answer, m_server);
        ::VariantClear(&answer);
        return value;
    } catch (...) {
        ::VariantClear(&answer);
        throw;
    }
}

}  // namespace

WordDeadlines SetSystemObjectDeadlines(WordDeadlines deadlines) {
    std::lock_guard lock(g_deadlinesMutex);
    return std::exchange(g_deadlines, deadlines);
}

ObjectPtr CreateSystemObject(const std::string& progId) {
    initialiseCom();
    CLSID id{};
    HRESULT result = ::CLSIDFromProgID(Widen(progId).c_str(), &id);
    if (result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG) {
        throw AutomationError("Cannot create the object \"" + progId +
                              "\": no program that provides it is installed.");
    }
    if (FAILED(result)) {
        throw AutomationError(
            "Cannot create the object \"" + progId + "\": " + describe(result) + ".",
            static_cast<std::int32_t>(result));
    }
    // The server's process is the one of its program that was not there before; a process of it
    // that was (the user's own Word) is never ended.
    const std::wstring image = serverImage(id);
    const std::set<DWORD> before = image.empty() ? std::set<DWORD>() : processesOf(image);
    const auto startedSince = [image, before] {
        std::set<DWORD> started = image.empty() ? std::set<DWORD>() : processesOf(image);
        for (const DWORD pid : before) {
            started.erase(pid);
        }
        return started;
    };
    // CoCreateInstance waits as long as COM gives the server to register, however long the
    // start-up deadline is, so it runs on a thread of its own: past the deadline the creation
    // fails at once, what it started is ended, and whatever it brings later is let go.
    const std::chrono::milliseconds deadline = currentDeadlines().start;
    auto creation = std::make_shared<Creation>();
    std::thread([creation, id, startedSince] {
        ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        // A local server only: an object made in this thread's apartment would end with it.
        IDispatch* dispatch = nullptr;
        HRESULT made = ::CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                          reinterpret_cast<void**>(&dispatch));
        IStream* stream = nullptr;
        if (SUCCEEDED(made)) {
            made = ::CoMarshalInterThreadInterfaceInStream(IID_IDispatch, dispatch, &stream);
            dispatch->Release();
        }
        bool abandoned = false;
        {
            std::lock_guard lock(creation->mutex);
            creation->finished = true;
            creation->result = made;
            creation->stream = stream;
            abandoned = creation->abandoned;
        }
        creation->changed.notify_all();
        if (abandoned) {
            if (stream != nullptr) {
                ::CoReleaseMarshalData(stream);
                stream->Release();
            }
            endAll(startedSince());
        }
        ::CoUninitialize();
    }).detach();
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::unique_lock lock(creation->mutex);
    while (!creation->finished && std::chrono::steady_clock::now() < end) {
        // The window keeps painting while Word starts.
        creation->changed.wait_for(lock, std::chrono::milliseconds(50));
        lock.unlock();
        RunAutomationWaitHook();
        lock.lock();
    }
    if (!creation->finished) {
        creation->abandoned = true;
        lock.unlock();
        endAll(startedSince());
        throw AutomationError(DescribeStartOverrun("Word", deadline));
    }
    lock.unlock();
    result = creation->result;
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(result)) {
        result = ::CoGetInterfaceAndReleaseStream(creation->stream, IID_IDispatch,
                                                  reinterpret_cast<void**>(&dispatch));
    }
    const std::set<DWORD> started = startedSince();
    if (FAILED(result) || dispatch == nullptr) {
        // A server that a failed creation started would otherwise stay, holding whatever it
        // opened.
        endAll(started);
        throw AutomationError(
            "Cannot create the object \"" + progId + "\": " + describe(result) + ".",
            static_cast<std::int32_t>(result));
    }
    auto server = std::make_shared<Server>();
    if (started.size() == 1) {
        server->process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, *started.begin());
    }
    return std::make_shared<DispatchObject>(dispatch, std::move(server));
}

}  // namespace automation
