#pragma once

// A user interface for tests: message boxes are recorded and answered from a queue that
// the test fills beforehand; pumping the message queue calls a hook with which a test
// plays a user who clicks while a long operation runs.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/user_interface.h"

namespace koru::platform {

class ScriptedUserInterface : public UserInterface {
 public:
  struct Shown {
    std::string caption;
    std::string text;
    MessageIcon icon = MessageIcon::kWarning;
    MessageButtons buttons = MessageButtons::kOk;
    int answer = kResultNone;
  };

  // Queues the button the next box is answered with.
  void Answer(int result) { answers_.push_back(result); }
  // Called at every ProcessMessages with the number of pumps so far (1 for the first).
  void OnPump(std::function<void(int)> hook) { on_pump_ = std::move(hook); }

  // A box without a queued answer is answered with its first button (OK or Yes) and counted.
  int ShowMessage(const std::string& caption, const std::string& text, MessageIcon icon,
                  MessageButtons buttons) override;
  void ProcessMessages() override;
  void ShowHandlerError(const std::string& text) override { handler_errors_.push_back(text); }
  void SetApplicationTitle(const std::string& title) override { title_ = title; }

  const std::vector<Shown>& shown() const { return shown_; }
  // The texts of the boxes shown, in order.
  std::vector<std::string> Texts() const;
  int unanswered() const { return unanswered_; }
  size_t answers_left() const { return answers_.size(); }
  int pumps() const { return pumps_; }
  const std::vector<std::string>& handler_errors() const { return handler_errors_; }
  const std::string& title() const { return title_; }

 private:
  std::deque<int> answers_;
  std::function<void(int)> on_pump_;
  std::vector<Shown> shown_;
  std::vector<std::string> handler_errors_;
  std::string title_;
  int unanswered_ = 0;
  int pumps_ = 0;
};

}  // namespace koru::platform
