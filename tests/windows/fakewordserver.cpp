// SPDX-License-Identifier: MIT
// A stand-in for Word for the Windows build's tests: a COM local server that registers itself as
// "Word.Application" (fakewordserver.exe /regserver, or /regserver32 in the 32-bit registry view
// only, as a 32-bit Office registers on 64-bit Windows; /unregserver) and behaves as Word's
// object model documentation says Word does, late-bound:
//
//   Application: DisplayAlerts, AutomationSecurity, Visible (get, put), Documents,
//                ActiveDocument, Quit([SaveChanges])
//   Documents:   Open(FileName, [ConfirmConversions, ReadOnly, AddToRecentFiles,
//                PasswordDocument, WritePasswordDocument, Visible, OpenAndRepair,
//                NoEncodingDialog]) by name
//   Document:    SaveAs(FileName, [FileFormat, AddToRecentFiles]); SaveAs writes a small RTF
//                that names the document it holds
//
// Word asks its questions in windows of its own, which nobody sees while it runs invisible: a
// question here blocks the call that raised it for good (until the process is ended), and is
// written to the log. What each document does depends on words in its file name:
//
//   password        encrypted: asks for the password unless PasswordDocument is given; a wrong
//                   one fails with Word's error 5408
//   writeprotected  a password to modify: asks for it unless opened ReadOnly
//   recommended     read-only recommended: asks "open read-only?" unless opened ReadOnly
//   inuse           locked by another user: asks "open read-only or notify?" unless ReadOnly
//   damaged         unreadable content: asks "recover?" unless DisplayAlerts is wdAlertsNone
//   encoded         plain text: asks for the encoding unless NoEncodingDialog is True
//   foreign         another format: asks to confirm the conversion unless ConfirmConversions is
//                   False
//   asks            a question no argument avoids
//   macro           an AutoOpen macro runs unless AutomationSecurity is ForceDisable: it logs
//                   "macro ran" and opens macro-other.doc of the same folder, which becomes the
//                   active document
//   dirty           changes on opening, so Quit asks to save unless SaveChanges is given
//   busy            after opening, turns every call away as busy for three seconds
//   fail            fails to open with a description of Word's
//   crash, hang     ends the process, or never answers, while opening
//   savecrash       ends the process while saving (not while opening)
//
// A document opened without ReadOnly gets an owner file "~$<name>" beside it, which is removed
// when it is closed, and stays when the process is ended. Open and SaveAs without
// AddToRecentFiles:=False add the path to the recent files, written to the log.
//
// The log, word-log.txt beside the server, gets one line per event ("asked: ...", "recent: ...",
// "macro ran", "quit"). A cue file, word-cue.txt beside it, read when the server starts, makes it
// start slowly ("slow-start": the first call waits 15 seconds, as a first start after
// installation does), never ("never-start": it never offers its object), or refuse to hand out
// the object ("no-dispatch"). With /idle it only waits a minute, as another program of the same
// name that no test may end.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <oleauto.h>

#include <cwctype>
#include <fstream>
#include <string>

#include "automation/wordcalls.h"

// COM interfaces end their objects through Release, never through a destructor of the interface.
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

