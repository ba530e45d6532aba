#include "runtime/files/drivers/TextLineFile.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "runtime/system/FileSystem.h"
#include "runtime/system/RuntimeError.h"

namespace runtime {

TextLineFile::TextLineFile(Driver driver, RecordLayout layout, std::string diskName)
    : TextFile(driver, std::move(layout), std::move(diskName)) {}

std::int32_t TextLineFile::ReadRecordAt(std::int64_t offset, Extent& record) {
  const std::size_t kept = BytesKept();
  record = Extent{};
  record.start = offset;
  std::int64_t at = offset;
  char last = '\0';
  bool sawBytes = false;
  for (;;) {
    std::string_view bytes;
    if (const int error = Reader().Peek(at, bytes)) return SystemFailure(error);
    if (bytes.empty()) break;  // a last line without a line end
    sawBytes = true;
    const char* newline = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
    const std::size_t content = newline ? static_cast<std::size_t>(newline - bytes.data()) : bytes.size();
    if (record.text.size() < kept) record.text.append(bytes.substr(0, std::min(content, kept - record.text.size())));
    if (content > 0) last = bytes[content - 1];
    record.length += static_cast<std::int64_t>(content);
    at += static_cast<std::int64_t>(content);
    if (newline) {
      ++at;
      if (last == '\r') {
        --record.length;
        if (static_cast<std::int64_t>(record.text.size()) > record.length)
          record.text.resize(static_cast<std::size_t>(record.length));
      }
      break;
    }
  }
  if (!sawBytes) return SetError(NoRecord);
  record.end = at;
  return NoError;
}

std::int32_t TextLineFile::StartOfRecordBefore(std::int64_t offset, std::int64_t& start) {
  // The record ending at offset is the line holding byte offset - 1; it
  // starts after the line end before that byte.
  constexpr std::int64_t kChunk = 64 * 1024;
  std::vector<char> chunk;
  std::int64_t end = offset - 1;
  while (end > 0) {
    const std::int64_t from = std::max<std::int64_t>(0, end - kChunk);
    chunk.resize(static_cast<std::size_t>(end - from));
    std::size_t got = 0;
    if (const int error = ReadFully(Descriptor(), from, chunk.data(), chunk.size(), got)) return SystemFailure(error);
    if (got < chunk.size()) return SetError(NoRecord);  // the file shrank under us
    for (std::size_t i = chunk.size(); i > 0; --i) {
      if (chunk[i - 1] == '\n') {
        start = from + static_cast<std::int64_t>(i);
        return NoError;
      }
    }
    end = from;
  }
  start = 0;
  return NoError;
}

std::int32_t TextLineFile::IsRecordStart(std::int64_t offset, bool& isStart) {
  if (offset == 0) {
    isStart = true;
    return NoError;
  }
  char before = '\0';
  if (const std::int32_t error = ByteAt(offset - 1, before)) return error;
  isStart = before == '\n';
  return NoError;
}

std::int32_t TextLineFile::CountRecords(std::int64_t& count) {
  count = 0;
  std::int64_t at = 0;
  char last = '\n';
  for (;;) {
    std::string_view bytes;
    if (const int error = Reader().Peek(at, bytes)) return SystemFailure(error);
    if (bytes.empty()) break;
    count += std::count(bytes.begin(), bytes.end(), '\n');
    last = bytes.back();
    at += static_cast<std::int64_t>(bytes.size());
  }
  if (last != '\n') ++count;
  return NoError;
}

std::int32_t TextLineFile::SeparatorBeforeAppend(std::string& separator) {
  separator.clear();
  std::int64_t size = 0;
  if (const std::int32_t error = FileSize(size)) return error;
  if (size == 0) return NoError;
  char last = '\0';
  if (const std::int32_t error = ByteAt(size - 1, last)) return error;
  // After a lone CR, "\n" alone would make it a CR LF line end and take it
  // from the line's text.
  if (last == '\r') separator = "\r\n";
  if (last != '\n' && last != '\r') separator = "\n";
  return NoError;
}

std::int32_t TextLineFile::ByteAt(std::int64_t offset, char& byte) {
  std::size_t got = 0;
  if (const int error = CurrentFileSystem().Read(Descriptor(), offset, &byte, 1, got)) return SystemFailure(error);
  if (got == 0) return SetError(RecordNotFound);
  return NoError;
}

std::string AsSingleLine(std::string_view text) {
  std::string line(text);
  std::replace_if(
      line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return line;
}

}  // namespace runtime
