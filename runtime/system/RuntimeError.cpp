#include "runtime/system/RuntimeError.h"

namespace runtime {

namespace {
thread_local RuntimeError current;
}

const RuntimeError& LastError() { return current; }
std::int32_t LastErrorCode() { return current.code; }

std::int32_t SetError(std::int32_t code) { return SetError(code, {}, {}); }

std::int32_t SetError(std::int32_t code, std::string_view driverCode, std::string_view driverText) {
  // Assigned in place: every data-file call sets the error, and the
  // strings keep their room from one call to the next.
  current.code = code;
  current.text.assign(ErrorTextFor(code));
  current.driverCode.assign(driverCode);
  current.driverText.assign(driverText);
  return code;
}

void ClearError() { SetError(NoError); }

bool RetryMayMend(std::int32_t code) { return code == FileLocked || code == RecordHeld || code == DuplicateKey; }

std::string_view ErrorTextFor(std::int32_t code) {
  switch (code) {
    case NoError:
      return "";
    case FileNotFound:
      return "File Not Found";
    case PathNotFound:
      return "Path Not Found";
    case AccessDenied:
      return "Access Denied";
    case BadParameter:
      return "Invalid Parameter";
    case EntryNotFound:
      return "Entry Not Found";
    case FileLocked:
      return "File Is Locked";
    case NoRecord:
      return "Record Not Available";
    case RecordNotFound:
      return "Record Not Found";
    case FileNotOpen:
      return "File Not Open";
    case DuplicateKey:
      return "Creates Duplicate Key";
    case RecordHeld:
      return "Record Is Held By Another Station";
    case KeysInvalid:
      return "Keys Must Be Rebuilt";
    case LayoutMismatch:
      return "Record Layout Does Not Match The File";
    case AlreadyOpen:
      return "File Already Open";
    case Unsupported:
      return "Operation Not Supported By The Driver";
    case ChangedByOther:
      return "Record Changed By Another Station";
    case DriverFailure:
      return "File Driver Error";
    case ExpressionSyntax:
      return "Expression Syntax Error";
    case ExpressionUnknownName:
      return "Unknown Name In Expression";
    case ExpressionUnknownFunction:
      return "Unknown Function In Expression";
    case ExpressionArguments:
      return "Wrong Number Of Arguments In Expression";
    default:
      return "Unknown Error";
  }
}

}  // namespace runtime
