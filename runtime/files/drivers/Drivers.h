// Factories of the four drivers' files; DataFile::Make picks one.
#pragma once

#include <memory>
#include <string>

#include "runtime/files/DataFile.h"

namespace runtime {

// Keyed records in an SQLite database named diskName + ".db", or on the
// database server when one is chosen (KeyedServer.h).
std::unique_ptr<DataFile> MakeKeyedFile(RecordLayout layout, std::string diskName);
// One record per text line (the whole line is the record's text).
std::unique_ptr<DataFile> MakeAsciiFile(RecordLayout layout, std::string diskName);
// One record per line of comma-delimited fields.
std::unique_ptr<DataFile> MakeBasicFile(RecordLayout layout, std::string diskName);
// Records as raw bytes of the record's size, back to back.
std::unique_ptr<DataFile> MakeDosFile(RecordLayout layout, std::string diskName);

}  // namespace runtime
