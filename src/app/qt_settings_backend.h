#pragma once

#include <QString>

#include "app/settings_backend.h"

namespace ctrl {

// The persisted values in the user's QSettings store of the product. Every call opens the store,
// does its one query or set and closes it again, like the registry back end.
class QtSettingsBackend final : public SettingsBackend {
 public:
  static constexpr const char* kOrganization = "Ornvik";
  static constexpr const char* kApplication = "QX-4096M_TR-PCL QX-8192M-PCL Control Tool";

  QtSettingsBackend();
  QtSettingsBackend(QString organization, QString application);

  // A stored text counts as an integer when it is a whole unsigned decimal number: the file
  // format keeps no types, so "3" written by hand reads like 3 written by the tool.
  bool GetInt(const std::string& name, uint32_t* value) const override;
  bool GetString(const std::string& name, std::string* value) const override;
  bool SetInt(const std::string& name, uint32_t value) override;
  bool SetString(const std::string& name, const std::string& value) override;

 private:
  QString organization_;
  QString application_;
};

}  // namespace ctrl
