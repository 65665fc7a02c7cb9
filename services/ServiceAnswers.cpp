#include "services/ServiceAnswers.h"

namespace stubframework::core {

namespace {

constexpr std::wstring_view kTokenAnswerKey = L"\"tokenizedUrl\":";

std::wstring TextBetween(const std::wstring& text, std::wstring_view open, std::wstring_view close) {
  const size_t start = text.find(open);
  if (start == std::wstring::npos) return {};
  const size_t valueStart = start + open.size();
  const size_t end = text.find(close, valueStart);
  if (end == std::wstring::npos) return {};
  return text.substr(valueStart, end - valueStart);
}

}  // namespace

std::wstring ExtractTokenizedUrl(std::wstring_view answer) {
  const size_t key = answer.find(kTokenAnswerKey);
  if (key == std::wstring_view::npos) return {};
  const size_t open = answer.find(L'"', key + kTokenAnswerKey.size());
  if (open == std::wstring_view::npos) return {};
  const size_t close = answer.find(L'"', open + 1);
  if (close == std::wstring_view::npos) return {};
  return std::wstring(answer.substr(open + 1, close - open - 1));
}

RegionVerdict ParseRegionAnswer(std::string_view answer) {
  std::wstring text;
  text.reserve(answer.size());
  for (const char byte : answer) text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
  RegionVerdict verdict;
  verdict.country = TextBetween(text, L"<country>", L"</country>");
  verdict.isEmbargo = TextBetween(text, L"<isEmbargo>", L"</isEmbargo>");
  return verdict;
}

}  // namespace stubframework::core
