#pragma once

#include <QObject>

#include <functional>
#include <string>

class QWidget;

namespace quillmap {

// Takes a folder dropped on the window (from a file manager) as the start folder: a dragged
// local folder is accepted anywhere on the window that takes no drop of its own, and its path
// goes to `dropped`. Anything else is refused, so the pointer shows it can't be dropped.
class FolderDrop : public QObject
{
    Q_OBJECT
public:
    FolderDrop(QWidget& window, std::function<void(const std::string& folder)> dropped);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void(const std::string&)> m_dropped;
};

} // namespace quillmap
