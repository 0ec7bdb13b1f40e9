#pragma once

#include <string>

namespace ctrl {

enum class MessageIcon { Exclamation, Information, Question, Error };

// How the core tells the operator something or asks a yes/no question. The GUI shows
// message boxes, the CLI writes to stderr, tests record.
class Notifier {
 public:
  virtual ~Notifier() = default;
  virtual void ShowMessage(const std::string& text, const std::string& caption,
                           MessageIcon icon) = 0;
  // Returns true for "Yes".
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};

// The notifier the core reports to. Never null: until one is installed, messages go to stderr
// and questions are answered "No".
Notifier& CurrentNotifier();
// Installs a notifier (nullptr restores the stderr default). The caller keeps ownership and
// must uninstall it before destroying it.
void InstallNotifier(Notifier* notifier);
// Installs a notifier for the calling thread only, ahead of the process's one: a program that
// serves several cameras from their own threads gets each camera's messages apart. nullptr
// removes it.
void InstallThreadNotifier(Notifier* notifier);

// Shorthand for the exclamation message box with an empty caption, the most common report.
void ShowExclamation(const std::string& text, const std::string& caption = "");

}  // namespace ctrl
