#pragma once

#include <QDialog>

namespace quillmap {

// The About window. The main window creates it once and shows it modally with exec() on every
// About click; each showing loads its captions afresh.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);
};

} // namespace quillmap
