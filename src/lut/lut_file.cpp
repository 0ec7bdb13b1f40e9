#include "lut/lut_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <utility>

#include "camera/notifier.h"
#include "files/atomic_file.h"
#include "files/bounded_read.h"

namespace ctrl {
namespace {

// Lines are read with a 127-byte buffer: at most 126 characters per piece.
constexpr size_t kMaxPieceLength = 126;

void ShowFileError(const std::string& path, const char* what) {
  CurrentNotifier().ShowMessage(path + what, "", MessageIcon::Error);
}

void ShowReadError(const std::string& text) {
  CurrentNotifier().ShowMessage(text, "", MessageIcon::Error);
}

std::string LutFileText(const LutBank& bank, bool monochrome) {
  std::string text;
  text.reserve(kLutEntryCount * 16);
  char line[64];
  text += monochrome ? "GammaData\n" : "GammaData (R G B)\n";
  for (int i = 0; i < kLutEntryCount; ++i) {
    if (monochrome) {
      std::snprintf(line, sizeof line, "%d\n", bank.table(kGreenLut)[i]);
    } else {
      std::snprintf(line, sizeof line, "%d,%d,%d\n", bank.table(kRedLut)[i],
                    bank.table(kGreenLut)[i], bank.table(kBlueLut)[i]);
    }
    text += line;
  }
  return text;
}

// One field read as a number. Signs and a decimal point count only where a number has them;
// every other character is skipped as before, so "1 2" still reads as 12.
struct FieldValue {
  int64_t value = 0;  // rounded half away from zero, saturated to the 32-bit range
  bool fractional = false;
};

FieldValue ParseField(std::string_view text) {
  constexpr int64_t kSaturation = INT32_MAX;
  bool negative = false;
  bool seen_digit = false;
  bool seen_sign = false;
  bool seen_point = false;
  bool round_up = false;
  int fraction_digits = 0;
  FieldValue field;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      const int digit = c - '0';
      if (!seen_point) {
        magnitude = std::min(magnitude * 10 + digit, kSaturation);
      } else {
        if (fraction_digits == 0) round_up = digit >= 5;
        if (digit != 0) field.fractional = true;
        ++fraction_digits;
      }
      seen_digit = true;
    } else if ((c == '-' || c == '+') && !seen_digit && !seen_point && !seen_sign) {
      negative = c == '-';
      seen_sign = true;
    } else if (c == '.' && !seen_point) {
      seen_point = true;
    }
  }
  if (round_up) magnitude = std::min(magnitude + 1, kSaturation);
  field.value = negative ? -magnitude : magnitude;
  return field;
}

}  // namespace

bool WriteLutFile(const std::string& path, const LutBank& bank, ModelKind kind) {
  AtomicFileWriter file;
  if (!file.Open(path)) {
    ShowFileError(path, "\nCouldn't open this file");
    return false;
  }
  file.Write(LutFileText(bank, IsMonochromeKind(kind)));
  if (!file.Commit()) {
    ShowFileError(path, "\nCouldn't write this file");
    return false;
  }
  return true;
}

bool CanWriteLutFile(const std::string& path) {
  if (CanReplaceFile(path)) return true;
  ShowFileError(path, "\nCouldn't open this file");
  return false;
}

bool ReadLutFile(const std::string& path, LutBank& bank, ModelKind kind, int* data_lines) {
  if (data_lines != nullptr) *data_lines = 0;
  FileForReading opened = OpenRegularFileForReading(path, kMaxReadFileBytes);
  if (opened.result != ReadOpenResult::kOpened) {
    ShowFileError(path, opened.result == ReadOpenResult::kTooLarge
                            ? "\nThis file is too large to be a LUT file."
                            : "\nCouldn't open this file");
    return false;
  }
  const bool monochrome = IsMonochromeKind(kind);
  const int first_column = monochrome ? kGreenLut : kRedLut;
  PieceReader reader(std::move(opened.file), kMaxPieceLength, true);
  std::string piece;
  reader.Next(piece);  // the header, whatever it says

  bool value_reported = false;
  for (int line = 0; reader.Next(piece); ++line) {
    const std::string_view text(piece);
    std::array<std::string_view, kLutTableCount> fields{};
    int column = first_column;
    int commas = 0;
    size_t field_start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
      if (i < text.size() && text[i] != ',') continue;
      fields[column] = text.substr(field_start, i - field_start);
      if (i == text.size()) break;
      if (column == kBlueLut) {
        ShowReadError("Invalid data count format");
        return false;
      }
      ++column;
      ++commas;
      field_start = i + 1;
    }
    if (!monochrome && commas != 2) {
      ShowReadError("Invalid line format");
      return false;
    }
    if (line >= kLutEntryCount) {
      ShowReadError("Too many data");
      return false;
    }
    for (int table = 0; table < kLutTableCount; ++table) {
      const FieldValue field = ParseField(fields[table]);
      const int32_t stored = ClampLutLevel(field.value);
      if ((field.fractional || stored != field.value) && !value_reported) {
        char message[96];
        std::snprintf(message, sizeof message, "Invalid data value: Line(%d) : Value(%d)", line,
                      static_cast<int>(field.value));
        ShowReadError(message);
        value_reported = true;
      }
      bank.table(table)[line] = stored;
    }
    if (data_lines != nullptr) *data_lines = line + 1;
  }
  if (reader.failed()) {
    ShowFileError(path, "\nCouldn't open this file");
    return false;
  }
  for (int table = 0; table < kLutTableCount; ++table) {
    bank.SetModeAndRedraw(table, LutMode::kView);
  }
  return true;
}

}  // namespace ctrl