namespace {

// {6E3C0B5A-9B1F-4C3D-8A41-2F7D5E9C1B20}
constexpr CLSID kServerId = {
    0x6e3c0b5a, 0x9b1f, 0x4c3d, {0x8a, 0x41, 0x2f, 0x7d, 0x5e, 0x9c, 0x1b, 0x20}};
constexpr const wchar_t* kServerIdText = L"{6E3C0B5A-9B1F-4C3D-8A41-2F7D5E9C1B20}";
constexpr const wchar_t* kProgId = L"Word.Application";

DWORD g_mainThread = 0;
LONG g_objects = 0;
// The document Documents.Open opened last and its owner file; empty when none is open.
std::wstring g_opened;
std::wstring g_ownerFile;
bool g_dirty = false;
// Application settings, with Word's defaults for an instance started by automation.
LONG g_displayAlerts = -1;      // wdAlertsAll
LONG g_automationSecurity = 1;  // msoAutomationSecurityLow
bool g_visible = false;
// Calls are turned away as busy until this tick count; the first call waits for the slow start.
ULONGLONG g_busyUntil = 0;
bool g_slowStart = false;

std::wstring besideServer(const wchar_t* name) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

std::string utf8(const std::wstring& text) {
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

void log(const std::string& line) {
    std::ofstream(besideServer(L"word-log.txt").c_str(), std::ios::app) << line << "\n";
}

// Word waits for an answer in a dialog box that nobody sees.
[[noreturn]] void ask(const std::string& question) {
    log("asked: " + question);
    for (;;) {
        ::Sleep(INFINITE);
    }
}

void objectGone() {
    if (::InterlockedDecrement(&g_objects) == 0) {
        ::PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
    }
}

enum Member : DISPID {
    kDocuments = 1,
    kActiveDocument,
    kQuit,
    kOpen,
    kSaveAs,
    kFileFormat,
    kFileName,
    kVisible,
    kDisplayAlerts,
    kAutomationSecurity,
    kSaveChanges,
    kConfirmConversions,
    kReadOnly,
    kAddToRecentFiles,
    kPasswordDocument,
    kWritePasswordDocument,
    kOpenAndRepair,
    kNoEncodingDialog,
};

struct Name {
    const wchar_t* text;
    DISPID id;
};
constexpr Name kNames[] = {{L"Documents", kDocuments},
                           {L"ActiveDocument", kActiveDocument},
                           {L"Quit", kQuit},
                           {L"Open", kOpen},
                           {L"SaveAs", kSaveAs},
                           {L"FileFormat", kFileFormat},
                           {L"FileName", kFileName},
                           {L"Visible", kVisible},
                           {L"DisplayAlerts", kDisplayAlerts},
                           {L"AutomationSecurity", kAutomationSecurity},
                           {L"SaveChanges", kSaveChanges},
                           {L"ConfirmConversions", kConfirmConversions},
                           {L"ReadOnly", kReadOnly},
                           {L"AddToRecentFiles", kAddToRecentFiles},
                           {L"PasswordDocument", kPasswordDocument},
                           {L"WritePasswordDocument", kWritePasswordDocument},
                           {L"OpenAndRepair", kOpenAndRepair},
                           {L"NoEncodingDialog", kNoEncodingDialog}};

bool sameName(const wchar_t* a, const wchar_t* b) {
    for (; *a != 0 && *b != 0; ++a, ++b) {
        if (std::towlower(*a) != std::towlower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

HRESULT fail(EXCEPINFO* exception, const std::wstring& description, WORD number = 1001) {
    if (exception != nullptr) {
        *exception = EXCEPINFO{};
        exception->wCode = number;
        exception->bstrSource = ::SysAllocString(L"Word");
        exception->bstrDescription = ::SysAllocString(description.c_str());
    }
    return DISP_E_EXCEPTION;
}

// The argument of the given name, else the positional one at the given place; null when absent.
VARIANT* argument(DISPPARAMS& parameters, DISPID name, UINT position) {
    for (UINT i = 0; i < parameters.cNamedArgs; ++i) {
        if (parameters.rgdispidNamedArgs[i] == name) {
            return &parameters.rgvarg[i];
        }
    }
    const UINT positional = parameters.cArgs - parameters.cNamedArgs;
    return position < positional ? &parameters.rgvarg[parameters.cArgs - 1 - position] : nullptr;
}

// An optional argument as a number, or the default when it was not given.
LONG number(DISPPARAMS& parameters, DISPID name, UINT position, LONG fallback) {
    VARIANT* given = argument(parameters, name, position);
    VARIANT converted;
    ::VariantInit(&converted);
    if (given == nullptr || FAILED(::VariantChangeType(&converted, given, 0, VT_I4))) {
        return fallback;
    }
    return converted.lVal;
}

bool flag(DISPPARAMS& parameters, DISPID name, UINT position, bool fallback) {
    return number(parameters, name, position, fallback ? -1 : 0) != 0;
}

enum class Kind { Application, Documents, Document };

class Object : public IDispatch {
 public:
    explicit Object(Kind kind) : m_kind(kind) { ::InterlockedIncrement(&g_objects); }
    virtual ~Object() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id == IID_IUnknown || id == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ::InterlockedIncrement(&m_references); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&m_references);
        if (left == 0) {
            delete this;
            objectGone();
        }
        return static_cast<ULONG>(left);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        HRESULT result = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (const Name& name : kNames) {
                if (sameName(names[i], name.text)) {
                    ids[i] = name.id;
                }
            }
            if (ids[i] == DISPID_UNKNOWN) {
                result = DISP_E_UNKNOWNNAME;
            }
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT*) override {
        if (g_slowStart) {
            g_slowStart = false;
            ::Sleep(15000);
        }
        switch (m_kind) {
            case Kind::Application:
                return application(member, flags, *parameters, result, exception);
            case Kind::Documents:
                return member == kOpen ? open(*parameters, result, exception)
                                       : DISP_E_MEMBERNOTFOUND;
            case Kind::Document:
                return member == kSaveAs ? saveAs(*parameters, exception) : DISP_E_MEMBERNOTFOUND;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

 private:
    static void giveObject(VARIANT* result, Kind kind) {
        if (result != nullptr) {
            ::VariantInit(result);
            result->vt = VT_DISPATCH;
            result->pdispVal = new Object(kind);
        }
    }

    static void giveNumber(VARIANT* result, LONG value) {
        if (result != nullptr) {
            ::VariantInit(result);
            result->vt = VT_I4;
            result->lVal = value;
        }
    }

    static HRESULT setting(LONG& value, WORD flags, DISPPARAMS& parameters, VARIANT* result) {
        if ((flags & DISPATCH_PROPERTYPUT) != 0) {
            value = number(parameters, DISPID_PROPERTYPUT, 0, value);
            return S_OK;
        }
        giveNumber(result, value);
        return S_OK;
    }

    static HRESULT application(DISPID member, WORD flags, DISPPARAMS& parameters, VARIANT* result,
                               EXCEPINFO* exception) {
        switch (member) {
            case kDocuments:
                giveObject(result, Kind::Documents);
                return S_OK;
            case kActiveDocument:
                if (g_opened.empty()) {
                    return fail(exception,
                                L"This command is not available because no document "
                                L"is open.");
                }
                giveObject(result, Kind::Document);
                return S_OK;
            case kDisplayAlerts:
                return setting(g_displayAlerts, flags, parameters, result);
            case kAutomationSecurity:
                return setting(g_automationSecurity, flags, parameters, result);
            case kVisible: {
                LONG visible = g_visible ? -1 : 0;
                const HRESULT done = setting(visible, flags, parameters, result);
                g_visible = visible != 0;
                return done;
            }
            case kQuit:
                return quit(parameters);
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

    static HRESULT quit(DISPPARAMS& parameters) {
        // wdPromptToSaveChanges unless told otherwise: a changed document makes Word ask.
        const LONG save = number(parameters, kSaveChanges, 0, -2);
        if (g_dirty && save == -2) {
            ask("Do you want to save the changes to the document?");
        }
        if (!g_ownerFile.empty()) {
            ::DeleteFileW(g_ownerFile.c_str());
        }
        log("quit");
        return S_OK;
    }

    static HRESULT open(DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception) {
        VARIANT* path = argument(parameters, kFileName, 0);
        if (path == nullptr || path->vt != VT_BSTR) {
            return DISP_E_TYPEMISMATCH;
        }
        const std::wstring source(path->bstrVal, ::SysStringLen(path->bstrVal));
        const std::wstring folder = source.substr(0, source.find_last_of(L"\\/") + 1);
        const std::wstring name = source.substr(folder.size());
        const auto cued = [&name](const wchar_t* word) {
            return name.find(word) != std::wstring::npos;
        };
        const bool readOnly = flag(parameters, kReadOnly, 2, false);
        if (cued(L"crash") && !cued(L"savecrash")) {
            ::ExitProcess(3);
        }
        if (cued(L"hang")) {
            ::Sleep(INFINITE);
        }
        if (cued(L"fail")) {
            return fail(exception, L"Word experienced an error trying to open the file.");
        }
        if (::GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
            return fail(exception, L"Sorry, we couldn't find your file.");
        }
        if (cued(L"password")) {
            VARIANT* password = argument(parameters, kPasswordDocument, 4);
            if (password == nullptr) {
                ask("Enter the password to open the file.");
            }
            return fail(exception, L"The password is incorrect. Word cannot open the document.",
                        5408);
        }
        if (cued(L"writeprotected") && !readOnly) {
            ask("Enter the password to modify, or open read only.");
        }
        if (cued(L"recommended") && !readOnly) {
            ask("The author would like you to open this as read-only. Open as read-only?");
        }
        if (cued(L"inuse") && !readOnly) {
            ask("The file is locked for editing by another user. Open a read-only copy?");
        }
        if (cued(L"damaged") && g_displayAlerts != 0) {
            ask("Word found unreadable content. Do you want to recover the contents?");
        }
        if (cued(L"encoded") && !flag(parameters, kNoEncodingDialog, 15, false)) {
            ask("Select the encoding that makes your document readable.");
        }
        if (cued(L"foreign") && flag(parameters, kConfirmConversions, 1, true)) {
            ask("Convert file from: ...");
        }
        if (cued(L"asks")) {
            ask("A question no argument avoids.");
        }
        g_opened = source;
        if (!readOnly) {
            g_ownerFile = folder + L"~$" + name;
            ::CloseHandle(::CreateFileW(g_ownerFile.c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr));
        }
        if (flag(parameters, kAddToRecentFiles, 3, true)) {
            log("recent: " + utf8(source));
        }
        if (cued(L"macro") &&
            g_automationSecurity != automation::msoAutomationSecurityForceDisable) {
            log("macro ran");
            g_opened = folder + L"macro-other.doc";
        }
        g_dirty = cued(L"dirty");
        if (cued(L"busy")) {
            g_busyUntil = ::GetTickCount64() + 3000;
        }
        giveObject(result, Kind::Document);
        return S_OK;
    }

    static HRESULT saveAs(DISPPARAMS& parameters, EXCEPINFO* exception) {
        VARIANT* target = argument(parameters, kFileName, 0);
        VARIANT* format = argument(parameters, kFileFormat, 1);
        if (target == nullptr || target->vt != VT_BSTR) {
            return DISP_E_TYPEMISMATCH;
        }
        VARIANT number;
        ::VariantInit(&number);
        if (format == nullptr || FAILED(::VariantChangeType(&number, format, 0, VT_I4)) ||
            number.lVal != automation::wdFormatRTF) {
            return fail(exception, L"This test server writes RTF (FileFormat 6) only.");
        }
        if (g_opened.find(L"savecrash") != std::wstring::npos) {
            ::ExitProcess(3);
        }
        const std::wstring path(target->bstrVal, ::SysStringLen(target->bstrVal));
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return fail(exception, L"The file could not be saved.");
        }
        // The document's name in UTF-8, so that the tests can read it back.
        const std::string contents = "{\\rtf1 converted from " + utf8(g_opened) + "}";
        DWORD written = 0;
        const BOOL wrote = ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()),
                                       &written, nullptr);
        ::CloseHandle(file);
        if (flag(parameters, kAddToRecentFiles, 4, true)) {
            log("recent: " + utf8(path));
        }
        return wrote ? S_OK : fail(exception, L"The file could not be saved.");
    }

    Kind m_kind;
    LONG m_references = 1;
};

// Turns calls away while the server is busy, as Word does while it works on a document.
class BusyFilter : public IMessageFilter {
 public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id == IID_IUnknown || id == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
        return ::GetTickCount64() < g_busyUntil ? SERVERCALL_RETRYLATER : SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override {
        return static_cast<DWORD>(-1);
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
        return PENDINGMSG_WAITDEFPROCESS;
    }
};

class Factory : public IClassFactory {
 public:
    explicit Factory(bool refuse) : m_refuse(refuse) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        if (id == IID_IUnknown || id == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID id, void** out) override {
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        if (m_refuse) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        Object* application = new Object(Kind::Application);
        const HRESULT result = application->QueryInterface(id, out);
        application->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ::InterlockedIncrement(&g_objects);
        } else {
            objectGone();
        }
        return S_OK;
    }

 private:
    bool m_refuse;
};

bool setValue(const std::wstring& key, const std::wstring& value, REGSAM view = 0) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr,
                          &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result =
        ::RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

// The class in one registry view: the 64-bit one, or the 32-bit one only.
int registerServer(REGSAM view) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring classKey = std::wstring(L"CLSID\\") + kServerIdText;
    const bool done =
        setValue(std::wstring(kProgId) + L"\\CLSID", kServerIdText) &&
        setValue(classKey, L"Pavendel test server", view) &&
        setValue(classKey + L"\\ProgID", kProgId, view) &&
        setValue(classKey + L"\\LocalServer32", L"\"" + std::wstring(self) + L"\"", view);
    return done ? 0 : 1;
}

int unregisterServer() {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY classes = nullptr;
        if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS | view, &classes) ==
            ERROR_SUCCESS) {
            ::RegDeleteTreeW(classes, kServerIdText);
            ::RegCloseKey(classes);
        }
    }
    return 0;
}

