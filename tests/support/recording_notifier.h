#pragma once

#include <deque>
#include <string>
#include <vector>

#include "camera/notifier.h"

namespace ctrl::test {

// Records every message and answers questions from a queue (default "No"), so no test ever
// blocks on a dialog. Installs itself for its lifetime.
class RecordingNotifier final : public Notifier {
 public:
  struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon;
  };

  RecordingNotifier() { InstallNotifier(this); }
  ~RecordingNotifier() override { InstallNotifier(nullptr); }
  RecordingNotifier(const RecordingNotifier&) = delete;
  RecordingNotifier& operator=(const RecordingNotifier&) = delete;

  void ShowMessage(const std::string& text, const std::string& caption,
                   MessageIcon icon) override {
    messages.push_back({text, caption, icon});
  }
  bool AskYesNo(const std::string& text, const std::string& caption) override {
    questions.push_back({text, caption, MessageIcon::Question});
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m.text);
    return texts;
  }

  std::vector<Message> messages;
  std::vector<Message> questions;
  std::deque<bool> answers;
};

}  // namespace ctrl::test
