#include "main_window/PrintDir.h"

namespace quillmap {

// Placeholder until the print engine lands: prints nothing.
void PrintDir(QWidget*, NodeStore&, std::shared_ptr<CPrintTvw>&) {}

} // namespace quillmap
