// OptionsDialog (template 106): which file entries take part in runs, and whether the
// previous versions are kept under a backup name. OK commits into the document.
#pragma once

#include "ui/component_list_box.h"
#include "ui/dialog.h"

class VEzorazEdo;
class CFile;

class OptionsDialog : public Dialog {
 public:
  explicit OptionsDialog(VEzorazEdo& document);
  ~OptionsDialog() override;

 protected:
  void DoDataExchange(bool save) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnDrawItem(int id, DRAWITEMSTRUCT* item) override;

 private:
  void UpdateDescription();

  VEzorazEdo& document_;
  HWND descriptionLabel_ = nullptr;
  int renameValue_ = 0;
  ComponentListBox componentList_;
};

// Loads the document if needed, then runs a new options dialog.
void ShowOptions(VEzorazEdo& document, CFile& updateFile);
