// SPDX-License-Identifier: MIT
// Late-bound automation over COM, on Windows: an object comes from CLSIDFromProgID and
// CoCreateInstance, its members are found by name through IDispatch::GetIDsOfNames and called
// through IDispatch::Invoke, and a failure carries the description the server gave. A call that
// overruns its deadline ends the server process that CreateObject started, and that one only:
// it is the process of the server's program that appeared during CoCreateInstance.
#include "automation/systemobject.h"
#include "platform/widetext_win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <oleauto.h>

#include <tlhelp32.h>

#include <algorithm>
#include <condition_variable>
#include <cwctype>
#include <memory>
#include <mutex>
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

// The file name of the program the class starts ("winword.exe"), from its LocalServer32 command;
// empty when the class names none.
std::wstring serverImage(const CLSID& id) {
    wchar_t idText[64];
    ::StringFromGUID2(id, idText, 64);
    const std::wstring key = L"CLSID\\" + std::wstring(idText) + L"\\LocalServer32";
    std::wstring command(1024, L'\0');
    DWORD size = static_cast<DWORD>(command.size() * sizeof(wchar_t));
    if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                       command.data(), &size) != ERROR_SUCCESS) {
        return {};
    }
    command.resize(command.find(L'\0'));
    std::wstring path;
    if (!command.empty() && command[0] == L'"') {
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

std::string describe(HRESULT result) {
    return SystemErrorText(static_cast<unsigned long>(result));
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
    VARIANT answer;
    ::VariantInit(&answer);
    EXCEPINFO exception{};
    UINT wrongArgument = 0;
    const std::chrono::milliseconds deadline = currentDeadlines().of(name);
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
        // Open names the document by the path it was given; SaveAs's path is the target's.
        const std::string document =
            IsMember(name, "Open") && !positional.empty() && positional[0].isString()
                ? positional[0].asString()
                : "";
        throw AutomationError(
            DescribeOverrun("Word", name, document, "to answer " + name, deadline));
    }
    if (result == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn != nullptr) {
            exception.pfnDeferredFillIn(&exception);
        }
        std::string description = fromBstr(exception.bstrDescription);
        if (description.empty()) {
            description = describe(exception.scode != 0 ? exception.scode : exception.wCode);
        }
        ::SysFreeString(exception.bstrSource);
        ::SysFreeString(exception.bstrDescription);
        ::SysFreeString(exception.bstrHelpFile);
        throw AutomationError(description);
    }
    if (result == RPC_E_CALL_REJECTED) {
        throw AutomationError("Word is busy (it may be showing a dialog box) and did not take " +
                              name + " within " + DescribeDuration(deadline) + ".");
    }
    if (FAILED(result)) {
        throw AutomationError(describe(result));
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
    IDispatch* dispatch = nullptr;
    auto server = std::make_shared<Server>();
    if (SUCCEEDED(result)) {
        // The server's process is the one of its program that was not there before.
        const std::wstring image = serverImage(id);
        const std::set<DWORD> before = image.empty() ? std::set<DWORD>() : processesOf(image);
        result = ::CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                    IID_IDispatch, reinterpret_cast<void**>(&dispatch));
        std::set<DWORD> started = image.empty() ? std::set<DWORD>() : processesOf(image);
        for (const DWORD pid : before) {
            started.erase(pid);
        }
        if (SUCCEEDED(result) && started.size() == 1) {
            server->process =
                ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, *started.begin());
        }
    }
    if (FAILED(result) || dispatch == nullptr) {
        throw AutomationError("Cannot create the object \"" + progId + "\": " + describe(result) +
                              ".");
    }
    return std::make_shared<DispatchObject>(dispatch, std::move(server));
}

}  // namespace automation
