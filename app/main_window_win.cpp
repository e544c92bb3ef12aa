#include "app/main_window_win.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <tuple>
#include <utility>

#include "app/accessible_name_win.h"
#include "app/dpi_win.h"
#include "app/picker_lists_win.h"
#include "app/picker_rules.h"
#include "app/window_layout_win.h"
#include "operations/add_entry.h"
#include "operations/load_entries.h"
#include "operations/remove_entry.h"
#include "words/texts.h"

namespace vw {
namespace {

constexpr wchar_t kClassName[] = L"Verbwright.MainWindow";
constexpr UINT_PTR kShownTimer = 1;

// The controls the window subclasses, and the four lists' names for screen readers.
struct Subclassed {
  ControlId id;
  const wchar_t* accessible_name;  // none: the control is named by the label before it
};
constexpr Subclassed kSubclassed[] = {
    {ControlId::kCaptionBox, nullptr},
    {ControlId::kDriveList, text::kDriveListName},
    {ControlId::kFolderList, text::kFolderListName},
    {ControlId::kFileList, text::kFileListName},
    {ControlId::kEntryList, text::kEntryListName},
};

void RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  if (GetClassInfoExW(instance, kClassName, &window_class)) return;
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = RoutedWindowProc;
  window_class.hInstance = instance;
  // The class has no icons: each window sets its own, for its DPI (SetIcons).
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kClassName;
  if (RegisterClassExW(&window_class) == 0)
    throw SystemError(GetLastError(), Doing::kRegisteringWindowClass);
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance, RegistryServices& registry, Options options)
    : registry_(registry),
      ends_program_(options.ends_program),
      boxes_(std::move(options.message_box)) {
  RegisterWindowClass(instance);
  // The window is created where and as large as it will be shown, for the DPI it is expected to
  // get: every later move or resize of the hidden window costs start-up time.
  const UINT expected_dpi = SystemDpi();
  const RECT frame = CentredFrame(ClientSizeForDpi(expected_dpi), expected_dpi,
                                  MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
  const std::wstring caption(text::kWindowCaption);
  CreateWindowExW(kWindowExStyle, kClassName, caption.c_str(), kWindowStyle, frame.left, frame.top,
                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                  static_cast<MessageTarget*>(this));
  if (window_ == nullptr) throw SystemError(GetLastError(), Doing::kCreatingMainWindow);
  // All or nothing: a window whose object never finished must not outlive it.
  try {
    dpi_ = DpiOfWindow(window_);
    boxes_.SetDpi(dpi_);
    font_ = MessageFont(dpi_);
    SetIcons(dpi_);
    CreateControls(instance);
    if (dpi_ != expected_dpi) {
      const RECT actual = CentredFrame(ClientSizeForDpi(dpi_), dpi_,
                                       MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY));
      SetWindowPos(window_, nullptr, actual.left, actual.top, actual.right - actual.left,
                   actual.bottom - actual.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    picker_->ShowCurrentFolder();
    OnLoad();
  } catch (...) {
    ends_program_ = false;  // the caller reports the failure; no quit message for its box
    DestroyWindow(window_);
    throw;
  }
}

MainWindow::~MainWindow() {
  if (window_ != nullptr) DestroyWindow(window_);
}

HWND MainWindow::Control(ControlId id) const noexcept {
  return GetDlgItem(window_, static_cast<int>(id));
}

void MainWindow::CreateControls(HINSTANCE instance) {
  for (const ControlDesign& design : kControls)
    FitToFont(CreateControl(window_, instance, design, dpi_), design.id, font_.get(), dpi_);
  entries_.Attach(Control(ControlId::kEntryList));
  static_assert(std::size(kSubclassed) == std::tuple_size_v<decltype(subclasses_)>);
  for (std::size_t index = 0; index < subclasses_.size(); ++index) {
    ControlSubclass& subclass = subclasses_[index].emplace(
        Control(kSubclassed[index].id), [this](const SystemError& error) { ShowError(error); });
    // The caption box is named by the label just before it; the four lists have no label.
    if (kSubclassed[index].accessible_name != nullptr)
      SetAccessibleName(subclass, kSubclassed[index].accessible_name, com_);
  }
  SubclassOf(ControlId::kCaptionBox)
      .Add([this](const WindowMessage& message, const ControlSubclass::Next& next) {
        return OnCaptionBoxMessage(message, next);
      });
  picker_.emplace(SubclassOf(ControlId::kDriveList), Control(ControlId::kFolderList),
                  Control(ControlId::kFileList), [this](const SystemError& error) {
                    ShowError(error);
                    return window_ != nullptr;
                  });
  FitListsToWholeRows();
}

ControlSubclass& MainWindow::SubclassOf(ControlId id) {
  for (std::size_t index = 0; index < subclasses_.size(); ++index)
    if (kSubclassed[index].id == id) return *subclasses_[index];
  throw SystemError(ERROR_INTERNAL_ERROR, Doing::kCreatingMainWindow);
}

void MainWindow::FitListsToWholeRows() {
  const auto height = [this](ControlId id) {
    return PlacementOf(DesignOf(id), static_cast<int>(dpi_)).height;
  };
  picker_->SetFrameHeights(height(ControlId::kFolderList), height(ControlId::kFileList));
  entries_.SetFrameHeight(height(ControlId::kEntryList));
}

void MainWindow::SetIcons(UINT dpi) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  UniqueIcon big = LoadProgramIcon(instance, SM_CXICON, dpi);
  UniqueIcon little = LoadProgramIcon(instance, SM_CXSMICON, dpi);
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(little.get()));
  // The window no longer uses the old ones; they go as these take their place.
  big_icon_ = std::move(big);
  small_icon_ = std::move(little);
}

void MainWindow::ApplyDpi(UINT dpi, const RECT* suggested) {
  dpi_ = dpi;
  boxes_.SetDpi(dpi);
  // The old font and icons are destroyed only once no control and no frame uses them.
  const UniqueFont old_font = std::exchange(font_, MessageFont(dpi));
  SetIcons(dpi);
  PlaceControls(window_, dpi);
  for (const ControlDesign& design : kControls)
    FitToFont(Control(design.id), design.id, font_.get(), dpi);
  RefitHorizontalExtent(Control(ControlId::kFileList));
  FitListsToWholeRows();
  entries_.RefitExtent();  // from the names it keeps, not 100,000 reads of the list
  if (suggested != nullptr) {
    SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    // The frame is that of the DPI the window really has, which differs from `dpi` only when a
    // layout is asked for directly.
    const RECT frame = WindowRectForClient(ClientSizeForDpi(dpi), kWindowStyle, kWindowExStyle,
                                           DpiOfWindow(window_));
    SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  }
  // The window clips its children: each repaints itself, in its new place and font.
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

void MainWindow::Show(int show_command) {
  ShowWindow(window_, show_command);
  UpdateWindow(window_);
  SetFocus(Control(ControlId::kAddButton));
  // Timer messages come only once the queue is empty: what is slow waits until the window is up.
  SetTimer(window_, kShownTimer, 0, nullptr);
}

void MainWindow::OnShown() {
  picker_->ReadLabels();
}

void MainWindow::AnnotateLists() const {
  for (const Subclassed& control : kSubclassed)
    if (control.accessible_name != nullptr)
      AnnotateAccessibleName(Control(control.id), control.accessible_name);
}

// --- Form ---------------------------------------------------------------------------------

std::wstring MainWindow::FileName() {
  return picker_->FileName();
}
std::wstring MainWindow::DirPath() {
  return picker_->FolderPath();
}
std::wstring MainWindow::MenuText() {
  return WindowText(Control(ControlId::kCaptionBox));
}

void MainWindow::ReadProgramsAgain() {
  picker_->ReadProgramsAgain();
}

bool MainWindow::Confirm(std::wstring_view text, DefaultAnswer default_answer) {
  return boxes_.Confirm(text, default_answer);
}
void MainWindow::Tell(std::wstring_view text, Telling telling) {
  boxes_.Tell(text, telling);
}
void MainWindow::ShowError(const SystemError& error) {
  boxes_.ShowError(error);
}

// --- Messages -----------------------------------------------------------------------------

LRESULT MainWindow::OnMessage(const WindowMessage& message) {
  const auto [window, kind, wparam, lparam] = message;
  switch (kind) {
    case WM_NCCREATE:
      window_ = window;
      boxes_.SetOwner(window);
      break;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item.CtlID != static_cast<UINT>(ControlId::kFolderList)) break;
      DrawFolderItem(item, dpi_);
      return TRUE;
    }
    case WM_TIMER:
      if (wparam != kShownTimer) break;
      KillTimer(window_, kShownTimer);
      OnShown();
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wparam) != WA_INACTIVE);
      return 0;
    case WM_GETOBJECT:
      // An accessibility client has come: COM, and the lists' names, from now on.
      com_.Ensure();
      break;
    case WM_GETDPISCALEDSIZE: {  // the frame that holds the designed client area there
      const RECT frame =
          WindowRectForClient(ClientSizeForDpi(static_cast<UINT>(wparam)), kWindowStyle,
                              kWindowExStyle, static_cast<UINT>(wparam));
      auto& size = *reinterpret_cast<SIZE*>(lparam);
      size = {frame.right - frame.left, frame.bottom - frame.top};
      return TRUE;
    }
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
      return 0;
    }
    case WM_DEVICECHANGE:
      picker_->OnDeviceChange(wparam, lparam);
      return TRUE;
    case WM_DESTROY:
      if (ends_program_) PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      window_ = nullptr;
      boxes_.SetOwner(nullptr);
      break;
    default:
      break;
  }
  return DefWindowProcW(window, kind, wparam, lparam);
}

