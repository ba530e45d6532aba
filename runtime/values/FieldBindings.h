// Field labels known to the expression evaluator. An open file binds each of
// its record's fields under its label ("WEB:URL"); a window procedure opens a
// binding scope and binds its own variables into it by name. A name resolves
// in the innermost open scope first, then in the outer scopes, then among the
// file fields, so a procedure's variable shadows a file field of the same
// label. Labels are case-insensitive.
//
// File fields are shared by all threads (guarded by a mutex). Binding scopes
// belong to the thread that opens them, as a window procedure belongs to the
// thread it runs on: each thread has its own stack of scopes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/values/FieldDesc.h"
#include "runtime/values/FieldRef.h"

namespace runtime {

// --- File fields (any thread) ----------------------------------------------------

// Binds (or rebinds) label to field; the field's storage must stay valid
// until it is unbound.
void BindField(std::string_view label, FieldRef field);
void UnbindField(std::string_view label);
std::optional<FieldRef> FindBoundField(std::string_view label);

// --- Binding scopes (calling thread) ----------------------------------------------

// Opens a new innermost scope on the calling thread.
void PushBindingScope();
// Closes the innermost scope; does nothing when none is open.
void PopBindingScope();
// Number of scopes open on the calling thread.
std::size_t BindingScopeDepth();

// Binds name in the innermost scope (rebinding replaces). The storage must
// stay valid, and expressions compiled against it must be destroyed, before
// the scope closes. Returns false when no scope is open.
bool BindVariable(std::string_view name, FieldRef field);

// Resolves name: innermost scope, outer scopes, then file fields.
std::optional<FieldRef> FindField(std::string_view name);

// Opens a scope for its lifetime. Closing also closes any scope opened inside
// it and left open, so an early return cannot leave the stack unbalanced.
// Requires: destroyed on the thread that created it.
class BindingScope {
 public:
  BindingScope();
  ~BindingScope();
  BindingScope(const BindingScope&) = delete;
  BindingScope& operator=(const BindingScope&) = delete;

  // Binds a variable described by field (see BindVariable).
  void Bind(std::string_view name, FieldRef field);
  // Binds a variable of the given type at storage; the scope keeps the
  // description, so the caller needs none of its own. size is the text width
  // for FieldType::String and ignored otherwise.
  void Bind(std::string_view name, void* storage, FieldType type, std::uint32_t size = 0);

 private:
  std::size_t depth_ = 0;  // this scope's depth (1 = outermost)
};

}  // namespace runtime
