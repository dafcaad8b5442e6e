// Conversion of code page 437 text (the driver's banner) to UTF-8 for display.
#ifndef DYX_HOST_CODE_PAGE_437_H
#define DYX_HOST_CODE_PAGE_437_H

#include <string>
#include <string_view>

namespace host {

// Bytes below 0x80 are ASCII and stay as they are (control characters included); every byte from
// 0x80 up becomes the UTF-8 encoding of its code page 437 character, such as 0xC9 to U+2554.
std::string CodePage437ToUtf8(std::string_view text);

} // namespace host

#endif
