// Where keyed files live: the local SQLite files (the default), or tables on
// a PostgreSQL server named by a libpq connection string (key=value pairs, a
// postgresql:// address, or a bare service name of the service file). The
// choice is the process's and is read when a keyed file is made, so it is
// set before the first data file is used. Any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace runtime {

// An empty text chooses the local files.
void SetKeyedServer(std::string connection);
std::string KeyedServer();

// For tests: hook runs once, inside the next creation of a file on the
// server, when the file is in the catalogue and before that is committed,
// so a creation can be held under way while another station starts.
void SetCreationHook(std::function<void()> hook);
// The hook set, taken (empty when none is).
std::function<void()> TakeCreationHook();

// The connection string as libpq reads it: a bare word is a service name.
std::string ServerConnectionString(std::string_view connection);

// The connection string fit to show or write down: its host, port, database,
// user and service only, never a password.
std::string RedactedConnection(std::string_view connection);

}  // namespace runtime
