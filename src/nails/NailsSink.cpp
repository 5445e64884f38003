#include "nails/NailsSink.h"

#include <memory>

#include "nails/NailRecord.h"
#include "context/UserMessages.h"

namespace kyv {

bool PostLoadNails(HWND Wnd, const std::string& Dir) {
  auto folder = std::make_unique<std::string>(Dir);
  if (!PostMessage(Wnd, UM_LOAD_NAILS, reinterpret_cast<WPARAM>(folder.get()), 0)) return false;
  folder.release();  // the window's thread owns it now
  return true;
}

void DeliverLoadNails(const TMessage& Message, TNailsSink& Sink) {
  const std::unique_ptr<std::string> folder(reinterpret_cast<std::string*>(Message.WParam));
  Sink.LoadNails(*folder);
}

void DiscardNailsMessages(TMessageQueue& Queue) {
  TMessage message;
  while (Queue.Peek(message, UM_NAIL, UM_NAIL)) TakeNailRecord(message);
  while (Queue.Peek(message, UM_LOAD_NAILS, UM_LOAD_NAILS))
    std::unique_ptr<std::string>(reinterpret_cast<std::string*>(message.WParam));
}

}  // namespace kyv
