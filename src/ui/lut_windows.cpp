#include "ui/lut_windows.h"

#include <QApplication>

#include "camera/notifier.h"
#include "lut/lut_file.h"
#include "lut/lut_flows.h"
#include "ui/lut_dialog.h"
#include "ui/progress_dialog.h"
#include "ui/registered_windows.h"

namespace ctrl::ui {
namespace {

// The LUT commands' questions and messages as message boxes.
bool AskInBox(const LutMessage& question) {
  return CurrentNotifier().AskYesNo(question.text, question.caption);
}

void ShowInBox(const LutMessage& message) {
  CurrentNotifier().ShowMessage(message.text, message.caption, message.icon);
}

}  // namespace

LutWindows::LutWindows(LutWindowsSetup setup) : setup_(setup) {
  bank_.set_display(this);
}

LutWindows::~LutWindows() {
  bank_.set_display(nullptr);
}

void LutWindows::CreateWindows() {
  CLUTDlg::Actions actions;
  actions.read_table = [this](int table) { ReadTable(table); };
  actions.write_table = [this](int table) { WriteTable(table); };
  for (int table = kRedLut; table <= kBlueLut; ++table) {
    if (windows_[table]) continue;
    windows_[table] = std::make_unique<CLUTDlg>(bank_.editor(table), *setup_.status, actions);
  }
}

CLUTDlg* LutWindows::editor_window(int table_index) const {
  if (table_index < 0 || table_index >= kLutTableCount) return nullptr;
  return windows_[table_index].get();
}

bool LutWindows::monochrome() const {
  return setup_.engine->device().IsMonochrome();
}

void LutWindows::ShowEditors() {
  CreateWindows();
  const bool mono = monochrome();
  for (int table = kRedLut; table <= kBlueLut; ++table) {
    if (mono && table != kGreenLut) continue;
    CLUTDlg& window = *windows_[table];
    window.setWindowTitle(QString::fromStdString(LutEditorTitle(table, mono)));
    window.showNormal();
    window.raise();
  }
}

LutTransferContext LutWindows::Context() {
  return {*setup_.engine, *setup_.clock, *setup_.progress, *this};
}

template <typename Transfer>
bool LutWindows::WithProgressOwner(QWidget* owner, Transfer transfer) {
  setup_.progress->set_owner(owner);
  LutTransferContext io = Context();
  const bool done = transfer(io);
  setup_.progress->set_owner(setup_.main_window);
  return done;
}

bool LutWindows::ReadTable(int table_index) {
  return WithProgressOwner(editor_window(table_index), [&](LutTransferContext& io) {
    return ReadLutTable(io, bank_, table_index);
  });
}

bool LutWindows::WriteTable(int table_index) {
  return WithProgressOwner(editor_window(table_index), [&](LutTransferContext& io) {
    return WriteLutTable(io, bank_, table_index, table_index);
  });
}

bool LutWindows::LoadAllLutTables() {
  return WithProgressOwner(setup_.main_window, [&](LutTransferContext& io) {
    return LoadAllLutTablesConfirmed(io, bank_, AskInBox, setup_.run_all_tables);
  });
}

bool LutWindows::OpenLutFile(QWidget* owner) {
  FileDialogs::Request request;
  request.owner = owner;
  request.initial_name = QString::fromStdString(LutDialogInitialName());
  request.default_suffix = kLutFileExtension;
  request.filter = kLutOpenFilter;
  const FileDialogs::Choice choice = setup_.file_dialogs->Ask(request);
  if (choice.result == FileDialogs::kCancel) return false;
  if (choice.result != FileDialogs::kOk) {
    ShowInBox(LutDialogErrorMessage(choice.result));
    return false;
  }
  return ReadLutFile(choice.path.toStdString(), bank_, setup_.engine->device().kind);
}

bool LutWindows::SaveLutFile(QWidget* owner) {
  const bool read = WithProgressOwner(setup_.main_window, [&](LutTransferContext& io) {
    return ReadTablesBeforeSave(io, bank_, AskInBox, setup_.run_all_tables);
  });
  if (!read) return false;
  FileDialogs::Request request;
  request.save = true;
  request.owner = owner;
  request.initial_name = QString::fromStdString(LutDialogInitialName());
  request.default_suffix = kLutFileExtension;
  request.filter = kLutSaveFilter;
  const FileDialogs::Choice choice = setup_.file_dialogs->Ask(request);
  if (choice.result == FileDialogs::kCancel) return false;
  if (choice.result != FileDialogs::kOk) {
    ShowInBox(LutDialogErrorMessage(choice.result));
    return false;
  }
  // A table in Edit Mode holds the curve of its last paint; it is saved as it is.
  return SaveLutFileConfirmed(choice.path.toStdString(), bank_, setup_.engine->device().kind,
                              AskInBox);
}

void LutWindows::TableChanged(int table_index) {
  if (CLUTDlg* window = editor_window(table_index)) window->ShowModeAndRedraw();
}

void LutWindows::DisableWindows() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  RegisteredWindows::Instance().DisableAll();
}

void LutWindows::EnableWindows() {
  RegisteredWindows::Instance().EnableAll();
  QApplication::restoreOverrideCursor();
}

void LutWindows::DisableMainWindow() {
  if (setup_.main_window != nullptr) setup_.main_window->setEnabled(false);
}

void LutWindows::EnableMainWindow() {
  if (setup_.main_window != nullptr) setup_.main_window->setEnabled(true);
}

void LutWindows::ActivateEditor(int table_index) {
  CLUTDlg* window = editor_window(table_index);
  if (window != nullptr && window->isVisible() && !window->isActiveWindow()) {
    window->activateWindow();
  }
}

}  // namespace ctrl::ui
