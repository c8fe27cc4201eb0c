#pragma once

// Answers the program's dialogs in tests: each ask returns the next queued
// answer ("" = cancel when none is queued) and every question is recorded.

#include "platform/UserDialogs.h"

#include <QQueue>
#include <QStringList>

#include <functional>

namespace velmora::test {

class FakeDialogs final : public platform::UserDialogs {
public:
    QStringList messages;       // texts of the message boxes shown
    QStringList questions;      // "save *.xls", "open *.xls", "folder <title> <start>",
                                // "proceed <text>", "choose <text> [<button>|<button>…]"
    QQueue<QString> answers;    // next paths or folders to answer with
    std::function<void()> whileAsking; // runs inside each askToProceed, before it answers

    int beeps = 0;              // beeps given

    void showMessage(QWidget*, const QString& text) override { messages << text; }
    void beep() override { ++beeps; }
    // Proceeds when the next answer is the `proceed` button's text.
    bool askToProceed(QWidget*, const QString& text, const QString& proceed, const QString&) override
    {
        questions << QStringLiteral("proceed ") + text;
        if (whileAsking)
            whileAsking();
        return next() == proceed;
    }
    // Chooses the next answer when it is one of the buttons, else the last.
    QString askChoice(QWidget*, const QString& text, const QStringList& buttons) override
    {
        questions << QStringLiteral("choose ") + text + QStringLiteral(" [") + buttons.join(QLatin1Char('|'))
                + QLatin1Char(']');
        const QString answer = next();
        return buttons.contains(answer) ? answer : buttons.value(buttons.size() - 1);
    }
    QString askSaveFile(QWidget*, const QString& pattern) override
    {
        questions << QStringLiteral("save ") + pattern;
        return next();
    }
    QString askOpenFile(QWidget*, const QString& pattern) override
    {
        questions << QStringLiteral("open ") + pattern;
        return next();
    }
    QString askFolder(QWidget*, const QString& title, const QString& start) override
    {
        questions << QStringLiteral("folder ") + title + QLatin1Char(' ') + start;
        return next();
    }

private:
    QString next() { return answers.isEmpty() ? QString() : answers.dequeue(); }
};

} // namespace velmora::test
