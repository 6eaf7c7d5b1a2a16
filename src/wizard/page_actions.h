#pragma once

// The entry actions of the wizard's long pages. The wizard shows the page (notebook page
// and caption) and then calls one of these; the copy engine fills "copy", the
// uninstaller "uninst" and "delete".
//
// Contract with TFormType::ShowPage: after an entry returns, ShowPage sets the buttons
// for the current page, unless the entry moved to another page itself (the copy entry
// ends by showing "exit") or set a modal result (3 after a confirmed abort, 1 after a
// failure that closes the wizard). An exception leaves the wizard on the page; the view
// shows it in the handler-error box and the abort button then offers the abort question.

namespace koru {

class TFormType;

class PageActions {
 public:
  virtual ~PageActions() = default;

  // "copy": copies the chosen components into form.TargetFolder() and records the
  // installation; ends on "exit", with modal result 3 (abort) or with an exception.
  virtual void EnterCopyPage(TFormType& form) = 0;
  // "uninst": offers to delete the save data (the visibility of kIdCheckDelSave).
  virtual void EnterUninstPage(TFormType& form) = 0;
  // "delete": removes shortcuts, files, save data, empty folders and the registry key;
  // ends on "exit" or with modal result 3.
  virtual void EnterDeletePage(TFormType& form) = 0;
};

// Entries that only show their page: the wizard before the copy engine and the
// uninstaller are plugged in, and tests of the navigation.
class NullPageActions : public PageActions {
 public:
  void EnterCopyPage(TFormType&) override {}
  void EnterUninstPage(TFormType&) override {}
  void EnterDeletePage(TFormType&) override {}
};

}  // namespace koru
