// SPDX-License-Identifier: MIT
// Late-bound automation over COM, on Windows: an object comes from CLSIDFromProgID and
// CoCreateInstance, its members are found by name through IDispatch::GetIDsOfNames and called
// through IDispatch::Invoke, and a failure carries the description the server gave.
#include "platform/systemobject.h"
#include "platform/widetext_win32.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <oleauto.h>

#include <memory>
#include <vector>

namespace platform {

namespace {

// COM in this thread, as a single-threaded apartment like a window's thread, for the thread's
// lifetime; a thread that has COM already keeps what it chose.
void initialiseCom() {
    thread_local const bool initialised = [] {
        const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
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
    // Takes over one reference to the object.
    explicit DispatchObject(IDispatch* dispatch) : m_dispatch(dispatch) {}
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

Variant fromVariant(VARIANT& value) {
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
            return Variant(ObjectPtr(std::make_shared<DispatchObject>(value.pdispVal)));
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
    result = m_dispatch->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, &answer,
                                &exception, &wrongArgument);
    for (VARIANT& argument : arguments) {
        ::VariantClear(&argument);
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
    if (FAILED(result)) {
        throw AutomationError(describe(result));
    }
    try {
        Variant value = fromVariant(answer);
        ::VariantClear(&answer);
        return value;
    } catch (...) {
        ::VariantClear(&answer);
        throw;
    }
}

}  // namespace

ObjectPtr CreateSystemObject(const std::string& progId) {
    initialiseCom();
    CLSID id{};
    HRESULT result = ::CLSIDFromProgID(Widen(progId).c_str(), &id);
    if (result == CO_E_CLASSSTRING || result == REGDB_E_CLASSNOTREG) {
        throw AutomationError("Cannot create the object \"" + progId +
                              "\": no program that provides it is installed.");
    }
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(result)) {
        result = ::CoCreateInstance(id, nullptr, CLSCTX_LOCAL_SERVER | CLSCTX_INPROC_SERVER,
                                    IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    }
    if (FAILED(result) || dispatch == nullptr) {
        throw AutomationError("Cannot create the object \"" + progId + "\": " + describe(result) +
                              ".");
    }
    return std::make_shared<DispatchObject>(dispatch);
}

}  // namespace platform
