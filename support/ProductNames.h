#pragma once

namespace quillmap {

// The program's name as its documents and print jobs carry it (the PDF creator, the job's
// creator), kept in one place.
inline constexpr char kCreatorName[] = "Quillmap Print";

} // namespace quillmap
