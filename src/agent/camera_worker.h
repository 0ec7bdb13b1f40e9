#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "agent/camera_spec.h"
#include "fleet/fleet_protocol.h"
#include "fleet/mqtt_client.h"

namespace ctrl::agent {

using fleet::Json;

struct WorkerOptions {
  std::string station;
  // How often the monitored values are read and the state published.
  std::chrono::milliseconds period{5000};
  // Every this many periods every parameter is read again, so a camera that lost its settings
  // (a power cycle) shows in its params.
  int params_every = 12;
  // Requests waiting for the camera beyond the one running; more are refused.
  size_t queue_limit = 16;
};

// Where a reply goes: the request's response topic and correlation data.
struct ReplyAddress {
  std::string topic;
  std::string correlation;
  bool has_correlation = false;
};

using PublishFunction = std::function<void(const std::string& topic, const std::string& payload,
                                           const fleet::PublishOptions& options)>;

// One camera of the agent: its link, engine and database, run by a thread of its own. Requests
// run one at a time in arrival order; between them the thread reads the monitored values every
// period and publishes the camera's state and parameters.
class CameraWorker {
 public:
  // Ids remembered per camera, so a retried request is answered without running again.
  static constexpr size_t kRememberedIds = 256;

  CameraWorker(CameraSpec spec, WorkerOptions options, PublishFunction publish);
  ~CameraWorker();
  CameraWorker(const CameraWorker&) = delete;
  CameraWorker& operator=(const CameraWorker&) = delete;

  const std::string& name() const { return spec_.name; }

  void Start();
  // Ends the operation running at its next exchange, then the thread; publishes nothing.
  void Stop();

  // Takes a checked request (called from the network thread). A request whose id was seen
  // before is not run again: its reply is sent again, or sent to this address too when the
  // first run ends. A full queue refuses it with an error reply at once.
  void Submit(const Json& request, const ReplyAddress& reply);
  // The broker (re)connected: the retained state and parameters are published again.
  void RequestRepublish();
  // The state saying the camera is offline because the agent stopped.
  std::string OfflineState() const;

 private:
  struct Pending {
    Json request;
  };
  struct Remembered {
    std::optional<std::string> reply;  // the reply's payload once the request ran
    std::vector<ReplyAddress> waiting;
  };

  void Run();
  bool Connect();  // opens the link and identifies the camera; false while it is away
  void Disconnect(const std::string& reason);
  void Monitor();
  void RefreshParameters();
  void PublishState();
  void PublishParams();
  void Execute(const Json& request);
  void SendReply(const ReplyAddress& address, const std::string& payload);
  Json ReplyHead(const Json& request) const;
  std::string StateJson() const;

  CameraSpec spec_;
  WorkerOptions options_;
  PublishFunction publish_;
  std::thread thread_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Pending> queue_;
  std::map<std::string, Remembered> remembered_;
  std::deque<std::string> remembered_order_;
  bool stop_ = false;
  bool republish_ = false;

  // Touched by the camera's thread only.
  struct Camera;
  std::unique_ptr<Camera> camera_;
  std::string last_error_;
  Json identity_ = Json::object();
  Json monitored_ = Json::object();
  std::string last_params_;
  int periods_since_params_ = 0;
};

}  // namespace ctrl::agent
