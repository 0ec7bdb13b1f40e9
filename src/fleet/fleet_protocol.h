#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace ctrl::fleet {

// Every fleet message is JSON; keys keep the order they were added in.
using Json = nlohmann::ordered_json;

// Compact text of a message. Camera texts need not be UTF-8: bytes that are not become U+FFFD
// instead of failing the message.
std::string MessageText(const Json& message);
// A message received: nothing when it is not one JSON value.
std::optional<Json> ParseMessage(std::string_view payload);

// The topics under ctrltool/v1/:
//   <station>/<camera>/state   retained: identity, model, online, link health, monitored values
//   <station>/<camera>/params  retained: every parameter in named form
//   <station>/<camera>/cmd     requests to that camera's agent
//   <station>/agent            retained: the agent itself ({"online": false} is its last will)
//   reply/<client>             where a fleet client asks its replies to go
inline constexpr std::string_view kTopicRoot = "ctrltool/v1";
inline constexpr std::string_view kStateLeaf = "state";
inline constexpr std::string_view kParamsLeaf = "params";
inline constexpr std::string_view kCommandLeaf = "cmd";
inline constexpr std::string_view kAgentLeaf = "agent";
inline constexpr std::string_view kReplyFolder = "reply";

// Station and camera names: 1 to 64 of A-Z a-z 0-9 . _ - (nothing MQTT gives a meaning to).
bool IsValidName(std::string_view name);

std::string CameraTopic(std::string_view station, std::string_view camera, std::string_view leaf);
std::string AgentTopic(std::string_view station);
std::string ReplyTopic(std::string_view client_id);
// Whether a request's response topic is one the agent may publish to: under reply/, without
// wildcards, so a request cannot make an agent write over another station's topics.
bool IsReplyTopic(std::string_view topic);

// A topic of a camera, taken apart; nothing for any other topic.
struct CameraTopicParts {
  std::string station;
  std::string camera;
  std::string leaf;
};
std::optional<CameraTopicParts> ParseCameraTopic(std::string_view topic);
// The station of ctrltool/v1/<station>/agent; nothing for any other topic.
std::optional<std::string> ParseAgentTopic(std::string_view topic);

// The operations an agent carries out; nothing else is ever run on a camera.
inline constexpr std::string_view kOperations[] = {
    "get",      "set",       "dump",      "load-settings", "save-settings",
    "userset",  "lut-read",  "lut-write", "diff"};
bool IsOperation(std::string_view op);

// Request ids: 1 to 128 printable ASCII characters.
bool IsValidRequestId(std::string_view id);

// --where station=A,camera=B,model=QX-4096*: every key must match (a key given twice: either
// value); `*` and `?` match as in file names.
class Selection {
 public:
  // False with a message for a key other than station, camera, model or serial, or a part
  // without "=".
  bool Parse(std::string_view text, std::string& error);
  bool Matches(std::string_view station, std::string_view camera, std::string_view model,
               std::string_view serial) const;

 private:
  struct Term {
    std::string key;
    std::string pattern;
  };
  std::vector<Term> terms_;
};

// `*` any run of characters, `?` one character, everything else itself.
bool GlobMatch(std::string_view pattern, std::string_view text);

}  // namespace ctrl::fleet
