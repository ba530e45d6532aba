// The mail library call over an SMTP client: reads the parameter block,
// checks it, builds the message (MailMessage) and hands it to the named
// server.
//
// - The host field may name a port ("host:port", "[v6address]:port");
//   without one, port 25.
// - STARTTLS is used whenever the server offers it, and the server's
//   certificate is always verified against the system's certificate
//   authorities plus, when the environment variable MARLINDEN_MAIL_CA_FILE
//   names a PEM file, the authorities in that file.
// - USERNAME and USERPASSWORD, when given, log in.
// - Results: 1 for an empty or malformed host, sender or recipient (no
//   connection is made), 2 for an attachment that cannot be read, 4 when
//   the host cannot be resolved, 6 when nothing answers, 7/8 for a broken
//   connection, 9 with the server's reply in SERVERERRORMESSAGE for any
//   refusal (a reply of 400 or more) and for a certificate that fails
//   verification, 11 out of memory, 14 when USERCANCEL was set, 13 else.
// - A connect timeout and a stall limit (no progress, or no reply) end a
//   send to a server that stops answering; USERCANCEL is read at least
//   once a second.
//
// Any thread; several sends may run at once.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "mail/MailParameterBlock.h"

namespace marlinden {

inline constexpr const char* kMailCaFileVariable = "MARLINDEN_MAIL_CA_FILE";

std::uint32_t SmtpSendMail(MailParameterBlock* block);

// The PEM text of the file kMailCaFileVariable names, trusted beside the
// system's authorities: empty when the variable names none, nothing when
// the file cannot be read. The link check trusts the same.
std::optional<std::string> ExtraMailAuthorities();

struct MailTimeouts {
  std::chrono::milliseconds connect{30000};
  // How long a server may take nothing and answer nothing. Servers may take
  // a while to accept a message's data (checking it first); the sender's
  // window waits meanwhile, so this stays at a couple of minutes.
  std::chrono::seconds stall{120};
};

// Changes the timeouts of later sends (tests shorten them). Returns the
// previous ones.
MailTimeouts SetMailTimeouts(MailTimeouts timeouts);

}  // namespace marlinden
