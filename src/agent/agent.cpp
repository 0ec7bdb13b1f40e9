#include "agent/agent.h"

#include <unistd.h>

#include <cstdio>

#include "agent/operations.h"
#include "ctrl_version.h"

namespace ctrl::agent {

Agent::Agent(AgentOptions options) : options_(std::move(options)) {
  options_.worker.station = options_.station;
  client_ = std::make_unique<fleet::MqttClient>("ctrltool-agent-" + options_.station + "-" +
                                                std::to_string(getpid()));
  for (const CameraSpec& spec : options_.cameras) {
    workers_.push_back(std::make_unique<CameraWorker>(
        spec, options_.worker,
        [this](const std::string& topic, const std::string& payload,
               const fleet::PublishOptions& publish) { Publish(topic, payload, publish); }));
  }
}

Agent::~Agent() { Stop(); }

std::string Agent::AgentState(bool online) const {
  Json cameras = Json::array();
  for (const auto& worker : workers_) cameras.push_back(worker->name());
  return fleet::MessageText(Json{{"station", options_.station},
                                 {"online", online},
                                 {"cameras", std::move(cameras)},
                                 {"version", CTRL_VERSION}});
}

bool Agent::Start(std::string& error) {
  client_->SetWill(fleet::AgentTopic(options_.station), AgentState(false), /*retain=*/true);
  client_->AddSubscription(fleet::CameraTopic(options_.station, "+", fleet::kCommandLeaf));
  client_->set_message_handler([this](const fleet::MqttMessage& message) { OnMessage(message); });
  client_->set_connection_handler([this](bool connected) { OnConnection(connected); });
  if (!client_->Start(options_.broker, error)) return false;
  for (auto& worker : workers_) worker->Start();
  started_ = true;
  return true;
}

void Agent::Stop() {
  if (!started_) return;
  started_ = false;
  for (auto& worker : workers_) worker->Stop();
  fleet::PublishOptions retained;
  retained.retain = true;
  for (auto& worker : workers_) {
    Publish(fleet::CameraTopic(options_.station, worker->name(), fleet::kStateLeaf),
            worker->OfflineState(), retained);
  }
  Publish(fleet::AgentTopic(options_.station), AgentState(false), retained);
  client_->Stop();
}

void Agent::Publish(const std::string& topic, const std::string& payload,
                    const fleet::PublishOptions& options) {
  // Offline, libmosquitto refuses: retained messages are published again after the reconnect.
  client_->Publish(topic, payload, options);
}

void Agent::OnConnection(bool connected) {
  if (!connected) {
    // Said once per refusal, for the service's journal; the client keeps trying.
    if (client_->refused()) {
      const std::string why = client_->last_error();
      if (why != last_refusal_) std::fprintf(stderr, "ctrltool-agent: %s\n", why.c_str());
      last_refusal_ = why;
    }
    return;
  }
  last_refusal_.clear();
  fleet::PublishOptions retained;
  retained.retain = true;
  Publish(fleet::AgentTopic(options_.station), AgentState(true), retained);
  for (auto& worker : workers_) worker->RequestRepublish();
}

void Agent::RefuseRequest(const fleet::MqttMessage& message, const Json& request,
                          const std::string& camera, const std::string& error) {
  Json reply = Json::object();
  reply["id"] = request.is_object() && request.contains("id") ? request["id"] : Json(nullptr);
  reply["station"] = options_.station;
  reply["camera"] = camera;
  reply["op"] = request.is_object() && request.contains("op") ? request["op"] : Json(nullptr);
  reply["ok"] = false;
  reply["error"] = error;
  fleet::PublishOptions options;
  options.correlation_data = message.correlation_data;
  options.has_correlation = !message.correlation_data.empty();
  Publish(message.response_topic, fleet::MessageText(reply), options);
}

void Agent::OnMessage(const fleet::MqttMessage& message) {
  const auto parts = fleet::ParseCameraTopic(message.topic);
  if (!parts || parts->station != options_.station || parts->leaf != fleet::kCommandLeaf) return;
  // Without a reply topic of the fleet's own there is nobody to answer, and nothing is run.
  if (!fleet::IsReplyTopic(message.response_topic)) {
    std::fprintf(stderr, "ctrltool-agent: a request to %s without a reply topic under %s/%s/ was "
                 "ignored.\n", parts->camera.c_str(), std::string(fleet::kTopicRoot).c_str(),
                 std::string(fleet::kReplyFolder).c_str());
    return;
  }
  const std::optional<Json> request = fleet::ParseMessage(message.payload);
  if (!request) {
    RefuseRequest(message, Json(), parts->camera, "The request is not JSON.");
    return;
  }
  if (const std::string error = CheckRequest(*request); !error.empty()) {
    RefuseRequest(message, *request, parts->camera, error);
    return;
  }
  for (auto& worker : workers_) {
    if (worker->name() != parts->camera) continue;
    ReplyAddress address{message.response_topic, message.correlation_data,
                         !message.correlation_data.empty()};
    worker->Submit(*request, address);
    return;
  }
  RefuseRequest(message, *request, parts->camera,
                "Station " + options_.station + " has no camera \"" + parts->camera + "\".");
}

}  // namespace ctrl::agent
