#pragma once

#include "app/registry_settings.h"
#include "transport/com_port_map.h"
#include "transport/comm_channel.h"

namespace ctrl {

// The connection's persisted values. The transports only ever see the plain values; reading
// and writing them is the application's business.

// The stored category and port indices; the rate is always the default one, whatever was
// stored. A first run (nothing stored) gives ChannelChoice{}.
ChannelChoice ReadChannelChoice(const RegistrySettings& settings);
// Category, baud rate and the four port indices, in this order (normal exit).
void WriteChannelChoice(const ChannelChoice& choice, RegistrySettings& settings);

// After a run that did not end normally the stored category is not trusted: the connection
// falls back to the COM port (and that choice is what the next normal exit saves).
void ApplyPreviousRunCheck(const RegistrySettings& settings, CommChannel& channel);
// The category a run keeps after that check.
PortCategory CategoryAfterPreviousRunCheck(const RegistrySettings& settings, PortCategory stored);

// Fills the COM port map from the settings' Ports/COM1..Ports/COM16 entries.
void LoadComPortMap(const RegistrySettings& settings, ComPortMap& map);

}  // namespace ctrl
