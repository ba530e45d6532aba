#include "procedures/ProcedureStart.h"

#include <utility>

#include "app/Globals.h"
#include "window/Globals.h"

namespace marlinden {

Severity StartProcedure(WindowManager& manager, std::int32_t firstField) {
  manager.REQUEST = RequestCode;
  if (const Severity result = manager.WindowManager::Init(); result != SeverityOk) return result;
  manager.FIRSTFIELD = firstField;
  manager.VCRREQUEST = &VcrRequest;
  manager.ERRORS = &GlobalErrors;
  RequestCode = RequestNone;
  ResponseCode = ResponseNone;
  return SeverityOk;
}

runtime::ui::ListColumn ResizableColumn(std::string header, std::int32_t width) {
  runtime::ui::ListColumn column;
  column.header = std::move(header);
  column.width = width;
  column.indent = 2;
  column.resizable = true;
  return column;
}

}  // namespace marlinden
