#include "process/PrintPreview.h"

#include "runtime/ui/Dialogs.h"

namespace marlinden {

bool PrintPreview::Display(std::int16_t zoom) {
  if (QUEUE == nullptr || QUEUE->Empty()) return false;
  return runtime::ui::Preview(TITLE, QUEUE->Names(), zoom) == runtime::ui::PreviewAnswer::Print;
}

}  // namespace marlinden
