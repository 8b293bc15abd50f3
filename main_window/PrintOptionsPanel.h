#pragma once

#include "printing/PrintSettings.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QSpinBox;

namespace quillmap {

// The print settings the user chooses, where the tree is printed (the print dialog, the
// preview, Save as PDF): the size of the tree's lines, bold or regular, the footer, the layout;
// and how many pages the tree makes with them.
class PrintOptionsPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit PrintOptionsPanel(QWidget* parent = nullptr);

    PrintSettings settings() const;
    void setSettings(const PrintSettings& settings);
    // The pages the tree makes with the settings shown: a count, or -1 while they are counted.
    void setPageCount(int pages);
    int pageCount() const { return m_pageCount; }

signals:
    void settingsChanged();

private:
    QSpinBox* m_size;
    QCheckBox* m_bold;
    QCheckBox* m_footer;
    QComboBox* m_layout;
    QLabel* m_pages;
    int m_pageCount = -1;
};

} // namespace quillmap
