// A frame-grabber vendor's serial library (one file per grabber, clser*.so): every port
// serves a simulated camera. See sim_serial.h for the environment variables.
#include "sim_serial.h"

using namespace ctrl::sim::clserial;

#include "vendor_exports.inc"
