#include "procedures/ProcedureStart.h"

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

}  // namespace marlinden
