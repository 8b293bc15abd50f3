#include "platform/controls/WindowScanControls.h"

#include "platform/controls/FolderList.h"
#include "platform/controls/OptionsList.h"

#include <QComboBox>
#include <QLineEdit>

namespace quillmap {

WindowScanControls::WindowScanControls(const FolderList& dir1, const QComboBox& combo1,
                                       const QLineEdit& text1, const OptionsList& listView1)
    : m_startFolder(dir1.path()), m_levelsText(combo1.currentText()), m_fileTypesText(text1.text())
{
    for (int i = 1; i <= DetailTicks::kCount; ++i)
        m_ticks.set(i, listView1.isChecked(i));
}

} // namespace quillmap
