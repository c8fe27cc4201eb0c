// The roster box and its buttons in the real main window: the clean-up on
// the user's own edits, the template export and the roster import, with the
// dialogs answered by a fake.

#include "XlsTestTools.h"

#include "app/MainWindow.h"
#include "widgets/CrlfTextEdit.h"
#include "roster/RosterPanel.h"
#include "roster/XlsReader.h"
#include "tests/support/FakeDialogs.h"
#include "tests/support/TestWindow.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace velmora;

namespace {

const QString TEMPLATE_ERROR = QStringLiteral(
    "导入的EXCEL表格模板错误,现在将导出正确的模板,请用此模板重新填写名册后再导入!");
const QString IMPORT_DONE = QStringLiteral("数据导入完毕,现在可以发送到手机端!");
const QString SAVE = QStringLiteral("save *.xls");
const QString OPEN = QStringLiteral("open *.xls");

} // namespace

class RosterPanelTest : public QObject {
    Q_OBJECT

private:
    void makeWindow()
    {
        m_dialogs = test::FakeDialogs();
        app::MainWindowOptions options = test::testWindowOptions(QString::fromStdString(m_dir.file("set.ini")), &m_dialogs);
        m_window = std::make_unique<app::MainWindow>(options);
        m_box = m_window->findChild<widgets::CrlfTextEdit*>(QStringLiteral("编辑框2"));
        QVERIFY(m_box);
    }
    void click(const char16_t* name)
    {
        auto* button = m_window->findChild<QPushButton*>(QString::fromUtf16(name));
        QVERIFY(button);
        button->click();
    }
    QString path(const char* name) const { return QString::fromStdString(m_dir.file(name)); }
    QString rowCount() const { return m_window->findChild<QLabel*>(QStringLiteral("标签15"))->text(); }
    roster::RosterPanel* panel() const { return m_window->findChild<roster::RosterPanel*>(); }
    static bool exists(const QString& file) { return QFileInfo::exists(file); }

    test::ScratchDir m_dir;
    test::FakeDialogs m_dialogs;
    std::unique_ptr<app::MainWindow> m_window;
    widgets::CrlfTextEdit* m_box = nullptr;

private Q_SLOTS:
    void init() { makeWindow(); }
    void cleanup() { m_window.reset(); }

