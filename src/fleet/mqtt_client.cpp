#include "fleet/mqtt_client.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <charconv>

namespace ctrl::fleet {
namespace {

// libmosquitto wants one initialisation per process before any client exists.
void InitialiseLibraryOnce() {
  static const int initialised = [] {
    mosquitto_lib_init();
    return 0;
  }();
  (void)initialised;
}

std::string ErrorText(int rc) {
  if (rc == MOSQ_ERR_ERRNO) return "the system refused (" + std::to_string(errno) + ")";
  return mosquitto_strerror(rc);
}

}  // namespace

bool ParseBrokerUrl(std::string_view url, BrokerOptions& options, std::string& error) {
  std::string_view rest;
  bool tls = false;
  if (url.starts_with("mqtt://")) {
    rest = url.substr(7);
  } else if (url.starts_with("mqtts://")) {
    rest = url.substr(8);
    tls = true;
  } else {
    error = "The broker is given as mqtt://HOST[:PORT] or mqtts://HOST[:PORT], not \"" +
            std::string(url) + "\".";
    return false;
  }
  if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
  int port = tls ? 8883 : 1883;
  std::string_view host = rest;
  // "[::1]:1883": an IPv6 address in brackets.
  size_t colon = std::string_view::npos;
  if (rest.starts_with('[')) {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos) {
      error = "The broker's address \"" + std::string(rest) + "\" has no closing bracket.";
      return false;
    }
    host = rest.substr(1, close - 1);
    if (close + 1 < rest.size()) {
      if (rest[close + 1] != ':') {
        error = "The broker's address \"" + std::string(rest) + "\" is not HOST[:PORT].";
        return false;
      }
      colon = close + 1;
    }
  } else {
    colon = rest.rfind(':');
    if (colon != std::string_view::npos) host = rest.substr(0, colon);
  }
  if (colon != std::string_view::npos) {
    const std::string_view digits = rest.substr(colon + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc() || end != digits.data() + digits.size() || port < 1 || port > 65535) {
      error = "The broker's port \"" + std::string(digits) + "\" is not a number from 1 to 65535.";
      return false;
    }
  }
  if (host.empty() || host.find_first_of("/@? ") != std::string_view::npos) {
    error = "The broker's address \"" + std::string(rest) + "\" names no host.";
    return false;
  }
  options.host = std::string(host);
  options.port = port;
  options.tls = options.tls || tls;
  return true;
}

struct MqttClient::Callbacks {
  static void OnConnect(mosquitto*, void* self, int rc, int, const mosquitto_property*) {
    auto* client = static_cast<MqttClient*>(self);
    {
      std::lock_guard lock(client->mutex_);
      client->connected_ = rc == 0;
      client->refused_ = rc != 0;
      client->last_error_ =
          rc == 0 ? "" : std::string("the broker refused the connection: ") + mosquitto_reason_string(rc);
    }
    if (rc != 0) {
      if (client->on_connection_) client->on_connection_(false);
      return;
    }
    client->SubscribeAll();
    if (client->on_connection_) client->on_connection_(true);
  }

  static void OnDisconnect(mosquitto*, void* self, int rc, const mosquitto_property*) {
    auto* client = static_cast<MqttClient*>(self);
    {
      std::lock_guard lock(client->mutex_);
      client->connected_ = false;
      // After a refusal the broker closes the connection: the refusal is the reason.
      if (rc != 0 && !client->refused_) client->last_error_ = "the broker's connection was lost";
    }
    if (client->on_connection_) client->on_connection_(false);
  }

  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message,
                        const mosquitto_property* properties) {
    auto* client = static_cast<MqttClient*>(self);
    if (!client->on_message_ || message->topic == nullptr) return;
    MqttMessage received;
    received.topic = message->topic;
    if (message->payload != nullptr && message->payloadlen > 0) {
      received.payload.assign(static_cast<const char*>(message->payload),
                              static_cast<size_t>(message->payloadlen));
    }
    received.retained = message->retain;
    char* response_topic = nullptr;
    if (mosquitto_property_read_string(properties, MQTT_PROP_RESPONSE_TOPIC, &response_topic,
                                       false) != nullptr &&
        response_topic != nullptr) {
      received.response_topic = response_topic;
      free(response_topic);  // NOLINT: allocated by libmosquitto
    }
    void* correlation = nullptr;
    uint16_t correlation_length = 0;
    if (mosquitto_property_read_binary(properties, MQTT_PROP_CORRELATION_DATA, &correlation,
                                       &correlation_length, false) != nullptr &&
        correlation != nullptr) {
      received.correlation_data.assign(static_cast<const char*>(correlation), correlation_length);
      free(correlation);  // NOLINT: allocated by libmosquitto
    }
    client->on_message_(received);
  }
};

