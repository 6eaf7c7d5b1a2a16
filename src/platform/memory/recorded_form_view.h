#pragma once

// A FormView for tests: keeps every control's state as the logic set it, starting from
// the layout table, and lets a test play the user by changing texts and check marks.

#include <map>
#include <span>
#include <string>

#include "platform/form_view.h"

namespace koru::platform {

class RecordedFormView : public FormView {
 public:
  struct Control {
    ControlSpec spec;
    std::string text;
    ControlRect rect;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    int position = 0;
    int maximum = 100;
  };

  explicit RecordedFormView(std::span<const ControlSpec> layout);

  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void SetClientSize(int width, int height) override;
  void SetText(int id, const std::string& text) override { At(id).text = text; }
  std::string Text(int id) override { return At(id).text; }
  void SetBounds(int id, const ControlRect& rect) override { At(id).rect = rect; }
  ControlRect Bounds(int id) override { return At(id).rect; }
  void SetVisible(int id, bool visible) override { At(id).visible = visible; }
  bool Visible(int id) override { return At(id).visible; }
  void SetEnabled(int id, bool enabled) override { At(id).enabled = enabled; }
  bool Enabled(int id) override { return At(id).enabled; }
  void SetChecked(int id, bool checked) override;
  bool Checked(int id) override { return At(id).checked; }
  void SetFocus(int id) override { focus_ = id; }
  void SetProgress(int id, int position, int maximum) override;
  void ShowNotebookPage(int page) override { page_ = page; }
  void Repaint() override { ++repaints_; }
  void BringToFront() override { ++brought_to_front_; }

  // Whether the user would see the control: visible and on the shown page (or outside
  // the notebook).
  bool Shown(int id);

  const std::string& caption() const { return caption_; }
  int client_width() const { return client_width_; }
  int client_height() const { return client_height_; }
  int page() const { return page_; }
  int focus() const { return focus_; }
  int repaints() const { return repaints_; }
  int brought_to_front() const { return brought_to_front_; }
  // Throws std::out_of_range for an id the layout does not have.
  Control& At(int id);

 private:
  std::map<int, Control> controls_;
  std::string caption_;
  int client_width_ = 0;
  int client_height_ = 0;
  int page_ = -1;
  int focus_ = 0;
  int repaints_ = 0;
  int brought_to_front_ = 0;
};

}  // namespace koru::platform
