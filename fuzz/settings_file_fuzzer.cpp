// The camera settings file reader, fed any file, sending what it accepts to an in-process
// simulated camera.
#include <cstdint>
#include <string_view>

#include "camera/bulk_read.h"
#include "camera/clock.h"
#include "camera/command_engine.h"
#include "camera/command_table.h"
#include "camera/online_status.h"
#include "camera/parameter_database.h"
#include "files/camera_settings_file.h"
#include "fuzz_support.h"
#include "sim/camera_model.h"
#include "sim/front_end.h"
#include "sim/in_process_channel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ctrl;
  fuzz::InstallQuietNotifier();
  if (size < 1) return 0;
  // The first byte picks the model and the factory mode; the rest is the file.
  static const char* const kModels[] = {"QX-4096M-PCL", "QX-4096TR-PCL", "QX-8192M-PCL"};
  const char* model_name = kModels[data[0] % 3];
  const int factory_mode = (data[0] >> 2) & 1;
  if (!fuzz::WriteScratch(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1))) {
    return 0;
  }

  // Building a camera costs more than the load itself: start each input from a copy of a
  // fresh one, and identify it once.
  static sim::CameraModel fresh[3] = {sim::CameraModel(kModels[0]), sim::CameraModel(kModels[1]),
                                      sim::CameraModel(kModels[2])};
  static DeviceModel identified[3] = {};
  FakeClock clock;
  static sim::CameraModel camera;
  camera = fresh[data[0] % 3];
  sim::CameraFrontEnd front_end(camera);
  sim::InProcessChannel channel(front_end, clock);
  CommandTable table;
  OnlineStatusPublisher status;
  Command engine(channel, clock, table, status);
  DeviceModel& known = identified[data[0] % 3];
  if (known.name.empty()) {
    FUZZ_CHECK(engine.CheckModel());
    FUZZ_CHECK(engine.device().name == model_name);
    known = engine.device();
  }
  engine.device() = known;
  if (engine.device().IsWideMono()) table.ApplyWideModelOverride();
  ParameterDatabase db;

  SettingsFileContext context{engine, db, factory_mode, [] { return 0; }, nullptr, nullptr};
  SettingsLoadReport report;
  FUZZ_CHECK(ReadCameraSettingFile(fuzz::ScratchPath(), context, &report));
  FUZZ_CHECK(report.refused >= 0 && report.refused <= report.sent);
  FUZZ_CHECK(report.sent <= report.lines);
  // A piece holds at most 255 characters and every byte lands in one.
  FUZZ_CHECK(report.lines >= static_cast<int>((size - 1 + 254) / 255));
  for (const ParameterRow& row : db.rows()) FUZZ_CHECK(!row.pending());
  return 0;
}
