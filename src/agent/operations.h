#pragma once

#include <string>

#include "camera/command_engine.h"
#include "camera/link_rate.h"
#include "camera/parameter_database.h"
#include "fleet/fleet_protocol.h"

namespace ctrl::agent {

using fleet::Json;

// The camera an operation runs on: its engine, its own copy of the parameter database (each
// camera of the agent has one) and the PC side's line rate, where the link has one.
struct CameraContext {
  Command& engine;
  ParameterDatabase& database;
  LineRateControl* line_rate = nullptr;
};

// Largest file content a request may carry (settings files are a few kilobytes, a LUT file
// with three tables about 100 KiB).
inline constexpr size_t kMaxRequestContent = 4 * 1024 * 1024;

// Checks a request before any camera is touched: an object with a valid "id", a known "op" and
// exactly that operation's arguments. Empty when it is sound, else why not.
std::string CheckRequest(const Json& request);

// Runs a checked request on the camera (whose model is known). The reply's body: "ok", "error"
// (null on success) and what the operation gives back. What the core says on the way goes to
// the thread's notifier.
Json RunOperation(CameraContext& camera, const Json& request);

// Every readable parameter of the database's rows that `read_rows` lists, in named form:
// {"Exposure Time": {"address": "0x…", "value": 4000, "text": "50.0000us"}, …}.
Json NamedParameters(const CameraContext& camera, const std::vector<int>& read_rows);

// Whether an operation may have changed the camera's parameters (they are read again after it).
bool MayChangeParameters(const Json& request);

}  // namespace ctrl::agent
