#pragma once

#include <deque>
#include <vector>

#include "lut/lut_flows.h"

namespace ctrl::test {

// Stands in for the windows: answers the LUT commands' questions from a queue (default "No")
// and keeps every question asked.
class OperatorAnswers {
 public:
  AskOperator Asker() {
    return [this](const LutMessage& question) {
      questions.push_back(question);
      if (answers.empty()) return false;
      const bool answer = answers.front();
      answers.pop_front();
      return answer;
    };
  }

  std::vector<LutMessage> questions;
  std::deque<bool> answers;
};

}  // namespace ctrl::test
