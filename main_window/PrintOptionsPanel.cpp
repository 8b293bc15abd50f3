#include "main_window/PrintOptionsPanel.h"

#include "support/LangFunctions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QSpinBox>

namespace quillmap {

using LangFunctions::MessageText;

PrintOptionsPanel::PrintOptionsPanel(QWidget* parent)
    : QGroupBox(MessageText(208, "Tree printout"), parent), m_size(new QSpinBox(this)),
      m_bold(new QCheckBox(MessageText(209, "Bold"), this)),
      m_footer(new QCheckBox(MessageText(210, "Footer with the date, time and page number"), this)),
      m_layout(new QComboBox(this)), m_pages(new QLabel(this))
{
    setObjectName(QStringLiteral("printOptions"));
    m_size->setRange(PrintSettings::kLeastFontSize, PrintSettings::kLargestFontSize);
    m_size->setSuffix(QStringLiteral(" pt"));
    m_layout->addItem(MessageText(212, "Lines: the details after each name"));
    m_layout->addItem(MessageText(213, "Columns: each detail in a column"));
    auto* size = new QHBoxLayout;
    size->addWidget(m_size);
    size->addWidget(m_bold);
    size->addStretch();
    auto* form = new QFormLayout(this);
    form->addRow(MessageText(211, "Font size:"), size);
    form->addRow(MessageText(214, "Layout:"), m_layout);
    form->addRow(QString(), m_footer);
    form->addRow(MessageText(215, "Pages:"), m_pages);
    setSettings(PrintSettings());
    for (QCheckBox* box : {m_bold, m_footer})
        connect(box, &QCheckBox::toggled, this, &PrintOptionsPanel::settingsChanged);
    connect(m_size, &QSpinBox::valueChanged, this, &PrintOptionsPanel::settingsChanged);
    connect(m_layout, &QComboBox::currentIndexChanged, this, &PrintOptionsPanel::settingsChanged);
}

PrintSettings PrintOptionsPanel::settings() const
{
    PrintSettings chosen;
    chosen.fontSize = std::int16_t(m_size->value());
    chosen.bold = m_bold->isChecked();
    chosen.footer = m_footer->isChecked();
    chosen.layout = m_layout->currentIndex() == 1 ? PrintLayout::Columns : PrintLayout::Lines;
    return chosen;
}

void PrintOptionsPanel::setSettings(const PrintSettings& chosen)
{
    const QSignalBlocker size(m_size);
    const QSignalBlocker bold(m_bold);
    const QSignalBlocker footer(m_footer);
    const QSignalBlocker layout(m_layout);
    m_size->setValue(chosen.fontSize);
    m_bold->setChecked(chosen.bold);
    m_footer->setChecked(chosen.footer);
    m_layout->setCurrentIndex(chosen.layout == PrintLayout::Columns ? 1 : 0);
}

void PrintOptionsPanel::setPageCount(int pages)
{
    m_pageCount = pages;
    m_pages->setText(pages < 0 ? MessageText(216, "counting...") : QLocale().toString(pages));
}

} // namespace quillmap
