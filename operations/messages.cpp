#include "operations/messages.h"

namespace vw::text {

std::wstring ReservedNameRefused(std::wstring_view name) {
  return L"“" + std::wstring(name) +
         L"”与 Windows "
         L"自带的右键命令（打开、以管理员身份运行）同名，添加它会改掉所有程序的这个命令，"
         L"所以不能添加。请换一个程序。";
}

std::wstring SystemVerbNotRemoved(std::wstring_view name) {
  return L"“" + std::wstring(name) +
         L"”是 Windows 自带的右键命令（打开、以管理员身份运行），删除它会让所有程序无法正常使用，"
         L"所以不能删除。";
}

SystemError UndoFailed(const SystemError& error) {
  return {error.code(), L"撤销未完成的修改（" + error.action() + L"）"};
}

}  // namespace vw::text
