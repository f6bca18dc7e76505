#include "ui/options_dialog.h"

#include "model/document.h"
#include "resources/resource.h"

OptionsDialog::OptionsDialog(VEzorazEdo& document) : Dialog(IDD_OPTIONS), document_(document) {}

OptionsDialog::~OptionsDialog() = default;

void OptionsDialog::DoDataExchange(bool save) {
  if (!descriptionLabel_) {
    descriptionLabel_ = Item(IDC_COMPONENT_DESCRIPTION);
    componentList_.Attach(Item(IDC_COMPONENTS));
  }
  ExchangeCheck(save, IDC_RENAME, renameValue_);
}

BOOL OptionsDialog::OnInitDialog() {
  renameValue_ = document_.renamePrevious ? 1 : 0;
  DoDataExchange(false);
  for (const auto& item : document_.items) {
    item->pendingSelected = item->selected;
    componentList_.AddRow(item.get());
  }
  ::SendMessageA(componentList_.hwnd(), LB_SETCURSEL, 0, 0);
  // With no rows there is no description to show; the template's placeholder goes.
  if (document_.items.empty()) ::SetWindowTextA(descriptionLabel_, "");
  UpdateDescription();
  return TRUE;
}

void OptionsDialog::OnOK() {
  Dialog::OnOK();
  document_.renamePrevious = renameValue_ != 0;
  for (const auto& item : document_.items) item->selected = item->pendingSelected;
}

bool OptionsDialog::OnCommand(int id, int code, HWND) {
  if (id == IDC_COMPONENTS && code == LBN_SELCHANGE) {
    UpdateDescription();
    return true;
  }
  return false;
}

bool OptionsDialog::OnDrawItem(int id, DRAWITEMSTRUCT* item) {
  if (id != IDC_COMPONENTS) return false;
  componentList_.DrawRow(*item);
  return true;
}

void OptionsDialog::UpdateDescription() {
  int row = componentList_.Selection();
  if (row == LB_ERR) return;
  CUpdateItem* item = componentList_.ItemAt(row);
  if (item) ::SetWindowTextA(descriptionLabel_, item->description.c_str());
}

void ShowOptions(VEzorazEdo& document, CFile& updateFile) {
  document.EnsureLoaded(updateFile);
  OptionsDialog dialog(document);
  dialog.DoModal();
}
