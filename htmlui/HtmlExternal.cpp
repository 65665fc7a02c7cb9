#include "htmlui/HtmlExternal.h"

#include "base/Text.h"
#include "framework/StubConfig.h"
#include "framework/StubFramework.h"
#include "htmlui/WindowSizing.h"
#include "methods/ExternalMethods.h"

#include <wrl/client.h>

#include <cwchar>
#include <cwctype>
#include <new>

namespace stubframework::core {

namespace {

constexpr wchar_t kDownloadTotal[] = L"downloadTotal";
constexpr wchar_t kDownloadCurrent[] = L"downloadCurrent";
constexpr wchar_t kInstallTotal[] = L"installTotal";
constexpr wchar_t kInstallCurrent[] = L"installCurrent";

bool SameName(const std::wstring& a, const wchar_t* b, bool ignoreCase) {
  return ignoreCase ? ::_wcsicmp(a.c_str(), b) == 0 : a == b;
}

// Maps an escaping C++ exception to the status a COM method returns instead.
HRESULT StatusOfCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace

HtmlExternal::HtmlExternal(StubFramework* framework) : framework_(framework) {}

HtmlExternal::~HtmlExternal() = default;

STDMETHODIMP HtmlExternal::QueryInterface(REFIID riid, void** object) noexcept {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IDispatchEx) {
    *object = static_cast<IDispatchEx*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) HtmlExternal::AddRef() noexcept { return static_cast<ULONG>(++references_); }

STDMETHODIMP_(ULONG) HtmlExternal::Release() noexcept {
  const long left = --references_;
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

STDMETHODIMP HtmlExternal::GetTypeInfoCount(UINT*) noexcept { return E_NOTIMPL; }
STDMETHODIMP HtmlExternal::GetTypeInfo(UINT, LCID, ITypeInfo**) noexcept { return E_NOTIMPL; }

int HtmlExternal::findMethod(const wchar_t* name, bool ignoreCase) const {
  for (size_t k = 0; k < entries_.size(); ++k) {
    if (SameName(entries_[k].name, name, ignoreCase)) return static_cast<int>(k);
  }
  return -1;
}

int HtmlExternal::findExpando(const wchar_t* name, bool ignoreCase) const {
  for (size_t j = 0; j < expandos_.size(); ++j) {
    if (SameName(expandos_[j].name, name, ignoreCase)) return static_cast<int>(j);
  }
  return -1;
}

STDMETHODIMP HtmlExternal::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (count > 0 && (!names || !ids)) return E_POINTER;
  HRESULT overall = S_OK;
  for (UINT i = 0; i < count; ++i) {
    const int k = names[i] ? findMethod(names[i], false) : -1;
    ids[i] = k >= 0 ? k + 1 : DISPID_UNKNOWN;
    if (k < 0) overall = DISP_E_UNKNOWNNAME;
  }
  return overall;
}

STDMETHODIMP HtmlExternal::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO*, UINT*) noexcept {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (id < 1 || id > static_cast<DISPID>(entries_.size()) || !catalogue_) return DISP_E_MEMBERNOTFOUND;
  // A call without an argument block is a call without arguments.
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  try {
    return (catalogue_->*entries_[id - 1].handler)(flags, params ? params : &none, result);
  } catch (...) {
    return StatusOfCurrentException();
  }
}

STDMETHODIMP HtmlExternal::GetDispID(BSTR name, DWORD options, DISPID* id) noexcept {
  if (!id) return E_POINTER;
  *id = DISPID_UNKNOWN;
  if (!name) return DISP_E_UNKNOWNNAME;
  const bool ignoreCase = (options & fdexNameCaseInsensitive) != 0;
  const bool ensure = (options & fdexNameEnsure) != 0;

  int k = ignoreCase ? findMethod(name, true) : -1;
  if (k < 0) k = findMethod(name, false);
  if (k >= 0) {
    *id = k + 1;
    return S_OK;
  }
  if (!(options & fdexNameNoDynamicProperties)) {
    const int j = findExpando(name, ignoreCase);
    if (j >= 0) {
      Expando& expando = expandos_[j];
      if (expando.value.get()->vt == kDeletedType) {
        if (!ensure) return DISP_E_UNKNOWNNAME;
        ::VariantInit(expando.value.get());  // revived as empty
      }
      *id = kExpandoBit | j;
      return S_OK;
    }
  }
  if (!ensure) return DISP_E_UNKNOWNNAME;
  try {
    if (expandos_.size() == expandos_.capacity()) expandos_.reserve(expandos_.size() + kExpandoGrowth);
    expandos_.push_back(Expando{std::wstring(name, ::SysStringLen(name)), base::UniqueVariant()});
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  *id = kExpandoBit | static_cast<DISPID>(expandos_.size() - 1);
  return S_OK;
}

STDMETHODIMP HtmlExternal::InvokeEx(DISPID id, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* exception, IServiceProvider* caller) noexcept {
  if (id >= 0) return Invoke(id, IID_NULL, locale, flags, params, result, exception, nullptr);
  if (!(id & kExpandoBit) || id == DISPID_UNKNOWN) return DISP_E_MEMBERNOTFOUND;
  return invokeExpando(id, locale, flags, params, result, exception, caller);
}

HRESULT HtmlExternal::invokeExpando(DISPID id, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                    EXCEPINFO* exception, IServiceProvider* caller) noexcept {
  const size_t index = static_cast<size_t>(static_cast<unsigned>(id) & ~static_cast<unsigned>(kExpandoBit));
  if (index >= expandos_.size()) return DISP_E_UNKNOWNNAME;
  VARIANT& value = *expandos_[index].value.get();
  if (value.vt == kDeletedType) return DISP_E_MEMBERNOTFOUND;
  const UINT argumentCount = params ? params->cArgs : 0;

  // A stored function is called whenever a method call is asked for, also when
  // script wants its result (flags 1|2), so `var r = external.f(x)` works.
  if ((flags & DISPATCH_METHOD) && value.vt == VT_DISPATCH && value.pdispVal) {
    Microsoft::WRL::ComPtr<IDispatch> function(value.pdispVal);  // the call may replace the expando
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    Microsoft::WRL::ComPtr<IDispatchEx> functionEx;
    if (SUCCEEDED(function.As(&functionEx))) {
      return functionEx->InvokeEx(DISPID_VALUE, locale, flags, params ? params : &none, result, exception, caller);
    }
    return function->Invoke(DISPID_VALUE, IID_NULL, locale, flags, params ? params : &none, result, exception, nullptr);
  }
  if (flags & DISPATCH_PROPERTYGET) {
    if (argumentCount != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return S_OK;
    ::VariantInit(result);
    return ::VariantCopy(result, &value);
  }
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    if (argumentCount != 1 || params->cNamedArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (!params->rgdispidNamedArgs || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) return DISP_E_PARAMNOTFOUND;
    base::UniqueVariant copy;
    const HRESULT copied = ::VariantCopy(copy.get(), &params->rgvarg[0]);
    if (FAILED(copied)) return copied;
    expandos_[index].value = std::move(copy);
    return S_OK;
  }
  if (flags & DISPATCH_METHOD) return S_OK;  // not a function: nothing to call
  return E_NOTIMPL;
}

STDMETHODIMP HtmlExternal::DeleteMemberByName(BSTR name, DWORD options) noexcept {
  DISPID id = DISPID_UNKNOWN;
  const HRESULT found = GetDispID(name, options, &id);
  if (FAILED(found)) return found;
  return DeleteMemberByDispID(id);
}

STDMETHODIMP HtmlExternal::DeleteMemberByDispID(DISPID id) noexcept {
  if (id >= 0) return S_FALSE;  // methods cannot be deleted
  const size_t index = static_cast<size_t>(static_cast<unsigned>(id) & ~static_cast<unsigned>(kExpandoBit));
  if (id == DISPID_UNKNOWN || index >= expandos_.size()) return S_OK;
  expandos_[index].value.reset();
  expandos_[index].value.get()->vt = kDeletedType;
  return S_OK;
}

STDMETHODIMP HtmlExternal::GetMemberProperties(DISPID, DWORD, DWORD*) noexcept { return E_NOTIMPL; }
STDMETHODIMP HtmlExternal::GetMemberName(DISPID, BSTR*) noexcept { return E_NOTIMPL; }
STDMETHODIMP HtmlExternal::GetNextDispID(DWORD, DISPID, DISPID*) noexcept { return E_NOTIMPL; }
STDMETHODIMP HtmlExternal::GetNameSpaceParent(IUnknown**) noexcept { return E_NOTIMPL; }

void HtmlExternal::setWindow(HWND window) {
  if (window == window_) return;
  window_ = window;
  if (catalogue_) catalogue_->attachWindow(window);
}

void HtmlExternal::ensureDefaultSize() {
  if (!window_) return;
  RECT client = {};
  if (!::GetClientRect(window_, &client)) return;
  if (client.right - client.left == 0 || client.bottom - client.top == 0)
    resizeAndCenter(window_, kDefaultWidth, kDefaultHeight);
}

void HtmlExternal::resizeAndCenter(HWND window, int width, int height) {
  htmlui::ResizeAndCenter(window, width, height, lastWidth_, lastHeight_);
}

int HtmlExternal::getMethods(const htmlui::DispatchEntry** entries) {
  if (entries) *entries = entries_.empty() ? nullptr : entries_.data();
  return static_cast<int>(entries_.size());
}

void HtmlExternal::bindCatalogue(ExternalMethods* methods) {
  catalogue_ = methods;
  entries_.clear();
  if (!methods) return;
  const auto& table = methods->methodTable();
  entries_.reserve(table.size());
  for (const auto& [name, handler] : table) entries_.push_back(htmlui::DispatchEntry{name, handler});
  if (window_) methods->attachWindow(window_);
}

void HtmlExternal::ReportProgress(std::uint32_t index, std::uint32_t count) noexcept {
  setInstallCurrent(index / 10);
  setInstallTotal(count);
}

std::wstring HtmlExternal::getProperty(const std::wstring& name) {
  StubConfig* config = framework_ ? framework_->config() : nullptr;
  return config ? config->properties().get(name) : std::wstring();
}

void HtmlExternal::setProperty(const std::wstring& name, const std::wstring& value) {
  if (StubConfig* config = framework_ ? framework_->config() : nullptr) config->properties().set(name, value);
}

unsigned long HtmlExternal::readNumber(const wchar_t* name) {
  return std::wcstoul(getProperty(name).c_str(), nullptr, 10);
}

void HtmlExternal::writeNumber(const wchar_t* name, unsigned long value) {
  setProperty(name, base::FormatText(L"%lu", value));
}

void HtmlExternal::setDownloadTotal(unsigned long value) { writeNumber(kDownloadTotal, value); }
void HtmlExternal::setDownloadCurrent(unsigned long value) { writeNumber(kDownloadCurrent, value); }
void HtmlExternal::setInstallTotal(unsigned long value) { writeNumber(kInstallTotal, value); }
void HtmlExternal::setInstallCurrent(unsigned long value) { writeNumber(kInstallCurrent, value); }
unsigned long HtmlExternal::getDownloadTotal() { return readNumber(kDownloadTotal); }
unsigned long HtmlExternal::getDownloadCurrent() { return readNumber(kDownloadCurrent); }
unsigned long HtmlExternal::getInstallTotal() { return readNumber(kInstallTotal); }
unsigned long HtmlExternal::getInstallCurrent() { return readNumber(kInstallCurrent); }

void HtmlExternal::resetProgress() {
  setDownloadTotal(1);
  setDownloadCurrent(0);
  setInstallTotal(1);
  setInstallCurrent(0);
}

}  // namespace stubframework::core