void MainWindow::OnActivate(bool active) {
  // Give the focus back to the control that had it, rather than to the window itself.
  if (!active) {
    const HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) focus_when_inactive_ = focus;
    return;
  }
  // Minimised, the window keeps no focus of a control: a keystroke could press a button.
  if (IsIconic(window_)) return;
  const HWND focus = focus_when_inactive_ != nullptr && IsWindow(focus_when_inactive_)
                         ? focus_when_inactive_
                         : Control(ControlId::kAddButton);
  SetFocus(focus);
}

void MainWindow::OnCommand(int id, int code) {
  const HWND focus = GetFocus();
  const bool button = id == IDOK || id == static_cast<int>(ControlId::kAddButton) ||
                      id == static_cast<int>(ControlId::kRemoveButton);
  if (button && boxes_.open()) return;
  switch (id) {
    case IDOK:  // Enter, through the dialog manager: open a folder, or press the focused button
      if (focus == Control(ControlId::kFolderList)) {
        picker_->OpenSelectedFolder();
      } else if (focus == Control(ControlId::kAddButton)) {
        OnAddClicked();
      } else if (focus == Control(ControlId::kRemoveButton)) {
        OnRemoveClicked();
      }
      return;
    case static_cast<int>(ControlId::kAddButton):
      if (code == BN_CLICKED) OnAddClicked();
      return;
    case static_cast<int>(ControlId::kRemoveButton):
      if (code == BN_CLICKED) OnRemoveClicked();
      return;
    case static_cast<int>(ControlId::kDriveList):
      picker_->OnDriveListCommand(code);
      return;
    case static_cast<int>(ControlId::kFolderList):
      if (code == LBN_DBLCLK) picker_->OpenSelectedFolder();
      return;
    case static_cast<int>(ControlId::kFileList):
      if (code == LBN_SELCHANGE) OnFileClicked();
      return;
    default:
      // IDCANCEL (Esc) among them: neither button is the cancel button. A click on the entry list
      // only selects; the remove button reads the selection.
      return;
  }
}

