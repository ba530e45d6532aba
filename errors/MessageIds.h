// Ids of the default messages, named by what they report.
#pragma once

#include <cstdint>

namespace marlinden {

enum MessageId : std::uint16_t {
  MsgRetrievalError = 1,
  MsgAccessDenied = 2,
  MsgRecordAdded = 3,
  MsgInsertError = 4,
  MsgAddNewRecord = 5,
  MsgRecordChanged = 6,
  MsgRecordChangedRecall = 7,
  MsgConfirmCancel = 8,
  MsgConfirmDelete = 9,
  MsgCreateError = 10,
  MsgDeleteError = 11,
  MsgDeleteIllegal = 12,
  MsgDuplicateKey = 13,
  MsgNotInFile = 14,
  MsgNotInList = 15,
  MsgOutOfRange = 16,
  MsgOutOfRangeHigh = 17,
  MsgOutOfRangeLow = 18,
  MsgLoadError = 19,
  MsgInsertIllegal = 20,
  MsgLogoutError = 21,
  MsgNoRecords = 22,
  MsgOpenFailed = 23,
  MsgProcedureToDo = 24,
  MsgPutError = 25,
  MsgRebuildFailed = 26,
  MsgRebuildKey = 27,
  MsgRecordHeld = 28,
  MsgRestrictDelete = 30,
  MsgRestrictUpdate = 31,
  MsgAutoIncError = 32,
  MsgRetryDelete = 33,
  MsgRetrySave = 34,
  MsgSaveRecord = 35,
  MsgBeginningOfFile = 36,
  MsgEndOfFile = 37,
  MsgUpdateIllegal = 38,
  MsgUseClosedFile = 39,
  MsgViewOpenFailed = 40,
  // Added by this program to the classic table.
  MsgRecordDeletedElsewhere = 41,
  MsgAutoIncFailed = 42,
};

}  // namespace marlinden
