#include "fleet/fleet_protocol.h"

#include <algorithm>

namespace ctrl::fleet {

std::string MessageText(const Json& message) {
  return message.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<Json> ParseMessage(std::string_view payload) {
  Json message = Json::parse(payload.begin(), payload.end(), nullptr, /*allow_exceptions=*/false);
  if (message.is_discarded()) return std::nullopt;
  return message;
}

bool IsValidName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-';
  });
}

std::string CameraTopic(std::string_view station, std::string_view camera, std::string_view leaf) {
  std::string topic(kTopicRoot);
  topic.append("/").append(station).append("/").append(camera).append("/").append(leaf);
  return topic;
}

std::string AgentTopic(std::string_view station) {
  std::string topic(kTopicRoot);
  topic.append("/").append(station).append("/").append(kAgentLeaf);
  return topic;
}

std::string ReplyTopic(std::string_view client_id) {
  std::string topic(kTopicRoot);
  topic.append("/").append(kReplyFolder).append("/").append(client_id);
  return topic;
}

bool IsReplyTopic(std::string_view topic) {
  const std::string prefix = std::string(kTopicRoot) + "/" + std::string(kReplyFolder) + "/";
  if (!topic.starts_with(prefix) || topic.size() == prefix.size() || topic.size() > 256) {
    return false;
  }
  return topic.find_first_of("+#", prefix.size()) == std::string_view::npos &&
         topic.find('\0') == std::string_view::npos;
}

namespace {

// The parts of a topic below the root; nothing when it is not under it.
std::optional<std::vector<std::string_view>> PartsBelowRoot(std::string_view topic) {
  const std::string prefix = std::string(kTopicRoot) + "/";
  if (!topic.starts_with(prefix)) return std::nullopt;
  topic.remove_prefix(prefix.size());
  std::vector<std::string_view> parts;
  while (true) {
    const size_t slash = topic.find('/');
    parts.push_back(topic.substr(0, slash));
    if (slash == std::string_view::npos) break;
    topic.remove_prefix(slash + 1);
  }
  return parts;
}

}  // namespace

std::optional<CameraTopicParts> ParseCameraTopic(std::string_view topic) {
  const auto parts = PartsBelowRoot(topic);
  if (!parts || parts->size() != 3) return std::nullopt;
  if (!IsValidName((*parts)[0]) || !IsValidName((*parts)[1])) return std::nullopt;
  return CameraTopicParts{std::string((*parts)[0]), std::string((*parts)[1]),
                          std::string((*parts)[2])};
}

std::optional<std::string> ParseAgentTopic(std::string_view topic) {
  const auto parts = PartsBelowRoot(topic);
  if (!parts || parts->size() != 2 || (*parts)[1] != kAgentLeaf) return std::nullopt;
  if (!IsValidName((*parts)[0])) return std::nullopt;
  return std::string((*parts)[0]);
}

bool IsOperation(std::string_view op) {
  return std::find(std::begin(kOperations), std::end(kOperations), op) != std::end(kOperations);
}

bool IsValidRequestId(std::string_view id) {
  if (id.empty() || id.size() > 128) return false;
  return std::all_of(id.begin(), id.end(), [](char c) { return c > ' ' && c < 0x7f; });
}

bool GlobMatch(std::string_view pattern, std::string_view text) {
  // Iterative match with one backtrack point: the last `*` seen.
  size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool Selection::Parse(std::string_view text, std::string& error) {
  terms_.clear();
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view part = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (part.empty()) continue;
    const size_t equals = part.find('=');
    if (equals == std::string_view::npos) {
      error = "\"" + std::string(part) + "\" is not KEY=VALUE (keys: station, camera, model, serial).";
      return false;
    }
    Term term{std::string(part.substr(0, equals)), std::string(part.substr(equals + 1))};
    if (term.key != "station" && term.key != "camera" && term.key != "model" &&
        term.key != "serial") {
      error = "\"" + term.key + "\" is not a key of --where (station, camera, model, serial).";
      return false;
    }
    terms_.push_back(std::move(term));
  }
  return true;
}

bool Selection::Matches(std::string_view station, std::string_view camera, std::string_view model,
                        std::string_view serial) const {
  for (const char* key : {"station", "camera", "model", "serial"}) {
    const std::string_view value = std::string_view(key) == "station"  ? station
                                   : std::string_view(key) == "camera" ? camera
                                   : std::string_view(key) == "model"  ? model
                                                                       : serial;
    bool keyed = false;
    bool matched = false;
    for (const Term& term : terms_) {
      if (term.key != key) continue;
      keyed = true;
      matched = matched || GlobMatch(term.pattern, value);
    }
    if (keyed && !matched) return false;
  }
  return true;
}

}  // namespace ctrl::fleet