MqttClient::MqttClient(std::string client_id) : client_id_(std::move(client_id)) {
  InitialiseLibraryOnce();
  handle_ = mosquitto_new(client_id_.c_str(), /*clean_session=*/true, this);
  if (handle_ == nullptr) return;
  mosquitto_int_option(handle_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  mosquitto_connect_v5_callback_set(handle_, &Callbacks::OnConnect);
  mosquitto_disconnect_v5_callback_set(handle_, &Callbacks::OnDisconnect);
  mosquitto_message_v5_callback_set(handle_, &Callbacks::OnMessage);
  // A broker that went away is tried again after 0.5 s, then up to every 5 s.
  mosquitto_reconnect_delay_set(handle_, 1, 5, true);
}

MqttClient::~MqttClient() {
  Stop();
  if (handle_ != nullptr) mosquitto_destroy(handle_);
}

void MqttClient::SetWill(const std::string& topic, const std::string& payload, bool retain) {
  if (handle_ == nullptr) return;
  mosquitto_will_set_v5(handle_, topic.c_str(), static_cast<int>(payload.size()), payload.data(),
                        1, retain, nullptr);
}

void MqttClient::AddSubscription(const std::string& filter, int qos) {
  bool now = false;
  {
    std::lock_guard lock(mutex_);
    subscriptions_.emplace_back(filter, qos);
    now = connected_;
  }
  if (now) mosquitto_subscribe_v5(handle_, nullptr, filter.c_str(), qos, 0, nullptr);
}

void MqttClient::SubscribeAll() {
  std::vector<std::pair<std::string, int>> filters;
  {
    std::lock_guard lock(mutex_);
    filters = subscriptions_;
  }
  for (const auto& [filter, qos] : filters) {
    mosquitto_subscribe_v5(handle_, nullptr, filter.c_str(), qos, 0, nullptr);
  }
}

bool MqttClient::Start(const BrokerOptions& options, std::string& error) {
  if (handle_ == nullptr) {
    error = "The MQTT client could not be created.";
    return false;
  }
  if (!options.username.empty()) {
    mosquitto_username_pw_set(handle_, options.username.c_str(),
                              options.password.empty() ? nullptr : options.password.c_str());
  }
  if (options.tls || !options.ca_file.empty() || !options.cert_file.empty()) {
    int rc = MOSQ_ERR_SUCCESS;
    if (options.ca_file.empty()) {
      rc = mosquitto_int_option(handle_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
    }
    if (rc == MOSQ_ERR_SUCCESS) {
      rc = mosquitto_tls_set(handle_, options.ca_file.empty() ? nullptr : options.ca_file.c_str(),
                             nullptr,
                             options.cert_file.empty() ? nullptr : options.cert_file.c_str(),
                             options.key_file.empty() ? nullptr : options.key_file.c_str(),
                             nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
      error = "TLS could not be set up (CA \"" + options.ca_file + "\", certificate \"" +
              options.cert_file + "\"): " + ErrorText(rc) + ".";
      return false;
    }
  }
  // The network thread first: it then keeps trying a broker that is not there yet, the first
  // attempt included.
  if (mosquitto_loop_start(handle_) != MOSQ_ERR_SUCCESS) {
    error = "The MQTT client's network thread could not start.";
    return false;
  }
  const int rc = mosquitto_connect_async(handle_, options.host.c_str(), options.port,
                                         options.keepalive_seconds);
  if (rc != MOSQ_ERR_SUCCESS) {
    std::lock_guard lock(mutex_);
    last_error_ = ErrorText(rc);
  }
  started_ = true;
  return true;
}

void MqttClient::Stop() {
  if (!started_) return;
  started_ = false;
  mosquitto_disconnect_v5(handle_, 0, nullptr);
  mosquitto_loop_stop(handle_, false);
}

bool MqttClient::Publish(const std::string& topic, std::string_view payload,
                         const PublishOptions& options) {
  if (handle_ == nullptr) return false;
  mosquitto_property* properties = nullptr;
  if (!options.response_topic.empty()) {
    mosquitto_property_add_string(&properties, MQTT_PROP_RESPONSE_TOPIC,
                                  options.response_topic.c_str());
  }
  if (options.has_correlation) {
    mosquitto_property_add_binary(&properties, MQTT_PROP_CORRELATION_DATA,
                                  options.correlation_data.data(),
                                  static_cast<uint16_t>(options.correlation_data.size()));
  }
  const int rc = mosquitto_publish_v5(handle_, nullptr, topic.c_str(),
                                      static_cast<int>(payload.size()), payload.data(),
                                      options.qos, options.retain, properties);
  mosquitto_property_free_all(&properties);
  return rc == MOSQ_ERR_SUCCESS;
}

bool MqttClient::connected() const {
  std::lock_guard lock(mutex_);
  return connected_;
}

bool MqttClient::refused() const {
  std::lock_guard lock(mutex_);
  return refused_;
}

std::string MqttClient::last_error() const {
  std::lock_guard lock(mutex_);
  return last_error_;
}

}  // namespace ctrl::fleet
