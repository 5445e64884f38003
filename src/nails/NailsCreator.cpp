#include "nails/NailsCreator.h"

#include <sys/resource.h>
#include <unistd.h>

#include <optional>
#include <utility>

#include "nails/NailRecord.h"
#include "nails/NailsIndex.h"

namespace kyv {

TNailsCreator::TNailsCreator(std::string Dir, HWND Wnd) : FDir(std::move(Dir)), FWnd(Wnd) {}

void TNailsCreator::Execute() {
  // The lowest priority: on Linux a thread's nice value is its own. Failure is harmless.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 19);

  std::string dir = FDir;
  if (dir.empty() || dir.back() != '/') dir += '/';
  const std::optional<std::string> text = ReadNailsFile(dir + "nails.xml");
  if (!text) return;
  for (const TNailEntry& entry : ChooseNailEntries(SplitNailsLines(*text), dir)) {
    if (Terminated()) return;
    if (!PostNail(FWnd, entry)) return;  // the window is gone: nobody would show the rest
    FPosted.fetch_add(1);
  }
}

}  // namespace kyv
