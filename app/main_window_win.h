#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "app/accessible_name_win.h"
#include "app/form_design.h"
#include "app/list_box_entries_win.h"
#include "app/message_boxes_win.h"
#include "app/program_picker_win.h"
#include "app/system_services_win.h"
#include "app/window_procedure_win.h"
#include "operations/form.h"
#include "platform/handles_win.h"
#include "registry/services.h"

namespace vw {

// The program's one window. The controls hold all of its state; each control event is
// routed to the handler named after the control and the event.
class MainWindow final : public Form, private MessageTarget {
 public:
  // Shows a message box; tests put their own in place to answer it.
  using MessageBoxHandler = MessageBoxes::Handler;

  struct Options {
    MessageBoxHandler message_box;  // empty: MessageBoxW
    bool ends_program = true;       // closing the window ends the message loop
  };

  // Creates the window hidden, with its controls, and runs OnLoad.
  MainWindow(HINSTANCE instance, RegistryServices& registry, Options options);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Shows the window where it was created, centred on its monitor's work area, and gives
  // the add button the focus.
  void Show(int show_command);
  HWND hwnd() const noexcept { return window_; }
  HWND Control(ControlId id) const noexcept;
  UINT dpi() const noexcept { return dpi_; }
  void SetMessageBoxHandler(MessageBoxHandler handler) { boxes_.SetHandler(std::move(handler)); }
  // Lays every control out and sizes the window for `dpi`, as a DPI change does.
  void ApplyDpi(UINT dpi, const RECT* suggested = nullptr);

  // Form
  std::wstring FileName() override;
  std::wstring DirPath() override;
  std::wstring MenuText() override;
  EntryList& Entries() override { return entries_; }
  void ReadProgramsAgain() override;
  bool Confirm(std::wstring_view text, DefaultAnswer default_answer) override;
  void Tell(std::wstring_view text, Telling telling) override;
  void ShowError(const SystemError& error) override;

 private:
  // MessageTarget
  LRESULT OnMessage(const WindowMessage& message) override;
  void OnFault(const SystemError& error) override { ShowError(error); }
  // The caption box's and the four lists' subclasses, where their handlers are added.
  ControlSubclass& SubclassOf(ControlId id);
  LRESULT OnCaptionBoxMessage(const WindowMessage& message, const ControlSubclass::Next& next);
  void OnCommand(int id, int code);
  void OnActivate(bool active);
  // Once the window is up and idle: what would slow its start.
  void OnShown();
  void AnnotateLists() const;
  void CreateControls(HINSTANCE instance);
  // Each list shows the most whole rows that fit in its design height, at any DPI.
  void FitListsToWholeRows();
  // The window's own icons, drawn for its DPI.
  void SetIcons(UINT dpi);

  // The event table.
  void OnLoad();
  void OnAddClicked();
  void OnRemoveClicked();
  void OnFileClicked();
  void OnCaptionBoxFocused();

  HWND window_ = nullptr;
  RegistryServices& registry_;
  Win32SystemServices system_;
  ListBoxEntries entries_;
  UniqueFont font_;
  UniqueIcon big_icon_;
  UniqueIcon small_icon_;
  UINT dpi_ = 96;
  HWND focus_when_inactive_ = nullptr;
  // Before the subclasses whose names use it, so that it goes after them. Its first use gives the
  // lists their names by annotation too, for UI Automation clients that do not ask the lists.
  ComOnFirstUse com_{[this] { AnnotateLists(); }};
  // The controls whose messages the window sees first, in the order of kSubclassed; before the
  // picker, whose handler the drive list's holds, so that they go after it.
  std::array<std::optional<ControlSubclass>, 5> subclasses_;
  std::optional<ProgramPicker> picker_;  // the drive, folder and file lists
  bool ends_program_;
  MessageBoxes boxes_;  // owned by the window
};

}  // namespace vw