LRESULT MainWindow::OnCaptionBoxMessage(const WindowMessage& message,
                                        const ControlSubclass::Next& next) {
  const LRESULT result = next();
  if (message.message == WM_SETFOCUS) {
    // The focus arrives from another control of the window (a click or Tab), not back from a
    // message box or another program: only then is it "received".
    const auto from = reinterpret_cast<HWND>(message.wparam);
    if (from != nullptr && (from == window_ || IsChild(window_, from))) OnCaptionBoxFocused();
  }
  return result;
}

// --- Event handlers -----------------------------------------------------------------------

void MainWindow::OnLoad() {
  // Reported, and the window opens all the same with what was read.
  try {
    LoadEntries(registry_, entries_);
  } catch (const SystemError& error) {
    ShowError(error);
  }
}

void MainWindow::OnAddClicked() {
  AddEntry(*this, system_, registry_);
}

void MainWindow::OnRemoveClicked() {
  RemoveEntry(*this, system_, registry_);
}

void MainWindow::OnFileClicked() {
  const std::wstring file_name = FileName();
  if (file_name.empty()) return;
  SetWindowTextW(Control(ControlId::kCaptionBox), CaptionSuggestion(file_name).c_str());
}

// NOLINTNEXTLINE(readability-make-member-function-const): it changes what the window shows
void MainWindow::OnCaptionBoxFocused() {
  SetWindowTextW(Control(ControlId::kCaptionBox), L"");
}

}  // namespace vw
