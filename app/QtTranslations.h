#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

class QCoreApplication;
class QTranslator;

namespace velmora::app {

// Qt's own texts (message-box buttons, the save and folder dialogs, edit
// menus) in Chinese, like every text of the program itself.
//
// The language follows the system's locale as far as Chinese goes: a
// Traditional Chinese locale (Taiwan, Hong Kong, Macau) gets "zh_TW", every
// other locale "zh_CN". An English (or any other) locale gets Chinese too,
// not Qt's English: every question the program asks is in Simplified
// Chinese, and its buttons must read in the same language ("确定" under
// "手机未连接！", not "OK"); the staff at such a PC read the program's
// Chinese all the same.
QString qtTranslationLanguage(const QLocale& locale);

// The folders the translation files are looked for in, first match used:
// the program's own "translations" folder (the Windows package ships them
// there), then the Qt installation's (Debian's qt6-translations-l10n).
QStringList qtTranslationFolders();

// Loads qtbase_<language>.qm for `locale` from the first folder that has it
// and installs it on `application`. Returns the translator (a child of
// `application`; deleting it takes Qt back to English), or nullptr when no
// folder holds the file, which is logged.
QTranslator* installQtTranslations(QCoreApplication& application, const QLocale& locale = QLocale::system());

} // namespace velmora::app
