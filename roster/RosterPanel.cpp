#include "roster/RosterPanel.h"

#include "widgets/CrlfTextEdit.h"
#include "platform/Codepage.h"
#include "platform/UserDialogs.h"
#include "roster/RosterCheck.h"
#include "roster/RosterCleanup.h"
#include "roster/RosterImport.h"
#include "roster/TemplateExport.h"
#include "roster/XlsWorkbook.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QWidget>

#include <exception>

namespace velmora::roster {
namespace {

const QString XLS_PATTERN = QStringLiteral("*.xls");
const QString SEND_ANYWAY = QStringLiteral("仍然发送");
const QString GO_BACK = QStringLiteral("返回修改");

// The editor counts a line break as one character; the roster text holds
// CR LF. Both conversions go through the prefix in front of the caret.
std::size_t caretInRoster(const widgets::CrlfTextEdit& box)
{
    QString before = box.toPlainText().left(box.textCursor().position());
    before.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return static_cast<std::size_t>(before.toUtf8().size());
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
    const QString message = QString::fromStdString(rosterCheckMessage(findings))
        + QStringLiteral("\n\n可以仍然发送，或返回名册框改好后再发送。");
    if (m_dialogs->askToProceed(m_window, message, SEND_ANYWAY, GO_BACK))
        return true;
    // Back in the box, at the start of the first row to mend.
    if (widgets::CrlfTextEdit* box = rosterBox()) {
        const QTextBlock row = box->document()->findBlockByNumber(static_cast<int>(findings.front().line) - 1);
        if (row.isValid()) {
            box->setTextCursor(QTextCursor(row));
            box->ensureCursorVisible();
        }
        box->setFocus();
    }
    return false;
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
