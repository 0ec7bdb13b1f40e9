#include "agent/camera_worker.h"

#include <algorithm>
#include <ctime>
#include <utility>

#include "agent/operations.h"
#include "camera/bulk_read.h"
#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/feature_catalogue.h"
#include "camera/identity.h"
#include "camera/model_profile.h"
#include "camera/notifier.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "camera/progress.h"

namespace ctrl::agent {
namespace {

// What the core says while a camera's thread works, kept for that camera's replies and state.
class CollectingNotifier final : public Notifier {
 public:
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon) override {
    if (messages_.size() >= 32) return;
    // A message box's lines become one line of a reply or state.
    std::string line = caption.empty() ? text : caption + ": " + text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    messages_.push_back(std::move(line));
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  std::vector<std::string> Take() { return std::exchange(messages_, {}); }

 private:
  std::vector<std::string> messages_;
};

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

Json OptionalText(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

}  // namespace

// The camera's side, alive while its link is open.
struct CameraWorker::Camera {
  std::unique_ptr<CameraLink> link;
  CommandTable table;
  OnlineStatusPublisher status;
  ParameterDatabase database;
  std::unique_ptr<Command> engine;
  bool supported = false;
  CollectingNotifier notifier;
};

CameraWorker::CameraWorker(CameraSpec spec, WorkerOptions options, PublishFunction publish)
    : spec_(std::move(spec)), options_(std::move(options)), publish_(std::move(publish)) {}

CameraWorker::~CameraWorker() { Stop(); }

void CameraWorker::Start() { thread_ = std::thread([this] { Run(); }); }

void CameraWorker::Stop() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void CameraWorker::Submit(const Json& request, const ReplyAddress& reply) {
  const std::string id = request["id"];
  std::optional<std::string> cached;
  {
    std::lock_guard lock(mutex_);
    if (auto found = remembered_.find(id); found != remembered_.end()) {
      if (found->second.reply) {
        cached = found->second.reply;
      } else {
        found->second.waiting.push_back(reply);
        return;
      }
    } else if (queue_.size() >= options_.queue_limit) {
      Json refusal = ReplyHead(request);
      refusal["ok"] = false;
      refusal["error"] = "The camera's queue is full (" + std::to_string(options_.queue_limit) +
                         " requests waiting); nothing was done. Try again later.";
      cached = fleet::MessageText(refusal);
      // Not remembered: the same id may come again once there is room.
    } else {
      remembered_[id].waiting.push_back(reply);
      remembered_order_.push_back(id);
      while (remembered_order_.size() > kRememberedIds) {
        // Only requests that have run are forgotten; one still waiting keeps its place.
        auto oldest = remembered_.find(remembered_order_.front());
        if (oldest != remembered_.end() && !oldest->second.reply) break;
        if (oldest != remembered_.end()) remembered_.erase(oldest);
        remembered_order_.pop_front();
      }
      queue_.push_back(Pending{request});
    }
  }
  if (cached) {
    SendReply(reply, *cached);
    return;
  }
  wake_.notify_all();
}

void CameraWorker::RequestRepublish() {
  {
    std::lock_guard lock(mutex_);
    republish_ = true;
  }
  wake_.notify_all();
}

Json CameraWorker::ReplyHead(const Json& request) const {
  Json head = Json::object();
  head["id"] = request.contains("id") ? request["id"] : Json(nullptr);
  head["station"] = options_.station;
  head["camera"] = spec_.name;
  head["op"] = request.contains("op") ? request["op"] : Json(nullptr);
  return head;
}

void CameraWorker::SendReply(const ReplyAddress& address, const std::string& payload) {
  fleet::PublishOptions options;
  options.correlation_data = address.correlation;
  options.has_correlation = address.has_correlation;
  publish_(address.topic, payload, options);
}

void CameraWorker::Run() {
  auto next_monitor = std::chrono::steady_clock::now();
  while (true) {
    std::optional<Pending> pending;
    bool republish = false;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_until(lock, next_monitor,
                       [this] { return stop_ || republish_ || !queue_.empty(); });
      if (stop_) break;
      if (!queue_.empty()) {
        pending = std::move(queue_.front());
        queue_.pop_front();
      }
      republish = std::exchange(republish_, false);
    }
    if (pending) {
      Execute(pending->request);
    } else if (republish) {
      PublishState();
      if (!last_params_.empty()) {
        fleet::PublishOptions retained;
        retained.retain = true;
        publish_(fleet::CameraTopic(options_.station, spec_.name, fleet::kParamsLeaf),
                 last_params_, retained);
      }
    }
    if (std::chrono::steady_clock::now() >= next_monitor) {
      Monitor();
      next_monitor = std::chrono::steady_clock::now() + options_.period;
    }
  }
  InstallThreadNotifier(nullptr);
  camera_.reset();
}

bool CameraWorker::Connect() {
  if (camera_ && camera_->engine) return true;
  auto camera = std::make_unique<Camera>();
  InstallThreadNotifier(&camera->notifier);
  std::string error;
  camera->link = OpenCameraLink(spec_, error);
  if (!camera->link) {
    const std::vector<std::string> messages = camera->notifier.Take();
    InstallThreadNotifier(nullptr);
    last_error_ = messages.empty() ? error : messages.back();
    return false;
  }
  camera->engine = std::make_unique<Command>(camera->link->channel(), DefaultClock(),
                                             camera->table, camera->status);
  Command& engine = *camera->engine;
  // A stop request ends a long operation at its next exchange.
  engine.set_cancel_check([this] {
    std::lock_guard lock(mutex_);
    return stop_;
  });
  bool answered = false;
  if (LineRateControl* line = camera->link->line_rate()) {
    answered = DetectCameraRate(engine, *line, /*report_unsupported=*/false).answered;
  } else {
    answered = engine.CheckModel(/*report_unsupported=*/false);
  }
  if (!answered) {
    camera->notifier.Take();
    InstallThreadNotifier(nullptr);
    last_error_ = "The camera did not answer.";
    return false;
  }
  camera->supported = engine.device().kind != ModelKind::Unsupported;
  if (camera->supported) camera->table.ApplyAddressMoves(ProfileOf(engine.device()));
  const DeviceIdentity id = ReadDeviceIdentity(engine);
  identity_ = Json{{"vendor", OptionalText(id.vendor_name)},
                   {"model", OptionalText(id.model_name)},
                   {"serial", OptionalText(id.serial_number)},
                   {"user_id", OptionalText(id.user_id)},
                   {"device_version", OptionalText(id.device_version)},
                   {"fpga_version", OptionalText(id.fpga_version)},
                   {"firmware_version", OptionalText(id.firmware_version)}};
  camera->notifier.Take();
  camera_ = std::move(camera);
  last_error_ = camera_->supported ? "" : "Unsupported model \"" + engine.device().name + "\".";
  // The camera shows as online before its parameters are all read (many exchanges).
  PublishState();
  RefreshParameters();
  return true;
}

void CameraWorker::Disconnect(const std::string& reason) {
  InstallThreadNotifier(nullptr);
  camera_.reset();
  last_error_ = reason;
  monitored_ = Json::object();
}

void CameraWorker::Monitor() {
  if (!camera_ && !Connect()) {
    PublishState();
    return;
  }
  Command& engine = *camera_->engine;
  monitored_ = Json::object();
  bool any = false;
  for (const auto& [key, command_id] :
       {std::pair{"temperature", cmd::kDeviceTemperature}, std::pair{"voltage", cmd::kDeviceVoltage}}) {
    int32_t value = 0;
    if (!camera_->supported || !engine.ReadCommand(command_id, value, kDefaultTimeoutMs)) {
      monitored_[key] = nullptr;
      continue;
    }
    any = true;
    const Feature* feature = FeatureOfCommand(command_id);
    monitored_[key] = {{"value", value},
                       {"text", feature != nullptr ? DisplayText(*feature, value, engine.device())
                                                   : std::to_string(value)}};
  }
  camera_->notifier.Take();
  // Nothing answered: the camera is asked for its model before it is called offline.
  if (!any && !engine.CheckModel(/*report_unsupported=*/false)) {
    Disconnect("The camera stopped answering.");
    PublishState();
    return;
  }
  if (camera_->supported && ++periods_since_params_ >= options_.params_every) RefreshParameters();
  PublishState();
}

void CameraWorker::RefreshParameters() {
  periods_since_params_ = 0;
  if (!camera_ || !camera_->supported) return;
  NullProgress progress;
  const BulkReadResult result =
      ReadAllParameters(*camera_->engine, camera_->database, 0,
                        CcmSelectorOf(camera_->database), progress);
  camera_->notifier.Take();
  CameraContext context{*camera_->engine, camera_->database, camera_->link->line_rate()};
  Json params = Json::object();
  params["station"] = options_.station;
  params["camera"] = spec_.name;
  params["model"] = camera_->engine->device().name;
  params["params"] = NamedParameters(context, result.read_rows);
  params["complete"] = result.failed == 0;
  const std::string text = fleet::MessageText(params);
  if (text == last_params_) return;
  last_params_ = text;
  PublishParams();
}

void CameraWorker::PublishParams() {
  fleet::PublishOptions retained;
  retained.retain = true;
  publish_(fleet::CameraTopic(options_.station, spec_.name, fleet::kParamsLeaf), last_params_,
           retained);
}

std::string CameraWorker::StateJson() const {
  const bool online = camera_ != nullptr;
  Json state = Json::object();
  state["station"] = options_.station;
  state["camera"] = spec_.name;
  state["spec"] = spec_.text;
  state["online"] = online;
  state["supported"] = online && camera_->supported;
  state["model"] = online ? Json(camera_->engine->device().name) : Json(nullptr);
  state["kind"] = online && camera_->supported
                      ? Json(std::string(ProfileOf(camera_->engine->device()).name))
                      : Json(nullptr);
  state["identity"] = identity_;
  state["temperature"] = monitored_.contains("temperature") ? monitored_["temperature"] : Json(nullptr);
  state["voltage"] = monitored_.contains("voltage") ? monitored_["voltage"] : Json(nullptr);
  if (online) {
    const LinkHealth& health = camera_->engine->health();
    LineRateControl* line = camera_->link->line_rate();
    state["link"] = {{"exchanges", health.exchanges},
                     {"timeouts", health.timeouts},
                     {"refused", health.refused},
                     {"lines_skipped", health.lines_skipped},
                     {"line_lost", health.line_lost},
                     {"round_trip_median_us", health.MedianRoundTripUs()},
                     {"round_trip_p99_us", health.P99RoundTripUs()},
                     {"baud_rate", line != nullptr ? Json(line->LineRate()) : Json(nullptr)}};
  } else {
    state["link"] = nullptr;
  }
  state["error"] = last_error_.empty() ? Json(nullptr) : Json(last_error_);
  state["updated"] = UtcNow();
  return fleet::MessageText(state);
}

void CameraWorker::PublishState() {
  fleet::PublishOptions retained;
  retained.retain = true;
  publish_(fleet::CameraTopic(options_.station, spec_.name, fleet::kStateLeaf), StateJson(),
           retained);
}

std::string CameraWorker::OfflineState() const {
  Json state = fleet::ParseMessage(StateJson()).value_or(Json::object());
  state["online"] = false;
  state["link"] = nullptr;
  state["error"] = "The agent stopped.";
  return fleet::MessageText(state);
}

void CameraWorker::Execute(const Json& request) {
  Json reply = ReplyHead(request);
  bool changed = false;
  if (!camera_ && !Connect()) {
    reply["ok"] = false;
    reply["error"] = "The camera is not connected: " + last_error_;
  } else if (!camera_->supported) {
    reply["ok"] = false;
    reply["error"] = "Nothing was done: " + last_error_ + " The agent serves supported models only.";
  } else {
    CameraContext context{*camera_->engine, camera_->database, camera_->link->line_rate()};
    Json body = RunOperation(context, request);
    for (auto& [key, value] : body.items()) reply[key] = value;
    const std::vector<std::string> messages = camera_->notifier.Take();
    if (!messages.empty()) reply["messages"] = messages;
    // The camera's exchanges so far: what an operation cost, and proof of what it did not.
    reply["camera_exchanges"] = camera_->engine->exchanges();
    changed = MayChangeParameters(request);
  }
  const std::string payload = fleet::MessageText(reply);
  std::vector<ReplyAddress> waiting;
  {
    std::lock_guard lock(mutex_);
    auto& remembered = remembered_[request["id"]];
    remembered.reply = payload;
    waiting = std::exchange(remembered.waiting, {});
  }
  for (const ReplyAddress& address : waiting) SendReply(address, payload);
  if (changed && camera_) RefreshParameters();
}

}  // namespace ctrl::agent
