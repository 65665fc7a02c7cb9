// The short UTF-8 text a build step may leave behind the first certificate of
// the executable's certificate table, handed to the pages by the script method
// getEmbeddedDataFromCurrentExe. Any thread; reads the image file each call.
#pragma once

#include <string>

namespace stubframework {

class StubFramework;

// The text behind the first certificate of the image at `imagePath`: empty when
// there is none, when the image cannot be read, or when the bytes are not UTF-8.
std::wstring readEmbeddedText(const std::wstring& imagePath);

// The first `size` characters of the text (empty unless the text has at least
// `size` characters and `size` is above 0). `imagePath` stands in for the
// running executable when not empty (tests).
std::wstring embeddedDataPrefix(int size, const std::wstring& imagePath = {});

// The script method's work: logs the size; with `result` null (a call whose
// result is unused) stops there; otherwise fills `result` from the running
// executable and logs it. Returns whether `result` was filled.
bool getEmbeddedDataFromCurrentExe(StubFramework* framework, int size, std::wstring* result);

}  // namespace stubframework
