#include "platform/memory/recorded_form_view.h"

#include <stdexcept>
#include <string>

namespace koru::platform {

RecordedFormView::RecordedFormView(std::span<const ControlSpec> layout) {
  for (const ControlSpec& spec : layout) {
    Control control;
    control.spec = spec;
    control.text = spec.text;
    control.rect = spec.rect;
    controls_.emplace(spec.id, control);
  }
}

void RecordedFormView::SetClientSize(int width, int height) {
  client_width_ = width;
  client_height_ = height;
}

void RecordedFormView::SetChecked(int id, bool checked) {
  Control& control = At(id);
  control.checked = checked;
  // Radio buttons of one page exclude each other, as Windows' automatic ones do.
  if (checked && control.spec.kind == ControlKind::kRadioButton) {
    for (auto& [other_id, other] : controls_) {
      if (other_id != id && other.spec.kind == ControlKind::kRadioButton &&
          other.spec.page == control.spec.page) {
        other.checked = false;
      }
    }
  }
}

void RecordedFormView::SetProgress(int id, int position, int maximum) {
  Control& control = At(id);
  control.position = position;
  control.maximum = maximum;
}

bool RecordedFormView::Shown(int id) {
  const Control& control = At(id);
  return control.visible && (control.spec.page < 0 || control.spec.page == page_);
}

RecordedFormView::Control& RecordedFormView::At(int id) {
  auto it = controls_.find(id);
  if (it == controls_.end()) throw std::out_of_range("no control " + std::to_string(id));
  return it->second;
}

}  // namespace koru::platform
