#include "platform/controls/StatusBar.h"

#include "platform/controls/Twips.h"

#include <QDateTime>
#include <QFrame>
#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <functional>

namespace quillmap {

// One panel: a sunken frame that paints its own text. A QLabel would post a layout request on
// every change, which a scan that updates the count for each of a million nodes can't afford.
class StatusPanel : public QFrame
{
public:
    static constexpr int kSmallestPixelSize = 9;

    explicit StatusPanel(QWidget* parent) : QFrame(parent)
    {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
    }

    void setText(const QString& text, bool link = false)
    {
        if (link != m_link) {
            m_link = link;
            if (link)
                setCursor(Qt::PointingHandCursor);
            else
                unsetCursor();
            update();
        }
        if (text == m_text)
            return;
        m_text = text;
        update();
    }
    const QString& text() const { return m_text; }
    bool isLink() const { return m_link; }
    std::function<void()> clicked;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QFrame::paintEvent(event);
        QPainter painter(this);
        const QRect area = contentsRect().adjusted(3, 0, -3, 0);
        // Large counts are wider than the panel: a smaller font first, "..." only past that.
        QFont font = this->font();
        if (m_link) {
            font.setUnderline(true);
            painter.setFont(font);
            painter.setPen(palette().color(QPalette::Link));
        }
        int pixels = QFontInfo(font).pixelSize();
        while (pixels > kSmallestPixelSize &&
               QFontMetrics(font).horizontalAdvance(m_text) > area.width()) {
            font.setPixelSize(--pixels);
            painter.setFont(font);
        }
        painter.drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                         QFontMetrics(font).elidedText(m_text, Qt::ElideRight, area.width()));
    }

    bool event(QEvent* event) override
    {
        // The whole text as a tool tip, read when asked rather than set on every change, with
        // the bar's own tool tip (the search's filters) beside it.
        if (event->type() == QEvent::ToolTip) {
            const auto* help = static_cast<QHelpEvent*>(event);
            const QString barTip = parentWidget() ? parentWidget()->toolTip() : QString();
            const QString tip =
                m_text.isEmpty() || barTip.isEmpty() ? m_text + barTip : m_text + u'\n' + barTip;
            if (!tip.isEmpty())
                QToolTip::showText(help->globalPos(), tip, this);
            else
                QToolTip::hideText();
            return true;
        }
        if (event->type() == QEvent::MouseButtonRelease && m_link && clicked &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
            rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            clicked();
            return true;
        }
        return QFrame::event(event);
    }

private:
    QString m_text;
    bool m_link = false;
};

StatusBar::StatusBar(QWidget* parent) : QWidget(parent)
{
    int left = 0;
    for (int i = 0; i < kPanelCount; ++i) {
        m_panels[i] = new StatusPanel(this);
        m_panels[i]->clicked = [this, i] { emit linkActivated(i + 1); };
        const int width = twipsToPixels(kPanelWidthsTwips[i]);
        m_panels[i]->setGeometry(left, 2, width, 0); // height follows the bar, see resizeEvent
        left += width;
    }
    m_clock.setSingleShot(true);
    m_clock.setTimerType(Qt::PreciseTimer);
    connect(&m_clock, &QTimer::timeout, this, &StatusBar::refreshClock);
    refreshClock();
}

void StatusBar::setPanelText(int panel, const QString& text)
{
    if (panel >= 1 && panel <= kPanelCount)
        m_panels[panel - 1]->setText(text);
}

void StatusBar::setPanelLink(int panel, const QString& text)
{
    if (panel >= 1 && panel <= kPanelCount)
        m_panels[panel - 1]->setText(text, true);
}

bool StatusBar::isPanelLink(int panel) const
{
    return panel >= 1 && panel <= kPanelCount && m_panels[panel - 1]->isLink();
}

QString StatusBar::panelText(int panel) const
{
    return panel >= 1 && panel <= kPanelCount ? m_panels[panel - 1]->text() : QString();
}

QRect StatusBar::panelRect(int panel) const
{
    return panel >= 1 && panel <= kPanelCount ? m_panels[panel - 1]->geometry() : QRect();
}

void StatusBar::refreshClock()
{
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale;
    const QString timeFormat = locale.timeFormat(QLocale::ShortFormat);
    setPanelText(2, locale.toString(now.date(), QLocale::ShortFormat));
    setPanelText(3, locale.toString(now.time(), timeFormat));
    // Wake just after the shown time next changes: each second where the locale's time shows
    // seconds, else each minute (the date can change only then too).
    const bool showsSeconds = timeFormat.contains(QLatin1Char('s'));
    const int period = showsSeconds ? 1000 : 60'000;
    const int into = (showsSeconds ? 0 : now.time().second() * 1000) + now.time().msec();
    m_clock.start(period - into + 20);
}

void StatusBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Panel 1 takes what the bar has beyond its described width, for longer messages.
    const int extra = std::max(0, width() - twipsToPixels(kWidthTwips));
    int left = 0;
    for (int i = 0; i < kPanelCount; ++i) {
        const int panelWidth = twipsToPixels(kPanelWidthsTwips[i]) + (i == 0 ? extra : 0);
        m_panels[i]->setGeometry(left, 2, panelWidth, std::max(0, height() - 2));
        left += panelWidth;
    }
}

} // namespace quillmap
