#include "cli/session.h"

#include <unistd.h>

#include <algorithm>
#include <ostream>

#include "cli/display_text.h"

namespace ctrl::cli {

StreamNotifier::StreamNotifier(std::ostream& err) : err_(err) {
  InstallNotifier(this);
}

StreamNotifier::~StreamNotifier() {
  InstallNotifier(nullptr);
}

void StreamNotifier::ShowMessage(const std::string& text, const std::string& caption, MessageIcon) {
  // Messages quote camera texts (an unsupported model's name): shown escaped.
  std::string flat = text;
  std::replace(flat.begin(), flat.end(), '\n', ' ');
  err_ << (caption.empty() ? "" : caption + ": ") << DisplayText(flat) << '\n';
}

Session::Session(const GlobalOptions& options, std::ostream& out, std::ostream& err,
                 const Environment& environment)
    : options_(options),
      out_(out),
      err_(err),
      environment_(environment),
      clock_(environment.clock != nullptr ? *environment.clock : DefaultClock()) {}

int Session::Open() {
  notifier_.emplace(err_);
  connection_ = environment_.open_connection
                    ? environment_.open_connection(options_.connection, err_)
                    : OpenConnection(options_.connection, err_);
  if (!connection_) return kExitCamera;
  engine_ = std::make_unique<Command>(connection_->channel(), clock_, table_, status_);
  return kExitOk;
}

bool Session::Identify() {
  if (!engine_->CheckModel()) {
    err_ << "The camera did not answer.\n";
    return false;
  }
  if (engine_->device().kind == ModelKind::Unsupported) {
    err_ << "Nothing was done: this command needs a supported model.\n";
    return false;
  }
  if (engine_->device().IsWideMono()) table_.ApplyWideModelOverride();
  return true;
}

bool Session::ProgressOnTerminal() const {
  return isatty(STDERR_FILENO) != 0;
}

int CcmFromDatabase::operator()() const {
  for (const auto& row : db_.rows()) {
    if (row.command_id == cmd::kCcmSelector) return row.current_value;
  }
  return -1;
}

}  // namespace ctrl::cli
