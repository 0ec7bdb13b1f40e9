#include "cli/session.h"

#include <unistd.h>

#include <algorithm>
#include <ostream>

#include "camera/model_profile.h"
#include "cli/display_text.h"

namespace ctrl::cli {

namespace {

// Messages of the core go to stderr; questions are never asked of a script.
class StreamNotifier final : public Notifier {
 public:
  explicit StreamNotifier(std::ostream& err) : err_(err) { InstallNotifier(this); }
  ~StreamNotifier() override { InstallNotifier(nullptr); }
  StreamNotifier(const StreamNotifier&) = delete;
  StreamNotifier& operator=(const StreamNotifier&) = delete;
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
    // Messages quote camera texts (an unsupported model's name): shown escaped.
    std::string flat = text;
    std::replace(flat.begin(), flat.end(), '\n', ' ');
    err_ << (caption.empty() ? "" : caption + ": ") << DisplayText(flat) << '\n';
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }

 private:
  std::ostream& err_;
};

}  // namespace

Session::Session(const GlobalOptions& options, std::ostream& out, std::ostream& err,
                 const Environment& environment)
    : options_(options),
      out_(out),
      err_(err),
      environment_(environment),
      clock_(environment.clock != nullptr ? *environment.clock : DefaultClock()) {}

Session::~Session() = default;

int Session::Open() {
  notifier_ = std::make_unique<StreamNotifier>(err_);
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
  table_.ApplyAddressMoves(ProfileOf(engine_->device()));
  return true;
}

bool Session::ProgressOnTerminal() const {
  return isatty(STDERR_FILENO) != 0;
}

CcmSelectorIndex CcmFromDatabase(const ParameterDatabase& db) {
  return [&db] {
    for (const auto& row : db.rows()) {
      if (row.command_id == cmd::kCcmSelector) return row.current_value;
    }
    return -1;
  };
}

}  // namespace ctrl::cli
