#pragma once

#include <optional>
#include <string>
#include <string_view>

// The program's one UTF-8/UTF-16 conversion, written by hand so both platforms judge text
// alike: the system calls differ in what they refuse, and the compact reply text is UTF-8.
namespace base {

// Strict UTF-8 to UTF-16: nullopt for any ill-formed sequence (overlong forms, surrogates,
// code points above U+10FFFF, truncated sequences).
std::optional<std::u16string> utf8_to_utf16(std::string_view utf8);

// UTF-16 to UTF-8 where every unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(std::u16string_view utf16);

// The text itself when it is valid UTF-8, else a copy with each ill-formed sequence
// replaced by U+FFFD, so that any failure text can be carried in a JSON reply.
std::string valid_utf8(std::string_view text);

}  // namespace base
