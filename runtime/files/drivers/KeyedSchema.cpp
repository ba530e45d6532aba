#include "runtime/files/drivers/KeyedSchema.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "runtime/text/FixedText.h"

namespace runtime {

static_assert(std::endian::native == std::endian::little, "record fields are little-endian in memory");

namespace {
std::string FieldColumn(std::size_t field) { return "f" + std::to_string(field); }
std::string MemoColumn(std::size_t memo) { return "m" + std::to_string(memo); }
std::string Parameter(std::size_t number) { return "?" + std::to_string(number); }

const char* SqlType(FieldType type) {
  if (IsText(type)) return "TEXT";
  return type == FieldType::Real ? "REAL" : "INTEGER";
}

template <typename T>
void StoreNumber(std::uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

template <typename T>
T LoadNumber(const std::uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

std::int64_t LoadInteger(const std::uint8_t* at, FieldType type) {
  switch (type) {
    case FieldType::Int8:
      return LoadNumber<std::int8_t>(at);
    case FieldType::UInt8:
      return LoadNumber<std::uint8_t>(at);
    case FieldType::Int16:
      return LoadNumber<std::int16_t>(at);
    case FieldType::UInt16:
      return LoadNumber<std::uint16_t>(at);
    case FieldType::Int32:
    case FieldType::Date:
    case FieldType::Time:
      return LoadNumber<std::int32_t>(at);
    case FieldType::UInt32:
      return LoadNumber<std::uint32_t>(at);
    case FieldType::String:
    case FieldType::Real:
      break;
  }
  return 0;
}

// Texts as SQLite's BINARY collation compares them, or NOCASE, which folds
// only ASCII letters, to lower case.
int CompareStored(std::string_view a, std::string_view b, bool noCase) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (noCase) {
      if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
      if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool FitsInteger(FieldType type, std::int64_t value) {
  auto within = [value](auto sample) {
    using T = decltype(sample);
    return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
  };
  switch (type) {
    case FieldType::Int8:
      return within(std::int8_t{});
    case FieldType::UInt8:
      return within(std::uint8_t{});
    case FieldType::Int16:
      return within(std::int16_t{});
    case FieldType::UInt16:
      return within(std::uint16_t{});
    case FieldType::Int32:
    case FieldType::Date:
    case FieldType::Time:
      return within(std::int32_t{});
    case FieldType::UInt32:
      return within(std::uint32_t{});
    case FieldType::String:
    case FieldType::Real:
      break;
  }
  return false;
}

// Only values that fit (FitsInteger) come here.
void StoreInteger(std::uint8_t* at, FieldType type, std::int64_t value) {
  switch (type) {
    case FieldType::Int8:
      StoreNumber(at, static_cast<std::int8_t>(value));
      return;
    case FieldType::UInt8:
      StoreNumber(at, static_cast<std::uint8_t>(value));
      return;
    case FieldType::Int16:
      StoreNumber(at, static_cast<std::int16_t>(value));
      return;
    case FieldType::UInt16:
      StoreNumber(at, static_cast<std::uint16_t>(value));
      return;
    case FieldType::Int32:
    case FieldType::Date:
    case FieldType::Time:
      StoreNumber(at, static_cast<std::int32_t>(value));
      return;
    case FieldType::UInt32:
      StoreNumber(at, static_cast<std::uint32_t>(value));
      return;
    case FieldType::String:
    case FieldType::Real:
      return;
  }
}
}  // namespace

KeyedSchema::KeyedSchema(const RecordLayout& layout) : layout_(&layout), inKey_(layout.FieldCount() + 1, false) {
  for (std::size_t k = 1; k <= layout.KeyCount(); ++k) {
    for (const KeyComponentDesc& component : layout.Key(k).components) inKey_[component.field] = true;
  }
}

std::string KeyedSchema::CreateTablesSql() const {
  std::string sql = "CREATE TABLE records(id INTEGER PRIMARY KEY AUTOINCREMENT, version INTEGER NOT NULL";
  for (std::size_t f = 1; f <= layout_->FieldCount(); ++f) {
    sql += ", " + FieldColumn(f) + " " + SqlType(layout_->Field(f).type);
  }
  for (std::size_t m = 1; m <= layout_->MemoCount(); ++m) sql += ", " + MemoColumn(m) + " TEXT NOT NULL DEFAULT ''";
  sql += ");CREATE TABLE keyed_meta(name TEXT PRIMARY KEY, value TEXT NOT NULL);";
  return sql;
}

std::string KeyedSchema::IndexName(std::size_t key) { return "key" + std::to_string(key); }

std::string KeyedSchema::CreateIndexSql(std::size_t key) const {
  const KeyDesc& desc = layout_->Key(key);
  std::string sql = (desc.unique || desc.primary) ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  sql += IndexName(key) + " ON records(";
  for (std::size_t c = 0; c < desc.components.size(); ++c) {
    if (c > 0) sql += ", ";
    sql += Column(desc, desc.components[c]);
    if (desc.components[c].order == Order::Descending) sql += " DESC";
  }
  return sql + ")";
}

std::string KeyedSchema::LayoutSignature() const {
  std::string signature = "fields:";
  for (std::size_t f = 1; f <= layout_->FieldCount(); ++f) {
    const FieldDesc& field = layout_->Field(f);
    signature += UpperAscii(field.label) + "/" + std::to_string(static_cast<int>(field.type)) + "/" +
                 std::to_string(field.size) + ";";
  }
  signature += "memos:";
  for (std::size_t m = 1; m <= layout_->MemoCount(); ++m) {
    signature += UpperAscii(layout_->Memo(m).label) + "/" + std::to_string(layout_->Memo(m).maxSize) + ";";
  }
  return signature;
}

std::string KeyedSchema::KeysSignature() const {
  std::string signature;
  for (std::size_t k = 1; k <= layout_->KeyCount(); ++k) {
    const KeyDesc& key = layout_->Key(k);
    signature += IndexName(k) + ":" + ((key.unique || key.primary) ? "U" : "D") + (key.noCase ? "N" : "C");
    for (const KeyComponentDesc& component : key.components) {
      signature += std::to_string(component.field) + (component.order == Order::Descending ? "-" : "+");
    }
    signature += ";";
  }
  return signature;
}

std::string KeyedSchema::Column(const KeyDesc& key, const KeyComponentDesc& component) const {
  std::string column = FieldColumn(component.field);
  if (key.noCase && IsText(layout_->Field(component.field).type)) column += " COLLATE NOCASE";
  return column;
}

std::string KeyedSchema::FieldList(RowColumns columns, std::size_t key) const {
  std::vector<bool> wanted(layout_->FieldCount() + 1, columns != RowColumns::KeyFields || key == 0);
  if (columns == RowColumns::KeyFields && key != 0) {
    for (const KeyComponentDesc& component : layout_->Key(key).components) wanted[component.field] = true;
  }
  std::string list;
  for (std::size_t f = 1; f <= layout_->FieldCount(); ++f) {
    if (f > 1) list += ", ";
    if (wanted[f]) {
      list += FieldColumn(f);
    } else {
      list += IsText(layout_->Field(f).type) ? "''" : "0";
    }
  }
  return list;
}

std::string KeyedSchema::SelectList(RowColumns columns, std::size_t key) const {
  const bool keyFields = columns == RowColumns::KeyFields && key != 0;
  std::string list = keyFields ? "id, 0, " : "id, version, ";
  list += FieldList(columns, key);
  if (columns == RowColumns::FieldsAndMemos) {
    for (std::size_t m = 1; m <= layout_->MemoCount(); ++m) list += ", " + MemoColumn(m);
  }
  return list;
}

std::string KeyedSchema::OrderBy(std::size_t key, ScanDirection direction) const {
  const bool backward = direction == ScanDirection::Backward;
  std::string order;
  if (key != 0) {
    const KeyDesc& desc = layout_->Key(key);
    for (const KeyComponentDesc& component : desc.components) {
      const bool descending = (component.order == Order::Descending) != backward;
      order += Column(desc, component) + (descending ? " DESC, " : ", ");
    }
  }
  return order + (backward ? "id DESC" : "id");
}

// Rows whose key comes strictly after (?1..?n) in the scan's order. When
// every component ascends that is one row-value comparison, from which
// SQLite starts the index range at the bound itself (the collation goes on
// the parameters: a COLLATE on a column of the row value makes SQLite scan
// from the start); otherwise the expanded form, led by a bound on the
// first component, where the range starts.
std::string KeyedSchema::AfterCondition(std::size_t key, ScanDirection direction) const {
  const bool backward = direction == ScanDirection::Backward;
  if (key == 0) return backward ? "id < ?1" : "id > ?1";
  const KeyDesc& desc = layout_->Key(key);
  const std::size_t n = desc.components.size();
  auto op = [&](std::size_t c) { return (desc.components[c].order == Order::Descending) != backward ? " <" : " >"; };
  if (n == 1) return Column(desc, desc.components[0]) + op(0) + " " + Parameter(1);
  bool uniform = true;
  for (const KeyComponentDesc& component : desc.components) {
    if (component.order == Order::Descending) uniform = false;
  }
  if (uniform) {
    std::string left = "(", right = "(";
    for (std::size_t c = 0; c < n; ++c) {
      const bool noCase = desc.noCase && IsText(layout_->Field(desc.components[c].field).type);
      left += (c > 0 ? ", " : "") + FieldColumn(desc.components[c].field);
      right += (c > 0 ? ", " : "") + Parameter(c + 1) + (noCase ? " COLLATE NOCASE" : "");
    }
    return left + ")" + op(0) + " " + right + ")";
  }
  std::string condition = Column(desc, desc.components[0]) + op(0) + "= " + Parameter(1) + " AND ";
  std::string closing;
  for (std::size_t c = 0; c < n; ++c) {
    const std::string column = Column(desc, desc.components[c]);
    condition += "(" + column + op(c) + " " + Parameter(c + 1);
    if (c + 1 < n) {
      condition += " OR (" + column + " = " + Parameter(c + 1) + " AND ";
      closing += "))";
    } else {
      condition += ")";
    }
  }
  return condition + closing;
}

std::string KeyedSchema::EqualCondition(std::size_t key) const {
  const KeyDesc& desc = layout_->Key(key);
  std::string condition;
  for (std::size_t c = 0; c < desc.components.size(); ++c) {
    if (c > 0) condition += " AND ";
    condition += Column(desc, desc.components[c]) + " = " + Parameter(c + 1);
  }
  return condition;
}

std::string KeyedSchema::FirstSql(std::size_t key, ScanDirection direction, RowColumns columns) const {
  return "SELECT " + SelectList(columns, key) + " FROM records ORDER BY " + OrderBy(key, direction) + " LIMIT ?1";
}

std::string KeyedSchema::AfterSql(std::size_t key, ScanDirection direction, RowColumns columns) const {
  const std::size_t n = key == 0 ? 1 : layout_->Key(key).components.size();
  return "SELECT " + SelectList(columns, key) + " FROM records WHERE " + AfterCondition(key, direction) + " ORDER BY " +
         OrderBy(key, direction) + " LIMIT " + Parameter(n + 1);
}

std::string KeyedSchema::GroupSql(std::size_t key, ScanDirection direction, RowColumns columns) const {
  const std::size_t n = layout_->Key(key).components.size();
  const bool backward = direction == ScanDirection::Backward;
  return "SELECT " + SelectList(columns, key) + " FROM records WHERE " + EqualCondition(key) + " AND id" +
         (backward ? " < " : " > ") + Parameter(n + 1) + " ORDER BY id" + (backward ? " DESC" : "") + " LIMIT " +
         Parameter(n + 2);
}

std::string KeyedSchema::EqualSql(std::size_t key, bool memos) const {
  return "SELECT " + SelectList(memos ? RowColumns::FieldsAndMemos : RowColumns::Fields, key) + " FROM records WHERE " +
         EqualCondition(key) + " ORDER BY " + OrderBy(key, ScanDirection::Forward) + " LIMIT 1";
}

std::string KeyedSchema::ByRowidSql(bool memos) const {
  return "SELECT " + SelectList(memos ? RowColumns::FieldsAndMemos : RowColumns::Fields, 0) +
         " FROM records WHERE id = ?1";
}

std::string KeyedSchema::DuplicateSql(std::size_t key) const {
  return "SELECT 1 FROM records WHERE " + EqualCondition(key) + " AND id <> " +
         Parameter(layout_->Key(key).components.size() + 1) + " LIMIT 1";
}

std::string KeyedSchema::InsertSql() const {
  std::string columns = "version", values = "1";
  for (std::size_t f = 1; f <= layout_->FieldCount(); ++f) {
    columns += ", " + FieldColumn(f);
    values += ", " + Parameter(f);
  }
  for (std::size_t m = 1; m <= layout_->MemoCount(); ++m) {
    columns += ", " + MemoColumn(m);
    values += ", " + Parameter(layout_->FieldCount() + m);
  }
  return "INSERT INTO records(" + columns + ") VALUES(" + values + ")";
}

std::string KeyedSchema::UpdateSql() const {
  std::string sql = "UPDATE records SET version = version + 1";
  const std::size_t fields = layout_->FieldCount(), memos = layout_->MemoCount();
  for (std::size_t f = 1; f <= fields; ++f) sql += ", " + FieldColumn(f) + " = " + Parameter(f);
  for (std::size_t m = 1; m <= memos; ++m) {
    sql += ", " + MemoColumn(m) + " = coalesce(" + Parameter(fields + m) + ", " + MemoColumn(m) + ")";
  }
  return sql + " WHERE id = " + Parameter(fields + memos + 1) + " AND version = " + Parameter(fields + memos + 2);
}

void KeyedSchema::BindField(sqlite3_stmt* statement, int parameter, const FieldDesc& field,
                            const std::uint8_t* record) const {
  const std::uint8_t* at = record + field.offset;
  if (IsText(field.type)) {
    // Clipped, so that trailing spaces never take part in comparisons.
    const std::string_view text = Clip(std::string_view(reinterpret_cast<const char*>(at), field.size));
    sqlite3_bind_text(statement, parameter, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  } else if (field.type == FieldType::Real) {
    sqlite3_bind_double(statement, parameter, LoadNumber<double>(at));
  } else {
    sqlite3_bind_int64(statement, parameter, LoadInteger(at, field.type));
  }
}

int KeyedSchema::BindFields(sqlite3_stmt* statement, int first, const std::uint8_t* record) const {
  for (std::size_t f = 1; f <= layout_->FieldCount(); ++f) BindField(statement, first++, layout_->Field(f), record);
  return first;
}

int KeyedSchema::BindKey(sqlite3_stmt* statement, int first, std::size_t key, const std::uint8_t* record) const {
  for (const KeyComponentDesc& component : layout_->Key(key).components) {
    BindField(statement, first++, layout_->Field(component.field), record);
  }
  return first;
}

std::size_t KeyedSchema::StoreFields(sqlite3_stmt* statement, int first, std::uint8_t* record) const {
  int column = first;
  for (std::size_t f = 1; f <= layout_->FieldCount(); ++f, ++column) {
    const FieldDesc& field = layout_->Field(f);
    std::uint8_t* at = record + field.offset;
    const int type = sqlite3_column_type(statement, column);
    if (IsText(field.type)) {
      const unsigned char* text = sqlite3_column_text(statement, column);
      const auto length = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
      if (type != SQLITE_TEXT || length > field.size || (length > 0 && text[length - 1] == ' ')) return f;
      if (length > 0) std::memcpy(at, text, length);
      std::memset(at + length, ' ', field.size - length);
    } else if (field.type == FieldType::Real) {
      // A NaN is kept as NULL, which only a field outside the keys may hold.
      if (type == SQLITE_NULL && !inKey_[f]) {
        StoreNumber(at, std::numeric_limits<double>::quiet_NaN());
      } else if (type == SQLITE_FLOAT || type == SQLITE_INTEGER) {
        StoreNumber(at, sqlite3_column_double(statement, column));
      } else {
        return f;
      }
    } else {
      const std::int64_t value = sqlite3_column_int64(statement, column);
      if (type != SQLITE_INTEGER || !FitsInteger(field.type, value)) return f;
      StoreInteger(at, field.type, value);
    }
  }
  return 0;
}

bool KeyedSchema::HasNanKey(const std::uint8_t* record) const {
  for (std::size_t f = 1; f <= layout_->FieldCount(); ++f) {
    const FieldDesc& field = layout_->Field(f);
    if (inKey_[f] && field.type == FieldType::Real && std::isnan(LoadNumber<double>(record + field.offset))) {
      return true;
    }
  }
  return false;
}

std::size_t KeyedSchema::KeyBytes(std::size_t key) const {
  std::size_t bytes = 0;
  for (const KeyComponentDesc& component : layout_->Key(key).components) bytes += layout_->Field(component.field).size;
  return bytes;
}

void KeyedSchema::CopyKey(std::size_t key, const std::uint8_t* record, std::string& out) const {
  for (const KeyComponentDesc& component : layout_->Key(key).components) {
    const FieldDesc& field = layout_->Field(component.field);
    out.append(reinterpret_cast<const char*>(record + field.offset), field.size);
  }
}

void KeyedSchema::RestoreKey(std::size_t key, const char* bytes, std::uint8_t* record) const {
  for (const KeyComponentDesc& component : layout_->Key(key).components) {
    const FieldDesc& field = layout_->Field(component.field);
    std::memcpy(record + field.offset, bytes, field.size);
    bytes += field.size;
  }
}

std::int64_t KeyedSchema::IntegerField(const FieldDesc& field, const std::uint8_t* record) {
  return LoadInteger(record + field.offset, field.type);
}

bool KeyedSchema::StoreIntegerField(const FieldDesc& field, std::int64_t value, std::uint8_t* record) {
  if (!FitsInteger(field.type, value)) return false;
  StoreInteger(record + field.offset, field.type, value);
  return true;
}

int KeyedSchema::CompareKey(std::size_t key, const std::uint8_t* a, const std::uint8_t* b) const {
  if (key == 0) return 0;
  const KeyDesc& desc = layout_->Key(key);
  for (const KeyComponentDesc& component : desc.components) {
    const FieldDesc& field = layout_->Field(component.field);
    const std::uint8_t* x = a + field.offset;
    const std::uint8_t* y = b + field.offset;
    int order = 0;
    if (IsText(field.type)) {
      order = CompareStored(Clip(std::string_view(reinterpret_cast<const char*>(x), field.size)),
                            Clip(std::string_view(reinterpret_cast<const char*>(y), field.size)), desc.noCase);
    } else if (field.type == FieldType::Real) {
      const double u = LoadNumber<double>(x), v = LoadNumber<double>(y);
      order = u < v ? -1 : u > v ? 1 : 0;
    } else {
      const std::int64_t u = LoadInteger(x, field.type), v = LoadInteger(y, field.type);
      order = u < v ? -1 : u > v ? 1 : 0;
    }
    if (order != 0) return component.order == Order::Descending ? -order : order;
  }
  return 0;
}

}  // namespace runtime
