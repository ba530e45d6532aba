// How a record layout maps onto the keyed driver's SQLite database: the SQL
// of its tables, indexes and queries, the signatures stored in the file, and
// the conversion of fields between the record buffer and SQL values.
//
// Table `records`: id (the record number, INTEGER PRIMARY KEY AUTOINCREMENT
// so a deleted record's number is never given to another record), version
// (incremented by every change), f1..fN (one per field: strings clipped of
// trailing spaces as TEXT, so comparisons ignore trailing spaces; integers
// INTEGER; reals REAL), m1..mM (memos, TEXT). Table `keyed_meta` holds the
// format marker and the layout and key signatures. Key k is index `key<k>`
// over its components (COLLATE NOCASE on text components of a
// case-insensitive key, DESC on descending ones); SQLite appends the record
// number, so key order is (components, record number). Constant after
// construction.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/files/RecordLayout.h"

namespace runtime {

enum class ScanDirection : std::uint8_t { Forward, Backward };

// What a read takes of each row, fewest first: rows read with more serve
// reads that take less.
enum class RowColumns : std::uint8_t {
  KeyFields,  // the order's key fields, the others blank: read from the index alone, version unknown (0)
  Fields,     // every field, no memo
  FieldsAndMemos,
};

class KeyedSchema {
 public:
  explicit KeyedSchema(const RecordLayout& layout);

  static constexpr const char* kFormatMarker = "marlinden-keyed 1";

  const RecordLayout& Layout() const { return *layout_; }

  // --- Creating --------------------------------------------------------------
  std::string CreateTablesSql() const;
  // CREATE INDEX statement of key (1-based).
  std::string CreateIndexSql(std::size_t key) const;
  static std::string IndexName(std::size_t key);
  std::string LayoutSignature() const;
  std::string KeysSignature() const;

  // --- Reading ---------------------------------------------------------------
  // Result columns: 0 id, 1 version, 2.. fields, then memos when asked.
  // Every reading query below ends in "LIMIT ?" (its last parameter).
  // The first rows of order key (0 = record order) in direction.
  std::string FirstSql(std::size_t key, ScanDirection direction, RowColumns columns) const;
  // Record order: rows after record number ?1. Key order: rows whose key
  // comes strictly after the bound components (BindKey).
  std::string AfterSql(std::size_t key, ScanDirection direction, RowColumns columns) const;
  // Rows of key order whose key equals the bound components and which come
  // after record number ?n+1 (the rest of a group of equal keys).
  std::string GroupSql(std::size_t key, ScanDirection direction, RowColumns columns) const;
  // The first row in key order whose key equals the bound values.
  std::string EqualSql(std::size_t key, bool memos) const;
  std::string ByRowidSql(bool memos) const;
  // 1 when another row than ?last has the bound key values.
  std::string DuplicateSql(std::size_t key) const;

  // --- Writing ---------------------------------------------------------------
  // Parameters: fields, memos.
  std::string InsertSql() const;
  // Parameters: fields, memos (NULL keeps a memo as stored), id, version.
  std::string UpdateSql() const;

  // --- Values ----------------------------------------------------------------
  // Binds the fields of record from parameter first on; returns the next.
  int BindFields(sqlite3_stmt* statement, int first, const std::uint8_t* record) const;
  // Binds key's components taken from record; returns the next parameter.
  int BindKey(sqlite3_stmt* statement, int first, std::size_t key, const std::uint8_t* record) const;
  // Stores result columns first.. into record's fields. Returns 0, or the
  // number of the first field whose stored value this driver cannot have
  // written (another type, a text longer than the field or with trailing
  // spaces, an integer out of the field's range, NULL in a key): such a
  // value would not read back as stored, so reading on from it could loop.
  std::size_t StoreFields(sqlite3_stmt* statement, int first, std::uint8_t* record) const;
  // Whether a real key component of record is not a number (SQLite would
  // store NULL, which no key comparison finds).
  bool HasNanKey(const std::uint8_t* record) const;
  // Bytes the key's components take in a record, and copies of them.
  std::size_t KeyBytes(std::size_t key) const;
  void CopyKey(std::size_t key, const std::uint8_t* record, std::string& out) const;
  void RestoreKey(std::size_t key, const char* bytes, std::uint8_t* record) const;
  // Compares key's components of two records as the key's index orders
  // them: below, equal to or above 0 (key 0: always equal).
  int CompareKey(std::size_t key, const std::uint8_t* a, const std::uint8_t* b) const;

  // An integer field's value in record, and its store (false, nothing
  // stored, when value does not fit the field's type).
  static std::int64_t IntegerField(const FieldDesc& field, const std::uint8_t* record);
  static bool StoreIntegerField(const FieldDesc& field, std::int64_t value, std::uint8_t* record);
  // Whether field is a component of some key.
  bool InKey(std::size_t field) const { return inKey_[field]; }
  // The field columns f1..fN of a select list; with RowColumns::KeyFields
  // a blank of its type stands for each field outside key, so the database
  // reads key's index alone.
  std::string FieldList(RowColumns columns, std::size_t key) const;

 private:
  std::string SelectList(RowColumns columns, std::size_t key) const;
  std::string Column(const KeyDesc& key, const KeyComponentDesc& component) const;
  std::string OrderBy(std::size_t key, ScanDirection direction) const;
  std::string AfterCondition(std::size_t key, ScanDirection direction) const;
  std::string EqualCondition(std::size_t key) const;
  void BindField(sqlite3_stmt* statement, int parameter, const FieldDesc& field, const std::uint8_t* record) const;

  const RecordLayout* layout_;  // borrowed; owned by the data file
  std::vector<bool> inKey_;     // by field number: a component of some key
};

}  // namespace runtime
