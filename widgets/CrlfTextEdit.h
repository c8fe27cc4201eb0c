#pragma once

#include <QPlainTextEdit>

namespace velmora::widgets {

// A multi-line edit box whose text the program reads and writes with CR LF
// line breaks, as the roster and the phone expect them; Qt's editor itself
// holds "\n". userEdited() fires only for the user's own changes (typing,
// pasting, deleting), never for writes made through setCrlfText() or
// appendCrlfText().
class CrlfTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CrlfTextEdit(QWidget* parent = nullptr);

    // The text with every line break as "\r\n".
    QString crlfText() const;
    // Replaces the text; "\r\n" (and a lone "\r") become line breaks.
    void setCrlfText(const QString& text);
    // Appends at the end of the text without adding a line break of its own.
    void appendCrlfText(const QString& text);

Q_SIGNALS:
    void userEdited();

private:
    int m_programWrites = 0;
};

} // namespace velmora::widgets
