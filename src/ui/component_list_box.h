// ComponentListBox: the options dialog's list of file entries, drawn by the program with
// a check box per row. A press in the strip at the left edge flips the row's choice.
#pragma once

#include <windows.h>

class CUpdateItem;

class ComponentListBox {
 public:
  ComponentListBox() = default;
  ~ComponentListBox();
  ComponentListBox(const ComponentListBox&) = delete;
  ComponentListBox& operator=(const ComponentListBox&) = delete;

  // Takes over the list box `list` (subclassing it for mouse presses).
  void Attach(HWND list);
  HWND hwnd() const { return list_; }

  void AddRow(CUpdateItem* item);
  CUpdateItem* ItemAt(int row) const;
  int Selection() const;

  // Draws one row: its text area (highlighted when selected) and its check box.
  void DrawRow(const DRAWITEMSTRUCT& item);

  // After the list's own handling of a press at (x, y): flips the selected row's
  // pendingSelected when x lies in the left strip one row-height wide.
  void ToggleAtPress(int x, int y);

 private:
  static LRESULT CALLBACK ListProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND list_ = nullptr;
  WNDPROC previous_ = nullptr;
};

// Draws the row's check box: a square inset in `row`, with an X when `checked`.
void DrawCheckBox(HDC dc, const RECT& row, bool checked);