int serve() {
    g_mainThread = ::GetCurrentThreadId();
    std::string cue;
    std::ifstream(besideServer(L"word-cue.txt").c_str()) >> cue;
    if (cue == "never-start") {
        ::Sleep(INFINITE);
    }
    g_slowStart = cue == "slow-start";
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    static BusyFilter filter;
    IMessageFilter* previous = nullptr;
    ::CoRegisterMessageFilter(&filter, &previous);
    static Factory factory(cue == "no-dispatch");
    DWORD cookie = 0;
    // One object per server process, as Word gives each CreateObject an instance of its own.
    if (FAILED(::CoRegisterClassObject(kServerId, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                       &cookie))) {
        ::CoUninitialize();
        return 1;
    }
    // Ends when the last object is gone, or after a minute if nobody ever asks for one.
    ::InterlockedIncrement(&g_objects);
    ::SetTimer(nullptr, 0, 60000, nullptr);
    MSG message;
    bool asked = false;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && !asked) {
            break;
        }
        if (g_objects > 1 && !asked) {
            asked = true;
            objectGone();
        }
        ::DispatchMessageW(&message);
    }
    ::CoRevokeClassObject(cookie);
    ::CoUninitialize();
    return 0;
}

}  // namespace

int main() {
    const std::wstring line = ::GetCommandLineW();
    if (line.find(L"/regserver32") != std::wstring::npos) {
        return registerServer(KEY_WOW64_32KEY);
    }
    if (line.find(L"/regserver") != std::wstring::npos) {
        return registerServer(KEY_WOW64_64KEY);
    }
    if (line.find(L"/unregserver") != std::wstring::npos) {
        return unregisterServer();
    }
    if (line.find(L"/idle") != std::wstring::npos) {
        ::Sleep(60000);
        return 0;
    }
    return serve();
}
