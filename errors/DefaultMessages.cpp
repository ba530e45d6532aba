// The built-in message tables and their packed blocks. Each table lists its
// messages by id, one commented row each; a block is built from it at
// compile time and stores the rows grouped by severity (questions first),
// ids ascending within a group. The default table holds the framework's
// classic messages; the further table the ones this program added since.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "errors/ErrorManager.h"

namespace marlinden {

namespace {

struct DefaultMessage {
  std::uint16_t id;
  Severity severity;
  std::string_view title;
  std::string_view text;
};

constexpr auto kDefaultMessages = std::to_array<DefaultMessage>({
    // A record could not be fetched (file manager, view manager, auto-numbering).
    {MsgRetrievalError, SeverityNotify, "Record Retrieval Error",
     "Error: (%ErrorText) attempting to access a record from the %File file.  Returning to previous window."},
    // The file opened read-only because write access was refused.
    {MsgAccessDenied, SeverityNotify, "Access Denied", "Could not get write access to %File so trying read-only."},
    // Asked after an insert: go on adding records?
    {MsgRecordAdded, SeverityUser, "Record Added",
     "This record has been added to the file. Do you want to add another record?"},
    // An insert failed.
    {MsgInsertError, SeverityNotify, "Record Insert Error",
     "An error was experienced during the creation of a record. Error: %ErrorText."},
    // Not raised by this program.
    {MsgAddNewRecord, SeverityNotify, "Add New Record?", "Record match not found, do you wish to add a new one?"},
    // An update lost to another station's change.
    {MsgRecordChanged, SeverityNotify, "Record Was Not Updated", "This record was changed by another station."},
    // An update lost to another station's change; the new values are shown.
    {MsgRecordChangedRecall, SeverityNotify, "Record Was Not Updated",
     "This record was changed by another station. Those changes will now be displayed. Use the Ditto Button or Ctrl+' "
     "to recall your changes."},
    // Asked before leaving a form with unsaved changes.
    {MsgConfirmCancel, SeverityUser, "Changes will be lost!", "Are you sure you want to cancel?"},
    // Asked before a delete.
    {MsgConfirmDelete, SeverityUser, "Confirm Delete", "Are you sure you want to delete the highlighted record?"},
    // A data file could not be created.
    {MsgCreateError, SeverityFatal, "File Creation Error", "Error: (%ErrorText) creating %File."},
    // A delete failed.
    {MsgDeleteError, SeverityNotify, "Record was not deleted",
     "An error (%ErrorText) was experienced when deleting a record from the %File file."},
    // Not raised by this program.
    {MsgDeleteIllegal, SeverityNotify, "Invalid Request", "This form cannot be used to delete a record"},
    // An insert or update would duplicate a unique key; %Message names the key.
    {MsgDuplicateKey, SeverityNotify, "Duplicate Key Error",
     "Adding this record creates a duplicate entry for the key: %Message"},
    // Not raised by this program.
    {MsgNotInFile, SeverityNotify, "Field contents error", "The value of %Field must be found in the %Message file."},
    // Not raised by this program.
    {MsgNotInList, SeverityNotify, "Value Error", "The value of %Field must be in the list : %Message."},
    // Not raised by this program.
    {MsgOutOfRange, SeverityNotify, "Range Error", "The value of %Field must be between %Message."},
    // Not raised by this program.
    {MsgOutOfRangeHigh, SeverityNotify, "Range Error", "The value of %Field must be lower than %Message."},
    // Not raised by this program.
    {MsgOutOfRangeLow, SeverityNotify, "Range Error", "The value of %Field must be higher than %Message."},
    // Not raised by this program.
    {MsgLoadError, SeverityNotify, "File Load Error", "%File File Load Error.  Error: %ErrorText."},
    // Not raised by this program.
    {MsgInsertIllegal, SeverityNotify, "Invalid Request", "This form cannot be used to insert a record"},
    // A transaction could not be started.
    {MsgLogoutError, SeverityNotify, "Transaction cancelled",
     "Error: (%ErrorText) attempting to frame the transaction on %File."},
    // A batch process found nothing to do.
    {MsgNoRecords, SeverityNotify, "No Records", "There are no records available to process."},
    // A data file could not be opened.
    {MsgOpenFailed, SeverityFatal, "File Access Error", "File (%File) could not be opened.  Error: %ErrorText."},
    // Not raised by this program.
    {MsgProcedureToDo, SeverityNotify, "Procedure not defined", "The Procedure %Message has not been defined."},
    // An update failed.
    {MsgPutError, SeverityNotify, "Record was not updated",
     "An error (%ErrorText) was experienced when making changes to the %File file."},
    // Rebuilding a key failed.
    {MsgRebuildFailed, SeverityFatal, "Key was not built", "Error: (%ErrorText) repairing key for %File."},
    // A file's keys are invalid and must be rebuilt.
    {MsgRebuildKey, SeverityNotify, "Invalid Key", "%File key file is invalid. Key must be rebuilt."},
    // A read met a record held by another station.
    {MsgRecordHeld, SeverityNotify, "Record not read",
     "A record held by another station was encountered reading from the %File file."},
    // A delete is refused while related records refer to the record.
    {MsgRestrictDelete, SeverityNotify, "Referential Integrity Delete Error",
     "This record is referenced from the file %File. This record cannot be deleted while these references exist."},
    // A change to linking fields is refused and undone.
    {MsgRestrictUpdate, SeverityNotify, "Referential Integrity Update Error",
     "This record is referenced from the file %File. Linking field(s) have been restricted from change and have been "
     "reset to original values."},
    // Auto-numbering failed; asks whether to try again.
    {MsgAutoIncError, SeverityUser, "Auto Increment Error",
     "Attempts to automatically number this record have failed.  Error: %ErrorText. Try Again?"},
    // A delete failed; asks whether to try again.
    {MsgRetryDelete, SeverityUser, "Record Delete Error",
     "An error was experienced deleting this record. Do you want to try to delete it again?"},
    // An update failed; asks whether to try again.
    {MsgRetrySave, SeverityUser, "Record Update Error",
     "An error was experienced changing this record. Do you want to try to save again?"},
    // Asked when a changed record is left.
    {MsgSaveRecord, SeverityUser, "Save Record", "Do you want to save the changes to this record?"},
    // Not raised by this program.
    {MsgBeginningOfFile, SeverityUser, "Beginning of File Error",
     "The beginning of the file was encountered. Do you want to start again from the end of the file?"},
    // Not raised by this program.
    {MsgEndOfFile, SeverityUser, "End of File Error",
     "The end of the file was encountered. Do you want to start again from the beginning?"},
    // Not raised by this program.
    {MsgUpdateIllegal, SeverityNotify, "Invalid Request", "This form cannot be used to update a record"},
    // A file was used before it was opened.
    {MsgUseClosedFile, SeverityProgram, "File Usage Error", "Attempt to use file (%File) before it was opened"},
    // A view could not apply its filter or range limits.
    {MsgViewOpenFailed, SeverityNotify, "View Open Error",
     "Error: (%ErrorText) attempting to open the current VIEW. Filter and Range Limits ignored."},
});

static_assert(kDefaultMessages.size() == 39, "the default table has 39 messages");

constexpr auto kFurtherMessages = std::to_array<DefaultMessage>({
    // The record a change or delete was meant for was deleted by another station.
    {MsgRecordDeletedElsewhere, SeverityNotify, "Record Not Found",
     "This record was deleted by another station. The list will now be shown without it."},
    // Auto-numbering failed in a way that trying again cannot mend (a full disk, a read-only file).
    {MsgAutoIncFailed, SeverityNotify, "Auto Increment Error",
     "Attempts to automatically number this record have failed.  Error: %ErrorText."},
});

constexpr bool FitsPackedRow(const DefaultMessage& message) {
  return message.title.size() <= 255 && message.text.size() <= 255;
}
static_assert(std::all_of(kDefaultMessages.begin(), kDefaultMessages.end(), FitsPackedRow),
              "titles and texts of a packed block are at most 255 bytes");
static_assert(std::all_of(kFurtherMessages.begin(), kFurtherMessages.end(), FitsPackedRow),
              "titles and texts of a packed block are at most 255 bytes");

template <std::size_t N>
constexpr std::size_t PackedSize(const std::array<DefaultMessage, N>& table) {
  std::size_t size = 2;
  for (const DefaultMessage& message : table) size += 5 + message.title.size() + message.text.size();
  return size;
}

template <std::size_t Size, std::size_t N>
constexpr std::array<std::uint8_t, Size> Pack(const std::array<DefaultMessage, N>& table) {
  auto stored = table;
  std::sort(stored.begin(), stored.end(), [](const DefaultMessage& a, const DefaultMessage& b) {
    return a.severity != b.severity ? a.severity < b.severity : a.id < b.id;
  });

  std::array<std::uint8_t, Size> block{};
  std::size_t at = 0;
  auto word = [&](std::size_t value) {
    block[at++] = static_cast<std::uint8_t>(value & 0xFF);
    block[at++] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
  };
  auto text = [&](std::string_view bytes) {
    block[at++] = static_cast<std::uint8_t>(bytes.size());
    for (char c : bytes) block[at++] = static_cast<std::uint8_t>(c);
  };
  word(stored.size());
  for (const DefaultMessage& message : stored) {
    word(message.id);
    block[at++] = static_cast<std::uint8_t>(message.severity);
    text(message.title);
    text(message.text);
  }
  return block;
}

constexpr auto kPackedDefaultMessages = Pack<PackedSize(kDefaultMessages)>(kDefaultMessages);
constexpr auto kPackedFurtherMessages = Pack<PackedSize(kFurtherMessages)>(kFurtherMessages);

}  // namespace

std::span<const std::uint8_t> DefaultMessages() { return kPackedDefaultMessages; }
std::span<const std::uint8_t> FurtherMessages() { return kPackedFurtherMessages; }

}  // namespace marlinden
