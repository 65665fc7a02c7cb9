#include "framework/ResultCodes.h"

#include <cwchar>

namespace stubframework {

int fixUpStatus(int status, const wchar_t* uninstallOption) {
  if (status >= ENVIRONMENT_NOT_MEET) return status;
  int value = status == NOTSTART ? CANCEL : status;
  const wchar_t* option = uninstallOption ? uninstallOption : L"";
  if (wcscmp(option, L"Modify") == 0) {
    value += kModifyOffset;
  } else if (wcscmp(option, L"Repair") == 0) {
    value += kRepairOffset;
  } else if (wcscmp(option, L"Remove") == 0) {
    value += kRemoveOffset;
  }
  return value;
}

}  // namespace stubframework
