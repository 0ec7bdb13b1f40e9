#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct mosquitto;

namespace ctrl::fleet {

// Where the broker is and how to prove who we are.
struct BrokerOptions {
  std::string host = "127.0.0.1";
  int port = 1883;
  bool tls = false;          // mqtts://, or a CA file given
  std::string ca_file;       // the broker's certificate authority; the system's when empty
  std::string cert_file;     // client certificate and its key, for brokers that ask for one
  std::string key_file;
  std::string username;      // none when empty
  std::string password;
  int keepalive_seconds = 10;
};

// "mqtt://HOST[:PORT]" (1883) or "mqtts://HOST[:PORT]" (8883) into `options`; false with a
// message in `error` for anything else.
bool ParseBrokerUrl(std::string_view url, BrokerOptions& options, std::string& error);

// One received message with the MQTT 5 request/response properties it carried.
struct MqttMessage {
  std::string topic;
  std::string payload;
  bool retained = false;
  std::string response_topic;    // empty when the sender asked for no reply
  std::string correlation_data;  // bytes as sent
};

// What a publish carries besides the payload.
struct PublishOptions {
  int qos = 1;
  bool retain = false;
  std::string response_topic;
  std::string correlation_data;
  bool has_correlation = false;
};

// A connection to an MQTT 5 broker, through libmosquitto's own network thread. It reconnects by
// itself when the broker goes away, and then subscribes again to every filter it was given.
// The callbacks run on the network thread; Publish() may be called from any thread.
class MqttClient {
 public:
  using MessageHandler = std::function<void(const MqttMessage&)>;
  // `connected` true: the broker accepted the connection (the first time or again after a loss);
  // false: it was lost, or the broker refused it (see refused()).
  using ConnectionHandler = std::function<void(bool connected)>;

  explicit MqttClient(std::string client_id);
  ~MqttClient();
  MqttClient(const MqttClient&) = delete;
  MqttClient& operator=(const MqttClient&) = delete;

  void set_message_handler(MessageHandler handler) { on_message_ = std::move(handler); }
  void set_connection_handler(ConnectionHandler handler) { on_connection_ = std::move(handler); }
  // The message the broker publishes for us when we vanish without saying goodbye.
  void SetWill(const std::string& topic, const std::string& payload, bool retain);
  // Filters subscribed now and after every reconnect.
  void AddSubscription(const std::string& filter, int qos = 1);

  // Starts the network thread and the first connection attempt; false (with a message in
  // `error`) only for settings that can never work (a TLS file that cannot be used). A broker
  // that does not answer yet is tried again and again.
  bool Start(const BrokerOptions& options, std::string& error);
  // Publishes the goodbye messages already sent, disconnects cleanly (no will) and joins the
  // network thread.
  void Stop();

  bool Publish(const std::string& topic, std::string_view payload, const PublishOptions& options);
  bool connected() const;
  const std::string& client_id() const { return client_id_; }
  // Why the last connection attempt failed; empty when it did not.
  std::string last_error() const;
  // The broker answered the last attempt with a refusal (credentials, authorisation): trying
  // again will not help until the settings change.
  bool refused() const;

 private:
  struct Callbacks;  // libmosquitto's callbacks, in the source file
  friend struct Callbacks;
  void SubscribeAll();

  std::string client_id_;
  mosquitto* handle_ = nullptr;
  MessageHandler on_message_;
  ConnectionHandler on_connection_;
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, int>> subscriptions_;
  bool connected_ = false;
  bool refused_ = false;
  bool started_ = false;
  std::string last_error_;
};

}  // namespace ctrl::fleet
