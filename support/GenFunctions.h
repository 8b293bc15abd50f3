#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

namespace quillmap::GenFunctions {

// String and window helpers. Stateless. A "space" is the space character alone; tabs and other
// white space are ordinary characters here.

// The text trimmed of spaces, with every occurrence of the first character of `Find` (compared
// exactly) replaced by `ReplaceWith`, trimmed again. Empty text when `Find` is empty.
QString ReplaceChar(const QString& Text, const QString& Find, const QString& ReplaceWith);

// Every space-separated word with an upper-case first character and the rest in lower case,
// joined by single spaces; empty text for empty or all-space input. A leading run of spaces
// leaves one space in front; trailing spaces leave one space only after a lone word that starts
// the text ("ab  " gives "Ab ").
QString ProperCase(const QString& Text);

// Field `FieldNumber` (from 1) of `Text` split at `Delimiter`. Empty text when the text or the
// delimiter is empty or all spaces, when the number is below 1 or past the last field, and when
// the text holds no delimiter at all (even for field 1).
QString GetField(const QString& Text, const QString& Delimiter, int FieldNumber);

// The top-left that centres a window of size `window` on `screen` (which may lie anywhere on the
// virtual desktop); negative offsets when the window is larger than the screen.
QPoint CentredPosition(const QSize& window, const QRect& screen);

// Moves `form` (a top-level widget) to the centre of its screen, size unchanged. Always true.
// Lives in quillmap_gui: it needs widgets.
bool CentreForm(QWidget* form);

} // namespace quillmap::GenFunctions
