#pragma once

#include <string>
#include <vector>

#include "camera/baud_rates.h"
#include "camera/command_engine.h"

namespace ctrl {

// The PC side of the serial line's rate: a COM port or a Camera Link library port.
class LineRateControl {
 public:
  virtual ~LineRateControl() = default;
  virtual int LineRate() const = 0;
  // Switches the PC side to `rate`; false when the port refuses it (the port keeps its rate).
  virtual bool SetLineRate(int rate) = 0;
  // The rates this port can use, slowest first.
  virtual std::vector<int> SupportedRates() const;
};

// What a model check that may change the line's rate found.
struct RateDetection {
  bool answered = false;  // some rate brought the model name
  int rate = 0;           // the line's rate now
  bool changed = false;   // the camera answered at another rate than the line started with
  std::string message;    // for the operator when the rate changed or nothing answered
};

// The model check at the line's rate and, when the camera stays silent there, at each other
// rate the port supports: at most one model-name time-out per rate. The first rate the camera
// answers at stays; when none does, the line returns to its starting rate. A lost line is not
// a rate problem: nothing else is tried.
RateDetection DetectCameraRate(Command& engine, LineRateControl& line,
                               bool report_unsupported = true);

// The camera's Baud Rate register code of a rate; 0 for a rate outside the family's table.
uint32_t BaudRateCode(int rate);
// The rate of a register code; 0 for a code outside the table.
int RateOfBaudRateCode(int32_t code);

// The camera confirmed a new Baud Rate (its reply still came at `old_rate`): the PC side
// follows and checks the model there. When that fails, the PC side goes back to `old_rate`
// and checks again. True when the line works at `new_rate`; `message` says what happened.
bool FollowCameraRate(Command& engine, LineRateControl& line, int old_rate, int new_rate,
                      std::string& message);

// Writes the camera's Baud Rate register and, when the camera confirms, follows on the PC
// side. A refused write changes nothing.
bool ChangeCameraRate(Command& engine, LineRateControl& line, int new_rate, std::string& message);

// Long transfers at the fastest rate the port supports: Raise() moves both sides up, Restore()
// (also run by the destructor) brings both back to the rate the line had before. Each step
// checks the model at its new rate and steps back when the camera does not answer.
class FastLink {
 public:
  FastLink(Command& engine, LineRateControl& line);
  ~FastLink();
  FastLink(const FastLink&) = delete;
  FastLink& operator=(const FastLink&) = delete;

  // True when the line now runs at the fastest rate (also when it already did).
  bool Raise(std::string& message);
  // True when both sides are back at the starting rate (or were never moved).
  bool Restore(std::string& message);
  bool raised() const { return raised_; }
  int starting_rate() const { return starting_rate_; }

 private:
  Command& engine_;
  LineRateControl& line_;
  int starting_rate_;
  bool raised_ = false;
};

}  // namespace ctrl
