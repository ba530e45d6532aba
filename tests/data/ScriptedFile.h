// A data file whose open, create and key-rebuild results come from a script,
// for driving every branch of the file manager's open. Every call is logged.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "runtime/files/DataFile.h"
#include "runtime/system/RuntimeError.h"

namespace testing_support {

class ScriptedFile : public runtime::DataFile {
 public:
  explicit ScriptedFile(runtime::RecordLayout layout)
      : DataFile(runtime::Driver::Keyed, std::move(layout), "scripted") {}

  std::deque<std::int32_t> openCodes;  // one per Open; NoError when empty
  std::deque<std::int32_t> createCodes;
  std::deque<std::int32_t> buildCodes;
  std::vector<std::string> log;
  bool clobberOnOpen = false;  // Open scribbles over the record buffer

  std::int32_t Open(std::uint8_t mode) override {
    log.push_back("Open " + std::to_string(mode) +
                  (recoverSeconds_ ? " recover " + std::to_string(recoverSeconds_) : ""));
    recoverSeconds_ = 0;
    const std::int32_t code = Take(openCodes);
    open_ = code == runtime::NoError;
    if (clobberOnOpen) Record().Assign(std::string(Record().Size(), '#'));
    return runtime::SetError(code);
  }
  std::int32_t Create() override {
    log.push_back("Create");
    const std::int32_t code = Take(createCodes);
    if (code == runtime::DriverFailure) return runtime::SetError(code, "13", "database or disk is full");
    return runtime::SetError(code);
  }
  std::int32_t BuildKeys() override {
    log.push_back("BuildKeys");
    return runtime::SetError(Take(buildCodes));
  }
  std::int32_t Close() override {
    log.push_back("Close");
    open_ = false;
    return runtime::SetError(runtime::NoError);
  }
  std::int32_t Next() override {
    log.push_back("Next");
    return runtime::SetError(runtime::NoRecord);
  }
  std::int32_t Remove() override { return Unsupported(); }
  std::int32_t SetOrder(std::size_t) override { return Unsupported(); }
  std::int32_t SetOrderAtBuffer(std::size_t) override { return Unsupported(); }
  std::int32_t SetOrderAtPosition(std::size_t, std::string_view) override { return Unsupported(); }
  std::int32_t Previous() override { return Unsupported(); }
  std::int32_t Get(std::size_t) override { return Unsupported(); }
  std::int32_t GetAt(std::string_view) override { return Unsupported(); }
  std::int32_t Reget(std::string_view) override { return Unsupported(); }
  std::int32_t Hold() override { return Unsupported(); }
  std::int32_t Release() override { return Unsupported(); }
  std::int32_t Watch() override { return Unsupported(); }
  std::int32_t Add() override { return Unsupported(); }
  std::int32_t Put() override { return Unsupported(); }
  std::int32_t Delete() override { return Unsupported(); }
  bool Duplicate(std::size_t) override { return false; }
  std::int64_t Records() override { return 0; }
  std::int64_t Bytes() override { return 0; }
  std::string Position(std::size_t) override { return {}; }
  std::int32_t BeginTransaction(int) override { return Unsupported(); }
  std::int32_t Commit() override { return Unsupported(); }
  std::int32_t Rollback() override { return Unsupported(); }

 private:
  static std::int32_t Take(std::deque<std::int32_t>& codes) {
    if (codes.empty()) return runtime::NoError;
    const std::int32_t code = codes.front();
    codes.pop_front();
    return code;
  }
  std::int32_t Unsupported() { return runtime::SetError(runtime::Unsupported); }
};

}  // namespace testing_support
