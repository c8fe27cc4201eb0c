#pragma once

namespace velmora::platform {

// The separator between directory levels in the receive directory's text and
// in the paths built from it. The phone always uses "\"; it is mapped to this
// one where a path is built.
#ifdef _WIN32
inline constexpr char PATH_SEPARATOR = '\\';
#else
inline constexpr char PATH_SEPARATOR = '/';
#endif

} // namespace velmora::platform
