#include "platform/system_error.h"

namespace vw {

std::wstring ErrorReport(const SystemError& error) {
  std::wstring text = error.action();
  if (!error.subject().empty()) text += L" " + error.subject() + L" ";
  text += L"失败。\n\n错误 " + std::to_wstring(error.code()) + L"：";
  text += error.description().empty() ? L"（系统没有给出说明）" : error.description();
  if (!error.detail().empty()) text += L"\n\n" + error.detail();
  return text;
}

}  // namespace vw
