#pragma once

// One wizard, two authors: the copy engine's "copy" entry and the uninstaller's "uninst"
// and "delete" entries, put together for TFormType, which takes a single PageActions.
//
//   CopyEngine copy(...);
//   Uninstaller removal;
//   CombinedPageActions pages(copy, removal);
//   TFormType form(env, ui, settings, archive, arguments, pages);

#include "wizard/page_actions.h"

namespace koru {

class CombinedPageActions : public PageActions {
 public:
  // Both must outlive this object.
  CombinedPageActions(PageActions& copy, PageActions& removal) : copy_(copy), removal_(removal) {}

  void EnterCopyPage(TFormType& form) override { copy_.EnterCopyPage(form); }
  void EnterUninstPage(TFormType& form) override { removal_.EnterUninstPage(form); }
  void EnterDeletePage(TFormType& form) override { removal_.EnterDeletePage(form); }

 private:
  PageActions& copy_;
  PageActions& removal_;
};

}  // namespace koru
