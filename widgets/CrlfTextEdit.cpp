#include "widgets/CrlfTextEdit.h"

#include <QTextCursor>

namespace velmora::widgets {
namespace {

QString toEditorText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

CrlfTextEdit::CrlfTextEdit(QWidget* parent) : QPlainTextEdit(parent)
{
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        if (m_programWrites == 0)
            Q_EMIT userEdited();
    });
}

QString CrlfTextEdit::crlfText() const
{
    QString text = toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

void CrlfTextEdit::setCrlfText(const QString& text)
{
    ++m_programWrites;
    setPlainText(toEditorText(text));
    --m_programWrites;
}

void CrlfTextEdit::appendCrlfText(const QString& text)
{
    ++m_programWrites;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(toEditorText(text));
    --m_programWrites;
}

} // namespace velmora::widgets
