#pragma once

#include <string_view>

namespace ctrl {

// What the command engine needs of the connection: send a request, receive reply bytes with a
// time-out. CommChannel implements it over the serial transports; the simulator offers an
// in-process implementation.
class ByteChannel {
 public:
  virtual ~ByteChannel() = default;
  // Sends all bytes. The engine does not look at the outcome; a lost request shows up as a
  // missing reply.
  virtual bool Write(std::string_view bytes) = 0;
  // Delivers up to `length` received bytes; returns once `length` bytes are delivered or
  // `timeout_ms` has passed, with the count (0 when nothing came, also when no port is open).
  // Implementations wait for data instead of spinning: a read of one byte returns as soon as
  // that byte is in.
  virtual int Read(char* buffer, int length, int timeout_ms) = 0;
  // Drops every received byte that has not been read yet.
  virtual void DiscardInput() = 0;
  // True when the line is known to be gone (the far end hung up, the device went away, the
  // library keeps failing): nothing more will arrive until the port is opened again.
  virtual bool LineLost() const { return false; }
};

}  // namespace ctrl
