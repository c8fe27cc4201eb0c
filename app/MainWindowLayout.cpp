#include "app/MainWindowLayout.h"

#include "widgets/CrlfTextEdit.h"
#include "widgets/PictureBox.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <vector>

namespace velmora::app {

using widgets::CrlfTextEdit;
using widgets::PictureBox;
namespace {

const QColor RED(255, 0, 0);
const QColor BLUE(0, 0, 255);
const QColor BLACK(0, 0, 0);
const QColor GREY(128, 128, 128);

void place(QWidget* control, const char16_t* name, int left, int top, int width, int height)
{
    control->setObjectName(QString::fromUtf16(name));
    control->setGeometry(left, top, width, height);
}

void setColour(QWidget* control, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = control->palette();
    palette.setColor(role, colour);
    control->setPalette(palette);
}

void fillBackground(QWidget* control, const QColor& colour)
{
    setColour(control, QPalette::Window, colour);
    control->setAutoFillBackground(true);
}

QFont pixelFont(int pixels, const QString& face = {})
{
    QFont font;
    if (!face.isEmpty())
        font.setFamily(face);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Normal);
    return font;
}

QLabel* label(QWidget* parent, const QString& text, const QColor& colour,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop)
{
    auto* control = new QLabel(text, parent);
    // Plain text keeps runs of spaces, which line the roster header up with
    // the roster's columns.
    control->setTextFormat(Qt::PlainText);
    control->setAlignment(align);
    setColour(control, QPalette::WindowText, colour);
    return control;
}

QGroupBox* groupBox(QWidget* parent, const QString& caption)
{
    auto* box = new QGroupBox(caption, parent);
    // The caption is red; the controls inside set their own text colours.
    setColour(box, QPalette::WindowText, RED);
    return box;
}

void buildRosterGroup(QGroupBox* group)
{
    auto* send = new QPushButton(QStringLiteral("传名册到手机"), group);
    place(send, u"按钮1", 321, 166, 120, 28);

    auto* roster = new CrlfTextEdit(group);
    place(roster, u"编辑框2", 12, 59, 429, 104);
    roster->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    roster->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setColour(roster, QPalette::Text, BLACK);
    setColour(roster, QPalette::Base, Qt::white);

    auto* instruction = label(group,
        QStringLiteral("在Excel表格里按下面格式复制名册(不复制表头)到下表内(右键粘贴)"), BLUE);
    place(instruction, u"标签5", 8, 19, 392, 24);

    auto* header = label(group,
        QStringLiteral("  学校标识码  ｜  姓名  ｜         身份证号        ｜  班级编号"), BLACK);
    place(header, u"标签6", 12, 43, 429, 16);
    fillBackground(header, GREY);

    // How many rows the roster box holds, right of the instruction: a
    // roster pasted twice shows twice the class.
    auto* rowCount = label(group, QString(), BLACK, Qt::AlignRight | Qt::AlignVCenter);
    place(rowCount, u"标签15", 401, 19, 44, 24);
    rowCount->setFont(pixelFont(11));

    auto* exportButton = new QPushButton(QStringLiteral("导出模板"), group);
    place(exportButton, u"按钮3", 11, 166, 80, 28);

    // The import is reachable only from code and tests; the paste workflow is
    // the one users see.
    auto* importButton = new QPushButton(QStringLiteral("导入名册"), group);
    place(importButton, u"按钮4", 114, 166, 80, 28);
    importButton->hide();

    // Raised bottom first, so that 按钮4 ends topmost and 按钮1 lowest.
    for (QWidget* control : std::vector<QWidget*>{send, roster, instruction, header,
                                                  rowCount, exportButton, importButton})
        control->raise();
}

// Which phone the roster would go to and where it went (app/PhoneStatus),
// in the free space between 按钮3 and 按钮1, over the hidden 按钮4.
void buildPhoneStatus(QGroupBox* group)
{
    auto* status = label(group, QStringLiteral("手机未连接"), BLACK, Qt::AlignLeft | Qt::AlignVCenter);
    place(status, u"标签14", 96, 166, 222, 28);
    status->setTextFormat(Qt::RichText);
    status->setFont(pixelFont(11));
}

void buildReceiveGroup(QGroupBox* group)
{
    auto* directoryLabel = label(group, QStringLiteral("接收目录"), BLACK, Qt::AlignLeft | Qt::AlignVCenter);
    place(directoryLabel, u"标签2", 16, 56, 64, 32);
    auto* countLabel = label(group, QStringLiteral("收到文件个数:"), BLACK, Qt::AlignLeft | Qt::AlignVCenter);
    place(countLabel, u"标签3", 16, 21, 104, 24);
    auto* count = label(group, QStringLiteral("0"), RED, Qt::AlignLeft | Qt::AlignVCenter);
    place(count, u"标签4", 128, 21, 96, 24);

    auto* directory = new QLineEdit(group);
    place(directory, u"目录编辑框1", 78, 60, 243, 26);
    directory->setReadOnly(true);
    directory->setMaxLength(32767);
    setColour(directory, QPalette::Text, BLACK);
    setColour(directory, QPalette::Base, Qt::white);

    auto* choose = new QPushButton(QStringLiteral("选择目录..."), group);
    place(choose, u"按钮2", 321, 58, 119, 28);

    // The photo check, in the free space right of the count and lined up
    // with 按钮2 below it.
    auto* check = new QPushButton(QStringLiteral("名单核对…"), group);
    place(check, u"按钮7", 321, 19, 119, 28);

    // Photos held while the receive folder cannot take them, in red between
    // the count and 按钮7; empty and hidden while the folder is fine.
    auto* held = label(group, QString(), RED, Qt::AlignLeft | Qt::AlignVCenter);
    place(held, u"标签13", 226, 19, 93, 30);
    held->setWordWrap(true);
    held->setFont(pixelFont(11));
    held->hide();
}

void buildRightColumn(QWidget* window)
{
    auto* help = label(window,
        QStringLiteral("本软件用于与Velmora手机端相互传输数据，采集照片需要用手机端拍照。"
                       "如果您没有安装手机端，请下载手机端APP。"), RED);
    place(help, u"标签9", 476, 10, 168, 85);
    help->setWordWrap(true);
    help->setFont(pixelFont(14));
    // CJK faces carry tall line spacing; five lines of the 14-pixel font must
    // fit the label's 85 pixels, so the lines are set closer together.
    help->setTextFormat(Qt::RichText);
    help->setText(QStringLiteral("<div style=\"line-height:80%\">")
                  + help->text().toHtmlEscaped() + QStringLiteral("</div>"));

    auto* download = new QPushButton(QStringLiteral("下载手机端..."), window);
    place(download, u"按钮5", 476, 97, 168, 28);
    download->setFont(pixelFont(14));

    auto* preview = new PictureBox(window);
    place(preview, u"图片框3", 476, 156, 168, 224);
    preview->setBackground(GREY);
    preview->setFit(PictureBox::Fit::KeepAspect);

    auto* previewCaption = label(window, QStringLiteral("收到的照片"), BLUE, Qt::AlignHCenter | Qt::AlignVCenter);
    place(previewCaption, u"标签10", 498, 132, 120, 24);

    auto* fileName = label(window, QString(), BLACK, Qt::AlignHCenter | Qt::AlignVCenter);
    place(fileName, u"标签11", 476, 382, 168, 24);

    // Over the lower part of the preview, where a roll photo shows the
    // student's shoulders: whose photo it is and its verdict (PhotoVerdict.h).
    // Hidden until the first photo.
    auto* verdict = label(window, QString(), BLACK, Qt::AlignHCenter | Qt::AlignVCenter);
    place(verdict, u"标签12", 476, 340, 168, 40);
    verdict->setFont(pixelFont(13));
    fillBackground(verdict, QColor(255, 255, 255, 225));
    verdict->hide();

    auto* open = new QPushButton(QStringLiteral("打开照片所在目录"), window);
    place(open, u"按钮6", 476, 413, 168, 28);
}

void buildConnectionPanel(QWidget* window)
{
    auto* caption = label(window, QStringLiteral("操作提示："), BLACK);
    place(caption, u"标签1", 16, 11, 80, 17);
    caption->setFont(pixelFont(12, QStringLiteral("宋体")));

    auto* info = new CrlfTextEdit(window);
    place(info, u"编辑框1", 15, 28, 345, 96);
    info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    info->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setColour(info, QPalette::Text, QColor(0, 255, 0));
    setColour(info, QPalette::Base, BLACK);

    auto* qrCaption = label(window, QStringLiteral("手机端扫码连接"), BLACK, Qt::AlignHCenter | Qt::AlignVCenter);
    place(qrCaption, u"标签7", 368, 5, 96, 24);

    auto* qr = new PictureBox(window);
    place(qr, u"图片框1", 368, 28, 96, 96);
    qr->setBackground(QColor(192, 192, 192));
}

void buildQrZoom(QWidget* window)
{
    auto* frame = new QLabel(window);
    place(frame, u"标签8", 296, 124, 24, 32);
    fillBackground(frame, QColor(255, 255, 0));
    frame->hide();

    auto* zoomed = new PictureBox(window);
    place(zoomed, u"图片框2", 328, 132, 16, 16);
    zoomed->hide();
}

// Window-level controls, topmost first.
const std::vector<const char16_t*> STACKING = {
    u"按钮6", u"图片框2", u"标签8", u"标签11", u"标签10", u"标签12", u"图片框3", u"按钮5", u"标签9",
    u"标签7", u"图片框1", u"分组框2", u"分组框1", u"编辑框1", u"标签1",
};

} // namespace

void buildMainWindowControls(QWidget* window)
{
    buildConnectionPanel(window);

    QGroupBox* rosterGroup = groupBox(window, QStringLiteral("发送名册到手机端"));
    place(rosterGroup, u"分组框2", 15, 131, 449, 208);
    buildRosterGroup(rosterGroup);
    buildPhoneStatus(rosterGroup);

    QGroupBox* receiveGroup = groupBox(window, QStringLiteral("从手机端接收照片"));
    place(receiveGroup, u"分组框1", 15, 347, 449, 96);
    buildReceiveGroup(receiveGroup);

    buildRightColumn(window);
    buildQrZoom(window);

    for (auto it = STACKING.rbegin(); it != STACKING.rend(); ++it) {
        if (auto* control = window->findChild<QWidget*>(QString::fromUtf16(*it), Qt::FindDirectChildrenOnly))
            control->raise();
    }
}

} // namespace velmora::app
