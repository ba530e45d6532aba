#include "runtime/values/FieldBindings.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/text/FixedText.h"

namespace runtime {

namespace {

std::string Key(std::string_view label) { return UpperAscii(Clip(label)); }

// --- File fields ---

std::mutex bindingsMutex;
std::map<std::string, FieldRef>& Bindings() {
  static std::map<std::string, FieldRef> bindings;
  return bindings;
}

// --- Scopes ---

struct Scope {
  std::map<std::string, FieldRef> variables;
  std::deque<FieldDesc> descriptions;  // for variables bound by storage; a deque keeps their addresses
};

// Held through unique_ptr so a scope's descriptions never move as the stack grows.
thread_local std::vector<std::unique_ptr<Scope>> scopes;

}  // namespace

void BindField(std::string_view label, FieldRef field) {
  std::lock_guard lock(bindingsMutex);
  Bindings()[Key(label)] = field;
}

void UnbindField(std::string_view label) {
  std::lock_guard lock(bindingsMutex);
  Bindings().erase(Key(label));
}

std::optional<FieldRef> FindBoundField(std::string_view label) {
  std::lock_guard lock(bindingsMutex);
  auto it = Bindings().find(Key(label));
  if (it == Bindings().end()) return std::nullopt;
  return it->second;
}

void PushBindingScope() { scopes.push_back(std::make_unique<Scope>()); }

void PopBindingScope() {
  if (!scopes.empty()) scopes.pop_back();
}

std::size_t BindingScopeDepth() { return scopes.size(); }

bool BindVariable(std::string_view name, FieldRef field) {
  if (scopes.empty()) return false;
  scopes.back()->variables[Key(name)] = field;
  return true;
}

std::optional<FieldRef> FindField(std::string_view name) {
  const std::string key = Key(name);
  for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
    auto it = (*scope)->variables.find(key);
    if (it != (*scope)->variables.end()) return it->second;
  }
  return FindBoundField(key);
}

BindingScope::BindingScope() {
  PushBindingScope();
  depth_ = scopes.size();
}

BindingScope::~BindingScope() {
  while (scopes.size() >= depth_ && !scopes.empty()) scopes.pop_back();
}

void BindingScope::Bind(std::string_view name, FieldRef field) {
  if (depth_ == 0 || depth_ > scopes.size()) return;  // closed by a manual pop
  scopes[depth_ - 1]->variables[Key(name)] = field;
}

void BindingScope::Bind(std::string_view name, void* storage, FieldType type, std::uint32_t size) {
  if (depth_ == 0 || depth_ > scopes.size()) return;
  Scope& scope = *scopes[depth_ - 1];
  FieldDesc& desc = scope.descriptions.emplace_back();
  desc.label = Key(name);
  desc.type = type;
  desc.size = IsText(type) ? size : SizeOf(type);
  scope.variables[desc.label] = FieldRef(static_cast<std::uint8_t*>(storage), desc);
}

}  // namespace runtime
