#pragma once

#include <string>

#include "camera/device_model.h"
#include "lut/lut_editor.h"

namespace ctrl {

// The LUT file: a header line ("GammaData", or "GammaData (R G B)" for a colour camera) and one
// line per input level 0..4095 with the green table alone (monochrome) or red, green and blue
// separated by commas. Lines end with LF.
//
// Writes the file from what the tables hold. The new content goes to a temporary file beside the
// target, which replaces the target only when everything was written, so a failed save leaves
// an existing file intact (see AtomicFileWriter for links, non-regular and read-only targets).
// Reports a failure to the operator and returns false.
bool WriteLutFile(const std::string& path, const LutBank& bank, ModelKind kind);

// Whether WriteLutFile could replace this path now; reports the "Couldn't open this file"
// message when not. For checking before a long camera transfer.
bool CanWriteLutFile(const std::string& path);

// Loads the file into the tables. Any first line is accepted; lines end with LF or CR LF and are
// read in pieces of at most 126 characters, each piece handled as a line. Each field is read as a
// number: a value above 4095 is stored as 4095, a negative one as 0 and a fractional one rounded;
// the first such value of a file is reported. A line with too many columns (or, on a colour
// camera, not exactly three), or more than 4096 data lines, stops the load with a message and
// false; the entries stored up to then stay. On success all tables switch to View Mode. Only a
// regular file of at most 16 MiB is read, piece by piece. `data_lines`, when given, receives the
// number of data lines stored: entries from there on were not in the file and keep their values.
bool ReadLutFile(const std::string& path, LutBank& bank, ModelKind kind, int* data_lines = nullptr);

}  // namespace ctrl
