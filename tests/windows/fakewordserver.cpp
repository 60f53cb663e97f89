// SPDX-License-Identifier: MIT
// A stand-in for Word for the Windows build's tests: a COM local server that registers itself
// as "Word.Application" (fakewordserver.exe /regserver, /unregserver) and offers, late-bound,
// Documents.Open(path), ActiveDocument.SaveAs(path, FileFormat:=6) and Quit. SaveAs writes a
// small RTF that names the opened document. A document whose name holds "fail" cannot be
// opened, one with "crash" ends the server, one with "hang" never answers. With /idle it only
// waits a minute, as another program of the same name that no test may end.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <oleauto.h>

#include <cwctype>
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
// The document Documents.Open opened last; empty when none is open.
std::wstring g_opened;

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
    kVisible
};

struct Name {
    const wchar_t* text;
    DISPID id;
};
constexpr Name kNames[] = {{L"Documents", kDocuments}, {L"ActiveDocument", kActiveDocument},
                           {L"Quit", kQuit},           {L"Open", kOpen},
                           {L"SaveAs", kSaveAs},       {L"FileFormat", kFileFormat},
                           {L"FileName", kFileName},   {L"Visible", kVisible}};

bool sameName(const wchar_t* a, const wchar_t* b) {
    for (; *a != 0 && *b != 0; ++a, ++b) {
        if (std::towlower(*a) != std::towlower(*b)) {
            return false;
        }
    }
    return *a == *b;
}

HRESULT fail(EXCEPINFO* exception, const std::wstring& description) {
    if (exception != nullptr) {
        *exception = EXCEPINFO{};
        exception->wCode = 1001;
        exception->bstrSource = ::SysAllocString(L"Word");
        exception->bstrDescription = ::SysAllocString(description.c_str());
    }
    return DISP_E_EXCEPTION;
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
    HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        switch (m_kind) {
            case Kind::Application:
                return application(member, result, exception);
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

    static HRESULT application(DISPID member, VARIANT* result, EXCEPINFO* exception) {
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
            case kQuit:
            case kVisible:
                return S_OK;
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

    // The argument of the given name, else the positional one at the given place.
    static VARIANT* argument(DISPPARAMS& parameters, DISPID name, UINT position) {
        for (UINT i = 0; i < parameters.cNamedArgs; ++i) {
            if (parameters.rgdispidNamedArgs[i] == name) {
                return &parameters.rgvarg[i];
            }
        }
        const UINT positional = parameters.cArgs - parameters.cNamedArgs;
        return position < positional ? &parameters.rgvarg[parameters.cArgs - 1 - position]
                                     : nullptr;
    }

    static HRESULT open(DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception) {
        VARIANT* path = argument(parameters, kFileName, 0);
        if (path == nullptr || path->vt != VT_BSTR) {
            return DISP_E_TYPEMISMATCH;
        }
        const std::wstring source(path->bstrVal, ::SysStringLen(path->bstrVal));
        const std::wstring name = source.substr(source.find_last_of(L"\\/") + 1);
        if (name.find(L"crash") != std::wstring::npos) {
            ::ExitProcess(3);
        }
        if (name.find(L"hang") != std::wstring::npos) {
            ::Sleep(INFINITE);
        }
        if (name.find(L"fail") != std::wstring::npos) {
            return fail(exception, L"Word experienced an error trying to open the file.");
        }
        if (::GetFileAttributesW(source.c_str()) == INVALID_FILE_ATTRIBUTES) {
            return fail(exception, L"Sorry, we couldn't find your file.");
        }
        g_opened = source;
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
        const std::wstring path(target->bstrVal, ::SysStringLen(target->bstrVal));
        const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            return fail(exception, L"The file could not be saved.");
        }
        // The opened document's name in UTF-8, so that the tests can read it back.
        const int length =
            ::WideCharToMultiByte(CP_UTF8, 0, g_opened.c_str(), -1, nullptr, 0, nullptr, nullptr);
        std::string name(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, g_opened.c_str(), -1, name.data(), length, nullptr,
                              nullptr);
        const std::string contents = "{\\rtf1 converted from " + name + "}";
        DWORD written = 0;
        const BOOL wrote = ::WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()),
                                       &written, nullptr);
        ::CloseHandle(file);
        return wrote ? S_OK : fail(exception, L"The file could not be saved.");
    }

    Kind m_kind;
    LONG m_references = 1;
};

class Factory : public IClassFactory {
 public:
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
};

bool setValue(const std::wstring& key, const std::wstring& value) {
    HKEY handle = nullptr;
    if (::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                          &handle, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result =
        ::RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

int registerServer() {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring classKey = std::wstring(L"CLSID\\") + kServerIdText;
    const bool done = setValue(std::wstring(kProgId) + L"\\CLSID", kServerIdText) &&
                      setValue(classKey, L"Pavendel test server") &&
                      setValue(classKey + L"\\ProgID", kProgId) &&
                      setValue(classKey + L"\\LocalServer32", L"\"" + std::wstring(self) + L"\"");
    return done ? 0 : 1;
}

int unregisterServer() {
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kServerIdText).c_str());
    return 0;
}

int serve() {
    g_mainThread = ::GetCurrentThreadId();
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    static Factory factory;
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
    if (line.find(L"/regserver") != std::wstring::npos) {
        return registerServer();
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
