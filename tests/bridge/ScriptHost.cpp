#include "tests/bridge/ScriptHost.h"

#include <cstdlib>

namespace testsupport {

namespace {
const CLSID kJScript = {0xF414C260, 0x6AC0, 0x11CF, {0xB6, 0xD1, 0x00, 0xAA, 0x00, 0xBB, 0xBB, 0x58}};
}

class ScriptHost::Site final : public IActiveScriptSite {
 public:
  explicit Site(IDispatchEx* external) : external_(external) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IActiveScriptSite) {
      *object = static_cast<IActiveScriptSite*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item, ITypeInfo** info) override {
    if (info) *info = nullptr;
    if (item) *item = nullptr;
    if (wcscmp(name, L"external") != 0) return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_IUNKNOWN) && item)
      return external_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(item));
    return S_OK;
  }
  STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
  STDMETHODIMP OnScriptError(IActiveScriptError*) override { return S_OK; }
  STDMETHODIMP OnEnterScript() override { return S_OK; }
  STDMETHODIMP OnLeaveScript() override { return S_OK; }

 private:
  ~Site() = default;
  ULONG references_ = 1;
  Microsoft::WRL::ComPtr<IDispatchEx> external_;
};

ScriptHost::ScriptHost(IDispatchEx* external) {
  site_ = new Site(external);
  if (FAILED(::CoCreateInstance(kJScript, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&engine_)))) return;
  if (FAILED(engine_.As(&parser_))) return;
  if (FAILED(engine_->SetScriptSite(site_))) return;
  if (FAILED(parser_->InitNew())) return;
  if (FAILED(engine_->AddNamedItem(L"external", SCRIPTITEM_ISVISIBLE))) return;
  if (FAILED(engine_->SetScriptState(SCRIPTSTATE_CONNECTED))) return;
  ready_ = true;
}

ScriptHost::~ScriptHost() {
  if (engine_) engine_->Close();
  parser_.Reset();
  engine_.Reset();
  site_->Release();
}

HRESULT ScriptHost::run(const std::wstring& code) {
  if (!ready_) return E_UNEXPECTED;
  EXCEPINFO exception = {};
  const HRESULT hr = parser_->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &exception);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  return hr;
}

HRESULT ScriptHost::eval(const std::wstring& expression, VARIANT* value) {
  if (!ready_) return E_UNEXPECTED;
  EXCEPINFO exception = {};
  const HRESULT hr = parser_->ParseScriptText(expression.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                              SCRIPTTEXT_ISEXPRESSION, value, &exception);
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  return hr;
}

std::wstring ScriptHost::evalText(const std::wstring& expression) {
  base::UniqueVariant value;
  if (FAILED(eval(L"String(" + expression + L")", value.get())) || value.get()->vt != VT_BSTR) return L"<error>";
  return std::wstring(value.get()->bstrVal, ::SysStringLen(value.get()->bstrVal));
}

long ScriptHost::evalNumber(const std::wstring& expression) {
  return std::wcstol(evalText(expression).c_str(), nullptr, 10);
}

bool ScriptHost::evalBool(const std::wstring& expression) { return evalText(L"!!(" + expression + L")") == L"true"; }

unsigned long ScriptHost::errorOf(const std::wstring& statement) {
  run(L"var __error = 0; try { " + statement + L"; } catch (e) { __error = e.number; }");
  const std::wstring text = evalText(L"__error >>> 0");
  return std::wcstoul(text.c_str(), nullptr, 10);
}

}  // namespace testsupport
