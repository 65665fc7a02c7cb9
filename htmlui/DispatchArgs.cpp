#include "htmlui/DispatchArgs.h"

#include "framework/Debug.h"

namespace stubframework::htmlui {

namespace {

const VARIANT& ArgAt(const DISPPARAMS* params, unsigned scriptIndex) {
  return params->rgvarg[params->cArgs - 1 - scriptIndex];
}

}  // namespace

HRESULT CheckParamTypes(StubFramework* framework, const VARTYPE* expectedReversed, unsigned count,
                        const DISPPARAMS* params) {
  const unsigned actual = params ? params->cArgs : 0;
  if (actual != count) {
    debug::debug(framework, L"CheckParamTypes -- DISP_E_BADPARAMCOUNT");
    return DISP_E_BADPARAMCOUNT;
  }
  for (unsigned i = 0; i < count; ++i) {
    const VARTYPE type = params->rgvarg[i].vt;
    if (type != expectedReversed[i]) {
      debug::debug(framework, L"CheckParamTypes -- DISP_E_TYPEMISMATCH: argument %u has type %u, expected %u", i,
                   static_cast<unsigned>(type), static_cast<unsigned>(expectedReversed[i]));
      return DISP_E_TYPEMISMATCH;
    }
  }
  return S_OK;
}

std::wstring TextArg(const DISPPARAMS* params, unsigned scriptIndex) {
  const BSTR text = ArgAt(params, scriptIndex).bstrVal;
  return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

int IntArg(const DISPPARAMS* params, unsigned scriptIndex) { return ArgAt(params, scriptIndex).lVal; }

bool BoolArg(const DISPPARAMS* params, unsigned scriptIndex) {
  return ArgAt(params, scriptIndex).boolVal != VARIANT_FALSE;
}

IDispatch* DispatchArg(const DISPPARAMS* params, unsigned scriptIndex) { return ArgAt(params, scriptIndex).pdispVal; }

HRESULT SetResultText(VARIANT* result, const std::wstring& text) {
  if (!result) return S_OK;
  ::VariantClear(result);
  BSTR value = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  if (!value) return E_OUTOFMEMORY;
  result->vt = VT_BSTR;
  result->bstrVal = value;
  return S_OK;
}

void SetResultInt(VARIANT* result, int value) {
  if (!result) return;
  ::VariantClear(result);
  result->vt = VT_I4;
  result->lVal = value;
}

void SetResultUInt(VARIANT* result, unsigned value) {
  if (!result) return;
  ::VariantClear(result);
  result->vt = VT_UI4;
  result->ulVal = value;
}

void SetResultBool(VARIANT* result, bool value) {
  if (!result) return;
  ::VariantClear(result);
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

}  // namespace stubframework::htmlui
