#include "app/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace rankmoth::shell {

bool InstallQtTranslations(const QLocale& locale) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    // Several program objects may live in one process (the tests build one after another): the words of
    // the latest locale replace those installed before rather than stack under them.
    if (auto* before = app->findChild<QTranslator*>("qtTranslations", Qt::FindDirectChildrenOnly)) {
        QCoreApplication::removeTranslator(before);
        delete before;
    }
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto* translator = new QTranslator(app);
    translator->setObjectName("qtTranslations");
    // "qt" gathers qtbase and the other modules' catalogues; a distribution may ship qtbase alone.
    if (!translator->load(locale, "qt", "_", folder) && !translator->load(locale, "qtbase", "_", folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace rankmoth::shell