    // A spreadsheet paste is cleaned at once, and the caret stays at the end
    // of what was pasted rather than jumping to the start of the box.
    void pasteIsCleaned_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("caret");
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("caretAfter");
        QTest::newRow("quoted:into_empty_box") << QString() << 0
            << QStringLiteral("4111\t张三\t\"\t110\"\t1班\r\n") << QStringLiteral("4111\t张三\t110\t1班\r\n") << 15;
        QTest::newRow("quoted:between_lines") << QStringLiteral("甲\r\n乙") << 2
            << QStringLiteral("a\t\"\tb\"\tc\r\n") << QStringLiteral("甲\r\na\tb\tc\r\n乙") << 8;
        QTest::newRow("plain:kept_as_pasted") << QString() << 0
            << QStringLiteral("\"A\"\t王\"五\"\r\n") << QStringLiteral("\"A\"\t王\"五\"\r\n") << 9;
    }
    void pasteIsCleaned()
    {
        QFETCH(QString, before);
        QFETCH(int, caret);
        QFETCH(QString, pasted);
        QFETCH(QString, after);
        QFETCH(int, caretAfter);
        m_box->setCrlfText(before);
        QTextCursor cursor = m_box->textCursor();
        cursor.setPosition(caret);
        m_box->setTextCursor(cursor);
        QGuiApplication::clipboard()->setText(pasted);
        if (QGuiApplication::clipboard()->text() != pasted)
            m_box->insertPlainText(pasted);   // a platform without a clipboard
        else
            m_box->paste();
        QCOMPARE(m_box->crlfText(), after);
        QCOMPARE(m_box->textCursor().position(), caretAfter);
    }

    // Typing a quote right after a TAB takes the quote away at once; the TAB
    // stays, so the field typed next is not glued to the one before. The
    // row count follows what is typed.
    void typedQuoteAfterTab()
    {
        m_box->setFocus();
        QTest::keyClicks(m_box, QStringLiteral("A\tB\t\"C"));
        QCOMPARE(m_box->crlfText(), QStringLiteral("A\tB\tC"));
        QCOMPARE(m_box->textCursor().position(), 5);
        QCOMPARE(rowCount(), QStringLiteral("共 1 行"));
    }

    // 标签15 counts the rows the phone gets, for every kind of change of the
    // box; empty lines are no rows and an empty box shows nothing.
    void rowCountFollowsTheBox_data()
    {
        QTest::addColumn<QString>("roster");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("only_line_breaks") << QStringLiteral("\r\n\r\n") << QString();
        QTest::newRow("one_row_without_break") << QStringLiteral("a\tb") << QStringLiteral("共 1 行");
        QTest::newRow("empty_lines_between") << QStringLiteral("a\r\n\r\nb\r\n\r\n") << QStringLiteral("共 2 行");
        QTest::newRow("a_school") << QStringLiteral("3301\t学生\t\t1\r\n").repeated(1234) << QStringLiteral("共 1234 行");
    }
    void rowCountFollowsTheBox()
    {
        QFETCH(QString, roster);
        QFETCH(QString, shown);
        m_box->setCrlfText(QStringLiteral("x\r\ny\r\nz\r\n"));
        QCOMPARE(rowCount(), QStringLiteral("共 3 行"));
        m_box->setCrlfText(roster);
        QCOMPARE(rowCount(), shown);
        // A school's four digits must not be cut off in the label's room.
        const auto* label = m_window->findChild<QLabel*>(QStringLiteral("标签15"));
        QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->width());
    }

    // A roster pasted twice: the send check offers 删除重复行, and only that
    // click changes the box, taking out just the repeats. The box's own
    // write is no edit: the quotes the clean-up would take stay.
    void duplicatesRemovedOnlyOnClick()
    {
        const QString once = QStringLiteral("S\t\"王五\"\t\t1\r\nS\t李四\t\t2\r\n");
        m_box->setCrlfText(once + once);
        QCOMPARE(rowCount(), QStringLiteral("共 4 行"));

        m_dialogs.answers << QStringLiteral("返回修改");
        QVERIFY(!panel()->confirmSend(m_box->crlfText()));
        QCOMPARE(m_dialogs.questions.size(), 1);
        QVERIFY(m_dialogs.questions.last().startsWith(QStringLiteral("choose 名册中有 2 行重复（可能粘贴了两次）")));
        QVERIFY(m_dialogs.questions.last().endsWith(QStringLiteral("[仍然发送|删除重复行|返回修改]")));
        QCOMPARE(m_box->crlfText(), once + once);

        m_dialogs.answers << QStringLiteral("删除重复行");
        QVERIFY(!panel()->confirmSend(m_box->crlfText()));
        QCOMPARE(m_box->crlfText(), once);
        QCOMPARE(rowCount(), QStringLiteral("共 2 行"));
        // What is left is clean: the next click sends without a question.
        QVERIFY(panel()->confirmSend(m_box->crlfText()));
        QCOMPARE(m_dialogs.questions.size(), 2);
    }

    // Cancelling the save dialog writes nothing and says nothing.
    void exportCancelled()
    {
        m_box->setCrlfText(QStringLiteral("1\t2\t3\t4\r\n"));
        const std::size_t before = m_dir.entryCount();
        click(u"按钮3");
        QCOMPARE(m_dialogs.questions, QStringList{SAVE});
        QVERIFY(m_dialogs.messages.isEmpty());
        QCOMPARE(m_dir.entryCount(), before);
        QCOMPARE(m_box->crlfText(), QStringLiteral("1\t2\t3\t4\r\n"));
    }

    // The chosen file holds the four headings and nothing else, also when it
    // replaces a filled roster; the box keeps its roster.
    void exportWritesTemplate()
    {
        m_box->setCrlfText(QStringLiteral("1\t2\t3\t4\r\n"));
        const std::string filled = test::xlwtWorkbook(m_dir, "three_students");
        QVERIFY(!filled.empty());
        std::filesystem::rename(filled, m_dir.file("名册模板.xls"));
        m_dialogs.answers << path("名册模板.xls");
        click(u"按钮3");
        const auto sheet = roster::readFirstWorksheet(m_dir.file("名册模板.xls"));
        QVERIFY(sheet.has_value());
        QCOMPARE(sheet->size(), std::size_t(4));
        QCOMPARE(QString::fromStdString(sheet->at({0, 1}).text), QStringLiteral("姓名"));
        QVERIFY(m_dialogs.messages.isEmpty());
        QCOMPARE(m_box->crlfText(), QStringLiteral("1\t2\t3\t4\r\n"));
    }

    // The import replaces the box's text, does not clean its own write (the
    // quoted ID stays), and reports completion.
    void importFilledWorkbook_data()
    {
        QTest::addColumn<QString>("workbook");
        QTest::addColumn<QString>("roster");
        QTest::newRow("three_students") << QStringLiteral("three_students")
            << QStringLiteral("4111011001\t张三\t110101200501011234\t1班\r\n"
                              "4111011001\t李四\t11010120050202123X\t1班\r\n"
                              "4111011001\t王五\t110101200503031235\t2班\r\n");
        QTest::newRow("quoted_id_not_cleaned") << QStringLiteral("quoted_id")
            << QStringLiteral("A\t甲\t\"110\"\t一\r\n");
        QTest::newRow("header_only_empties_box") << QStringLiteral("header_only") << QString();
    }
    void importFilledWorkbook()
    {
        QFETCH(QString, workbook);
        QFETCH(QString, roster);
        const std::string file = test::xlwtWorkbook(m_dir, workbook.toStdString());
        QVERIFY(!file.empty());
        m_box->setCrlfText(QStringLiteral("old\troster\t\t\r\n"));
        m_dialogs.answers << QString::fromStdString(file);
        click(u"按钮4");
        QCOMPARE(m_box->crlfText(), roster);
        QCOMPARE(m_dialogs.messages, QStringList{IMPORT_DONE});
        QCOMPARE(m_dialogs.questions, QStringList{OPEN});
    }

    // A wrong header, or no workbook at all: the message, then the export's
    // own save dialog; the box is not touched either way.
    void importWrongTemplate_data()
    {
        QTest::addColumn<bool>("workbook");
        QTest::addColumn<QString>("saveAs");
        QTest::newRow("blank_after_name:export_cancelled") << true << QString();
        QTest::newRow("blank_after_name:export_saved") << true << QStringLiteral("new.xls");
        QTest::newRow("not_a_workbook:export_saved") << false << QStringLiteral("new.xls");
    }
    void importWrongTemplate()
    {
        QFETCH(bool, workbook);
        QFETCH(QString, saveAs);
        std::string file = m_dir.file("text.xls");
        if (workbook)
            file = test::xlwtWorkbook(m_dir, "blank_after_name");
        else
            test::writeText(file, "学校标识码\t姓名\t身份证号\t班级编号\r\n");
        QVERIFY(!file.empty());
        m_box->setCrlfText(QStringLiteral("kept\r\n"));
        m_dialogs.answers << QString::fromStdString(file);
        if (!saveAs.isEmpty())
            m_dialogs.answers << path("new.xls");
        else
            m_dialogs.answers << QString();
        click(u"按钮4");
        QCOMPARE(m_dialogs.messages, QStringList{TEMPLATE_ERROR});
        QCOMPARE(m_dialogs.questions, (QStringList{OPEN, SAVE}));
        QCOMPARE(m_box->crlfText(), QStringLiteral("kept\r\n"));
        QCOMPARE(exists(path("new.xls")), !saveAs.isEmpty());
        if (!saveAs.isEmpty())
            QCOMPARE(roster::readFirstWorksheet(m_dir.file("new.xls"))->size(), std::size_t(4));
    }

    // Cancelling the open dialog changes nothing.
    void importCancelled()
    {
        m_box->setCrlfText(QStringLiteral("kept\r\n"));
        click(u"按钮4");
        QCOMPARE(m_dialogs.questions, QStringList{OPEN});
        QVERIFY(m_dialogs.messages.isEmpty());
        QCOMPARE(m_box->crlfText(), QStringLiteral("kept\r\n"));
    }
};

QTEST_MAIN(RosterPanelTest)
#include "RosterPanelTest.moc"
