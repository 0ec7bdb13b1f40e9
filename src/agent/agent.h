#pragma once

#include <memory>
#include <string>
#include <vector>

#include "agent/camera_spec.h"
#include "agent/camera_worker.h"
#include "fleet/mqtt_client.h"

namespace ctrl::agent {

struct AgentOptions {
  fleet::BrokerOptions broker;
  std::string station;
  std::vector<CameraSpec> cameras;
  WorkerOptions worker;  // its station is filled from `station`
};

// One PC's cameras on the broker: a worker per camera and one MQTT connection. It subscribes to
// its own station's request topics only, and answers only on reply topics.
class Agent {
 public:
  explicit Agent(AgentOptions options);
  ~Agent();
  Agent(const Agent&) = delete;
  Agent& operator=(const Agent&) = delete;

  // Starts the cameras' threads and the connection; false with a message for settings that can
  // never work. A broker that is not there yet is waited for.
  bool Start(std::string& error);
  // Marks every camera and the agent offline, disconnects and ends the threads.
  void Stop();

 private:
  void OnMessage(const fleet::MqttMessage& message);
  void OnConnection(bool connected);
  void Publish(const std::string& topic, const std::string& payload,
               const fleet::PublishOptions& options);
  void RefuseRequest(const fleet::MqttMessage& message, const Json& request,
                     const std::string& camera, const std::string& error);
  std::string AgentState(bool online) const;

  AgentOptions options_;
  std::unique_ptr<fleet::MqttClient> client_;
  std::vector<std::unique_ptr<CameraWorker>> workers_;
  bool started_ = false;
  std::string last_refusal_;  // touched by the network thread only
};

}  // namespace ctrl::agent
