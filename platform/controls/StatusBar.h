#pragma once

#include <QString>
#include <QTimer>
#include <QWidget>

#include <array>

namespace quillmap {

class StatusPanel;

// The main window's status bar: three sunken panels side by side at fixed widths (2400, 1440
// and 1440 twips in a bar 5400 twips wide); in a wider bar, panel 1 takes the extra width. Panel 1
// holds whatever text it is given; panels 2 and 3 show the current date and time and keep them
// current by themselves, with a timer that wakes whenever the shown time changes. A panel's tool
// tip is its whole text, with the bar's tool tip under it.
//
// Contract: panels are numbered 1 to 3. setPanelText() is cheap enough to call after every node
// of a scan (it stores the text and marks the panel dirty, nothing more); a caller that runs
// without the event loop makes the change visible with repaint().
class StatusBar : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPanelCount = 3;
    static constexpr std::array<int, kPanelCount> kPanelWidthsTwips{2400, 1440, 1440};
    static constexpr int kWidthTwips = 5400;

    explicit StatusBar(QWidget* parent = nullptr);

    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    // The same text shown as a link (underlined, a pointing hand over it): a click on the
    // panel emits linkActivated(panel). The next setPanelText() makes it plain text again.
    void setPanelLink(int panel, const QString& text);
    bool isPanelLink(int panel) const;
    // The geometry of a panel in the status bar's coordinates.
    QRect panelRect(int panel) const;

    // Writes the current date and time into panels 2 and 3 and arms the timer for their next
    // change.
    void refreshClock();

signals:
    void linkActivated(int panel);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::array<StatusPanel*, kPanelCount> m_panels{};
    QTimer m_clock;
};

} // namespace quillmap
