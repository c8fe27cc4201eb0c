#pragma once

// Whether a photo file holds all of its picture. A JPEG cut short still
// decodes: the decoder fills the missing lines with grey and carries on, so
// a photo the phone's transfer broke off would go to the registry with its
// lower part grey. The file's own structure tells.

#include <string_view>

namespace velmora::registry {

enum class PhotoEnd {
    Whole,     // a JPEG whose scans end in its end-of-image marker, a PNG with its IEND chunk
    CutShort,  // a JPEG or PNG whose data ends before that
    OtherKind, // neither JPEG nor PNG: for the decoder to judge
};

// Walks a JPEG's segments and entropy-coded scans (stuffed bytes and restart
// markers within them, tables and further scans of progressive files
// between them) to its end-of-image marker, or a PNG's chunks to IEND.
// Bytes after the end (phones append such) do not matter.
PhotoEnd photoEnd(std::string_view bytes);

} // namespace velmora::registry
