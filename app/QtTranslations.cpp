#include "app/QtTranslations.h"

#include "platform/Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "velmora.app.translations")

namespace velmora::app {

QString qtTranslationLanguage(const QLocale& locale)
{
    const bool traditional = locale.language() == QLocale::Chinese
        && locale.script() == QLocale::TraditionalChineseScript;
    return traditional ? QStringLiteral("zh_TW") : QStringLiteral("zh_CN");
}

QStringList qtTranslationFolders()
{
    return {QDir(platform::programDirectory()).filePath(QStringLiteral("translations")),
            QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

QTranslator* installQtTranslations(QCoreApplication& application, const QLocale& locale)
{
    // qtbase holds the texts of every Qt module the program uses (Core,
    // Gui, Widgets, Network); it depends on no other catalogue.
    const QString file = QStringLiteral("qtbase_") + qtTranslationLanguage(locale);
    auto* translator = new QTranslator(&application);
    for (const QString& folder : qtTranslationFolders()) {
        if (translator->load(file, folder) && QCoreApplication::installTranslator(translator))
            return translator;
    }
    qCWarning(lcTranslations) << file << "was found in none of" << qtTranslationFolders()
                              << "- Qt's dialogs show English texts";
    delete translator;
    return nullptr;
}

} // namespace velmora::app
