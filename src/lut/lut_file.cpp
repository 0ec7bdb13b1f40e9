#include "lut/lut_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string_view>

#include "camera/notifier.h"

namespace ctrl {
namespace {

// Lines are read with a 127-byte buffer: at most 126 characters per piece.
constexpr size_t kMaxPieceLength = 126;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

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

// A fresh file beside `target`, created exclusively so no other file is ever overwritten.
FilePtr CreateTemporaryBeside(const std::filesystem::path& target, std::filesystem::path& created) {
  std::random_device entropy;
  for (int attempt = 0; attempt < 8; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(entropy()));
    std::filesystem::path candidate = target;
    candidate += suffix;
    if (std::FILE* file = std::fopen(candidate.string().c_str(), "wbx")) {
      created = candidate;
      return FilePtr(file);
    }
  }
  return nullptr;
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

// Splits the file into the pieces a line-by-line read with the fixed buffer delivers. CR LF
// counts as one line end.
class PieceReader {
 public:
  explicit PieceReader(std::string text) : text_(std::move(text)) {
    std::string normalised;
    normalised.reserve(text_.size());
    for (size_t i = 0; i < text_.size(); ++i) {
      if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') continue;
      normalised += text_[i];
    }
    text_ = std::move(normalised);
  }

  bool Next(std::string_view& piece) {
    if (position_ >= text_.size()) return false;
    const size_t limit = std::min(text_.size(), position_ + kMaxPieceLength);
    const size_t line_end = text_.find('\n', position_);
    const size_t end = line_end != std::string::npos && line_end < limit ? line_end + 1 : limit;
    piece = std::string_view(text_).substr(position_, end - position_);
    position_ = end;
    return true;
  }

 private:
  std::string text_;
  size_t position_ = 0;
};

bool ReadWholeFile(std::FILE* file, std::string& text) {
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  return std::ferror(file) == 0;
}

}  // namespace

bool WriteLutFile(const std::string& path, const LutBank& bank, ModelKind kind) {
  const std::filesystem::path target(path);
  std::filesystem::path temporary;
  FilePtr file = CreateTemporaryBeside(target, temporary);
  if (!file) {
    ShowFileError(path, "\nCouldn't open this file");
    return false;
  }
  const std::string text = LutFileText(bank, IsMonochromeKind(kind));
  bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
  written = std::fflush(file.get()) == 0 && written;
  written = std::fclose(file.release()) == 0 && written;
  std::error_code error;
  if (written) std::filesystem::rename(temporary, target, error);
  if (!written || error) {
    std::filesystem::remove(temporary, error);
    ShowFileError(path, "\nCouldn't write this file");
    return false;
  }
  return true;
}

bool ReadLutFile(const std::string& path, LutBank& bank, ModelKind kind, int* data_lines) {
  if (data_lines != nullptr) *data_lines = 0;
  std::string content;
  {
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file || !ReadWholeFile(file.get(), content)) {
      ShowFileError(path, "\nCouldn't open this file");
      return false;
    }
  }
  const bool monochrome = IsMonochromeKind(kind);
  const int first_column = monochrome ? kGreenLut : kRedLut;
  PieceReader reader(std::move(content));
  std::string_view piece;
  reader.Next(piece);  // the header, whatever it says

  bool value_reported = false;
  for (int line = 0; reader.Next(piece); ++line) {
    std::array<std::string_view, kLutTableCount> fields{};
    int column = first_column;
    int commas = 0;
    size_t field_start = 0;
    for (size_t i = 0; i <= piece.size(); ++i) {
      if (i < piece.size() && piece[i] != ',') continue;
      fields[column] = piece.substr(field_start, i - field_start);
      if (i == piece.size()) break;
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
  for (int table = 0; table < kLutTableCount; ++table) {
    bank.SetModeAndRedraw(table, LutMode::kView);
  }
  return true;
}

}  // namespace ctrl
