#include "roster/RosterPanel.h"

#include "widgets/CrlfTextEdit.h"
#include "platform/Codepage.h"
#include "platform/UserDialogs.h"
#include "roster/DuplicateRows.h"
#include "roster/RosterCheck.h"
#include "roster/RosterCleanup.h"
#include "roster/RosterImport.h"
#include "roster/TemplateExport.h"
#include "roster/XlsWorkbook.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

#include <algorithm>
#include <exception>

namespace velmora::roster {
namespace {

const QString XLS_PATTERN = QStringLiteral("*.xls");
const QString SEND_ANYWAY = QStringLiteral("仍然发送");
const QString GO_BACK = QStringLiteral("返回修改");
const QString REMOVE_DUPLICATES = QStringLiteral("删除重复行");

// The editor counts a line break as one character; the roster text holds
// CR LF. Both conversions go through the prefix in front of the caret.
std::size_t caretInRoster(const widgets::CrlfTextEdit& box)
{
    QString before = box.toPlainText().left(box.textCursor().position());
    before.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return static_cast<std::size_t>(before.toUtf8().size());
}

// Shows `text` in `label`, its letters narrowed as far as needed to fit the
// label's width: 标签15 has the room of "共 80 行", and a school's roster
// runs to four digits.
void showNarrowedToFit(QLabel& label, const QString& text)
{
    constexpr int NARROWEST = 50;
    QFont font = label.font();
    font.setStretch(QFont::Unstretched);
    for (int stretch = QFont::Unstretched - 5;
         stretch >= NARROWEST && QFontMetrics(font).horizontalAdvance(text) > label.width(); stretch -= 5)
        font.setStretch(stretch);
    label.setFont(font);
    label.setText(text);
}

int caretInEditor(const std::string& roster, std::size_t caret)
{
    QString before = QString::fromUtf8(roster.data(), static_cast<qsizetype>(caret));
    before.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    before.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return static_cast<int>(before.size());
}

} // namespace

RosterPanel::RosterPanel(QWidget* window, platform::UserDialogs* dialogs, QObject* parent)
    : QObject(parent), m_window(window), m_dialogs(dialogs)
{
    // Every change counts, the program's own writes too (an import, the
    // duplicates taken out): the count is what the phone would get.
    if (widgets::CrlfTextEdit* box = rosterBox())
        connect(box, &QPlainTextEdit::textChanged, this, &RosterPanel::showRowCount);
}

RosterPanel::~RosterPanel() = default;

widgets::CrlfTextEdit* RosterPanel::rosterBox() const
{
    return m_window->findChild<widgets::CrlfTextEdit*>(QStringLiteral("编辑框2"));
}

// Works on the box's UTF-8 text: the clean-up only looks at TAB, quote, CR
// and LF, which are the same bytes in GBK and UTF-8.
void RosterPanel::cleanUp()
{
    widgets::CrlfTextEdit* box = rosterBox();
    if (!box)
        return;
    const std::string text = box->crlfText().toUtf8().toStdString();
    const std::optional<CleanedRoster> cleaned = cleanUpRoster(text, caretInRoster(*box));
    if (!cleaned)
        return;
    box->setCrlfText(QString::fromStdString(cleaned->text));
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(caretInEditor(cleaned->text, cleaned->cursor));
    box->setTextCursor(cursor);
    box->ensureCursorVisible();
}

bool RosterPanel::confirmSend(const QString& roster)
{
    const std::vector<RowFinding> findings = checkRoster(roster.toStdString());
    if (findings.empty())
        return true;
    const bool duplicates = std::any_of(findings.begin(), findings.end(),
                                        [](const RowFinding& f) { return f.fault == RowFault::Duplicate; });
    const QString message = QString::fromStdString(rosterCheckMessage(findings))
        + (duplicates ? QStringLiteral("\n\n可以仍然发送、删除重复行，或返回名册框改好后再发送。")
                      : QStringLiteral("\n\n可以仍然发送，或返回名册框改好后再发送。"));
    const QStringList buttons = duplicates ? QStringList{SEND_ANYWAY, REMOVE_DUPLICATES, GO_BACK}
                                           : QStringList{SEND_ANYWAY, GO_BACK};
    const QString chosen = m_dialogs->askChoice(m_window, message, buttons);
    if (chosen == SEND_ANYWAY)
        return true;
    if (chosen == REMOVE_DUPLICATES)
        removeDuplicateRows();
    else
        goToRow(findings.front().line);
    return false;
}

// Only the repeats go; the box's other text stays byte for byte, and this
// write of the program's own is no edit the clean-up answers.
void RosterPanel::removeDuplicateRows()
{
    widgets::CrlfTextEdit* box = rosterBox();
    if (!box)
        return;
    const DuplicateFreeRoster kept = withoutDuplicateRows(box->crlfText().toStdString());
    box->setCrlfText(QString::fromStdString(kept.text));
    box->setFocus();
}

// Back in the box, at the start of the row to mend.
void RosterPanel::goToRow(std::size_t line)
{
    widgets::CrlfTextEdit* box = rosterBox();
    if (!box)
        return;
    const QTextBlock row = box->document()->findBlockByNumber(static_cast<int>(line) - 1);
    if (row.isValid()) {
        box->setTextCursor(QTextCursor(row));
        box->ensureCursorVisible();
    }
    box->setFocus();
}

void RosterPanel::showRowCount()
{
    auto* label = m_window->findChild<QLabel*>(QStringLiteral("标签15"));
    const widgets::CrlfTextEdit* box = rosterBox();
    if (!label || !box)
        return;
    const std::size_t rows = rosterRowCount(box->crlfText().toStdString());
    showNarrowedToFit(*label, rows == 0 ? QString() : QStringLiteral("共 %1 行").arg(rows));
}

void RosterPanel::exportTemplate()
{
    const QString path = m_dialogs->askSaveFile(m_window, XLS_PATTERN);
    if (path.isEmpty())
        return;
    try {
        XlsWorkbook excel;
        writeTemplate(excel, path.toUtf8().toStdString());
    } catch (const std::exception&) {
        // Out of memory while building the file: like any failed write, the
        // export ends without a word and leaves no file behind.
    }
}

void RosterPanel::importRoster()
{
    const QString path = m_dialogs->askOpenFile(m_window, XLS_PATTERN);
    if (path.isEmpty())
        return;
    ImportedRoster imported;
    try {
        XlsWorkbook excel;
        imported = readRoster(excel, path.toUtf8().toStdString());
    } catch (const std::exception&) {
        imported = {};   // unreadable: treated like a workbook of empty cells
    }
    if (!imported.headerMatches) {
        m_dialogs->showMessage(m_window, QStringLiteral(
            "导入的EXCEL表格模板错误,现在将导出正确的模板,请用此模板重新填写名册后再导入!"));
        exportTemplate();
        return;
    }
    if (widgets::CrlfTextEdit* box = rosterBox())
        box->setCrlfText(QString::fromStdString(platform::gbkToUtf8(imported.text)));
    m_dialogs->showMessage(m_window, QStringLiteral("数据导入完毕,现在可以发送到手机端!"));
}

} // namespace velmora::roster
