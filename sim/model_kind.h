#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ctrl::sim {

// The three camera families; they decide which registers exist.
enum class ModelKind { Mono = 0, Color = 1, WideMono = 2 };

// The supported model names, in the order the tool checks them.
const std::vector<std::string>& ModelNames();

// Kind of a supported model name (exact, case-sensitive), nothing for any other name.
std::optional<ModelKind> KindOfModel(std::string_view name);

}  // namespace ctrl::sim
