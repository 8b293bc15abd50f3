#include "about/frmAbout.h"

namespace quillmap {

// Placeholder until the About window lands.
frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {}

} // namespace quillmap
