#pragma once

// Percent decoding of what the phone sends on the command channel. The phone
// percent-encodes its UTF-8 text, but bytes outside escapes are taken as they
// are, so unescaped UTF-8 works too. Decoding never fails: a malformed escape
// still yields one byte, so the phone and the PC agree on every input.

#include <string>
#include <string_view>

namespace velmora::link {

struct PercentDecoded {
    // The decoded bytes, without any byte that decoded to zero.
    std::string bytes;
    // True when a "%" stands among the last two bytes of the input: that
    // escape and anything behind it was left undecoded, since the rest of
    // the escape may come with the next piece.
    bool endsInsideEscape = false;
};

// Decodes `text` byte by byte. A byte other than "%" is copied unchanged
// (bytes from 0x80 up and "+" included). "%" takes the next two bytes as hex
// digits, upper- or lower-case; a byte that is no hex digit counts -2, and
// the output byte is (16 * high + low) modulo 256, e.g. "%G1" gives 0xE1.
// An escape that gives 0 adds nothing. `text` is taken whole: zero bytes in
// it are copied like any other byte (the caller cuts the text at its first
// zero first). Never throws except std::bad_alloc.
PercentDecoded percentDecode(std::string_view text);

// Whether UTF-8 `bytes` end in the middle of a multi-byte character: a lead
// byte followed by fewer continuation bytes than it announces, all of them
// valid so far. Such a tail can still become a character when more bytes
// arrive; an invalid tail cannot and returns false.
bool endsInsideUtf8Character(std::string_view bytes);

} // namespace velmora::link
