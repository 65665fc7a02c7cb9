// Argument checks and result helpers shared by every catalogue handler.
// A dispatch call holds its arguments in reverse order: element 0 is the last
// script argument. The accessors below take the script's position instead.
// Any thread (pure functions over the call's structures, plus the log).
#pragma once

#include "base/Platform.h"

#include <oleauto.h>

#include <string>

namespace stubframework {
class StubFramework;
}

namespace stubframework::htmlui {

// Compares the argument count with `count` and each argument's variant type with
// `expectedReversed` (listed in the call's reverse order), exactly, without
// conversion. Logs one DEBUG line on the first failure.
// S_OK, DISP_E_BADPARAMCOUNT or DISP_E_TYPEMISMATCH.
[[nodiscard]] HRESULT CheckParamTypes(StubFramework* framework, const VARTYPE* expectedReversed, unsigned count,
                                      const DISPPARAMS* params);

// Script-order accessors; the caller has checked count and types.
std::wstring TextArg(const DISPPARAMS* params, unsigned scriptIndex);
int IntArg(const DISPPARAMS* params, unsigned scriptIndex);
bool BoolArg(const DISPPARAMS* params, unsigned scriptIndex);
IDispatch* DispatchArg(const DISPPARAMS* params, unsigned scriptIndex);  // not AddRef'd

// Result writers: the slot is cleared first; null slots are ignored.
[[nodiscard]] HRESULT SetResultText(VARIANT* result, const std::wstring& text);
void SetResultInt(VARIANT* result, int value);
void SetResultUInt(VARIANT* result, unsigned value);
void SetResultBool(VARIANT* result, bool value);

}  // namespace stubframework::htmlui
