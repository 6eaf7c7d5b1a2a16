#include "platform/memory/scripted_ui.h"

namespace koru::platform {

int ScriptedUserInterface::ShowMessage(const std::string& caption, const std::string& text,
                                       MessageIcon icon, MessageButtons buttons) {
  int answer = kResultNone;
  if (!answers_.empty()) {
    answer = answers_.front();
    answers_.pop_front();
  } else {
    ++unanswered_;
    answer = buttons == MessageButtons::kYesNo ? kResultYes : kResultOk;
  }
  shown_.push_back({caption, text, icon, buttons, answer});
  return answer;
}

void ScriptedUserInterface::ProcessMessages() {
  ++pumps_;
  if (on_pump_) on_pump_(pumps_);
}

std::vector<std::string> ScriptedUserInterface::Texts() const {
  std::vector<std::string> texts;
  for (const Shown& box : shown_) texts.push_back(box.text);
  return texts;
}

}  // namespace koru::platform
