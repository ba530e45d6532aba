// The encodings a mail message is written in: quoted-printable bodies,
// base64 attachments, RFC 2047 header words and RFC 2231 file names, with
// CR LF line ends. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace marlinden::mail {

// The text with every line end (CR LF, LF or CR) made CR LF, quoted-printable
// encoded: lines of at most 76 characters with soft breaks, '=' and bytes
// outside printable ASCII as =XX, a space or tab ending a line encoded.
std::string QuotedPrintable(std::string_view text);

// Base64 of bytes, without line breaks.
std::string Base64(std::span<const std::uint8_t> bytes);
// The length of bytes base64 encoded in lines of 76 characters, each ended
// by CR LF (kBase64LineInput input bytes to a line).
inline constexpr std::size_t kBase64LineInput = 57;
std::uint64_t Base64LinesSize(std::uint64_t bytes);

// A header value on one line: CR and LF become spaces, other control
// characters are dropped.
std::string OneLine(std::string_view text);

// A header text (a subject): as it stands when it is printable ASCII, else
// RFC 2047 encoded words (UTF-8, base64) folded onto continuation lines,
// never splitting a UTF-8 character. Line breaks become spaces first.
std::string HeaderText(std::string_view text);
// A display name before an address: a quoted string when it is printable
// ASCII, else encoded words. Empty for an empty name.
std::string DisplayName(std::string_view name);

// The value of an RFC 2231 file name parameter (filename*=...): the last
// path component, control characters removed, UTF-8 percent-encoded.
// "attachment" when nothing is left.
std::string FileNameParameter(std::string_view path);

// True when address can go into an envelope and a header as it stands: not
// empty, no control characters, spaces, '<', '>' or ','.
bool IsAcceptableAddress(std::string_view address);

}  // namespace marlinden::mail
