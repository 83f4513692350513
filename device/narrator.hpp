// What a device operation tells as it goes, for the command to show or not:
// the messages for a debug dump, what each step of the handshake learnt for
// the verbose report, a long message's progress. Everything is called on
// the command's thread, in the order it happens.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/protocol/device_records.hpp"
#include "device/protocol/messages.hpp"

namespace quave {

// A step of the handshake; `module` and `slot` say which one the answer was
// about, `empty` that it carried no data. The facts are in DeviceInfo.
struct HandshakeStep {
  enum Kind {
    identified,        // the search reply: model and system version
    api_version,       // the API version reply
    modules_asked,     // before the first module info request
    module_answered,   // one ModuleInfoReply
    modules_answered,  // after the last one
    slots_asked,       // before the first slot status request
    module_slots,      // before slot 0 of a module that has slots
    slot_answered,     // one SlotStatusReply
    slots_answered,    // after the last one
  } kind;
  unsigned module = 0;
  unsigned slot = 0;
  bool empty = false;
};

class Narrator {
 public:
  virtual ~Narrator() = default;
  // Every request just before it goes.
  virtual void sent(const Message&) {}
  // A reply taken as the answer (or as a device error) to the request under
  // way, and a message that came while nothing was asked.
  virtual void taken(const Message&) {}
  // A StatusReply whose status byte means nothing for the request.
  virtual void unrecognised_status(uint8_t) {}
  virtual void step(const HandshakeStep&, const DeviceInfo&) {}
  // A long message on its way: bytes handed to the link so far, of `total`.
  virtual void sending(size_t, size_t) {}
};

}  // namespace quave
