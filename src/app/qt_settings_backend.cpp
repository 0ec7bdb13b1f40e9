#include "app/qt_settings_backend.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace ctrl {
namespace {

QString Key(const std::string& name) {
  return QString::fromStdString(name);
}

// The stored value, or an invalid variant when the store cannot be read or written or has no such
// value. A read-only file is not read: the run goes on the defaults.
QVariant Lookup(const QString& organization, const QString& application, const std::string& name) {
  QSettings store(QSettings::UserScope, organization, application);
  if (store.status() != QSettings::NoError || !store.isWritable()) return {};
  return store.value(Key(name));
}

QString AsText(const QVariant& value) {
  // The file format reads an unquoted text with commas back as a list.
  if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(", ");
  return value.toString();
}

bool Store(const QString& organization, const QString& application, const std::string& name,
           const QVariant& value) {
  QSettings store(QSettings::UserScope, organization, application);
  if (store.status() != QSettings::NoError || !store.isWritable()) return false;
  store.setValue(Key(name), value);
  store.sync();
  return store.status() == QSettings::NoError;
}

}  // namespace

QtSettingsBackend::QtSettingsBackend() : QtSettingsBackend(kOrganization, kApplication) {}

QtSettingsBackend::QtSettingsBackend(QString organization, QString application)
    : organization_(std::move(organization)), application_(std::move(application)) {}

bool QtSettingsBackend::GetInt(const std::string& name, uint32_t* value) const {
  const QVariant stored = Lookup(organization_, application_, name);
  if (!stored.isValid()) return false;
  bool whole_number = false;
  const uint number = AsText(stored).trimmed().toUInt(&whole_number, 10);
  if (!whole_number) return false;
  *value = number;
  return true;
}

bool QtSettingsBackend::GetString(const std::string& name, std::string* value) const {
  const QVariant stored = Lookup(organization_, application_, name);
  if (!stored.isValid()) return false;
  *value = AsText(stored).toStdString();
  return true;
}

bool QtSettingsBackend::SetInt(const std::string& name, uint32_t value) {
  return Store(organization_, application_, name, QVariant::fromValue(value));
}

bool QtSettingsBackend::SetString(const std::string& name, const std::string& value) {
  return Store(organization_, application_, name, QString::fromStdString(value));
}

}  // namespace ctrl
