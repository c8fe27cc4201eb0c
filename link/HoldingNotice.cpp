#include "link/HoldingNotice.h"

#include "platform/Files.h"
#include "platform/UserDialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <vector>

namespace velmora::link {
namespace {

QString text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

HoldingNotice::HoldingNotice(QWidget* window, platform::UserDialogs* dialogs, std::filesystem::path holdingFolder)
    : m_window(window), m_dialogs(dialogs),
      m_holdingFolder(text(platform::utf8FromPath(holdingFolder)))
{
}

QString HoldingNotice::lineText(const HoldingState& state)
{
    if (state.held == 0)
        return {};
    if (state.inMemory > 0)
        return QStringLiteral("暂存失败！%1 张照片只在内存中").arg(state.inMemory);
    return QStringLiteral("接收目录不可用，已暂存 %1 张照片").arg(state.held);
}

QString HoldingNotice::outageText(const HoldingState& state) const
{
    const QString folder = text(state.failedDirectory);
    const QString what = state.cause == StoreResult::Status::FolderMissing
        ? QStringLiteral("接收目录“%1”不可用（U盘或移动硬盘拔出了？网络盘断开了？目录被移走了？）。").arg(folder)
        : QStringLiteral("照片无法写入接收目录“%1”（磁盘满了？没有写入权限？）。").arg(folder);
    return what + QStringLiteral("\n\n收到的照片不会丢失：已暂存在本机“%1”。接收目录恢复后，或用“选择目录...”"
                                 "另选接收目录后，会按收到的顺序自动写入。").arg(m_holdingFolder);
}

QString HoldingNotice::memoryText(const HoldingState& state) const
{
    return QStringLiteral("照片既不能写入接收目录，也不能暂存到本机“%1”（本机磁盘满了？）。\n\n"
                          "%2 张照片现在只在内存中，关闭程序会丢失它们。请不要关闭程序，尽快腾出磁盘空间，"
                          "或用“选择目录...”另选接收目录。")
        .arg(m_holdingFolder).arg(state.inMemory);
}

QString HoldingNotice::earlierRunText(const HoldingState& state) const
{
    const auto* box = m_window ? m_window->findChild<QLineEdit*>(QStringLiteral("目录编辑框1")) : nullptr;
    return QStringLiteral("上次运行时有 %1 张照片未能写入接收目录，现已写入“%2”。")
        .arg(state.earlierRun).arg(box ? box->text() : QString());
}

void HoldingNotice::showLine(const HoldingState& state)
{
    auto* line = m_window ? m_window->findChild<QLabel*>(QStringLiteral("标签13")) : nullptr;
    if (!line)
        return;
    line->setText(lineText(state));
    line->setToolTip(state.held ? QStringLiteral("暂存在本机“%1”").arg(m_holdingFolder) : QString());
    line->setVisible(state.held > 0);
}

void HoldingNotice::show(const HoldingState& state)
{
    showLine(state);
    if (state.held == 0) {
        m_outageTold = false;
        m_memoryTold = false;
    }
    // The flags are set before any box is shown: a call from within a box's
    // event loop must not show it again.
    // Photos in memory only say what an outage's box would say, and more.
    std::vector<QString> messages;
    if (state.inMemory > 0 && !m_memoryTold) {
        m_memoryTold = true;
        m_outageTold = true;
        messages.push_back(memoryText(state));
    }
    if (state.held > 0 && state.cause != StoreResult::Status::Stored && !m_outageTold) {
        m_outageTold = true;
        messages.push_back(outageText(state));
    }
    if (state.earlierRun > 0 && state.earlierRunWritten == state.earlierRun && !m_earlierRunTold) {
        m_earlierRunTold = true;
        messages.push_back(earlierRunText(state));
    }
    for (const QString& message : messages) {
        QApplication::beep();
        m_dialogs->showMessage(m_window, message);
    }
}

} // namespace velmora::link
